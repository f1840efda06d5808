#include <gtest/gtest.h>

#include "conn_info.h"
#include "conn_string.h"
#include "db_test_util.h"
#include "sys_reg.h"

namespace {

struct PasswordCase {
    DS_TYPE type;
    std::wstring connection;
    std::wstring saved;
};

TEST(ConnInfo, PasswordsAreLeftOutOfSavedConnections) {
    const PasswordCase cases[] = {
        {DS_POSTGRESQL, L"host=db port=5432 password=secret user=report dbname=sales",
         L"host=db port=5432 user=report dbname=sales"},
        {DS_POSTGRESQL, L"host=db password = 'se cr\\'et' dbname=sales", L"host=db dbname=sales"},
        {DS_POSTGRESQL, L"dbname=sales password=x", L"dbname=sales"},
        {DS_POSTGRESQL, L"postgresql://report:secret@db:5432/sales?sslmode=require&password=x",
         L"postgresql://report@db:5432/sales?sslmode=require"},
        {DS_POSTGRESQL, L"postgres://report@db/sales", L"postgres://report@db/sales"},
        {DS_MYSQL, L"host=127.0.0.1 user=report pwd=s3 database=sales", L"host=127.0.0.1 user=report database=sales"},
        {DS_MYSQL, L"PASSWORD=x host=h", L"host=h"},
        {DS_ODBC, L"DSN=sales;UID=report;PWD={a;b}}c};Database=x", L"DSN=sales;UID=report;Database=x"},
        {DS_ODBC, L"Driver={PostgreSQL Unicode};Password=x", L"Driver={PostgreSQL Unicode};"},
        {DS_SQLITE, L"file:pwd=x.sqlite", L"file:pwd=x.sqlite"},
    };
    for (const auto& c : cases) {
        bool removed = false;
        EXPECT_EQ(tw::db::WithoutPassword(c.type, c.connection, removed), c.saved)
            << std::string(c.connection.begin(), c.connection.end());
        EXPECT_EQ(removed, c.saved != c.connection);
    }
}

TEST(ConnInfo, DescriptionNamesDatabaseServerAndUser) {
    const std::pair<CONN_INFO, std::wstring> cases[] = {
        {{DS_SQLITE, L"demo.sqlite", {}}, L"SQLite demo.sqlite"},
        {{DS_POSTGRESQL, L"host=localhost port=5432 dbname=sales user=report password=x", {}},
         L"PostgreSQL sales on localhost:5432 as report"},
        {{DS_POSTGRESQL, L"dbname=sales", {}}, L"PostgreSQL sales on localhost:5432"},
        {{DS_POSTGRESQL, L"postgresql://report:pw@db.example:6000/sales", {}},
         L"PostgreSQL sales on db.example:6000 as report"},
        {{DS_MYSQL, L"host=127.0.0.1 port=53306 user=report database=sales", {}},
         L"MySQL sales on 127.0.0.1:53306 as report"},
        {{DS_ODBC, L"DSN=sales;UID=report;PWD=x", {}}, L"ODBC sales as report"},
        {{DS_ODBC, L"Driver={PostgreSQL Unicode};Database=sales", {}}, L"ODBC PostgreSQL Unicode sales"},
    };
    for (const auto& [info, expected] : cases) EXPECT_EQ(info.ConInfo(), expected);
}

TEST(ConnInfo, TypeNamesAndComparison) {
    DS_TYPE type = DS_SQLITE;
    EXPECT_TRUE(DsTypeFromName(L"PostgreSQL", type));
    EXPECT_EQ(type, DS_POSTGRESQL);
    EXPECT_FALSE(DsTypeFromName(L"oracle", type));
    EXPECT_EQ(std::wstring(DsTypeName(DS_MYSQL)), L"mysql");

    CONN_INFO a{DS_SQLITE, L"a.sqlite", L"/one"}, b{DS_SQLITE, L"a.sqlite", L"/two"};
    EXPECT_TRUE(a == b);  // the base folder is no part of the description
    b.Type = DS_ODBC;
    EXPECT_TRUE(a != b);
    EXPECT_TRUE((CONN_INFO{DS_SQLITE, L" \t", {}}).IsEmpty());
    EXPECT_FALSE(a.IsEmpty());
}

TEST(ConnInfo, SaveAndLoadThroughTheProjectStore) {
    const auto folder = dbtest::TempFolder("conn_info_store");
    const std::wstring path = (folder / "p.twp").wstring();
    {
        CSysReg store;
        store.OpenWrite(path);
        CONN_INFO{DS_POSTGRESQL, L"host=db password=secret dbname=sales", L"/x"}.Save(store, L"Connection");
        ASSERT_TRUE(store.Commit());
    }
    CSysReg store;
    ASSERT_EQ(store.OpenRead(path), CSysReg::Status::Ok);
    CONN_INFO loaded;
    loaded.Load(store, L"Connection");
    EXPECT_EQ(loaded.Type, DS_POSTGRESQL);
    EXPECT_EQ(loaded.Connection, L"host=db dbname=sales");

    CONN_INFO absent{DS_ODBC, L"DSN=x", {}};
    absent.Load(store, L"NoSuchSection");
    EXPECT_TRUE(absent.IsEmpty());
    EXPECT_EQ(absent.Type, DS_SQLITE);
}

}  // namespace
