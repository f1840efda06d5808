// The Query, Output, Report, Header and Footer pages on a real project view.

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "file_name_field.h"
#include "page_footer.h"
#include "page_header.h"
#include "page_output.h"
#include "page_query.h"
#include "page_report.h"
#include "sql_editor.h"
#include "sql_library.h"
#include "ui_fixture.h"

namespace {

class PagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().ResetToDefaults();
        TestHost().boxes.clear();
        m_folder.Write("data.sqlite", "");
        CProjectView::SetPageFactory([](int index, CProjectView* view) -> ProjectPage* {
            switch (index) {
                case 0: return new PageQuery(view);
                case 1: return new PageOutput(view);
                case 2: return new PageReport(view);
                case 3: return new PageHeader(view);
                case 4: return new PageFooter(view);
                default: return new PlaceholderPage(view, CProjectView::TabLabel(index));
            }
        });
    }
    void TearDown() override {
        m_view.reset();
        PageQuery::SetFileChooser(nullptr);
        PageQuery::SetLibraryRunner(nullptr);
        Settings().ResetToDefaults();
    }
    // A project (written to disk, then loaded) and its view.
    void Open(const std::string& body, bool connect = false) {
        m_path = std::filesystem::path(m_folder.Write("p.twp", body + "[Connection]\nType = 'sqlite'\n"
                                                                       "Connection = '" +
                                                                (m_folder.Path() / "data.sqlite").string() +
                                                                "'\n"))
                     .wstring();
        ASSERT_TRUE(m_project.LoadFile(m_path));
        if (connect) {
            ASSERT_TRUE(m_project.ConnectDatabase());
        }
        m_view = std::make_unique<CProjectView>(&m_project);
        m_view->resize(700, 450);
        m_view->show();
    }
    void SwitchTo(int index) {
        m_view->Tabs()->setCurrentIndex(index);
        QApplication::processEvents();
    }
    template <class Page>
    Page* P(int index) const {
        return static_cast<Page*>(m_view->Page(index));
    }
    template <class Condition>
    static bool WaitFor(Condition condition) {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < 15000) QApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }

    TestFolder m_folder;
    std::wstring m_path;
    CtwDoc m_project;
    std::unique_ptr<CProjectView> m_view;
};

}  // namespace

TEST_F(PagesTest, ScriptLineEndsAddedByTheEditorAreNoChange) {
    Open("[Query]\nText = 'SELECT 1'\n");
    auto* query = P<PageQuery>(0);
    query->Editor()->LoadText(QStringLiteral("SELECT 1\r\n\n"));
    SwitchTo(1);
    EXPECT_FALSE(m_project.IsModified());
    EXPECT_EQ(m_project.Text, L"SELECT 1");
    SwitchTo(0);
    query->Editor()->LoadText(QStringLiteral("SELECT 2\n"));
    SwitchTo(1);
    EXPECT_TRUE(m_project.IsModified());
    EXPECT_EQ(m_project.Text, L"SELECT 2\n");
}

TEST_F(PagesTest, FileModeStoresOnlyAReadableScriptFile) {
    m_folder.Write("q.sql", "SELECT 3");
    Open("[Query]\nText = 'SELECT 1'\nFromFile = 1\nQueryFile = 'old.sql'\n");
    auto* query = P<PageQuery>(0);
    EXPECT_FALSE(query->Editor()->isEnabled());
    EXPECT_TRUE(query->FileField()->isEnabled());
    query->FileField()->Edit()->setText(QString::fromStdWString(m_folder.File("missing.sql")));
    SwitchTo(1);
    EXPECT_EQ(m_project.QueryFile, L"old.sql");
    SwitchTo(0);
    query->FileField()->Edit()->setText(QString::fromStdWString(m_folder.File("q.sql")));
    SwitchTo(1);
    EXPECT_EQ(m_project.QueryFile, m_folder.File("q.sql"));

    // Back to script mode: modified, and the script file is kept.
    m_project.SetModified(false);
    SwitchTo(0);
    query->ScriptRadio()->click();
    EXPECT_EQ(m_project.FromFile, 0);
    EXPECT_TRUE(m_project.IsModified());
    EXPECT_EQ(m_project.QueryFile, m_folder.File("q.sql"));
    EXPECT_TRUE(query->Editor()->isEnabled());
}

TEST_F(PagesTest, CheckNamesTheServersMessageAndRefusesBlankScripts) {
    Open("[Query]\nText = \"\"\"\n \r\n\t\"\"\"\n", true);
    auto* query = P<PageQuery>(0);
    query->Check();
    ASSERT_EQ(TestHost().boxes, QStringList{"Warning: There is no script entered or loaded yet."});
    TestHost().boxes.clear();
    query->Editor()->LoadText(QStringLiteral("SELECT * FROM no_such_table;\nSELECT 1;"));
    query->Check();
    ASSERT_TRUE(WaitFor([&] { return !query->IsChecking(); }));
    ASSERT_EQ(TestHost().boxes.size(), 1);
    EXPECT_TRUE(TestHost().boxes[0].startsWith("Error: ")) << TestHost().boxes[0].toStdString();
    EXPECT_TRUE(TestHost().boxes[0].contains("no_such_table")) << TestHost().boxes[0].toStdString();
    TestHost().boxes.clear();
    query->Editor()->LoadText(QStringLiteral("SELECT 1"));
    query->Check();
    ASSERT_TRUE(WaitFor([&] { return !query->IsChecking(); }));
    EXPECT_EQ(TestHost().boxes, QStringList{"Test: Test completed successfully"});
}

TEST_F(PagesTest, CheckWithoutConnectionWarns) {
    Open("[Query]\nText = 'SELECT 1'\n");
    P<PageQuery>(0)->Check();
    EXPECT_EQ(TestHost().boxes, QStringList{"Warning: There is no database connection established."});
}

TEST_F(PagesTest, CompletionReadsTablesAndColumnsOffTheWindowThread) {
    Open("[Query]\nText = 'SELECT 1'\n");
    auto* query = P<PageQuery>(0);
    EXPECT_TRUE(query->Editor()->CompletionNames().isEmpty());
    // Connected now: loading the page reads the names of the new connection.
    ASSERT_TRUE(m_project.ConnectDatabase());
    ASSERT_TRUE(CDB::isOK(m_project.Connection()->Execute(L"CREATE TABLE orders (id INTEGER, total REAL)", 0)));
    m_project.Connection()->CloseCursor(0);
    m_view->ProjectChanged();
    ASSERT_TRUE(WaitFor([&] { return query->Editor()->CompletionNames().contains("orders"); }));
    EXPECT_TRUE(query->Editor()->CompletionNames().contains("total"));
    EXPECT_EQ(query->Editor()->CompletionsOf("ORD"), (QStringList{"ORDER", "orders"}));
}

TEST_F(PagesTest, LibraryPlacesTheScriptInThreeWays) {
    m_folder.Write("lib/sub/two.sql", "SELECT 2");
    Settings().setStr(L"Library", m_folder.File("lib"));
    Open("[Query]\nText = 'SELECT 1'\n");
    auto* query = P<PageQuery>(0);
    pages::Placement mode = pages::Placement::Append;
    PageQuery::SetLibraryRunner([&](SqlLibrary& library) {
        EXPECT_EQ(library.RootPath(), QString::fromStdWString(m_folder.File("lib")));
        library.Choose(QString::fromStdWString(m_folder.File("lib/sub/two.sql")), mode);
        return true;
    });
    query->Library();
    EXPECT_EQ(query->Editor()->Text(), "SELECT 1SELECT 2 ");
    EXPECT_EQ(m_project.Text, L"SELECT 1SELECT 2 ");
    mode = pages::Placement::Replace;
    query->Library();
    EXPECT_EQ(query->Editor()->Text(), "SELECT 2");
    mode = pages::Placement::AtCaret;
    query->Editor()->setSelection(0, 0, 0, 3);  // a selection is not replaced: the caret is its end
    query->Library();
    EXPECT_EQ(query->Editor()->Text(), "SELSELECT 2ECT 2");
    // Cancelled: nothing changes.
    PageQuery::SetLibraryRunner([](SqlLibrary&) { return false; });
    query->Library();
    EXPECT_EQ(query->Editor()->Text(), "SELSELECT 2ECT 2");
}

TEST_F(PagesTest, SaveAsksOnceThenWritesSilentlyAndExternalEditsAreReread) {
    Open("[Query]\nText = 'SELECT 1'\n");
    auto* query = P<PageQuery>(0);
    int asked = 0;
    const QString file = QString::fromStdWString(m_folder.File("saved.sql"));
    PageQuery::SetFileChooser([&](const QString& title) {
        ++asked;
        EXPECT_EQ(title, "Save SQL Script");
        return file;
    });
    query->Save();
    query->Editor()->LoadText(QStringLiteral("SELECT 5"));
    query->Save();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadBytes(file.toStdString()), "SELECT 5");

    // A stand-in editor that rewrites the file; the page shows and stores the new text.
    const std::string script = m_folder.Write("editor.sh", "#!/bin/sh\nprintf 'SELECT 9' > \"$1\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    Settings().setStr(L"SQLeditor", std::filesystem::path(script).wstring());
    query->FileField()->SetText(file);
    query->ExternalEditor();
    EXPECT_TRUE(TestHost().boxes.isEmpty()) << TestHost().boxes.join('\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return query->Editor()->Text() == "SELECT 9"; }));
    EXPECT_EQ(m_project.Text, L"SELECT 9");

    Settings().setStr(L"SQLeditor", L"/no/such/editor");
    query->ExternalEditor();
    ASSERT_EQ(TestHost().boxes.size(), 1);
    EXPECT_TRUE(TestHost().boxes[0].startsWith("Error: Could not execute the external script editor '/no/such/editor'."));
    TestHost().boxes.clear();
    query->FileField()->SetText(QString());
    query->ExternalEditor();
    EXPECT_EQ(TestHost().boxes, QStringList{"Warning: The script file not specified or inaccessible."});
}

TEST_F(PagesTest, FormatChangeSetsTheExtensionAndTheControls) {
    Open("[Target]\nFormat = 3\nReportFile = 'report.htm'\nLanguage = 'fr'\n");
    SwitchTo(1);
    auto* output = P<PageOutput>(1);
    EXPECT_EQ(output->FileField()->Text(), "report.htm");  // loading never touches the name
    EXPECT_EQ(output->LanguageList()->currentText(), "fr");
    auto pick = [&](const QString& label) {
        output->FormatList()->setCurrentIndex(output->FormatList()->findText(label));
        emit output->FormatList()->activated(output->FormatList()->currentIndex());
    };
    pick("XML");
    EXPECT_EQ(m_project.Format, 2);
    EXPECT_EQ(m_project.ReportFile, L"report.xml");
    EXPECT_TRUE(output->LanguageList()->isHidden());
    EXPECT_TRUE(output->LandscapeBox()->isHidden());
    pick("PDF");
    EXPECT_EQ(m_project.ReportFile, L"report.pdf");
    EXPECT_FALSE(output->LandscapeBox()->isHidden());
    EXPECT_EQ(output->FileField()->Filter(), "PDF Documents|*.pdf|All Files|*.*||");
    pick("CHM");
    EXPECT_FALSE(output->LanguageList()->isHidden());
    EXPECT_TRUE(output->LandscapeBox()->isHidden());

    m_project.SetModified(false);
    pick("CHM");  // the format it has: nothing changes
    EXPECT_FALSE(m_project.IsModified());

    output->FileField()->SetText(QStringLiteral("out.html"));
    pick("Text");
    EXPECT_EQ(m_project.ReportFile, L"out.htxt");
    output->FileField()->SetText(QStringLiteral("out.html"));
    pick("HTML");
    EXPECT_EQ(m_project.ReportFile, L"out.hhtm");
    output->FileField()->SetText(QStringLiteral("a.tx"));
    pick("XML");
    EXPECT_EQ(m_project.ReportFile, L"a.tx");
}

TEST_F(PagesTest, TitleSwitchKeepsTheTextAndStylesFollowTheFormat) {
    Open("[Target]\nTitle = 'My title'\nFormat = 2\n");
    SwitchTo(2);
    auto* report = P<PageReport>(2);
    EXPECT_TRUE(report->StyleList()->isHidden());  // XML has no style
    EXPECT_EQ(report->TitleField()->toPlainText(), "My title");
    report->TitleSwitch()->click();
    EXPECT_FALSE(m_project.IsTitleOn());
    SwitchTo(3);
    SwitchTo(2);
    EXPECT_FALSE(report->TitleSwitch()->isChecked());
    EXPECT_EQ(report->TitleField()->toPlainText(), "My title");
    report->TitleSwitch()->click();
    EXPECT_TRUE(m_project.IsTitleOn());
    EXPECT_EQ(m_project.Title, L"My title");

    m_project.SetFormat(1);
    SwitchTo(3);
    SwitchTo(2);
    EXPECT_FALSE(report->StyleList()->isHidden());
}

TEST_F(PagesTest, HeaderSwitchAndFocusRules) {
    Settings().setInt(L"UseForEmpty", 1);
    Settings().setStr(L"DefHeader", L"Default head");
    Open("[Target]\nFooterTxt = 'Foot'\n");
    m_project.SetHeaderText(std::wstring());  // on, and empty
    SwitchTo(3);
    auto* header = P<PageHeader>(3);
    EXPECT_EQ(header->TextField()->toPlainText(), "Default head");
    SwitchTo(0);
    EXPECT_EQ(m_project.Header, L"Default head");

    // Typing with the switch cleared switches the header on at focus loss, until the next full store.
    SwitchTo(3);
    header->Switch()->click();
    EXPECT_FALSE(m_project.IsHeaderOn());
    header->TextField()->setFocus();
    header->TextField()->setPlainText(QStringLiteral("Typed"));
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(header->TextField(), &out);
    EXPECT_TRUE(m_project.IsHeaderOn());
    EXPECT_EQ(m_project.Header, L"Typed");
    SwitchTo(4);
    EXPECT_FALSE(m_project.IsHeaderOn());

    // "Default" stores 0; the footer page leaves the header alone.
    SwitchTo(4);
    auto* footer = P<PageFooter>(4);
    footer->SizeList()->setCurrentIndex(0);
    emit footer->SizeList()->activated(0);
    EXPECT_EQ(m_project.FooterSize, 0);
    EXPECT_EQ(m_project.HeaderSize, 4);
    EXPECT_EQ(m_project.FooterTxt, L"Foot");
}

TEST_F(PagesTest, TabSwitchesAndSaveKeepTheProjectFileByteForByte) {
    m_folder.Write("q.sql", "SELECT 1");
    const std::string body =
        "[Query]\nText = 'SELECT 1'\nFromFile = 1\nQueryFile = '" + m_folder.Path().string() +
        "/q.sql'\n[Target]\nTitle = 'T'\nHeader = 'H'\nFooterTxt = 'F'\nFormat = 5\nReportFile = 'r.pdf'\n"
        "Language = 'de'\nEncoding = 'windows-1250'\nIsLandscape = 1\nStyleNo = 'Striped'\nTitleSize = 3\n"
        "TitleClass = 'tc'\nHeaderClass = 'hc'\nFooterClass = 'fc'\nSummary = 1\nTOC = 1\nOpen = 0\n";
    Open(body);
    ASSERT_TRUE(m_project.Save(m_path));
    const std::string before = ReadBytes(std::filesystem::path(m_path));
    for (int round = 0; round < 2; ++round) {
        for (int index : {1, 2, 3, 4, 0}) SwitchTo(index);
    }
    m_view->StoreCurrentPage();
    EXPECT_FALSE(m_project.IsModified());
    ASSERT_TRUE(m_project.Save(m_path));
    EXPECT_EQ(ReadBytes(std::filesystem::path(m_path)), before);
}

TEST_F(PagesTest, TheEditorLeavesCtrlRToTheWindowAndStoresTheTypedScriptOnFocusLoss) {
    Open("[Query]\nText = 'SELECT 1'\n");
    auto* query = P<PageQuery>(0);
    // A key the editor took for itself would never reach Run's shortcut.
    QKeyEvent run(QEvent::ShortcutOverride, Qt::Key_R, Qt::ControlModifier);
    run.ignore();
    QApplication::sendEvent(query->Editor(), &run);
    EXPECT_FALSE(run.isAccepted());
    // Run stores the page first; without that, leaving the editor does.
    query->Editor()->LoadText(QStringLiteral("SELECT 42"));
    m_view->StoreCurrentPage();
    EXPECT_EQ(m_project.Text, L"SELECT 42");
    query->Editor()->LoadText(QStringLiteral("SELECT 43"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(query->Editor(), &out);
    EXPECT_EQ(m_project.Text, L"SELECT 43");
}
