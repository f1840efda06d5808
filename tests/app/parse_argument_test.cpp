// The command line: switches, glued and quoted file parts, message texts and project arguments.

#include <vector>

#include "ctw_app.h"
#include "host.h"
#include "log.h"
#include "test_folder.h"

namespace {

const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

class RecordingHost : public IHost {
  public:
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon) override {
        boxes.push_back(std::wstring(caption) + L": " + std::wstring(text));
    }
    std::vector<std::wstring> boxes;
};

class ParseArgumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetHost(&m_host);
        m_existing = m_folder.Write("exists.sql", "SELECT 1");
        m_spaced = m_folder.Write("with space.twp", "");
    }
    void TearDown() override { SetHost(nullptr); }

    CtwApp Parse(const std::vector<std::wstring>& arguments) {
        CtwApp app;
        for (const std::wstring& argument : arguments) app.ParseArgument(argument);
        return app;
    }
    std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    RecordingHost m_host;
    TestFolder m_folder;
    std::string m_existing, m_spaced;
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
        EXPECT_FALSE(app.m_sourceGiven || app.m_outputGiven || !app.m_valuesFile.empty());
    }
    EXPECT_TRUE(m_host.boxes.empty());
}

TEST_F(ParseArgumentTest, FileSwitchesAndTheirMessages) {
    const std::wstring existing = W(m_existing);
    const std::wstring missing = W((m_folder.Path() / "missing.txt").string());
    struct Case {
        std::wstring argument;
        bool given;
        std::wstring file;
        std::wstring box;  // empty: no box
    };
    const Case cases[] = {
        {L"-s" + existing, true, existing, L""},
        {L"-s\"" + existing + L"\"", true, existing, L""},
        {L"-s\"\"" + existing + L"\"\"", true, existing, L""},
        {L"-s" + missing, true, missing, L"Warning!: Could not access specified source file."},
        {L"-s", false, L"", L"Tablewright: -s switch without file was specified."},
        {L"-o" + existing, true, existing, L""},
        {L"-o" + missing, true, missing, L"Warning!: Could not access specified output file."},
        {L"-o", false, L"", L"Warning!: -o switch without file was specified."},
        {L"-v" + existing, true, existing, L""},
        {L"-v" + missing, true, missing, L"Warning!: Could not access specified value file."},
        {L"-v", false, L"", L"Warning!: -v switch without file was specified."},
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
        if (c.box.empty()) {
            EXPECT_TRUE(m_host.boxes.empty());
        } else {
            ASSERT_EQ(m_host.boxes.size(), 1u);
            EXPECT_EQ(m_host.boxes[0], c.box);
        }
        EXPECT_TRUE(app.m_projectList.empty());
    }
}

TEST_F(ParseArgumentTest, SwitchFilesCountFromTheCurrentDirectory) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.Path());
    const CtwApp app = Parse({L"-sexists.sql", L"-oout/r.htm", L"-vsub/../exists.sql", L"-s\"exists.sql\""});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(app.m_sourceFile, W(m_existing));
    EXPECT_EQ(app.m_outputFile, W((m_folder.Path() / "out/r.htm").string()));
    EXPECT_EQ(app.m_valuesFile, W(m_existing));
}

TEST_F(ParseArgumentTest, LaterSwitchReplacesTheEarlierFile) {
    const std::string second = m_folder.Write("second.sql", "");
    const CtwApp app = Parse({L"-s" + W(m_existing), L"-s" + W(second)});
    EXPECT_EQ(app.m_sourceFile, W(second));
}

TEST_F(ParseArgumentTest, SeparateFileAfterBareSwitchIsAProjectArgument) {
    const CtwApp app = Parse({L"-s", W(m_existing)});
    EXPECT_FALSE(app.m_sourceGiven);
    ASSERT_EQ(app.m_projectList.size(), 1u);
    EXPECT_EQ(app.m_projectList[0], W(m_existing));
    ASSERT_EQ(m_host.boxes.size(), 1u);
    EXPECT_EQ(m_host.boxes[0], L"Tablewright: -s switch without file was specified.");
}

TEST_F(ParseArgumentTest, ProjectArguments) {
    const CtwApp app =
        Parse({L"\"" + W(m_spaced) + L"\"", L"-", W((m_folder.Path() / "nope.twp").string()), W(m_existing)});
    ASSERT_EQ(app.m_projectList.size(), 2u);
    EXPECT_EQ(app.m_projectList[0], W(m_spaced));
    EXPECT_EQ(app.m_projectList[1], W(m_existing));
    EXPECT_TRUE(m_host.boxes.empty());
    const std::string log = ReadBytes(CLog::FilePath());
    EXPECT_NE(log.find("File '-' does not exist or inaccessible."), std::string::npos);
    EXPECT_NE(
        log.find("File '" + (m_folder.Path() / "nope.twp").string() + "' does not exist or inaccessible."),
        std::string::npos);
}

TEST_F(ParseArgumentTest, RelativeProjectArgumentBecomesAbsolute) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.Path());
    const CtwApp app = Parse({L"./with space.twp"});
    std::filesystem::current_path(cwd);
    ASSERT_EQ(app.m_projectList.size(), 1u);
    EXPECT_EQ(app.m_projectList[0], W(m_spaced));
}

}  // namespace
