// The main frame: Save All, the list of open projects, Run without a project, the title and the switches.

#include <QFileInfo>
#include <QMdiSubWindow>
#include <QSettings>
#include <QSplitter>
#include <QThread>

#include "themes.h"
#include "ui_fixture.h"

class MainFrameTest : public WindowTest {};

TEST_F(MainFrameTest, SaveAllSavesExactlyTheModifiedProjects) {
    std::vector<CChildFrame*> children;
    for (const char* name : {"a.twp", "b.twp", "c.twp"}) {
        children.push_back(m_frame->OpenProject(QString::fromStdWString(WriteProject(name, "SELECT 1", "out.htm"))));
        ASSERT_NE(children.back(), nullptr);
    }
    EXPECT_FALSE(m_frame->Action(32796)->isEnabled());
    children[0]->Project().SetTitleText(std::wstring(L"First changed"));
    children[2]->Project().SetTitleText(std::wstring(L"Third changed"));
    ASSERT_TRUE(children[0]->Project().IsModified());
    ASSERT_FALSE(children[1]->Project().IsModified());
    EXPECT_TRUE(m_frame->Action(32796)->isEnabled());

    const std::string before = ReadBytes(m_folder.Path() / "b.twp");
    m_frame->Action(32796)->trigger();
    // The saves are queued: nothing is written before the command returns.
    EXPECT_TRUE(children[0]->Project().IsModified());
    Settle();
    EXPECT_FALSE(children[0]->Project().IsModified());
    EXPECT_FALSE(children[2]->Project().IsModified());
    EXPECT_NE(ReadBytes(m_folder.Path() / "a.twp").find("First changed"), std::string::npos);
    EXPECT_NE(ReadBytes(m_folder.Path() / "c.twp").find("Third changed"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_folder.Path() / "b.twp"), before);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "b.bak"));
    EXPECT_FALSE(m_frame->Action(32796)->isEnabled());
}

TEST_F(MainFrameTest, ClosingStoresTheSavedOpenProjectsInOrder) {
    const std::wstring second = WriteProject("second.twp", "SELECT 1", "");
    const std::wstring first = WriteProject("first.twp", "SELECT 1", "");
    ASSERT_NE(m_frame->OpenProject(QString::fromStdWString(second)), nullptr);
    m_frame->NewProject();  // never saved: not remembered
    ASSERT_NE(m_frame->OpenProject(QString::fromStdWString(first)), nullptr);
    m_frame->close();
    EXPECT_TRUE(m_frame->Children().empty());
    EXPECT_EQ(Settings().getArr(L"ProjList"), (std::vector<std::wstring>{second, first}));
    // Written to the settings file at once, not only kept in memory.
    Settings().ResetToDefaults();
    Settings().Load();
    EXPECT_EQ(Settings().getArr(L"ProjList").size(), 2u);
}

TEST_F(MainFrameTest, ClosingAModifiedProjectAsksAndCancelKeepsTheWindow) {
    CChildFrame* child = Open("p.twp", "SELECT 1", "");
    child->Project().SetTitleText(std::wstring(L"changed"));
    TestHost().answer = QMessageBox::Cancel;
    m_frame->close();
    EXPECT_EQ(m_frame->Children().size(), 1u);
    ASSERT_EQ(TestHost().questions.size(), 1);
    EXPECT_TRUE(TestHost().questions[0].startsWith(QStringLiteral("Velmor Tablewright: Save changes to p.twp?")));
}

TEST_F(MainFrameTest, RunWithoutAProjectWindow) {
    m_frame->UpdateActions();
    EXPECT_TRUE(m_frame->Action(1179)->isEnabled());
    EXPECT_FALSE(m_frame->Action(1009)->isEnabled());
    EXPECT_FALSE(m_frame->Action(32812)->isEnabled());
    m_frame->Action(1179)->trigger();
    EXPECT_EQ(TestHost().boxes, QStringList{QStringLiteral("Run: Please switch to the project to be executed.")});
}

TEST_F(MainFrameTest, RunWithoutAnOutputFileTouchesNothing) {
    CChildFrame* child = Open("p.twp", "SELECT 1", "");
    bool started = false;
    QObject::connect(&RunController::Instance(), &RunController::runStarted, m_frame.get(),
                     [&](CtwDoc*, RunController::Kind kind) { started = started || kind == RunController::Kind::Report; });
    m_frame->Action(1179)->trigger();
    Settle();
    EXPECT_FALSE(started);
    EXPECT_EQ(TestHost().boxes, QStringList{QStringLiteral("Execution: There is no output file specified yet.")});
    EXPECT_FALSE(child->Project().IsModified());
}

TEST_F(MainFrameTest, RunStoresTheCurrentPageFirstAndRunsOffTheWindowThread) {
    CChildFrame* child =
        Open("p.twp", "SELECT 1 AS old", "out.txt");
    child->Project().Format = 3;
    Page(child, 0)->plain->setText(QStringLiteral("SELECT 'typed' AS fresh"));  // typed, not yet stored
    m_pageLog.clear();
    QThread* runThread = nullptr;
    QObject::connect(&RunController::Instance(), &RunController::runStarted, m_frame.get(),
                     [&] { runThread = QThread::currentThread(); });
    m_frame->Action(1179)->trigger();
    EXPECT_EQ(m_pageLog, QStringList{QStringLiteral("save 0")});
    Settle();
    EXPECT_TRUE(TestHost().boxes.isEmpty()) << TestHost().boxes.join('\n').toStdString();
    const std::string report = ReadBytes(m_folder.Path() / "out.txt");
    EXPECT_NE(report.find("typed"), std::string::npos) << report;
    EXPECT_NE(runThread, nullptr);
    EXPECT_TRUE(TestHost().opened.isEmpty());  // Open is off
}

TEST_F(MainFrameTest, TitleShowsTheStarWhileModified) {
    CChildFrame* child = Open("sales.twp", "SELECT 1", "");
    EXPECT_EQ(child->windowTitle(), QStringLiteral("sales.twp"));
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("sales.twp - Velmor Tablewright"));
    child->Project().SetTitleText(std::wstring(L"New title"));
    EXPECT_EQ(child->windowTitle(), QStringLiteral("sales.twp*"));
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("sales.twp* - Velmor Tablewright"));
    m_frame->Save();
    EXPECT_EQ(child->windowTitle(), QStringLiteral("sales.twp"));
    CChildFrame* untitled = m_frame->NewProject();
    EXPECT_EQ(untitled->windowTitle(), QStringLiteral("Tablewright1"));
}

TEST_F(MainFrameTest, AProjectThatCannotBeReadOpensNothingAndSaysWhy) {
    m_folder.Write("broken.twp", "[Query\nthis is not a project");
    EXPECT_EQ(m_frame->OpenProject(QString::fromStdWString(m_folder.File("broken.twp"))), nullptr);
    EXPECT_EQ(m_frame->OpenProject(QString::fromStdWString(m_folder.File("missing.twp"))), nullptr);
    EXPECT_TRUE(m_frame->Children().empty());
    ASSERT_EQ(TestHost().boxes.size(), 2);
    EXPECT_TRUE(TestHost().boxes[0].startsWith(QStringLiteral("Open: The project "))) << TestHost().boxes[0].toStdString();
    EXPECT_TRUE(TestHost().boxes[0].contains(QStringLiteral("could not be opened")));
    EXPECT_TRUE(TestHost().boxes[1].contains(QStringLiteral("does not exist")));
}

TEST_F(MainFrameTest, StartOpensListedOrRememberedProjectsOrANewOne) {
    const std::wstring remembered = WriteProject("remembered.twp", "SELECT 1", "");
    Settings().setArr(L"ProjList", {remembered, m_folder.File("gone.twp")});
    EXPECT_EQ(m_frame->Start({}, false, false), 1);
    ASSERT_EQ(m_frame->Children().size(), 1u);
    EXPECT_EQ(m_frame->Children()[0]->Project().PathName(), remembered);

    auto empty = std::make_unique<CMainFrame>();
    Settings().setArr(L"ProjList", {m_folder.File("gone.twp")});
    EXPECT_EQ(empty->Start({}, false, false), 0);
    ASSERT_EQ(empty->Children().size(), 1u);
    EXPECT_TRUE(empty->Children()[0]->Project().PathName().empty());
    empty->close();
}

TEST_F(MainFrameTest, RunAndQuitSwitchesRunEachProjectThenClose) {
    const std::wstring first = WriteProject("one.twp", "SELECT 1 AS one", "one.txt");
    const std::wstring second = WriteProject("two.twp", "SELECT 2 AS two", "two.txt");
    m_frame->show();
    m_frame->Start({first, second}, true, true);
    ASSERT_TRUE(WaitFor([&] { return !m_frame->isVisible(); }, 20000));
    EXPECT_TRUE(std::filesystem::exists(m_folder.Path() / "one.txt"));
    EXPECT_TRUE(std::filesystem::exists(m_folder.Path() / "two.txt"));
    EXPECT_TRUE(m_frame->Children().empty());
}

TEST_F(MainFrameTest, ThemeIsRememberedUnderApplicationLook) {
    EXPECT_EQ(m_frame->Look(), 215);
    m_frame->Action(217)->trigger();
    EXPECT_EQ(QSettings().value(QStringLiteral("ApplicationLook")).toInt(), 217);
    EXPECT_TRUE(m_frame->Action(217)->isChecked());
    CMainFrame next;
    EXPECT_EQ(next.Look(), 217);
    next.SetLook(215);
}

TEST_F(MainFrameTest, TheDarkThemeReachesTheProjectWindows) {
    CChildFrame* child = m_frame->NewProject();
    m_frame->show();
    Settle();
    m_frame->SetLook(216);
    QApplication::processEvents();
    EXPECT_LT(m_frame->palette().color(QPalette::Window).lightness(), 100);
    EXPECT_LT(child->View()->palette().color(QPalette::Window).lightness(), 100);
    EXPECT_LT(child->View()->Tabs()->palette().color(QPalette::Window).lightness(), 100);
    m_frame->SetLook(215);
    EXPECT_GT(child->View()->palette().color(QPalette::Window).lightness(), 150);
}
