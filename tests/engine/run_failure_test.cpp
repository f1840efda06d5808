// Runs that go wrong: every error paragraph, a statement that fails after earlier result sets, a fetch that
// fails, writer failures, the run guard, and what is opened or logged at the end.

#include <fstream>

#include "dates.h"
#include "engine_fakes.h"

using namespace enginetest;
using Strings = std::vector<std::string>;

namespace {
FakeResultSet OneColumn(int rows) {
    FakeResultSet set{{L"n"}, {TC_INTEGER}, {}};
    for (int row = 0; row < rows; ++row) set.rows.push_back({std::to_wstring(row)});
    return set;
}
}  // namespace

TEST_F(EngineTest, ErrorParagraphsBeforeAnyResult) {
    const std::string notConnected = "Report is not ready yet. The database connection is not established.";
    struct Case {
        bool connection, connected;
        std::wstring script;
        bool failExecute;
        std::string message;
        int closeCursorCalls;
    };
    const std::vector<Case> cases = {
        {false, false, L"SELECT 1", false, notConnected, 0},
        {true, false, L"SELECT 1", false, notConnected, 0},
        {true, true, L" \t\r\n ", false, "Report is not ready yet. SQL script or statement is empty.", 0},
        {true, true, L"SELEC 1", true, "Could not execute the query: near \"SELEC\": syntax error", 1},
    };
    Settings().setInt(L"CommonHF", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Calls().clear();
        auto fake = std::make_unique<FakeDb>();
        fake->m_Connected = c.connected;
        fake->failExecute = c.failExecute;
        FakeDb* current = fake.get();
        project.SetConnection(c.connection ? std::move(fake) : nullptr);
        project.Text = c.script;
        project.SetTitleText(L"Title");
        project.SetHeaderText(L"Common header");
        project.SetFooterText(L"Common footer");

        // No title, header, footer or table: only the message; the run counts as failed.
        EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
        EXPECT_EQ(Calls(), (Strings{"Open()", "Text(" + c.message + "|4||0)", "Close()"}));
        if (c.connection) {
            EXPECT_EQ(current->closeCursorCalls, c.closeCursorCalls);
        }
        EXPECT_FALSE(engine.RunPrepared());
    }
}

TEST_F(EngineTest, StatusTextsAtTheEnd) {
    host.mainWindow = true;
    project.Text = L"SELECT 1; SELECT 2";
    db->sets = {OneColumn(150), OneColumn(3)};
    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    // Progress every 99 rows of a result set, and the window processes its messages each time.
    const std::vector<std::wstring> expected = {L"1 rows of 1 rowset completed", L"100 rows of 1 rowset completed",
                                                L"1 rows of 2 rowset completed", L"Report created, 2 rowsets/153 rows"};
    EXPECT_EQ(host.statusTexts, expected);
    EXPECT_EQ(host.pumps, 3);

    // A failed connection shows the result-set number left by the previous run; an empty script shows nothing.
    host.statusTexts.clear();
    project.SetConnection(nullptr);
    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(host.statusTexts, std::vector<std::wstring>{L"Report created, 2 rowsets/0 rows"});
    project.SetConnection(std::make_unique<FakeDb>());
    project.Text = L"";
    host.statusTexts.clear();
    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_TRUE(host.statusTexts.empty());
}

TEST_F(EngineTest, LaterFailedStatementIsReportedAndFailsTheRun) {
    Settings().setInt(L"CommonHF", 1);
    project.SetFooterText(L"End");
    project.Text = L"SELECT 1; SELECT * FROM missing; SELECT 3";
    db->sets = {OneColumn(2), OneColumn(1), OneColumn(1)};
    db->failNextAt = 1;

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    // The first table is complete, then the error, then the common footer and a closed file.
    const Strings tail = {"EndTable(ResultSet)", "EndSubDocument()",
                          "Text(Could not execute the query: no such table: missing|4||0)", "BeginParagraph(5|)",
                          "Text(End|0||0)", "EndParagraph(5)", "Close()"};
    EXPECT_EQ(Tail(tail.size()), tail);
    EXPECT_EQ(CountOf("BeginTable(ResultSet)"), 1u);
    EXPECT_EQ(db->closeCursorCalls, 1);
}

TEST_F(EngineTest, FailedFetchEndsTheTableAndFailsTheRun) {
    project.Text = L"SELECT 1; SELECT 2";
    db->sets = {OneColumn(5), OneColumn(5)};
    db->failFetchAtRow = 3;

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    EXPECT_EQ(CountOf("EndRow(row)"), 3u);
    const Strings tail = {"EndTable(ResultSet)", "EndSubDocument()",
                          "Text(Could not execute the query: database disk image is malformed|4||0)", "Close()"};
    EXPECT_EQ(Tail(tail.size()), tail);
    EXPECT_EQ(db->nextCalls, 0);
}

TEST_F(EngineTest, WriterThatCannotOpenOrFinishTheFile) {
    project.Text = L"SELECT 1";
    db->sets = {OneColumn(1)};
    g_openResult = RE_OPEN;
    EXPECT_FALSE(engine.RunAndOpen(project, L"/nonexistent/r.htm", 0));
    EXPECT_EQ(Calls(), Strings{"Open()"});  // no content and no Close
    EXPECT_EQ(host.boxes, std::vector<std::wstring>{L"Creation Error: cannot open /nonexistent/r.htm"});
    EXPECT_TRUE(db->executed.empty());

    // A preview names its own caption; the guard is free again for the next run.
    host.boxes.clear();
    EXPECT_FALSE(engine.RunAndOpen(project, L"/nonexistent/p.html", 1));
    EXPECT_EQ(host.boxes, std::vector<std::wstring>{L"Preview Error: cannot open /nonexistent/p.html"});

    // Close reports a write error: the run fails and says so.
    g_openResult = RE_OK;
    g_closeResult = RE_WRITE;
    host.boxes.clear();
    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(host.boxes, std::vector<std::wstring>{L"Creation Error: disk full"});
}

namespace {
// A host whose message processing starts another run, as a preview refresh during a long run would.
class ReenteringHost : public RecordingHost {
public:
    void PumpMessage() override {
        ++pumps;
        nestedResults.push_back(engine->RunAndOpen(*project, L"/nonexistent/other.htm", 1));
    }
    ExReport* engine = nullptr;
    CtwDoc* project = nullptr;
    std::vector<bool> nestedResults;
};
}  // namespace

// A report file that can no longer be written (a full disk) ends the run within the next thousand rows or so,
// without the result sets still to come; Close then reports the error.
TEST_F(EngineTest, WriteFailureEndsTheRunEarly) {
    project.Text = L"SELECT 1; SELECT 2";
    db->sets = {OneColumn(10000), OneColumn(10)};
    g_failOutputAfterRows = 1500;
    g_closeResult = RE_WRITE;

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    EXPECT_EQ(CountOf("EndRow(row)"), 2048u);
    EXPECT_EQ(db->nextCalls, 0);
    EXPECT_EQ(Calls().back(), "Close()");
    EXPECT_EQ(host.boxes, std::vector<std::wstring>{L"Creation Error: disk full"});
}

TEST_F(EngineTest, RunRequestedDuringARunReturnsAtOnce) {
    ReenteringHost reentering;
    reentering.mainWindow = true;
    reentering.engine = &engine;
    reentering.project = &project;
    SetHost(&reentering);
    project.Text = L"SELECT 1";
    db->sets = {OneColumn(120)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    EXPECT_EQ(reentering.nestedResults, std::vector<bool>({false, false}));
    EXPECT_EQ(CountOf("Open()"), 1u);
    EXPECT_EQ(CountOf("EndRow(row)"), 120u);
}

// Opened only in a real interactive run with Open set; a failed connection still produces and opens the report.
TEST_F(EngineTest, FinishedReportIsOpenedOnlyInARealInteractiveRun) {
    const std::wstring file = (folder.Path() / "opened.htm").wstring();
    std::ofstream(tw::ToPath(file)) << "report";
    project.Text = L"SELECT 1";
    db->sets = {OneColumn(1)};
    struct Case {
        int preview;
        bool console, connected;
        int open;
        bool opened;
    };
    for (const Case& c : {Case{0, false, true, 1, true}, Case{1, false, true, 1, false},
                          Case{0, true, true, 1, false}, Case{0, false, false, 1, true}, Case{0, false, false, 0, false}}) {
        SCOPED_TRACE(testing::Message() << c.preview << c.console << c.connected << c.open);
        host.opened.clear();
        host.console = c.console;
        project.Open = c.open;
        if (!c.connected) project.SetConnection(nullptr);
        EXPECT_EQ(engine.RunAndOpen(project, file, c.preview), c.connected);
        EXPECT_EQ(host.opened, c.opened ? std::vector<std::wstring>{file} : std::vector<std::wstring>{});
    }
}

TEST_F(EngineTest, ReportFileNameExpandsMacrosAndCountsFromTheProjectFolder) {
    Settings().setStr(L"DateMFormat", L"DD/MM/YYYY");
    project.SetPathName(L"/srv/reports/sales.twp");
    project.SetTitleText(L"$DATE$ $FILE$");
    project.Text = L"SELECT 1";
    project.ReportFile = L"out/r_$DATE$_$FORMAT$.htm";
    db->sets = {OneColumn(0)};
    engine.RunAndOpen(project, project.ReportFile, 0);

    const std::wstring date = DateAndTimeMacros(L"$DATE$", L"DD/MM/YYYY", L"HH:MM:SS");
    std::wstring fileDate = date;
    std::erase(fileDate, L'/');
    const std::wstring expanded = L"out/r_" + fileDate + L"_HTML.htm";
    EXPECT_EQ(engine.m_currentReportFile, expanded);
    EXPECT_EQ(OpenedSetup().file, L"/srv/reports/" + expanded);
    // The title keeps the slashes of the date and sees the expanded file name.
    EXPECT_EQ(Calls().at(1), "Text(" + U8(date) + " " + U8(expanded) + "|1||0)");
}
