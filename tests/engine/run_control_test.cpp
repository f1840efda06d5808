// Stopping a run from another thread (fake database and real servers), the outcome a run returns, and a run on
// a worker thread that owns its copy of the project while the project's rule lists change under it.

#include <chrono>
#include <cstdio>
#include <thread>

#include "chm_writer.h"
#include "engine_fakes.h"

using namespace enginetest;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

namespace {

FakeResultSet Numbers(int rows) {
    FakeResultSet set{{L"n", L"t"}, {TC_INTEGER, TC_VARCHAR}, {}};
    for (int row = 1; row <= rows; ++row) set.rows.push_back({std::to_wstring(row), L"v" + std::to_wstring(row)});
    return set;
}

// A stop request from a thread of its own, as the window's button or a signal handler's thread makes it.
void StopFromAnotherThread(ExReport& engine) { std::thread([&engine] { engine.RequestStop(); }).join(); }

// Counts body cells, those with the converter's prefix and those in bold; writes nothing.
struct CountingWriter : AReport {
    int Open() override { return RE_OK; }
    int Close() override { return RE_OK; }
    void Discard() override { ++discards; }
    void Text(std::wstring_view, PARAGRAPH_TYPE, std::wstring_view, int) override {}
    void FormattedCell(int handle, std::wstring_view, std::wstring_view text) override {
        ++cells;
        if (text.starts_with(L"v") && m_cellFormats[static_cast<size_t>(handle)].before == L"<") ++prefixed;
        if (m_cellFormats[static_cast<size_t>(handle)].bold) ++bold;
    }
    void BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) override {}
    void EndSubDocument() override {}
    void Ancor(std::wstring_view) override {}
    void EndOfLine() override {}
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginParagraph(PARAGRAPH_TYPE, std::wstring_view) override {}
    void EndParagraph(PARAGRAPH_TYPE) override {}
    void BeginToc() override {}
    void TocItem(std::wstring_view, std::wstring_view, int) override {}
    void EndToc() override {}
    void BeginTable(std::wstring_view, std::wstring_view) override {}
    void EndTable(std::wstring_view) override {}
    void BeginRow(std::wstring_view, std::wstring_view, int) override {}
    void EndRow(std::wstring_view) override {}
    void BeginCell(std::wstring_view, int, std::wstring_view) override {}
    void EndCell(std::wstring_view, int) override {}
    void Cell(std::wstring_view, int, std::wstring_view) override {}
    static void Reset() { cells = prefixed = bold = discards = 0; }
    inline static std::atomic<long long> cells{0}, prefixed{0}, bold{0}, discards{0};
};

}  // namespace

TEST_F(EngineTest, StopAtTheFirstRowMidResultSetAndBetweenStatements) {
    struct Case {
        const char* name;
        size_t set;
        int row;          // stop before this Fetch of set; -1: before NextResultSet leaves set
        long long rows;   // rows written
        int resultSets;
    };
    const Case cases[] = {{"first row", 0, 0, 0, 1}, {"mid result set", 0, 500, 500, 1}, {"between statements", 0, -1, 1000, 1},
                          {"second set", 1, 3, 1003, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Calls().clear();
        project.Text = L"SELECT 1; SELECT 2";
        project.SetFooterText(L"footer");
        db->sets = {Numbers(1000), Numbers(10)};
        db->cancels = 0;
        db->closeCursorCalls = 0;
        db->onFetch = [&](size_t set, int row) {
            if (set == c.set && row == c.row) StopFromAnotherThread(engine);
        };
        db->onNext = [&](size_t set) {
            if (c.row < 0 && set == c.set) StopFromAnotherThread(engine);
        };

        EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

        const RunOutcome& outcome = engine.LastOutcome();
        EXPECT_EQ(outcome.state, RunOutcome::State::Stopped);
        EXPECT_EQ(outcome.rows, c.rows);
        EXPECT_EQ(outcome.resultSets, c.resultSets);
        EXPECT_TRUE(outcome.reportPath.empty());
        EXPECT_TRUE(outcome.reportErrors.empty());
        // The partial report is thrown away, never finished; the statement on the database was cancelled once.
        EXPECT_EQ(Calls().back(), "Discard()");
        EXPECT_EQ(CountOf("Close("), 0u);
        // Footers only under the result sets that were complete.
        EXPECT_EQ(CountOf("Text(footer"), static_cast<size_t>(c.row < 0 ? 1 : c.resultSets - 1));
        EXPECT_EQ(db->cancels, 1);
        EXPECT_EQ(db->closeCursorCalls, 1);
        EXPECT_FALSE(engine.RunPrepared());
        EXPECT_FALSE(project.m_running);
        EXPECT_FALSE(db->CancelAllRequested());
    }
    // The next run starts afresh: the stop request and the connection's cancel are gone.
    db->onFetch = nullptr;
    db->onNext = nullptr;
    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(engine.LastOutcome().state, RunOutcome::State::Finished);
    EXPECT_EQ(engine.LastOutcome().rows, 1010);
}

TEST_F(EngineTest, StopBeforeTheRunStartsWritesNothing) {
    project.Text = L"SELECT 1";
    db->sets = {Numbers(3)};
    ASSERT_TRUE(engine.PrepareRun(project, project.ReportFile, 0));
    // A second run cannot be prepared while one is.
    EXPECT_FALSE(engine.PrepareRun(project, project.ReportFile, 0));
    engine.RequestStop();
    EXPECT_EQ(db->cancels, 0);  // not lent yet: the connection is left alone
    EXPECT_FALSE(engine.ExecuteRun());
    EXPECT_EQ(engine.FinishRun(project).state, RunOutcome::State::Stopped);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(db->executed.empty());
    EXPECT_FALSE(db->CancelAllRequested());
}

TEST_F(EngineTest, OutcomeOfFinishedAndFailedRuns) {
    project.Text = L"SELECT 1; SELECT 2";
    db->sets = {Numbers(4), Numbers(2)};
    db->failNextAt = 1;
    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
    RunOutcome outcome = engine.LastOutcome();
    EXPECT_EQ(outcome.state, RunOutcome::State::Failed);
    EXPECT_EQ(outcome.resultSets, 1);
    EXPECT_EQ(outcome.rows, 4);
    EXPECT_EQ(outcome.reportPath, project.ReportFile);  // written, with its error paragraph
    EXPECT_EQ(outcome.reportErrors, std::vector<std::wstring>{L"Could not execute the query: no such table: missing"});
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_GE(outcome.seconds, 0.0);

    g_closeResult = RE_WRITE;
    db->failNextAt = -1;
    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));
    outcome = engine.LastOutcome();
    EXPECT_EQ(outcome.state, RunOutcome::State::Failed);
    EXPECT_TRUE(outcome.reportPath.empty());
    EXPECT_EQ(outcome.messages, std::vector<std::wstring>{L"disk full"});
    EXPECT_EQ(outcome.resultSets, 2);
    EXPECT_EQ(outcome.rows, 6);
}

// The rules and texts the run uses are the ones it copied at PrepareRun: the starting thread clears, refills
// and frees the project's lists all through the run (AddressSanitizer sees any use of freed records).
TEST_F(EngineTest, RunOnAWorkerOwnsItsCopyOfTheProject) {
    CountingWriter::Reset();
    MultiReport::SetWriterFactory([](int) -> std::unique_ptr<AReport> { return std::make_unique<CountingWriter>(); });

    constexpr int kRows = 20000;
    project.Text = L"SELECT n, t FROM numbers";
    db->sets = {Numbers(kRows)};
    ColumnProperty property;
    property.ColumnName = L"n";
    property.style.IsBold = 1;
    Converter converter;
    converter.Column = L"t";
    converter.Prefix = L"<";
    converter.RegexFrom = L"v(\\d)";
    converter.RegexTo = L"v$1";
    ValueMarker marker;
    marker.Column = L"n";
    marker.ConditionColumn = L"n";
    marker.ConditionOperation = L">";
    marker.ConditionOperand = L"0";
    project.m_columnProperties = {property};
    project.m_converters = {converter};
    project.m_markers = {marker};
    project.m_resultColumns = {L"old"};

    ASSERT_TRUE(engine.PrepareRun(project, project.ReportFile, 0));
    std::atomic<bool> done{false};
    bool written = false;
    std::thread worker([&] {
        written = engine.ExecuteRun();
        done = true;
    });
    int rounds = 0;
    while (!done || rounds < 3) {
        ++rounds;
        project.m_columnProperties.clear();
        project.m_columnProperties.shrink_to_fit();
        project.m_converters = std::vector<Converter>(3, Converter{});
        project.m_converters[1].Column = L"t";
        project.m_converters[1].Prefix = L"changed";
        project.m_markers.clear();
        project.m_markers.shrink_to_fit();
        project.SetTitleText(L"Title " + std::to_wstring(rounds));
        std::vector<Converter>().swap(project.m_converters);
    }
    worker.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(engine.FinishRun(project).state, RunOutcome::State::Finished);
    // Every row as the rules were at PrepareRun; the result column names are handed back at FinishRun.
    EXPECT_EQ(CountingWriter::cells, 2LL * kRows);
    EXPECT_EQ(CountingWriter::prefixed, kRows);
    EXPECT_EQ(CountingWriter::bold, kRows);
    EXPECT_EQ(project.m_resultColumns, (std::vector<std::wstring>{L"n", L"t"}));
    EXPECT_FALSE(project.m_running);
}

// Stops on real databases while the statement is still running, each from another thread; the run must end
// soon after the request (one second is the aim; the bound here is generous against a loaded machine).
struct StopBackend {
    const char* name;
    DS_TYPE type;
    const char* variable;   // environment variable with the connection string; null: an in-memory SQLite
    std::wstring longQuery;    // runs for minutes unless cancelled, without a first row
    std::wstring streamQuery;  // rows at once and without end (empty: the driver would hoard them all)
};

class ServerStopTest : public EngineTest, public ::testing::WithParamInterface<StopBackend> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const StopBackend& backend = GetParam();
        std::string connection = ":memory:";
        if (backend.variable) {
            const char* value = std::getenv(backend.variable);
            if (value == nullptr || *value == '\0') GTEST_SKIP() << backend.variable << " not set (tests/services.sh)";
            connection = value;
        }
        auto db = CDB::newDB(backend.type);
        CONN_INFO info;
        info.Type = backend.type;
        info.Connection = tw::Utf8ToWide(connection);
        ASSERT_EQ(db->Connect(info), DB_OK) << U8(db->m_LastError);
        m_real = db.get();
        project.SetConnection(std::move(db));
    }

    // Runs the project on a worker thread, asks for a stop after a while (and once ready says so) and returns
    // the seconds from the request to the end of the run.
    double RunAndStop(const std::function<bool()>& ready = {}) {
        EXPECT_TRUE(engine.PrepareRun(project, project.ReportFile, 0));
        std::atomic<bool> done{false};
        Clock::time_point ended;
        std::thread worker([&] {
            engine.ExecuteRun();
            ended = Clock::now();
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        for (int wait = 0; ready && !ready() && !done && wait < 200; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_FALSE(done) << "the statement ended before the stop";
        const Clock::time_point requested = Clock::now();
        engine.RequestStop();
        worker.join();
        engine.FinishRun(project);
        const double seconds = std::chrono::duration<double>(ended - requested).count();
        std::printf("[ stop     ] %s %s: %.3f s\n", GetParam().name,
                    ::testing::UnitTest::GetInstance()->current_test_info()->name(), seconds);
        return seconds;
    }

    void ExpectStoppedAndUsable() {
        EXPECT_EQ(engine.LastOutcome().state, RunOutcome::State::Stopped);
        EXPECT_TRUE(engine.LastOutcome().reportErrors.empty());
        EXPECT_EQ(CountOf("Close("), 0u);
        // The connection serves the next run as usual.
        Calls().clear();
        project.SetTitleText(std::nullopt);
        project.Text = L"SELECT 7 AS n";
        EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0)) << U8(m_real->m_LastError);
        EXPECT_TRUE(Called("Text(7|0||0)"));
    }

    CDB* m_real = nullptr;
};

constexpr double kStopBound = 3.0;

TEST_P(ServerStopTest, DuringTheFirstStatement) {
    project.Text = GetParam().longQuery;
    EXPECT_LT(RunAndStop(), kStopBound);
    EXPECT_EQ(Calls().back(), "Discard()");
    ExpectStoppedAndUsable();
}

TEST_P(ServerStopTest, DuringALaterStatement) {
    project.Text = L"SELECT 1 AS a;\n" + GetParam().longQuery;
    EXPECT_LT(RunAndStop(), kStopBound);
    // PostgreSQL sends the whole script at once and hands out no result set before the next statement is done.
    if (GetParam().type != DS_POSTGRESQL) {
        EXPECT_EQ(engine.LastOutcome().resultSets, 1);
        EXPECT_EQ(engine.LastOutcome().rows, 1);
    }
    EXPECT_EQ(Calls().back(), "Discard()");
    ExpectStoppedAndUsable();
}

TEST_P(ServerStopTest, DuringAnEmbeddedQuery) {
    project.SetTitleText(L"Total: {{" + GetParam().longQuery + L"}}");
    project.Text = L"SELECT 1 AS a";
    EXPECT_LT(RunAndStop(), kStopBound);
    EXPECT_TRUE(Calls().empty());  // stopped before the report was begun
    ExpectStoppedAndUsable();
}

TEST_P(ServerStopTest, MidResultSet) {
    if (GetParam().streamQuery.empty()) GTEST_SKIP() << "the driver reads the whole result before the first row";
    CountingWriter::Reset();
    MultiReport::SetWriterFactory([](int) -> std::unique_ptr<AReport> { return std::make_unique<CountingWriter>(); });
    project.Text = GetParam().streamQuery;
    EXPECT_LT(RunAndStop([] { return CountingWriter::cells > 0; }), kStopBound);
    EXPECT_GT(engine.LastOutcome().rows, 0);
    EXPECT_EQ(CountingWriter::cells, engine.LastOutcome().rows);
    EXPECT_EQ(CountingWriter::discards, 1);
    MultiReport::SetWriterFactory([](int) -> std::unique_ptr<AReport> { return std::make_unique<RecordingWriter>(); });
    ExpectStoppedAndUsable();
}

INSTANTIATE_TEST_SUITE_P(
    Backends, ServerStopTest,
    ::testing::Values(
        StopBackend{"SQLite", DS_SQLITE, nullptr,
                    L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n",
                    L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n"},
        StopBackend{"MariaDB", DS_MYSQL, "TW_TEST_MYSQL", L"SELECT SLEEP(60)", L"SELECT seq FROM seq_1_to_1000000000"},
        // Rows that trickle: a fast stream leaves the PostgreSQL backend reading what the server sent before the
        // cancel reached it, which can take longer than the stop may.
        StopBackend{"PostgreSQL", DS_POSTGRESQL, "TW_TEST_PG", L"SELECT pg_sleep(60)",
                    L"SELECT generate_series(1, 1000000000) AS n"},
        StopBackend{"OdbcSQLite", DS_ODBC, "TW_TEST_ODBC_SQLITE",
                    L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n", L""},
        StopBackend{"OdbcPostgreSQL", DS_ODBC, "TW_TEST_ODBC_PG", L"SELECT pg_sleep(60)", L""}),
    [](const ::testing::TestParamInfo<StopBackend>& info) { return std::string(info.param.name); });

// The CHM compile is the last long step of a run: a stop during it kills the compiler, and the report that was
// there before stays as it was.
TEST_F(EngineTest, StopDuringTheChmCompileKeepsTheOldReport) {
    struct CompilerGuard {
        ~CompilerGuard() { ChmReport::SetCompiler("chmcmd"); }
    } restore;
    const std::string compiler = folder.Write("slow-chmcmd", "#!/bin/sh\nexec sleep 60\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    ChmReport::SetCompiler(compiler);
    MultiReport::SetWriterFactory(nullptr);
    const std::string report = folder.Write("old.chm", "the old report");
    project.Format = RF_CHM;
    project.Text = L"SELECT n";
    db->sets = {Numbers(3)};

    Clock::time_point requested;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        requested = Clock::now();
        engine.RequestStop();
    });
    EXPECT_FALSE(engine.RunAndOpen(project, tw::Utf8ToWide(report), 0));
    const Clock::time_point ended = Clock::now();
    stopper.join();
    EXPECT_LT(std::chrono::duration<double>(ended - requested).count(), kStopBound);
    EXPECT_EQ(engine.LastOutcome().state, RunOutcome::State::Stopped);
    EXPECT_EQ(engine.LastOutcome().rows, 3);
    EXPECT_TRUE(engine.LastOutcome().messages.empty());  // a stop is no writer failure
    EXPECT_EQ(ReadBytes(report), "the old report");
}
