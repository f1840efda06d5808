// The command line: switches, glued and quoted file parts, message texts and project arguments.

#include <vector>

#include "../support/box_host.h"
#include "../support/test_folder.h"
#include "ctw_app.h"
#include "log.h"

namespace {

const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class ParseArgumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHost(&m_host);
        m_existing = W(m_folder.Write("exists.sql", "SELECT 1"));
        m_spaced = W(m_folder.Write("with space.twp", ""));
    }
    void TearDown() override { SetHost(nullptr); }

    CtwApp Parse(const std::vector<std::wstring>& arguments) {
        CtwApp app;
        app.m_sourceFile = app.m_outputFile = app.m_valuesFile = L"earlier";
        for (const std::wstring& argument : arguments) app.ParseArgument(argument);
        return app;
    }

    BoxHost m_host;
    TestFolder m_folder;
    std::wstring m_existing, m_spaced;
};

TEST_F(ParseArgumentTest, FlagSwitches) {
    struct Case {
        std::vector<std::wstring> arguments;
        bool console, run, quit;
    };
    const Case cases[] = {
        {{L"-c"}, true, true, true},
        {{L"-r"}, false, true, false},
        {{L"-q"}, false, false, true},
        {{L"-r", L"-q"}, false, true, true},
        {{L"-cfoo"}, true, true, true},  // a flag ignores anything glued to it
        {{L"-C", L"-R", L"-Q", L"-x", L"-S", L"--c"}, false, false, false},
        {{L"/c"}, false, false, false},  // "/" starts a path here, not a switch
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(&c - cases));
        const CtwApp app = Parse(c.arguments);
        EXPECT_EQ(app.m_console, c.console);
        EXPECT_EQ(app.m_run, c.run);
        EXPECT_EQ(app.m_quit, c.quit);
        EXPECT_FALSE(app.m_sourceGiven || app.m_outputGiven);
        EXPECT_EQ(app.m_valuesFile, L"earlier");
    }
    EXPECT_TRUE(m_host.boxes.empty());
}

// A glued file part that is only a pair of double quotes names an empty file: the switch takes effect and
// the file is reported as inaccessible. A bare switch changes nothing.
TEST_F(ParseArgumentTest, FileSwitchesAndTheirMessages) {
    const std::wstring missing = m_folder.File("missing.txt");
    struct Case {
        std::wstring argument;
        bool given;
        std::wstring file;
        std::wstring box;  // empty: no box
    };
    const Case cases[] = {
        {L"-s" + m_existing, true, m_existing, L""},
        {L"-s\"" + m_existing + L"\"", true, m_existing, L""},
        {L"-s\"\"" + m_existing + L"\"\"", true, m_existing, L""},
        {L"-s" + missing, true, missing, L"Warning!: Could not access specified source file."},
        {L"-s\"\"", true, L"", L"Warning!: Could not access specified source file."},
        {L"-s", false, L"earlier", L"Tablewright: -s switch without file was specified."},
        {L"-o" + m_existing, true, m_existing, L""},
        {L"-o" + missing, true, missing, L"Warning!: Could not access specified output file."},
        {L"-o\"\"", true, L"", L"Warning!: Could not access specified output file."},
        {L"-o", false, L"earlier", L"Warning!: -o switch without file was specified."},
        {L"-v" + m_existing, true, m_existing, L""},
        {L"-v" + missing, true, missing, L"Warning!: Could not access specified value file."},
        {L"-v\"\"", true, L"",
         L"Warning!: Could not access specified value file."},  // the project's own file
        {L"-v", true, L"earlier", L"Warning!: -v switch without file was specified."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.argument.begin(), c.argument.end()));
        m_host.boxes.clear();
        const CtwApp app = Parse({c.argument});
        switch (c.argument[1]) {
            case L's':
                EXPECT_EQ(app.m_sourceGiven, c.given);
                EXPECT_EQ(app.m_sourceFile, c.file);
                break;
            case L'o':
                EXPECT_EQ(app.m_outputGiven, c.given);
                EXPECT_EQ(app.m_outputFile, c.file);
                break;
            default:
                EXPECT_EQ(app.m_valuesFile, c.file);
                break;
        }
        EXPECT_EQ(m_host.boxes,
                  c.box.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.box});
        EXPECT_TRUE(app.m_projectList.empty());
    }
}

// Relative files count from the current directory; a later switch replaces the earlier file.
TEST_F(ParseArgumentTest, RelativeFilesAndLaterSwitches) {
    const std::wstring second = W(m_folder.Write("second.sql", ""));
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.Path());
    const CtwApp app = Parse(
        {L"-s" + second, L"-s\"exists.sql\"", L"-oout/r.htm", L"-vsub/../exists.sql", L"./with space.twp"});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(app.m_sourceFile, m_existing);
    EXPECT_EQ(app.m_outputFile, m_folder.File("out/r.htm"));
    EXPECT_EQ(app.m_valuesFile, m_existing);
    EXPECT_EQ(app.m_projectList, std::vector<std::wstring>{m_spaced});
}

TEST_F(ParseArgumentTest, ProjectArguments) {
    const std::wstring nope = m_folder.File("nope.twp");
    // A file after a bare switch is a project argument; missing projects are only logged.
    const CtwApp app = Parse({L"\"" + m_spaced + L"\"", L"-", nope, L"-s", m_existing});
    EXPECT_FALSE(app.m_sourceGiven);
    EXPECT_EQ(app.m_projectList, (std::vector<std::wstring>{m_spaced, m_existing}));
    EXPECT_TRUE(app.m_projectNamed && app.m_projectMissing);
    EXPECT_FALSE(Parse({L"-c", L"-v" + m_existing}).m_projectNamed);
    EXPECT_EQ(m_host.boxes, std::vector<std::wstring>{L"Tablewright: -s switch without file was specified."});
    const std::string log = ReadBytes(CLog::FilePath());
    EXPECT_NE(log.find("File '-' does not exist or inaccessible."), std::string::npos);
    EXPECT_NE(
        log.find("File '" + std::string(nope.begin(), nope.end()) + "' does not exist or inaccessible."),
        std::string::npos);
}

}  // namespace
