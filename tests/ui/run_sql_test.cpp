#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "cdb.h"
#include "dialog_fixture.h"
#include "result_model.h"
#include "run_sql.h"
#include "sql_worker.h"

TEST(StatementAt, TheStatementUnderTheCursor) {
    const std::wstring script = L"SELECT 1;\n\nSELECT ';' AS x;  -- note\nSELECT 3";
    struct Case {
        size_t offset;
        const wchar_t* statement;
    };
    const Case cases[] = {
        {0, L"SELECT 1"},          {8, L"SELECT 1"},  {9, L"SELECT 1"},  // right after the ";" still the first
        {11, L"SELECT ';' AS x"},  {19, L"SELECT ';' AS x"},            // a ";" inside quotes splits nothing
        {script.size(), L"-- note\nSELECT 3"},  // a comment before a statement is part of it
    };
    for (const Case& c : cases) EXPECT_EQ(StatementAt(script, c.offset), c.statement) << c.offset;
    EXPECT_EQ(StatementAt(L"  ", 1), L"");
}

namespace {

struct Backend {
    const char* name;
    const char* variable;  // empty: SQLite in a temporary file
    const char* longStatement;
};

class SqlConsoleTest : public DialogTest, public ::testing::WithParamInterface<Backend> {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        CONN_INFO info;
        if (*GetParam().variable == '\0') {
            info.Type = DS_SQLITE;
            m_folder.Write("console.sqlite", "");
            info.Connection = m_folder.File("console.sqlite");
        } else {
            info.Type = DS_POSTGRESQL;
            info.Connection = ServerVariable(GetParam().variable);
            if (info.Connection.empty()) GTEST_SKIP() << GetParam().variable << " is not set (tests/services.sh start)";
        }
        m_db = CDB::newDB(info.Type);
        ASSERT_TRUE(CDB::isOK(m_db->Connect(info))) << std::string(m_db->m_LastError.begin(), m_db->m_LastError.end());
        m_console = std::make_unique<CRunSQL>();
        m_console->Initialize(QStringLiteral("Monospace"));
        m_console->SetDB(m_db.get(), nullptr);
    }
    void TearDown() override {
        m_console.reset();
        DialogTest::TearDown();
    }
    void RunAndWait(const QString& text) {
        m_console->Execute(text);
        ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }, 20000)) << text.toStdString();
    }
    QString Messages() const { return m_console->Messages()->toPlainText(); }

    TestFolder m_folder;
    std::unique_ptr<CDB> m_db;
    std::unique_ptr<CRunSQL> m_console;
};

}  // namespace

TEST_P(SqlConsoleTest, EachResultSetInItsOwnTabAndAnErrorInTheMessages) {
    RunAndWait(QStringLiteral("CREATE TEMP TABLE t (a INTEGER, b VARCHAR(10)); INSERT INTO t VALUES (1, 'x'), (2, NULL);"
                              "SELECT a, b FROM t ORDER BY a; SELECT 'only' AS c"));
    ASSERT_EQ(m_console->Results()->count(), 3);  // the messages and two result sets
    ResultModel* first = m_console->Model(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->columnCount(), 2);
    EXPECT_EQ(first->headerData(1, Qt::Horizontal).toString(), QStringLiteral("b"));
    EXPECT_EQ(first->rowCount(), 2);
    EXPECT_EQ(first->index(0, 1).data().toString(), QStringLiteral("x"));
    EXPECT_TRUE(first->AtEnd());
    EXPECT_FALSE(first->IsCut());
    ResultModel* second = m_console->Model(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->index(0, 0).data().toString(), QStringLiteral("only"));
    EXPECT_TRUE(WaitFor([&] { return Messages().contains(QStringLiteral("Statement 4")); }));
    EXPECT_TRUE(Messages().contains(QStringLiteral("Statement 3 (SELECT a, b FROM t ORDER BY a): 2 rows,")));
    EXPECT_TRUE(Messages().contains(QStringLiteral("Statement 2 (INSERT INTO t VALUES (1, 'x'), (2, NULL)): 2 rows affected")))
        << Messages().toStdString();
    EXPECT_TRUE(Messages().contains(QStringLiteral("Statement 1 (CREATE TEMP TABLE t (a INTEGER, b VARCHAR(10))): 0 rows affected")));

    RunAndWait(QStringLiteral("SELECT 1 AS one; SELECT * FROM missing_table; SELECT 2 AS never"));
    EXPECT_TRUE(Messages().contains(QStringLiteral("Statement 2 (SELECT * FROM missing_table) failed")));
    EXPECT_TRUE(Messages().contains(QStringLiteral("missing_table")));
    EXPECT_FALSE(Messages().contains(QStringLiteral("SELECT 2 AS never")));  // the run stops at the error
    EXPECT_EQ(m_console->Results()->count(), 2);
    EXPECT_EQ(m_console->History()->count(), 2);
    EXPECT_EQ(m_console->History()->itemData(0).toString(),
              QStringLiteral("SELECT 1 AS one; SELECT * FROM missing_table; SELECT 2 AS never"));

    // The connection is free for the next run after an error.
    RunAndWait(QStringLiteral("SELECT 3 AS three"));
    ASSERT_EQ(m_console->Results()->count(), 2);
    EXPECT_EQ(m_console->Model(1)->index(0, 0).data().toString(), QStringLiteral("3"));
}

TEST_P(SqlConsoleTest, AMillionRowsArriveOnlyAsTheGridAsksForThem) {
    RunAndWait(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000) "
                              "SELECT x, 'row ' || x AS label FROM c"));
    ResultModel* model = m_console->Model(1);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->rowCount(), SqlWorker::kBatchRows);
    EXPECT_TRUE(model->canFetchMore(QModelIndex()));
    for (int batch = 0; batch < 3; ++batch) {
        model->fetchMore(QModelIndex());
        model->fetchMore(QModelIndex());  // a second request while one is on its way asks for nothing more
        ASSERT_TRUE(WaitFor([&] { return model->rowCount() == SqlWorker::kBatchRows * (batch + 2); }));
    }
    ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }));
    EXPECT_EQ(model->rowCount(), SqlWorker::kBatchRows * 4);
    EXPECT_EQ(model->index(1023, 1).data().toString(), QStringLiteral("row 1024"));

    // Closing the console frees the connection: the open result set is given up, not read to its end.
    m_console->done(QDialog::Rejected);
    EXPECT_TRUE(WaitFor([&] { return model->IsCut(); }));
    std::wstring value;
    ASSERT_TRUE(CDB::isOK(m_db->Execute(L"SELECT 42", 0)));
    ASSERT_EQ(m_db->Fetch(0), DB_OK);
    m_db->GetValue(1, value, 0, 0, 0);
    EXPECT_EQ(value, L"42");
    m_db->CloseCursor(0);
}

TEST_P(SqlConsoleTest, StopEndsALongStatement) {
    m_console->Execute(QString::fromLatin1(GetParam().longStatement));
    ASSERT_TRUE(m_console->IsRunning());
    QElapsedTimer clock;
    clock.start();
    WaitFor([] { return false; }, 300);
    m_console->Stop();
    ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }, 10000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(Messages().contains(QStringLiteral("failed"))) << Messages().toStdString();
    EXPECT_TRUE(Messages().contains(QStringLiteral("Stopped"))) << Messages().toStdString();
    // The next statement runs normally.
    RunAndWait(QStringLiteral("SELECT 7 AS seven"));
    ASSERT_NE(m_console->Model(1), nullptr);
    EXPECT_EQ(m_console->Model(1)->index(0, 0).data().toString(), QStringLiteral("7"));
}

TEST_P(SqlConsoleTest, RunsTheSelectionOrTheStatementUnderTheCursor) {
    m_console->Editor()->setText(QStringLiteral("SELECT 1 AS a;\nSELECT 2 AS b;\nSELECT 3 AS c"));
    m_console->Editor()->setCursorPosition(1, 3);
    m_console->ExecuteCurrent();
    ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }));
    ASSERT_EQ(m_console->Results()->count(), 2) << Messages().toStdString();
    EXPECT_EQ(m_console->Model(1)->headerData(0, Qt::Horizontal).toString(), QStringLiteral("b"));

    m_console->Editor()->setSelection(2, 0, 2, 13);
    m_console->ExecuteCurrent();
    ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }));
    ASSERT_NE(m_console->Model(1), nullptr) << Messages().toStdString();
    EXPECT_EQ(m_console->Model(1)->headerData(0, Qt::Horizontal).toString(), QStringLiteral("c"));

    m_console->ExecuteAll();
    ASSERT_TRUE(WaitFor([&] { return !m_console->IsRunning(); }));
    EXPECT_EQ(m_console->Results()->count(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Backends, SqlConsoleTest,
    ::testing::Values(
        Backend{"SQLite", "",
                "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2000000000) "
                "SELECT count(*) FROM c"},
        Backend{"PostgreSQL", "TW_TEST_PG", "SELECT pg_sleep(60)"}),
    [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });
