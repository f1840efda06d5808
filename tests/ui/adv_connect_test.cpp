#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "adv_connect.h"
#include "cdb.h"
#include "ctw_doc.h"
#include "dialog_fixture.h"

namespace {

void Type(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->textEdited(text);
}

}  // namespace

using ConnectDialogTest = DialogTest;

TEST_F(ConnectDialogTest, SqliteIsTheDefaultAndFieldsMakeTheStringOfEachBackend) {
    CAdvConnect dialog;
    EXPECT_EQ(dialog.TypeList()->currentText(), QStringLiteral("SQLite"));
    Type(dialog.FileEdit(), QStringLiteral("/data/sales.sqlite"));
    EXPECT_EQ(dialog.StringEdit()->text(), QStringLiteral("/data/sales.sqlite"));
    EXPECT_EQ(dialog.Connection().Type, DS_SQLITE);

    dialog.TypeList()->setCurrentIndex(DS_POSTGRESQL);
    EXPECT_TRUE(dialog.CredentialsNote()->text().contains(QStringLiteral("~/.pgpass")));
    Type(dialog.HostEdit(), QStringLiteral("db.example"));
    Type(dialog.DatabaseEdit(), QStringLiteral("sales"));
    Type(dialog.UserEdit(), QStringLiteral("report"));
    Type(dialog.OptionsEdit(), QStringLiteral("sslmode=require"));
    EXPECT_EQ(dialog.StringEdit()->text(), QStringLiteral("host=db.example dbname=sales user=report sslmode=require"));

    dialog.TypeList()->setCurrentIndex(DS_MYSQL);
    EXPECT_TRUE(dialog.CredentialsNote()->text().contains(QStringLiteral("~/.my.cnf")));
    Type(dialog.PortEdit(), QStringLiteral("3307"));
    EXPECT_EQ(dialog.StringEdit()->text(),
              QStringLiteral("host=db.example port=3307 database=sales user=report sslmode=require"));

    dialog.TypeList()->setCurrentIndex(DS_ODBC);
    EXPECT_TRUE(dialog.CredentialsNote()->text().contains(QStringLiteral("odbc.ini")));
    Type(dialog.OptionsEdit(), QString());
    dialog.DataSourceList()->setCurrentText(QStringLiteral("pg-sales"));
    EXPECT_EQ(dialog.StringEdit()->text(),
              QStringLiteral("DSN=pg-sales;Server=db.example;Port=3307;Database=sales;UID=report"));
    EXPECT_EQ(dialog.Connection().Type, DS_ODBC);
}

TEST_F(ConnectDialogTest, APastedStringFillsTheFieldsAndItsPasswordStaysOutOfTheString) {
    CAdvConnect dialog;
    dialog.TypeList()->setCurrentIndex(DS_POSTGRESQL);
    Type(dialog.StringEdit(), QStringLiteral("postgresql://report:s3cret@db:5433/sales"));
    EXPECT_EQ(dialog.HostEdit()->text(), QStringLiteral("db"));
    EXPECT_EQ(dialog.PortEdit()->text(), QStringLiteral("5433"));
    EXPECT_EQ(dialog.DatabaseEdit()->text(), QStringLiteral("sales"));
    EXPECT_EQ(dialog.UserEdit()->text(), QStringLiteral("report"));
    EXPECT_EQ(dialog.PasswordEdit()->text(), QStringLiteral("s3cret"));
    const CONN_INFO chosen = dialog.Connection();
    EXPECT_EQ(chosen.Connection, L"postgresql://report@db:5433/sales");
    EXPECT_EQ(chosen.Password, L"s3cret");

    dialog.TypeList()->setCurrentIndex(DS_ODBC);
    Type(dialog.StringEdit(), QStringLiteral("Driver={PostgreSQL Unicode};Server=h;UID=u;PWD=p;BoolsAsChar=0"));
    EXPECT_EQ(dialog.DriverList()->currentText(), QStringLiteral("PostgreSQL Unicode"));
    EXPECT_EQ(dialog.HostEdit()->text(), QStringLiteral("h"));
    EXPECT_EQ(dialog.OptionsEdit()->text(), QStringLiteral("BoolsAsChar=0"));
    EXPECT_EQ(dialog.PasswordEdit()->text(), QStringLiteral("p"));
    EXPECT_EQ(dialog.Connection().Connection.find(L"PWD"), std::wstring::npos);

    // Showing a stored description puts it into the fields of its type.
    CONN_INFO stored;
    stored.Type = DS_MYSQL;
    stored.Connection = L"host=m port=3306 database=shop user=web";
    dialog.SetConnection(stored);
    EXPECT_EQ(dialog.TypeList()->currentIndex(), DS_MYSQL);
    EXPECT_EQ(dialog.DatabaseEdit()->text(), QStringLiteral("shop"));
    EXPECT_EQ(dialog.StringEdit()->text(), QStringLiteral("host=m port=3306 database=shop user=web"));
}

TEST_F(ConnectDialogTest, TestShowsTheDriversMessageWithoutBlockingTheWindow) {
    CAdvConnect dialog;
    dialog.TypeList()->setCurrentIndex(DS_SQLITE);
    Type(dialog.FileEdit(), QStringLiteral("/nonexistent-folder/x.sqlite"));
    dialog.Test();
    EXPECT_TRUE(dialog.IsTesting());
    ASSERT_TRUE(WaitFor([&] { return !dialog.IsTesting(); }));
    EXPECT_TRUE(dialog.TestResult().startsWith(QStringLiteral("Connection failed: "))) << dialog.TestResult().toStdString();
    EXPECT_GT(dialog.TestResult().size(), 20);
}

TEST_F(ConnectDialogTest, WrongPasswordShowsTheServersMessage) {
    const std::wstring server = ServerVariable("TW_TEST_PG");
    if (server.empty()) GTEST_SKIP() << "TW_TEST_PG is not set (tests/services.sh start)";
    CAdvConnect dialog;
    CONN_INFO info;
    info.Type = DS_POSTGRESQL;
    info.Connection = server;
    dialog.SetConnection(info);
    EXPECT_TRUE(dialog.StringEdit()->text().contains(QStringLiteral("password")));
    dialog.PasswordEdit()->setText(QStringLiteral("certainly-wrong"));
    EXPECT_EQ(dialog.Connection().Connection.find(L"password"), std::wstring::npos);
    dialog.Test();
    ASSERT_TRUE(WaitFor([&] { return !dialog.IsTesting(); }, 20000));
    EXPECT_TRUE(dialog.TestResult().contains(QStringLiteral("password authentication failed")))
        << dialog.TestResult().toStdString();

    // The right password, typed for this session only, connects.
    const QString right = QString::fromStdWString(tw::db::FieldsFromString(DS_POSTGRESQL, server).password);
    dialog.PasswordEdit()->setText(right);
    dialog.Test();
    ASSERT_TRUE(WaitFor([&] { return !dialog.IsTesting(); }, 20000));
    EXPECT_EQ(dialog.TestResult(), QStringLiteral("Connected successfully."));
}

TEST_F(ConnectDialogTest, TheSessionPasswordReachesNeitherTheProjectFileNorTheSettings) {
    TestFolder folder;
    CtwDoc project;
    project.SetPathName(folder.File("p.twp"));
    CAdvConnect dialog;
    dialog.TypeList()->setCurrentIndex(DS_POSTGRESQL);
    // Nothing listens on port 1: the connection fails at once, and the chosen description stays.
    Type(dialog.StringEdit(), QStringLiteral("host=127.0.0.1 port=1 dbname=sales user=report connect_timeout=2"));
    dialog.PasswordEdit()->setText(QStringLiteral("TopSecret42"));
    EXPECT_FALSE(dialog.DoConnect(project));
    ASSERT_EQ(TestHost().boxes.size(), 1);
    EXPECT_TRUE(TestHost().boxes[0].startsWith(QStringLiteral("Connect to Database: The connection failed")));
    ASSERT_NE(project.Connection(), nullptr);
    EXPECT_FALSE(project.Connection()->IsConnected());
    EXPECT_EQ(project.Connection()->m_ConInfo.Password, L"TopSecret42");  // kept for a retry in this session

    ASSERT_TRUE(project.Save(folder.File("p.twp")));
    ASSERT_TRUE(Settings().SaveData());
    const std::string saved = ReadBytes(folder.Path() / "p.twp");
    EXPECT_NE(saved.find("port=1 dbname=sales"), std::string::npos);
    EXPECT_EQ(saved.find("TopSecret42"), std::string::npos);
    EXPECT_EQ(ReadBytes(_Settings::FilePath()).find("TopSecret42"), std::string::npos);
    EXPECT_EQ(project.Connection()->ConInfo(1, 0).find(L"TopSecret42"), std::wstring::npos);
}
