// Server failures: refused logins, unreachable servers and a connection that the server drops mid-fetch.

#include <gtest/gtest.h>

#include <chrono>

#include "db_test_util.h"

namespace {

using namespace dbtest;

struct ServerCase {
    const char* name;
    DS_TYPE type;
    const char* variable;
    const wchar_t* unreachable;
    // Ends the backend session whose id the first query of the script gives, from a second connection.
    const wchar_t* sessionId;
    const wchar_t* killFormat;
};

void PrintTo(const ServerCase& server, std::ostream* out) { *out << server.name; }

class ServerTest : public ::testing::TestWithParam<ServerCase> {
protected:
    void SetUp() override {
        m_connection = Widen(Env(GetParam().variable));
        if (m_connection.empty()) GTEST_SKIP() << GetParam().variable << " is not set (tests/services.sh start)";
    }
    std::unique_ptr<CDB> Connect(const std::wstring& connection, int& result) {
        auto db = CDB::newDB(GetParam().type);
        result = db->Connect(CONN_INFO{GetParam().type, connection, {}});
        return db;
    }
    std::wstring m_connection;
};

TEST_P(ServerTest, WrongPasswordAndUnreachableServerFailWithTheClientsText) {
    // The last setting of a key wins.
    const std::wstring wrong = m_connection + L" password=wrong";
    int result = 0;
    auto db = Connect(wrong, result);
    EXPECT_EQ(result, DB_ERROR);
    EXPECT_FALSE(db->IsConnected());
    EXPECT_FALSE(db->m_LastError.empty());

    const auto started = std::chrono::steady_clock::now();
    db = Connect(GetParam().unreachable, result);
    EXPECT_EQ(result, DB_ERROR);
    EXPECT_FALSE(db->m_LastError.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}

TEST_P(ServerTest, ConnectionDroppedMidFetchIsAnErrorNotAnEnd) {
    int result = 0;
    auto db = Connect(m_connection, result);
    ASSERT_EQ(result, DB_OK);
    auto killer = Connect(m_connection, result);
    ASSERT_EQ(result, DB_OK);

    const auto id = RunScript(*db, GetParam().sessionId);
    ASSERT_EQ(id.sets.size(), 1u);
    const std::wstring sessionId = id.sets[0].rows.at(0).at(0);

    ASSERT_EQ(db->Execute(L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 200000) "
                          L"SELECT x, REPEAT('padding ', 40) FROM n",
                          0),
              DB_OK)
        << std::string(db->m_LastError.begin(), db->m_LastError.end());
    ASSERT_EQ(db->Fetch(0), DB_OK);
    wchar_t kill[128];
    swprintf(kill, std::size(kill), GetParam().killFormat, sessionId.c_str());
    RunScript(*killer, kill);

    int fetched = DB_OK;
    long rows = 1;
    while ((fetched = db->Fetch(0)) == DB_OK) ++rows;
    EXPECT_LT(rows, 200000);
    const int next = db->NextResultSet(0);
    EXPECT_TRUE(fetched == DB_ERROR && next == DB_ERROR) << fetched << " " << next;
    EXPECT_FALSE(db->m_LastError.empty());
    db->CloseCursor(0);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerTest,
    ::testing::Values(ServerCase{"PostgreSQL", DS_POSTGRESQL, "TW_TEST_PG",
                                 L"host=127.0.0.1 port=1 dbname=x user=x connect_timeout=5",
                                 L"SELECT pg_backend_pid()", L"SELECT pg_terminate_backend(%ls)"},
                      ServerCase{"MySQL", DS_MYSQL, "TW_TEST_MYSQL", L"host=127.0.0.1 port=1 user=x",
                                 L"SET SESSION max_recursive_iterations = 4000000000; SELECT CONNECTION_ID()",
                                 L"KILL CONNECTION %ls"}),
    [](const ::testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

}  // namespace
