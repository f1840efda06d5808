#include "conn_fields.h"

#include <gtest/gtest.h>

#include "conn_string.h"

using tw::db::ConnFields;
using tw::db::FieldsFromString;
using tw::db::StringFromFields;
using tw::db::WithPassword;

namespace {

ConnFields Fields(std::wstring host, std::wstring port, std::wstring database, std::wstring user,
                  std::wstring options = {}) {
    ConnFields fields;
    fields.host = std::move(host);
    fields.port = std::move(port);
    fields.database = std::move(database);
    fields.user = std::move(user);
    fields.options = std::move(options);
    return fields;
}

}  // namespace

TEST(ConnFields, EachBackendBuildsItsStringAndReadsItBack) {
    struct Case {
        DS_TYPE type;
        ConnFields fields;
        std::wstring text;
    };
    ConnFields odbcDsn = Fields(L"", L"", L"sales", L"report", L"Trace=No");
    odbcDsn.dsn = L"pg-sales";
    ConnFields odbcDriver = Fields(L"db.example", L"5432", L"sales", L"report");
    odbcDriver.driver = L"PostgreSQL Unicode";
    const Case cases[] = {
        {DS_SQLITE, Fields(L"", L"", L"/data/my sales.sqlite", L""), L"/data/my sales.sqlite"},
        {DS_POSTGRESQL, Fields(L"db.example", L"5433", L"sales", L"report", L"sslmode=require"),
         L"host=db.example port=5433 dbname=sales user=report sslmode=require"},
        {DS_POSTGRESQL, Fields(L"", L"", L"my db", L"o'neil"), L"dbname='my db' user='o\\'neil'"},
        {DS_MYSQL, Fields(L"127.0.0.1", L"3306", L"shop", L"web", L"socket=/run/mysqld.sock"),
         L"host=127.0.0.1 port=3306 database=shop user=web socket=/run/mysqld.sock"},
        {DS_ODBC, odbcDsn, L"DSN=pg-sales;Database=sales;UID=report;Trace=No"},
        {DS_ODBC, odbcDriver, L"Driver=PostgreSQL Unicode;Server=db.example;Port=5432;Database=sales;UID=report"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << DsTypeName(c.type) << " " << testing::PrintToString(c.text));
        EXPECT_EQ(StringFromFields(c.type, c.fields), c.text);
        EXPECT_EQ(FieldsFromString(c.type, c.text), c.fields);
    }
}

TEST(ConnFields, PastedStringsWithOtherSpellingsAndPasswords) {
    // A pasted password goes to the password field and never back into a built string.
    ConnFields pg = FieldsFromString(DS_POSTGRESQL, L"postgresql://report:s3cret@db:5433/sales?sslmode=require");
    EXPECT_EQ(pg.host, L"db");
    EXPECT_EQ(pg.port, L"5433");
    EXPECT_EQ(pg.database, L"sales");
    EXPECT_EQ(pg.user, L"report");
    EXPECT_EQ(pg.password, L"s3cret");
    EXPECT_EQ(pg.options, L"sslmode=require");
    EXPECT_EQ(StringFromFields(DS_POSTGRESQL, pg), L"host=db port=5433 dbname=sales user=report sslmode=require");

    ConnFields my = FieldsFromString(DS_MYSQL, L"host=h db=shop passwd='p w' user=u compress=1");
    EXPECT_EQ(my.database, L"shop");
    EXPECT_EQ(my.password, L"p w");
    EXPECT_EQ(my.options, L"compress=1");

    ConnFields odbc = FieldsFromString(DS_ODBC, L"dsn=x; uid = u ;PWD={a;b}}c};Extra={1;2}");
    EXPECT_EQ(odbc.dsn, L"x");
    EXPECT_EQ(odbc.user, L"u");
    EXPECT_EQ(odbc.password, L"a;b}c");
    EXPECT_EQ(odbc.options, L"Extra={1;2}");

    // A password typed among the options is dropped too.
    EXPECT_EQ(StringFromFields(DS_POSTGRESQL, Fields(L"h", L"", L"", L"", L"password=x sslmode=disable")),
              L"host=h sslmode=disable");

    // A URI's parts are percent-decoded, as libpq reads them.
    ConnFields decoded = FieldsFromString(DS_POSTGRESQL, L"postgresql://us%40er:p%20w@db/sa%2Fles?application_name=a%20b");
    EXPECT_EQ(decoded.user, L"us@er");
    EXPECT_EQ(decoded.password, L"p w");
    EXPECT_EQ(decoded.database, L"sa/les");
    EXPECT_EQ(decoded.options, L"application_name='a b'");

    // An escaped blank or line feed at the end of an option belongs to its value and stays.
    ConnFields escaped = FieldsFromString(DS_POSTGRESQL, L"host=h application_name=a\\  ");
    EXPECT_EQ(escaped.options, L"application_name=a\\ ");
    EXPECT_EQ(FieldsFromString(DS_POSTGRESQL, StringFromFields(DS_POSTGRESQL, escaped)), escaped);
    escaped.options = L"application_name=a\\\n";
    EXPECT_EQ(FieldsFromString(DS_POSTGRESQL, StringFromFields(DS_POSTGRESQL, escaped)), escaped);
}

TEST(ConnFields, PasswordIsJoinedOnlyForConnecting) {
    EXPECT_EQ(WithPassword(DS_POSTGRESQL, L"host=h user=u", L"it's"), L"host=h user=u password='it\\'s'");
    EXPECT_EQ(WithPassword(DS_POSTGRESQL, L"postgresql://u@h/db", L"a b/ü"),
              L"postgresql://u@h/db?password=a%20b%2F%C3%BC");
    EXPECT_EQ(WithPassword(DS_POSTGRESQL, L"postgresql://u@h/db?sslmode=disable", L"x"),
              L"postgresql://u@h/db?sslmode=disable&password=x");
    EXPECT_EQ(WithPassword(DS_MYSQL, L"host=h", L"x y"), L"host=h password='x y'");
    EXPECT_EQ(WithPassword(DS_ODBC, L"DSN=x;", L"a;b"), L"DSN=x;PWD={a;b}");
    EXPECT_EQ(WithPassword(DS_SQLITE, L"a.sqlite", L"x"), L"a.sqlite");
    EXPECT_EQ(WithPassword(DS_POSTGRESQL, L"host=h", L""), L"host=h");
    // A last setting that would take the password into its value: the password goes first.
    EXPECT_EQ(WithPassword(DS_POSTGRESQL, L"host=h sslmode=", L"x"), L"password=x host=h sslmode=");
    EXPECT_EQ(WithPassword(DS_MYSQL, L"host=h\\", L"x"), L"password=x host=h\\");
    EXPECT_EQ(WithPassword(DS_ODBC, L"DSN=x;Opt={a", L"x"), L"PWD=x;DSN=x;Opt={a");

    // The joined string reads back to the same password, and the stored form loses it again.
    for (const wchar_t* password : {L"plain", L"with space", L"q'uote\\", L"semi;colon}"}) {
        for (DS_TYPE type : {DS_POSTGRESQL, DS_MYSQL, DS_ODBC}) {
            const std::wstring joined = WithPassword(type, type == DS_ODBC ? L"DSN=x" : L"host=h", password);
            EXPECT_EQ(FieldsFromString(type, joined).password, password) << joined;
            bool removed = false;
            const std::wstring stored = tw::db::WithoutPassword(type, joined, removed);
            EXPECT_TRUE(removed);
            EXPECT_EQ(FieldsFromString(type, stored), FieldsFromString(type, type == DS_ODBC ? L"DSN=x" : L"host=h"));
        }
    }
}

TEST(ConnFields, SessionPasswordNeverReachesTheSavedDescription) {
    CONN_INFO info;
    info.Type = DS_POSTGRESQL;
    info.Connection = L"host=h user=u";
    info.Password = L"s3cret";
    EXPECT_EQ(info.ConnectString(), L"host=h user=u password=s3cret");
    EXPECT_EQ(info.ConInfo().find(L"s3cret"), std::wstring::npos);
    CONN_INFO other = info;
    other.Password = L"different";
    EXPECT_TRUE(info == other);
}
