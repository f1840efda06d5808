// What only the SQLite backend does: paths, files that are no database, locks, storage-class types.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "db_test_util.h"
#include "fld_desc.h"
#include "text.h"

namespace {

using namespace dbtest;

std::unique_ptr<CDB> ConnectSqlite(const std::wstring& connection, const std::filesystem::path& base, int& result) {
    auto db = CDB::newDB(DS_SQLITE);
    CONN_INFO info;
    info.Type = DS_SQLITE;
    info.Connection = connection;
    info.BaseFolder = base.wstring();
    result = db->Connect(info);
    return db;
}

TEST(SqliteBackend, OpensRelativePathsFromTheBaseFolderAndFileUris) {
    const auto folder = TempFolder("sqlite_paths");
    std::filesystem::create_directories(folder / "sub");
    MakeSqliteFile(folder / "sub" / "a.sqlite");
    int result = 0;
    ConnectSqlite(L"sub/a.sqlite", folder, result);
    EXPECT_EQ(result, DB_OK);
    ConnectSqlite((folder / "sub" / "a.sqlite").wstring(), L"/nonexistent", result);
    EXPECT_EQ(result, DB_OK);
    ConnectSqlite(L"file:" + (folder / "sub" / "a.sqlite").wstring() + L"?mode=ro", L"/nonexistent", result);
    EXPECT_EQ(result, DB_OK);
}

// A missing file is not created; an empty name and a file that is no database fail at Connect too.
TEST(SqliteBackend, MissingOrForeignFileFailsAtConnect) {
    const auto folder = TempFolder("sqlite_bad_files");
    std::ofstream(folder / "text.sqlite") << "This is plain text, long enough to fill a header of one hundred bytes "
                                             "and then some more text to be sure of it.\n";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"missing.sqlite", L"missing.sqlite"}, {L"text.sqlite", L"not a database"}, {L"", L""}};
    for (const auto& [connection, error] : cases) {
        int result = 0;
        auto db = ConnectSqlite(connection, folder, result);
        EXPECT_EQ(result, DB_ERROR) << Narrow(connection);
        EXPECT_FALSE(db->IsConnected());
        EXPECT_NE(db->m_LastError.find(error), std::wstring::npos) << Narrow(db->m_LastError);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.sqlite"));
}

TEST(SqliteBackend, LockedDatabaseGivesAnErrorAfterTheBusyTimeout) {
    const auto folder = TempFolder("sqlite_locked");
    MakeSqliteFile(folder / "l.sqlite");
    int result = 0;
    auto db = ConnectSqlite(L"l.sqlite", folder, result);
    ASSERT_EQ(result, DB_OK);
    sqlite3* other = nullptr;
    sqlite3_open((folder / "l.sqlite").string().c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(db->Execute(L"SELECT count(*) FROM sqlite_master", 0), DB_ERROR);
    EXPECT_NE(db->m_LastError.find(L"locked"), std::wstring::npos);
    db->CloseCursor(0);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(RunScript(*db, L"SELECT 1").sets.size(), 1u);
}

// An in-memory database for what needs no file.
class SqliteMemory : public ::testing::Test {
protected:
    void SetUp() override {
        int result = 0;
        m_db = ConnectSqlite(L":memory:", {}, result);
        ASSERT_EQ(result, DB_OK);
    }
    std::unique_ptr<CDB> m_db;
};

TEST_F(SqliteMemory, ExpressionTypesComeFromTheFirstRow) {
    const auto outcome = RunScript(*m_db, L"SELECT 1 AS i, 1.5 AS f, 'a' AS t, x'01' AS b, NULL AS n;"
                                        L"SELECT 1 AS i WHERE 0");
    ASSERT_EQ(outcome.sets.size(), 2u);
    EXPECT_EQ(outcome.sets[0].types, (std::vector<int>{TC_INTEGER, TC_DOUBLE, TC_VARCHAR, TC_BINARY, TC_VARCHAR}));
    EXPECT_EQ(outcome.sets[1].types, (std::vector<int>{TC_VARCHAR}));
}

TEST_F(SqliteMemory, FloatsReadWithFifteenSignificantDigitsAsTheShellShowsThem) {
    const auto outcome = RunScript(*m_db, L"SELECT 0.1 + 0.2, 1e300 * 10, -0.0, 100.0, 1.0 / 3, "
                                          L"58456.509999999995, 9e999, -9e999, 123456789012345678.0");
    ASSERT_EQ(outcome.sets.size(), 1u);
    EXPECT_EQ(outcome.sets[0].rows[0],
              (std::vector<std::wstring>{L"0.3", L"1e+301", L"-0", L"100", L"0.333333333333333", L"58456.51",
                                         L"Infinity", L"-Infinity", L"1.23456789012346e+17"}));
}

TEST_F(SqliteMemory, InvalidUtf8IsReadWithoutHarm) {
    const auto outcome = RunScript(*m_db, L"SELECT CAST(x'41C328FF42' AS TEXT)");
    ASSERT_EQ(outcome.sets.size(), 1u);
    const std::wstring& value = outcome.sets[0].rows[0][0];
    ASSERT_EQ(value.size(), 5u);
    EXPECT_EQ(value.front(), L'A');
    EXPECT_EQ(value.back(), L'B');
}

TEST_F(SqliteMemory, GetValueReusesTheCallersString) {
    ASSERT_EQ(m_db->Execute(L"SELECT 'a fairly long text value that needs heap storage', 12345", 0), DB_OK);
    ASSERT_EQ(m_db->Fetch(0), DB_OK);
    std::wstring value;
    m_db->GetValue(1, value, 0, 0, 0);
    const auto* storage = value.data();
    m_db->GetValue(2, value, 0, 0, 0);
    EXPECT_EQ(value, L"12345");
    EXPECT_EQ(value.data(), storage);
    m_db->CloseCursor(0);
}

// The bytes handed to writers decode to GetValue's text for every storage class, stray bytes included.
TEST_F(SqliteMemory, Utf8ValuesDecodeToTheWideValues) {
    ASSERT_TRUE(m_db->HasUtf8Values());
    const std::wstring select = L"SELECT 42, -9223372036854775808, 0.1 + 0.2, 9e999, -9e999, 1e-7, x'00FF10', NULL, "
                                L"'', 'Söhne Łódź 😀', CAST(x'41C328FF80E282' AS TEXT), 'a' || char(0) || 'b'";
    ASSERT_EQ(m_db->Execute(select, 0), DB_OK);
    ASSERT_EQ(m_db->Fetch(0), DB_OK);
    int count = 0;
    ASSERT_EQ(m_db->GetColumnCount(count, 0), DB_OK);
    ASSERT_EQ(count, 12);
    std::wstring wide;
    std::string bytes;
    for (int column = 1; column <= count; ++column) {
        SCOPED_TRACE(column);
        ASSERT_EQ(m_db->GetValue(column, wide, 0, 0, 0), DB_OK);
        ASSERT_EQ(m_db->GetValueUtf8(column, bytes), DB_OK);
        EXPECT_EQ(tw::Utf8ToWide(bytes), wide);
    }
    EXPECT_EQ(m_db->GetValueUtf8(0, bytes), DB_ERROR);
    EXPECT_EQ(m_db->GetValueUtf8(count + 1, bytes), DB_ERROR);
    m_db->CloseCursor(0);
}

}  // namespace
