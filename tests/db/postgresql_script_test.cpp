// PostgreSQL scripts run statement by statement as psql -f runs them, stop requests, and values as psql shows
// them. Runs on the server of tests/services.sh (TW_TEST_PG); skips without it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "db_test_util.h"

namespace {

using namespace dbtest;
using Rows = std::vector<std::vector<std::wstring>>;

// The scripts below name the table tw_script; each test process gets its own, since ctest runs tests in parallel.
class PostgreSqlScript : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string connection = Env("TW_TEST_PG");
        if (connection.empty()) GTEST_SKIP() << "TW_TEST_PG is not set (tests/services.sh start)";
        m_table = L"tw_script_" + std::to_wstring(getpid());
        m_db = CDB::newDB(DS_POSTGRESQL);
        ASSERT_EQ(m_db->Connect(CONN_INFO{DS_POSTGRESQL, Widen(connection), {}}), DB_OK) << Narrow(m_db->m_LastError);
        ASSERT_EQ(Run(L"DROP TABLE IF EXISTS tw_script; CREATE TABLE tw_script (id integer)").lastResult, DB_NO_DATA);
    }
    void TearDown() override {
        if (m_db) Run(L"DROP TABLE IF EXISTS tw_script");
    }
    std::wstring Named(std::wstring script) const {
        for (size_t at = script.find(L"tw_script"); at != std::wstring::npos; at = script.find(L"tw_script", at + 1))
            script.replace(at, 9, m_table);
        return script;
    }
    RunOutcome Run(const std::wstring& script) { return RunScript(*m_db, Named(script)); }
    int Execute(const std::wstring& script) { return m_db->Execute(Named(script), 0); }
    Rows Ids() {
        const auto outcome = Run(L"SELECT id FROM tw_script ORDER BY id");
        return outcome.sets.empty() ? Rows{} : outcome.sets[0].rows;
    }

    std::wstring m_table;

    std::unique_ptr<CDB> m_db;
};

TEST_F(PostgreSqlScript, AFailingStatementKeepsWhatEarlierStatementsCommitted) {
    const auto outcome = Run(L"INSERT INTO tw_script VALUES (1);\n"
                                          L"SELECT id FROM tw_script;\n"
                                          L"SELECT * FROM tw_no_such_table;\n"
                                          L"INSERT INTO tw_script VALUES (2)");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    EXPECT_EQ(outcome.lastResult, DB_ERROR);
    EXPECT_NE(outcome.error.find(L"tw_no_such_table"), std::wstring::npos) << Narrow(outcome.error);
    // The statement after the failing one does not run.
    EXPECT_EQ(Ids(), (Rows{{L"1"}}));
}

TEST_F(PostgreSqlScript, StatementsThatRefuseATransactionBlockRun) {
    const auto outcome = Run(L"INSERT INTO tw_script VALUES (1);\n"
                                          L"VACUUM tw_script;\n"
                                          L"DROP DATABASE IF EXISTS tw_scriptdb;\n"
                                          L"CREATE DATABASE tw_scriptdb;\n"
                                          L"DROP DATABASE tw_scriptdb;\n"
                                          L"SELECT count(*) AS n FROM tw_script");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    EXPECT_EQ(outcome.lastResult, DB_NO_DATA) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    EXPECT_EQ(outcome.sets[0].rows, (Rows{{L"1"}}));
}

TEST_F(PostgreSqlScript, TheScriptsOwnTransactionsHold) {
    auto outcome = Run(L"BEGIN; INSERT INTO tw_script VALUES (1); ROLLBACK;\n"
                                    L"BEGIN; INSERT INTO tw_script VALUES (2); SELECT id FROM tw_script; COMMIT;\n"
                                    L"-- a function body with semicolons of its own\n"
                                    L"CREATE FUNCTION pg_temp.tw_twice(x integer) RETURNS integer AS $body$\n"
                                    L"BEGIN x := x * 2; RETURN x; END; $body$ LANGUAGE plpgsql;\n"
                                    L"SELECT pg_temp.tw_twice(21) AS twice");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    EXPECT_EQ(outcome.lastResult, DB_NO_DATA) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 2u);
    EXPECT_EQ(outcome.sets[0].rows, (Rows{{L"2"}}));
    EXPECT_EQ(outcome.sets[1].rows, (Rows{{L"42"}}));

    // A transaction that failed, or that the script left open, is rolled back when the script ends; the
    // connection takes the next script.
    outcome = Run(L"BEGIN; INSERT INTO tw_script VALUES (3); SELECT 1 / 0");
    EXPECT_EQ(outcome.executeResult, DB_ERROR);
    outcome = Run(L"BEGIN; INSERT INTO tw_script VALUES (4)");
    EXPECT_EQ(outcome.lastResult, DB_NO_DATA);
    EXPECT_EQ(Ids(), (Rows{{L"2"}}));
}

TEST_F(PostgreSqlScript, CancelStopsAStatementBeforeItsFirstRowAndTheStatementsAfterIt) {
    // The second statement is running and has sent nothing when the stop comes.
    ASSERT_EQ(Execute(L"SELECT 1 AS a; SELECT pg_sleep(60); INSERT INTO tw_script VALUES (1)"), DB_OK);
    const auto started = std::chrono::steady_clock::now();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_db->Cancel();
    });
    EXPECT_EQ(m_db->NextResultSet(0), DB_ERROR);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    m_db->CloseCursor(0);

    // A stop between two statements keeps the next one from starting.
    ASSERT_EQ(Execute(L"SELECT 1 AS a; INSERT INTO tw_script VALUES (2); SELECT pg_sleep(60)"), DB_OK);
    m_db->Cancel();
    EXPECT_EQ(m_db->NextResultSet(0), DB_ERROR);
    EXPECT_FALSE(m_db->m_LastError.empty());
    m_db->CloseCursor(0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_EQ(Ids(), Rows{});
}

TEST_F(PostgreSqlScript, ValuesReadAsPsqlShowsThem) {
    const auto outcome = RunScript(
        *m_db, L"SET TIME ZONE 'UTC';\n"
               L"SELECT '12:34:56.5+05:30'::timetz AS tz, '0044-03-15 12:00:00+00 BC'::timestamptz AS bc,\n"
               L"       '0044-03-15 BC'::date AS d, '2024-02-29 13:45:30.25+01'::timestamptz AS stamp,\n"
               L"       0.1::float8 + 0.2::float8 AS sum, 58456.509999999995::float8 AS near,\n"
               L"       123456789::float4 AS single, 'NaN'::float8 AS nan, 'Infinity'::float4 AS inf,\n"
               L"       '-Infinity'::float8 AS neg");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    EXPECT_EQ(outcome.sets[0].rows,
              (Rows{{L"12:34:56.5+05:30", L"0044-03-15 12:00:00 BC", L"0044-03-15 BC", L"2024-02-29 12:45:30.25",
                     L"0.3", L"58456.51", L"1.2345679e+08", L"NaN", L"Infinity", L"-Infinity"}}));
}

}  // namespace
