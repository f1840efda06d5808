// Console mode: the project list, overrides, connections between projects and the exit status.

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "../support/test_folder.h"
#include "ctw_app.h"
#include "ctw_doc.h"
#include "settings.h"

namespace {

struct RunSeen {
    std::wstring file;
    bool connected;
    int fromFile;
    std::wstring queryFile, reportFile, values;
    bool modified;
};

class ConsoleRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().ResetToDefaults();
        m_folder.Write("a.sqlite", "");
        m_withDb = W(m_folder.Write("a.twp",
                                    "[Query]\nValues = 'v.txt'\n[Target]\nReportFile = 'out/a.htm'\n"
                                    "[Connection]\nType = 'sqlite'\nConnection = 'a.sqlite'\n"));
        m_withoutDb = W(m_folder.Write("b.twp", "[Target]\nReportFile = 'out/b.htm'\n"));
        m_values = W(m_folder.Write("v.txt", "?1=1\n"));
        m_app.m_runner = [this](CtwDoc& project, const std::wstring& file) {
            m_seen.push_back({file, project.Connection() && project.Connection()->IsConnected() == 1,
                              project.FromFile, project.QueryFile, project.ReportFile, project.Values,
                              project.IsModified()});
            return m_succeed;
        };
    }
    void TearDown() override { Settings().ResetToDefaults(); }

    int Run() {
        std::ostringstream out;
        const int status = m_app.ConsoleRun(out);
        m_banner = out.str();
        return status;
    }
    static std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    TestFolder m_folder;
    std::wstring m_withDb, m_withoutDb, m_values;
    CtwApp m_app;
    std::vector<RunSeen> m_seen;
    bool m_succeed = true;
    std::string m_banner;
};

// Every project runs in order, and one without a connection never runs on the previous one's.
TEST_F(ConsoleRunTest, BannerAndEveryProjectInOrder) {
    m_app.m_projectList = {m_withDb, L"", m_withoutDb};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(m_banner.find("\n Velmor Tablewright (console mode) "), m_banner.find('\n'));
    ASSERT_EQ(m_seen.size(), 2u);
    EXPECT_EQ(m_seen[0].file, L"out/a.htm");
    EXPECT_TRUE(m_seen[0].connected);
    EXPECT_EQ(m_seen[1].file, L"out/b.htm");
    EXPECT_FALSE(m_seen[1].connected);
    EXPECT_EQ(Settings().getArr(L"ProjList"), (std::vector<std::wstring>{m_withDb, m_withoutDb}));
}

TEST_F(ConsoleRunTest, ExitStatus) {
    const std::wstring notProject = W(m_folder.Write("bad.twp", std::string("\0\x01\x02", 3)));
    const std::wstring missing = m_folder.File("gone.twp");
    struct Case {
        std::vector<std::wstring> projList;
        bool runnerSucceeds;
        int status;
        size_t runs;
    };
    const Case cases[] = {
        {{m_withDb, m_withoutDb}, true, 0, 2}, {{m_withDb, m_withoutDb}, false, 1, 2}, {{}, true, 1, 0},
        {{missing, m_withDb}, true, 1, 1},     {{notProject, m_withDb}, true, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(&c - cases));
        Settings().setArr(L"ProjList", c.projList);
        m_seen.clear();
        m_succeed = c.runnerSucceeds;
        EXPECT_EQ(Run(), c.status);
        EXPECT_EQ(m_seen.size(), c.runs);
    }
}

TEST_F(ConsoleRunTest, OverridesApplyButAreNeverSaved) {
    const std::string before = ReadBytes(m_folder.Path() / "a.twp");
    const std::wstring otherValues = W(m_folder.Write("other.txt", "?1=2\n"));
    m_app.m_projectList = {m_withDb};
    m_app.m_sourceGiven = true;
    m_app.m_sourceFile = L"/tmp/s.sql";
    m_app.m_outputGiven = true;
    m_app.m_outputFile = L"/tmp/o.htm";
    m_app.m_valuesFile = otherValues;
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].file, L"/tmp/o.htm");
    EXPECT_EQ(m_seen[0].fromFile, 1);
    EXPECT_EQ(m_seen[0].queryFile, L"/tmp/s.sql");
    EXPECT_EQ(m_seen[0].values, otherValues);
    EXPECT_TRUE(m_seen[0].modified);
    EXPECT_EQ(ReadBytes(m_folder.Path() / "a.twp"), before);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "a.bak"));
}

TEST_F(ConsoleRunTest, ValuesSwitchNamingTheProjectsOwnFileOrAMissingOne) {
    m_app.m_projectList = {m_withDb};
    for (const std::wstring& given :
         {m_values, m_folder.File("missing.txt")}) {  // own 'v.txt', given absolute
        m_seen.clear();
        m_app.m_valuesFile = given;
        Run();
        ASSERT_EQ(m_seen.size(), 1u);
        EXPECT_FALSE(m_seen[0].modified);
        EXPECT_EQ(m_seen[0].values, L"v.txt");
    }
}

// The built program, run with a home of its own.
class ProgramTest : public ::testing::Test {
  protected:
    int Run(const std::string& arguments) {
        const std::string home = m_folder.Path().string();
        const std::string command = "cd '" + home + "' && HOME='" + home + "' XDG_CONFIG_HOME='" + home +
                                    "/config' XDG_STATE_HOME='" + home +
                                    "/state' '" TW_BINARY_DIR "/tablewright' " + arguments + " >'" + home +
                                    "/stdout' 2>'" + home + "/stderr' </dev/null";
        const int result = std::system(command.c_str());
        m_stdout = ReadBytes(m_folder.Path() / "stdout");
        m_stderr = ReadBytes(m_folder.Path() / "stderr");
        return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    TestFolder m_folder;
    std::string m_stdout, m_stderr;
};

TEST_F(ProgramTest, HelpAndVersion) {
    EXPECT_EQ(Run("--help"), 0);
    for (const char* expected : {"-c", "-sFILE", "-oFILE", "-vFILE", "-r", "-q", "Exit status",
                                 "settings.toml", "tablewright.log", "--version"}) {
        EXPECT_NE(m_stdout.find(expected), std::string::npos) << expected;
    }
    EXPECT_NE(m_stdout.find(m_folder.Path().string() + "/config/tablewright/settings.toml"),
              std::string::npos);
    EXPECT_EQ(Run("-c --version"), 0);
    EXPECT_EQ(m_stdout, "Tablewright " TW_VERSION "\n");
}

TEST_F(ProgramTest, WithoutConsoleSwitchOrDisplayTheProgramSaysToUseConsoleMode) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    EXPECT_EQ(Run(""), 1);
    EXPECT_NE(m_stderr.find("use -c"), std::string::npos);
}

TEST_F(ProgramTest, ConsoleModeFailures) {
    EXPECT_EQ(Run("-c"), 1);
    EXPECT_NE(m_stdout.find(" Velmor Tablewright (console mode) " TW_VERSION), std::string::npos);
    EXPECT_NE(m_stderr.find("Console mode: empty list of the projects to run."), std::string::npos);

    EXPECT_EQ(Run("-c missing.twp"), 1);
    EXPECT_NE(m_stderr.find("File 'missing.twp' does not exist or inaccessible."), std::string::npos);

    EXPECT_EQ(Run("-c -s -x -S"), 1);
    EXPECT_NE(m_stderr.find("-s switch without file was specified."), std::string::npos);

    std::ofstream(m_folder.Path() / "bad.twp") << "not [ a project";
    EXPECT_EQ(Run("-c bad.twp"), 1);
    EXPECT_NE(m_stderr.find("not a project"), std::string::npos);
}

TEST_F(ProgramTest, ConsoleModeRunsAProjectAndExitsZero) {
    std::ofstream(m_folder.Path() / "p.twp") << "[Query]\nFormat = 3\nText = 'SELECT 1 AS one'\n"
                                                "[Target]\nReportFile = 'out.txt'\nOpen = 1\n"
                                                "[Connection]\nType = 'sqlite'\nConnection = ':memory:'\n";
    const int status = Run("-c p.twp");
    EXPECT_EQ(status, 0) << m_stderr;
    EXPECT_TRUE(std::filesystem::exists(m_folder.Path() / "out.txt"));
    EXPECT_NE(m_stderr.find("Execute in console mode project '" + m_folder.Path().string() + "/p.twp'"),
              std::string::npos);
}

}  // namespace
