// A report path that names an input of its own run (project, script, parameters file, SQLite database) is
// refused before anything is written; the run says so and counts as failed.

#include <unistd.h>

#include "engine_fakes.h"
#include "report_target.h"

using namespace enginetest;

namespace {

class ReportTargetTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const auto path = [this](const char* name) { return tw::FromPath(folder.Path() / name); };
        folder.Write("p.twp", "[Query]\n");
        folder.Write("q.sql", "SELECT 1");
        folder.Write("v.txt", "?1=1\n");
        folder.Write("data.sqlite", "database bytes");
        project.SetPathName(path("p.twp"));
        project.Text = L"SELECT 1";
        db->m_ConInfo.Type = DS_SQLITE;
        db->m_ConInfo.Connection = L"data.sqlite";
        db->m_ConInfo.BaseFolder = folder.Path().wstring();
        db->sets = {{{L"n"}, {TC_INTEGER}, {{L"1"}}}};
    }

    // Runs into report and checks that nothing was opened, the reason was shown, and every input is unchanged.
    void ExpectRefused(const std::wstring& report, const std::string& what) {
        SCOPED_TRACE(U8(report));
        Calls().clear();
        host.boxes.clear();
        const std::string before = ReadAll();
        EXPECT_FALSE(engine.RunAndOpen(project, report, 0));
        EXPECT_FALSE(Called("Open()"));
        EXPECT_EQ(host.boxes, std::vector<std::wstring>{L"Creation Error: The report file is the same file as the " +
                                                        tw::Utf8ToWide(what) + L" of the project."});
        EXPECT_EQ(engine.LastOutcome().state, RunOutcome::State::Failed);
        EXPECT_EQ(ReadAll(), before);
    }
    std::string ReadAll() const {
        std::string all;
        for (const char* name : {"p.twp", "q.sql", "v.txt", "data.sqlite"}) all += ReadBytes(folder.Path() / name) + "|";
        return all;
    }
};

TEST_F(ReportTargetTest, EveryInputOfTheRunIsRefused) {
    ExpectRefused(L"p.twp", "project file");
    std::filesystem::create_directory(folder.Path() / "sub");
    ExpectRefused(tw::FromPath(folder.Path() / "sub/../p.twp"), "project file");

    project.FromFile = 1;
    project.QueryFile = L"q.sql";
    ExpectRefused(L"q.sql", "script file");
    project.FromFile = 0;  // the text is run, the file is no input
    Calls().clear();
    EXPECT_TRUE(engine.RunAndOpen(project, L"q.sql.htm", 0));
    EXPECT_TRUE(Called("Open()"));

    project.Values = L"v.txt";
    ExpectRefused(L"v.txt", "parameters file");
    project.Values = L"later.txt";  // not there yet: the same path is still the same file
    ExpectRefused(L"./later.txt", "parameters file");
    project.Values = L"/dev/null";  // nothing there to destroy
    EXPECT_EQ(ReportTargetClash(project, L"/dev/null"), L"");
    project.Values.clear();

    // The database by its name, through a link, through a hard link, and named by a file: URI.
    ExpectRefused(L"data.sqlite", "database");
    std::filesystem::create_symlink("data.sqlite", folder.Path() / "link.sqlite");
    ExpectRefused(L"link.sqlite", "database");
    std::filesystem::create_hard_link(folder.Path() / "data.sqlite", folder.Path() / "hard.sqlite");
    ExpectRefused(L"hard.sqlite", "database");
    db->m_ConInfo.Connection = L"file://" + folder.Path().wstring() + L"/data%2Esqlite?mode=ro";
    ExpectRefused(L"data.sqlite", "database");

    // Another file is written as usual.
    Calls().clear();
    host.boxes.clear();
    EXPECT_TRUE(engine.RunAndOpen(project, L"out.htm", 0));
    EXPECT_TRUE(Called("Open()"));
    EXPECT_TRUE(host.boxes.empty());
}

TEST(ReportTarget, SqliteDatabaseFile) {
    EXPECT_EQ(SqliteDatabaseFile(L" a.db ", L"/p"), L"/p/a.db");
    EXPECT_EQ(SqliteDatabaseFile(L"/abs/a.db", L"/p"), L"/abs/a.db");
    EXPECT_EQ(SqliteDatabaseFile(L"file:/x/a%20b.db?mode=ro", L"/p"), L"/x/a b.db");
    EXPECT_EQ(SqliteDatabaseFile(L"file://localhost/x/a.db", L"/p"), L"/x/a.db");
    EXPECT_EQ(SqliteDatabaseFile(L"file:rel.db#frag", L"/p"), L"rel.db");  // SQLite takes it from the current folder
    EXPECT_EQ(SqliteDatabaseFile(L":memory:", L"/p"), L"");
    EXPECT_EQ(SqliteDatabaseFile(L"file::memory:?cache=shared", L"/p"), L"");
    EXPECT_EQ(SqliteDatabaseFile(L"file:x?mode=memory", L"/p"), L"");
    EXPECT_EQ(SqliteDatabaseFile(L"", L"/p"), L"");
}

}  // namespace
