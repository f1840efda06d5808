// Checks of a loaded project file: wrong types, ranges, clamped sizes and NUL characters, each reported with
// its key and line while the rest of the file loads.

#include "../support/test_folder.h"
#include "ctw_doc.h"
#include "project_keys.h"
#include "settings.h"

namespace {

const auto* const g_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

std::string U8(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class ProjectChecksTest : public ::testing::Test {
  protected:
    void SetUp() override { Settings().ResetToDefaults(); }
    bool Load(const std::string& content) {
        m_folder.Write("p.twp", content);
        return m_doc.Load(m_folder.File("p.twp"));
    }
    TestFolder m_folder;
    CtwDoc m_doc;
};

// Each value the file cannot hold makes Load fail with the key, its line and what it takes; the key gets its
// default, and every other key loads.
TEST_F(ProjectChecksTest, WrongTypesAndRangesAreProblemsOfTheirKey) {
    struct Case {
        const char* name;
        std::string content;  // line 1 is [Query], line 2 Text, line 3 the checked key
        const wchar_t* section;
        int record;
        const wchar_t* key;
        const wchar_t* expected;
        const wchar_t* found;
    };
    const std::string query = "[Query]\nText = 'SELECT 1'\n";
    const std::string hide = "[ColumnProps]\nCounter = 1\n[ColumnProps.0]\n";
    const Case cases[] = {
        {"text format", query + "Format = \"1\"\n", L"Query", -1, L"Format", L"an integer from 0 to 6",
         L"the text '1'"},
        {"float format", query + "Format = 1.0\n", L"Query", -1, L"Format", L"an integer from 0 to 6",
         L"a floating-point number"},
        {"format beyond 32 bits", query + "Format = 4294967297\n", L"Query", -1, L"Format",
         L"an integer from 0 to 6", L"the integer 4294967297"},
        {"unknown format", query + "Format = 7\n", L"Query", -1, L"Format", L"an integer from 0 to 6",
         L"the integer 7"},
        {"flag out of range", query + "FromFile = 2\n", L"Query", -1, L"FromFile", L"0 or 1",
         L"the integer 2"},
        {"text hide", query + hide + "IsHide = 'yes'\n", L"ColumnProps", 0, L"IsHide", L"a 32-bit integer",
         L"the text 'yes'"},
        {"text counter", query + "[Markers]\nCounter = '1'\n", L"Markers", -1, L"Counter",
         L"an integer from 0 to 10000", L"the text '1'"},
        {"number as text", query + "QueryFile = 12\n", L"Query", -1, L"QueryFile", L"a text",
         L"the integer 12"},
        {"date as text", query + "Values = 1979-05-27\n", L"Query", -1, L"Values", L"a text",
         L"a table, an array or a date"},
        {"boolean as text", query + "Values = true\n", L"Query", -1, L"Values", L"a text", L"true"},
        {"NUL in a text", query + "QueryFile = \"a\\u0000b.sql\"\n", L"Query", -1, L"QueryFile",
         L"a text without NUL characters", L"a NUL character at position 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CtwDoc doc;
        m_folder.Write("p.twp", c.content);
        EXPECT_FALSE(doc.Load(m_folder.File("p.twp")));
        ASSERT_EQ(doc.LoadProblems().size(), 1u) << U8(doc.LoadError());
        const project::LoadProblem& problem = doc.LoadProblems()[0];
        EXPECT_EQ(problem.section, c.section);
        EXPECT_EQ(problem.record, c.record);
        EXPECT_EQ(problem.key, c.key);
        EXPECT_EQ(problem.expected, c.expected);
        EXPECT_EQ(problem.found, c.found);
        // The line of the key itself: after [Query], Text and (for records) the list's own lines.
        const int line = c.record >= 0 ? 6 : (std::wstring(c.section) == L"Markers" ? 4 : 3);
        EXPECT_EQ(problem.line, line);
        EXPECT_NE(doc.LoadError().find(problem.Text()), std::wstring::npos) << U8(doc.LoadError());
        // The rest of the file is there; the key holds its default.
        EXPECT_EQ(doc.Text, L"SELECT 1");
        EXPECT_EQ(doc.Format, 0);
        EXPECT_EQ(doc.FromFile, 0);
        EXPECT_EQ(doc.QueryFile, L"");
        EXPECT_TRUE(doc.m_markers.empty());
        if (c.record >= 0) {
            ASSERT_EQ(doc.m_columnProperties.size(), 1u);
            EXPECT_FALSE(doc.m_columnProperties[0].IsHide);
        }
    }
}

TEST_F(ProjectChecksTest, EveryProblemIsListedInFileOrder) {
    EXPECT_FALSE(
        Load("[Query]\nFormat = '1'\n[Target]\nTitle = 'kept'\nOpen = 5\n"
             "[Converters]\nCounter = 2\n[Converters.1]\nGroup = 1.5\n"));
    ASSERT_EQ(m_doc.LoadProblems().size(), 3u);
    EXPECT_EQ(m_doc.LoadProblems()[0].Text(),
              L"line 2: [Query] Format: expected an integer from 0 to 6, found the text '1'");
    EXPECT_EQ(m_doc.LoadProblems()[1].Text(), L"line 5: [Target] Open: expected 0 or 1, found the integer 5");
    EXPECT_EQ(m_doc.LoadProblems()[2].Text(),
              L"line 9: [Converters.1] Group: expected a 32-bit integer, found a floating-point number");
    EXPECT_EQ(m_doc.Title, L"kept");
    EXPECT_TRUE(m_doc.IsTitleOn());
    EXPECT_EQ(m_doc.m_converters.size(), 2u);
    EXPECT_FALSE(m_doc.IsModified());
}

// A file with a wrong value in every record lists a few in the text and keeps them all as data.
TEST_F(ProjectChecksTest, ManyProblemsAreAllKeptButFewAreListed) {
    std::string content = "[Converters]\nCounter = 30\n";
    for (int i = 0; i < 30; ++i) content += "[Converters." + std::to_string(i) + "]\nGroup = 'x'\n";
    EXPECT_FALSE(Load(content));
    EXPECT_EQ(m_doc.LoadProblems().size(), 30u);
    EXPECT_EQ(m_doc.LoadProblems()[29].line, 62);
    EXPECT_NE(m_doc.LoadError().find(L"\n  and 10 more."), std::wstring::npos) << U8(m_doc.LoadError());
    EXPECT_EQ(m_doc.LoadError().find(L"[Converters.20]"), std::wstring::npos);
}

// TOML booleans stand for the 0 and 1 the file format stores.
TEST_F(ProjectChecksTest, BooleansAreTakenAsZeroAndOne) {
    EXPECT_TRUE(
        Load("[Query]\nFromFile = true\n[Target]\nOpen = false\nSummary = true\n"
             "[ColumnProps]\nCounter = 1\n[ColumnProps.0]\nIsHide = true\nIsBold = true\n"))
        << U8(m_doc.LoadError());
    EXPECT_EQ(m_doc.FromFile, 1);
    EXPECT_EQ(m_doc.Open, 0);
    EXPECT_EQ(m_doc.Summary, 1);
    ASSERT_EQ(m_doc.m_columnProperties.size(), 1u);
    EXPECT_TRUE(m_doc.m_columnProperties[0].IsHide);
    EXPECT_EQ(m_doc.m_columnProperties[0].style.IsBold, 1);
}

// Numbers that size memory or output are moved into their range, and the project loads.
TEST_F(ProjectChecksTest, SizesAreClampedNotRejected) {
    EXPECT_TRUE(
        Load("[Converters]\nCounter = 3\n"
             "[Converters.0]\nDigits = 2147483647\nPres = 400\n"
             "[Converters.1]\nDigits = -2147483648\nPres = -7\n"
             "[Converters.2]\nDigits = 10\nPres = 2\n"
             "[Markers]\nCounter = 1\n[Markers.0]\nFontSize = 1000000\n"))
        << U8(m_doc.LoadError());
    ASSERT_EQ(m_doc.m_converters.size(), 3u);
    EXPECT_EQ(m_doc.m_converters[0].Digits, project::FindProjectKey(L"Converters", L"Digits")->maximum);
    EXPECT_EQ(m_doc.m_converters[0].Pres, project::FindProjectKey(L"Converters", L"Pres")->maximum);
    EXPECT_EQ(m_doc.m_converters[1].Digits, -1);
    EXPECT_EQ(m_doc.m_converters[1].Pres, -1);
    EXPECT_EQ(m_doc.m_converters[2].Digits, 10);
    EXPECT_EQ(m_doc.m_converters[2].Pres, 2);
    ASSERT_EQ(m_doc.m_markers.size(), 1u);
    EXPECT_EQ(m_doc.m_markers[0].style.FontSize, project::FindProjectKey(L"Markers", L"FontSize")->maximum);
}

// The table's number defaults are the ones a new record has and lie in their range. (Texts may differ: a new
// marker's operation is "=", a missing one is empty.)
TEST(ProjectKeys, NumberDefaultsOfRecordKeysAreThoseOfANewRecord) {
    CtwDoc doc;
    for (const project::ProjectKey& row : project::ProjectKeys()) {
        if (row.key == L"Counter") row.setNumber(doc, 0, 1);
    }
    for (const project::ProjectKey& row : project::ProjectKeys()) {
        if (!row.perRecord || row.type == project::KeyType::Text) continue;
        SCOPED_TRACE(U8(std::wstring(row.section) + L"." + std::wstring(row.key)));
        EXPECT_EQ(row.getNumber(doc, 0), row.defaultNumber);
        EXPECT_GE(row.defaultNumber, row.minimum);
        EXPECT_LE(row.defaultNumber, row.maximum);
    }
    EXPECT_EQ(project::ProjectKeysOf(L"Query").size(), 5u);
    EXPECT_TRUE(project::ProjectKeysOf(L"Connection").empty());
    EXPECT_EQ(project::FindProjectKey(L"Markers", L"Digits"), nullptr);
}

}  // namespace
