// One behavioural suite run on every backend. SQLite always runs; the server backends run when
// tests/services.sh has exported their connection strings (source build-services/env.sh), and skip otherwise.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "db_test_util.h"
#include "fld_desc.h"

namespace dbtest {

std::filesystem::path MakeSqliteFile(const std::filesystem::path& path) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

}  // namespace dbtest

namespace {

using namespace dbtest;

// One column of the all-types table: its declaration, the literal inserted, the text and type code expected.
struct TypedColumn {
    std::wstring declaration;
    std::wstring literal;
    std::wstring text;
    int type;
};

struct Backend {
    const char* name;
    DS_TYPE type;
    const char* variable;  // environment variable with the connection string; none for SQLite
    std::wstring tempTable;  // "CREATE TEMP TABLE" in the backend's words
    std::vector<TypedColumn> columns;
    std::wstring longQuery;  // runs for many seconds unless cancelled
    std::wstring prelude = {};  // lets recursive queries run long enough
};

void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

const std::vector<TypedColumn> kSqliteColumns = {
    {L"i INTEGER", L"42", L"42", TC_INTEGER},
    {L"b BIGINT", L"9007199254740993", L"9007199254740993", TC_BIGINT},
    {L"d DECIMAL(10,2)", L"12.25", L"12.25", TC_DECIMAL},
    {L"f DOUBLE", L"0.1", L"0.1", TC_DOUBLE},
    {L"dt DATE", L"'2024-02-29'", L"2024-02-29", TC_DATE},
    {L"ts TIMESTAMP", L"'2024-02-29 13:45:30.25'", L"2024-02-29 13:45:30.25", TC_TIMESTAMP},
    {L"flag BOOLEAN", L"1", L"1", TC_BIT},
    {L"bin BLOB", L"x'00FF10'", L"00FF10", TC_BINARY},
    {L"txt VARCHAR(50)", L"'Grüße 東京 😀'", L"Grüße 東京 😀", TC_VARCHAR},
    {L"ch CHAR(3)", L"'abc'", L"abc", TC_CHAR},
    {L"absent INTEGER", L"NULL", L"", TC_INTEGER},
};

const std::vector<TypedColumn> kPostgreSqlColumns = {
    {L"i integer", L"42", L"42", TC_INTEGER},
    {L"b bigint", L"9007199254740993", L"9007199254740993", TC_BIGINT},
    {L"d numeric(10,2)", L"12.25", L"12.25", TC_NUMERIC},
    {L"f double precision", L"0.1", L"0.1", TC_DOUBLE},
    {L"r real", L"0.1", L"0.1", TC_REAL},
    {L"dt date", L"'2024-02-29'", L"2024-02-29", TC_DATE},
    {L"ts timestamp", L"'2024-02-29 13:45:30.25'", L"2024-02-29 13:45:30.25", TC_TIMESTAMP},
    {L"ts0 timestamp", L"'2024-02-29 13:45:30'", L"2024-02-29 13:45:30", TC_TIMESTAMP},
    {L"tm time", L"'13:45:30'", L"13:45:30", TC_TIME},
    {L"flag boolean", L"true", L"1", TC_BIT},
    {L"bin bytea", L"'\\x00ff10'", L"00FF10", TC_BINARY},
    {L"txt varchar(50)", L"'Grüße 東京 😀'", L"Grüße 東京 😀", TC_VARCHAR},
    {L"ch char(3)", L"'abc'", L"abc", TC_CHAR},
    {L"absent integer", L"NULL", L"", TC_INTEGER},
};

const std::vector<TypedColumn> kMySqlColumns = {
    {L"i INT", L"42", L"42", TC_INTEGER},
    {L"b BIGINT", L"9007199254740993", L"9007199254740993", TC_BIGINT},
    {L"d DECIMAL(10,2)", L"12.25", L"12.25", TC_DECIMAL},
    {L"f DOUBLE", L"0.1", L"0.1", TC_DOUBLE},
    {L"r FLOAT", L"0.1", L"0.1", TC_REAL},
    {L"dt DATE", L"'2024-02-29'", L"2024-02-29", TC_DATE},
    {L"ts DATETIME(6)", L"'2024-02-29 13:45:30.25'", L"2024-02-29 13:45:30.25", TC_TIMESTAMP},
    {L"ts0 DATETIME", L"'2024-02-29 13:45:30'", L"2024-02-29 13:45:30", TC_TIMESTAMP},
    {L"tm TIME", L"'13:45:30'", L"13:45:30", TC_TIME},
    {L"flag BOOLEAN", L"TRUE", L"1", TC_BIT},
    {L"bin VARBINARY(8)", L"x'00FF10'", L"00FF10", TC_BINARY},
    {L"txt VARCHAR(50)", L"'Grüße 東京 😀'", L"Grüße 東京 😀", TC_VARCHAR},
    {L"ch CHAR(3)", L"'abc'", L"abc", TC_CHAR},
    {L"absent INT", L"NULL", L"", TC_INTEGER},
};

// The SQLite ODBC driver garbles statement text above U+07FF, so the text arrives as UTF-8 bytes; it calls
// DECIMAL and CHAR columns VARCHAR.
std::vector<TypedColumn> OdbcSqliteColumns() {
    auto columns = kSqliteColumns;
    columns[8].literal = L"CAST(x'4772C3BCC39F6520E69DB1E4BAAC20F09F9880' AS TEXT)";
    columns[2].type = TC_VARCHAR;
    columns[9].type = TC_VARCHAR;
    return columns;
}

// psqlODBC's names: float8 is SQL_FLOAT, texts are wide.
std::vector<TypedColumn> OdbcPostgreSqlColumns() {
    auto columns = kPostgreSqlColumns;
    columns[3].type = TC_FLOAT;
    columns[11].type = TC_WVARCHAR;
    columns[12].type = TC_WCHAR;
    return columns;
}

const std::wstring kSqliteLongQuery =
    L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n";

std::vector<Backend> AllBackends() {
    return {
        {"SQLite", DS_SQLITE, nullptr, L"CREATE TEMP TABLE", kSqliteColumns, kSqliteLongQuery},
        {"PostgreSQL", DS_POSTGRESQL, "TW_TEST_PG", L"CREATE TEMP TABLE", kPostgreSqlColumns,
         L"SELECT pg_sleep(60)"},
        {"MySQL", DS_MYSQL, "TW_TEST_MYSQL", L"CREATE TEMPORARY TABLE", kMySqlColumns,
         L"SET SESSION max_recursive_iterations = 4000000000; " + kSqliteLongQuery,
         L"SET SESSION max_recursive_iterations = 4000000000;"},
        {"OdbcSQLite", DS_ODBC, "TW_TEST_ODBC_SQLITE", L"CREATE TEMP TABLE", OdbcSqliteColumns(),
         kSqliteLongQuery},
        {"OdbcPostgreSQL", DS_ODBC, "TW_TEST_ODBC_PG", L"CREATE TEMP TABLE", OdbcPostgreSqlColumns(),
         L"SELECT pg_sleep(60)"},
    };
}

class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        const Backend& backend = GetParam();
        CONN_INFO info;
        info.Type = backend.type;
        if (backend.variable) {
            const std::string connection = Env(backend.variable);
            if (connection.empty()) GTEST_SKIP() << backend.variable << " is not set (tests/services.sh start)";
            info.Connection = Widen(connection);
        } else {
            const auto folder = TempFolder(std::string("backend_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
            MakeSqliteFile(folder / "test.sqlite");
            info.Connection = L"test.sqlite";
            info.BaseFolder = folder.wstring();
        }
        m_db = CDB::newDB(backend.type);
        ASSERT_TRUE(m_db);
        ASSERT_EQ(m_db->Connect(info), DB_OK) << Narrow(m_db->m_LastError);
        ASSERT_TRUE(m_db->IsConnected());
    }

    std::unique_ptr<CDB> m_db;
};

TEST_P(BackendTest, ScriptGivesOneResultSetPerQueryWithColumnsAndNoneForOtherStatements) {
    const auto& backend = GetParam();
    const auto outcome = RunScript(*m_db, backend.tempTable + L" tw_multi (id INTEGER, name VARCHAR(20));\n"
                                   L"INSERT INTO tw_multi VALUES (1, 'one');\n"
                                   L"INSERT INTO tw_multi VALUES (2, 'two; quoted');\n"
                                   L"SELECT id, name FROM tw_multi ORDER BY id;\n"
                                   L"SELECT id FROM tw_multi WHERE id > 100;\n"
                                   L"UPDATE tw_multi SET name = 'x' WHERE id = 1;\n"
                                   L"-- a closing comment\n"
                                   L"SELECT name AS \"Renamed\" FROM tw_multi WHERE id = 1;");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    EXPECT_EQ(outcome.lastResult, DB_NO_DATA);
    ASSERT_EQ(outcome.sets.size(), 3u);
    EXPECT_EQ(outcome.sets[0].names, (std::vector<std::wstring>{L"id", L"name"}));
    EXPECT_EQ(outcome.sets[0].rows,
              (std::vector<std::vector<std::wstring>>{{L"1", L"one"}, {L"2", L"two; quoted"}}));
    EXPECT_EQ(outcome.sets[1].names, (std::vector<std::wstring>{L"id"}));
    EXPECT_TRUE(outcome.sets[1].rows.empty());
    EXPECT_EQ(outcome.sets[2].names, (std::vector<std::wstring>{L"Renamed"}));
    EXPECT_EQ(outcome.sets[2].rows, (std::vector<std::vector<std::wstring>>{{L"x"}}));

    // A script without result sets succeeds with none.
    const auto none = RunScript(*m_db, backend.tempTable + L" tw_none (id INTEGER); INSERT INTO tw_none VALUES (1)");
    EXPECT_EQ(none.executeResult, DB_OK);
    EXPECT_EQ(none.lastResult, DB_NO_DATA);
    EXPECT_TRUE(none.sets.empty());
}

TEST_P(BackendTest, EveryTypeClassReadsAsTextWithItsCode) {
    const auto& backend = GetParam();
    std::wstring declarations, literals, names;
    for (const auto& column : backend.columns) {
        declarations += (declarations.empty() ? L"" : L", ") + column.declaration;
        literals += (literals.empty() ? L"" : L", ") + column.literal;
    }
    const auto outcome = RunScript(*m_db, backend.tempTable + L" tw_types (" + declarations + L");\n" +
                                              L"INSERT INTO tw_types VALUES (" + literals + L");\n" +
                                              L"SELECT * FROM tw_types");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    const auto& set = outcome.sets[0];
    ASSERT_EQ(set.rows.size(), 1u);
    ASSERT_EQ(set.types.size(), backend.columns.size());
    for (size_t i = 0; i < backend.columns.size(); ++i) {
        const auto& column = backend.columns[i];
        const std::string what(column.declaration.begin(), column.declaration.end());
        EXPECT_EQ(set.rows[0][i], column.text) << what;
        EXPECT_EQ(set.types[i], column.type) << what;
    }
}

TEST_P(BackendTest, ExpressionsGiveNullsNumbersAndText) {
    const auto outcome = RunScript(*m_db, L"SELECT NULL AS n, 7 AS i, 0.5 AS f, 'x' AS t, '' AS e");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    const auto& set = outcome.sets[0];
    ASSERT_EQ(set.rows.size(), 1u);
    EXPECT_EQ(set.rows[0], (std::vector<std::wstring>{L"", L"7", L"0.5", L"x", L""}));
    EXPECT_TRUE(FLD_DESC::IsInteger(set.types[1])) << set.types[1];
    EXPECT_TRUE(FLD_DESC::IsNumber(set.types[2])) << set.types[2];
    EXPECT_TRUE(FLD_DESC::IsChar(set.types[3])) << set.types[3];
}

TEST_P(BackendTest, ErrorsFailExecuteOrNextResultSetAndLeaveTheConnectionUsable) {
    // An error in the first statement fails Execute.
    for (const wchar_t* script : {L"SELEC 1", L"SELECT * FROM tw_no_such_table"}) {
        const auto outcome = RunScript(*m_db, script);
        EXPECT_EQ(outcome.executeResult, DB_ERROR) << Narrow(outcome.error);
        EXPECT_FALSE(outcome.error.empty());
    }
    // After earlier result sets it is reported by NextResultSet.
    const auto outcome = RunScript(*m_db, L"SELECT 1 AS a; SELECT 2 AS b; SELECT * FROM tw_no_such_table; SELECT 3");
    ASSERT_EQ(outcome.executeResult, DB_OK);
    ASSERT_EQ(outcome.sets.size(), 2u);
    EXPECT_EQ(outcome.sets[1].rows, (std::vector<std::vector<std::wstring>>{{L"2"}}));
    EXPECT_EQ(outcome.lastResult, DB_ERROR);
    EXPECT_NE(outcome.error.find(L"tw_no_such_table"), std::wstring::npos) << Narrow(outcome.error);

    const auto next = RunScript(*m_db, L"SELECT 5");
    ASSERT_EQ(next.sets.size(), 1u);
    EXPECT_EQ(next.sets[0].rows, (std::vector<std::vector<std::wstring>>{{L"5"}}));
}

TEST_P(BackendTest, ManyRowsStreamInOrder) {
    const auto outcome = RunScript(*m_db, GetParam().prelude + L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < "
                                          L"20000) SELECT x FROM n");
    ASSERT_EQ(outcome.executeResult, DB_OK) << Narrow(outcome.error);
    ASSERT_EQ(outcome.sets.size(), 1u);
    ASSERT_EQ(outcome.sets[0].rows.size(), 20000u);
    EXPECT_EQ(outcome.sets[0].rows.back()[0], L"20000");
}

TEST_P(BackendTest, CancelFromAnotherThreadStopsALongQuery) {
    const auto started = std::chrono::steady_clock::now();
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        m_db->Cancel();
    });
    const auto outcome = RunScript(*m_db, GetParam().longQuery);
    canceller.join();
    EXPECT_TRUE(outcome.executeResult == DB_ERROR || outcome.lastResult == DB_ERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(RunScript(*m_db, L"SELECT 1").sets.size(), 1u);
}

// A report run's stop can come just before a statement starts, when there is nothing to interrupt yet: CancelAll
// holds until ResetCancel, so the statement that would have started fails at once instead of running for minutes.
TEST_P(BackendTest, CancelAllHoldsUntilResetCancel) {
    m_db->CancelAll();
    EXPECT_TRUE(m_db->CancelAllRequested());
    const auto started = std::chrono::steady_clock::now();
    const auto outcome = RunScript(*m_db, GetParam().longQuery);
    EXPECT_TRUE(outcome.executeResult == DB_ERROR || outcome.lastResult == DB_ERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    m_db->ResetCancel();
    const auto next = RunScript(*m_db, L"SELECT 5 AS a");
    ASSERT_EQ(next.sets.size(), 1u) << Narrow(next.error);
    EXPECT_EQ(next.sets[0].rows, (std::vector<std::vector<std::wstring>>{{L"5"}}));
}

TEST_P(BackendTest, BadCallsFailWithoutHarm) {
    std::wstring value;
    int type = 0;
    EXPECT_EQ(m_db->Fetch(0), DB_NO_DATA);
    ASSERT_EQ(m_db->Execute(L"SELECT 1 AS a", 0), DB_OK);
    EXPECT_EQ(m_db->GetColumnName(5, value), DB_ERROR);
    EXPECT_EQ(m_db->GetColumnType(-1, type, 0, 0), DB_ERROR);
    ASSERT_EQ(m_db->Fetch(0), DB_OK);
    EXPECT_EQ(m_db->GetValue(0, value, 0, 0, 0), DB_ERROR);
    EXPECT_EQ(m_db->GetValue(2, value, 0, 0, 0), DB_ERROR);
    EXPECT_EQ(m_db->CloseCursor(0), DB_OK);
    EXPECT_EQ(m_db->CloseCursor(0), DB_OK);
    m_db->Disconnect();
    EXPECT_FALSE(m_db->IsConnected());
    EXPECT_EQ(m_db->Execute(L"SELECT 1", 0), DB_ERROR);
    EXPECT_FALSE(m_db->m_LastError.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendTest, ::testing::ValuesIn(AllBackends()),
                         [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });

}  // namespace
