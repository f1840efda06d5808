// Pictures of every dialog for a person to look at: only when TW_DIALOG_SCREENSHOT_DIR names a folder (run it
// under Xvfb with QT_QPA_PLATFORM=xcb to see the real style and fonts).

#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <fstream>

#include "about_dialog.h"
#include "adv_connect.h"
#include "cdb.h"
#include "dialog_fixture.h"
#include "log_viewer.h"
#include "run_sql.h"
#include "settings_dialog.h"

namespace {

class DialogScreenshots : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        m_folder = qEnvironmentVariable("TW_DIALOG_SCREENSHOT_DIR");
        if (m_folder.isEmpty()) GTEST_SKIP() << "TW_DIALOG_SCREENSHOT_DIR is not set";
        QDir().mkpath(m_folder);
    }
    void Save(QWidget& dialog, const QString& name) {
        dialog.show();
        WaitFor([] { return false; }, 300);
        const QString path = m_folder + QLatin1Char('/') + name + QStringLiteral(".png");
        EXPECT_TRUE(dialog.grab().save(path)) << path.toStdString();
        dialog.hide();
    }
    static void Type(QLineEdit* edit, const QString& text) {
        edit->setText(text);
        emit edit->textEdited(text);
    }
    QString m_folder;
};

}  // namespace

TEST_F(DialogScreenshots, EveryDialog) {
    {
        CSettings settings;
        Save(settings, QStringLiteral("settings"));
    }
    {
        CAdvConnect connect;
        Type(connect.FileEdit(), QStringLiteral("/home/report/sales.sqlite"));
        Save(connect, QStringLiteral("connect-sqlite"));
        connect.TypeList()->setCurrentIndex(DS_POSTGRESQL);
        Type(connect.StringEdit(), QStringLiteral("host=127.0.0.1 port=1 dbname=sales user=report"));
        connect.PasswordEdit()->setText(QStringLiteral("wrong"));
        connect.Test();
        WaitFor([&] { return !connect.IsTesting(); });
        Save(connect, QStringLiteral("connect-postgresql"));
        connect.TypeList()->setCurrentIndex(DS_ODBC);
        if (connect.DataSourceList()->count() > 1) connect.DataSourceList()->setCurrentIndex(1);
        Save(connect, QStringLiteral("connect-odbc"));
    }
    {
        TestFolder folder;
        folder.Write("console.sqlite", "");
        CONN_INFO info;
        info.Connection = folder.File("console.sqlite");
        std::unique_ptr<CDB> db = CDB::newDB(DS_SQLITE);
        ASSERT_TRUE(CDB::isOK(db->Connect(info)));
        CRunSQL console;
        console.Initialize(QStringLiteral("Monospace"));
        console.SetDB(db.get(), nullptr);
        const QString script = QStringLiteral(
            "SELECT 'North' AS region, 1200.5 AS total UNION ALL SELECT 'South', 980;\n"
            "SELECT * FROM no_such_table;");
        console.Editor()->setText(script);
        console.Execute(QStringLiteral("SELECT 1 AS probe"));
        WaitFor([&] { return !console.IsRunning(); });
        console.Execute(script);
        WaitFor([&] { return !console.IsRunning(); });
        console.Results()->setCurrentIndex(0);
        Save(console, QStringLiteral("sql-console-messages"));
        console.Execute(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                       "WHERE x < 1000000) SELECT x, 'row ' || x AS label FROM c"));
        WaitFor([&] { return !console.IsRunning(); });
        Save(console, QStringLiteral("sql-console-results"));
        console.done(QDialog::Rejected);
    }
    {
        TestFolder folder;
        const std::string log = folder.Write(
            "tablewright.log",
            "2026-12-07 20:01:02 INFO  Tablewright 2.0 started\n"
            "2026-12-07 20:01:05 ERROR ProjectView::Connect: the connection failed: connection refused\n"
            "2026-12-07 20:02:11 INFO  ExReport::RunAndOpen: 1200 rows in 0.4 s\n");
        LogViewer viewer(nullptr, QString::fromStdString(log));
        viewer.SetFollow(true);
        Save(viewer, QStringLiteral("log-viewer"));
    }
    {
        CAboutDlg about;
        Save(about, QStringLiteral("about"));
    }
}
