// The parameters file: which lines count, how names and values are cut, and the order of replacement.

#include "../support/test_folder.h"
#include "ctw_doc.h"
#include "log.h"

namespace {

TEST(ParameterLine, Recognition) {
    struct Case {
        const wchar_t* line;
        bool counts;
        const wchar_t* name;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"?1=2019", true, L"?1", L"2019"},
        {L"?2 = 'North'", true, L"?2", L" 'North'"},
        {L"?3=", true, L"?3", L""},
        {L"?12", true, L"", L"?12"},
        {L"?7\t=x=y", true, L"?7", L"x=y"},
        {L"? 5=x", true, L"? 5", L"x"},  // blanks before the number are skipped
        {L"?+4=x", true, L"?+4", L"x"},
        {L"?99999999999999999999=big", true, L"?99999999999999999999", L"big"},
        {L"?1", false, L"", L""},  // two characters only
        {L"?0=x", false, L"", L""},
        {L"?-1=x", false, L"", L""},
        {L"?x=1", false, L"", L""},
        {L"?000=x", false, L"", L""},
        {L"", false, L"", L""},
        {L"1=x", false, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(&c - cases));
        ParameterValue parameter;
        EXPECT_EQ(ParseParameterLine(c.line, parameter), c.counts);
        if (!c.counts) continue;
        EXPECT_EQ(parameter.name, c.name);
        EXPECT_EQ(parameter.value, c.value);
    }
}

TEST(ParameterReplacement, FileOrderPlainText) {
    struct Case {
        std::vector<ParameterValue> values;
        const wchar_t* text;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{{L"?1", L"5"}, {L"?10", L"7"}}, L"x = ?10", L"x = 50"},  // ?1 eats the start of ?10
        {{{L"?10", L"7"}, {L"?1", L"5"}}, L"x = ?10", L"x = 7"},
        {{{L"?1", L"a"}}, L"?1, ?1 and ?1", L"a, a and a"},
        {{{L"?1", L"first"}, {L"?1", L"second"}}, L"?1", L"first"},
        {{{L"?1", L"?2"}, {L"?2", L"z"}}, L"?1", L"z"},  // a later record replaces inside an earlier value
        {{{L"?1", L"<?1>"}}, L"?1?1", L"<?1><?1>"},      // a value holding its own name does not loop
        {{{L"", L"x"}}, L"abc", L"abc"},
        {{{L"?A", L"x"}}, L"?a ?A", L"?a x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(&c - cases));
        EXPECT_EQ(ReplaceParameterValues(c.text, c.values), c.expected);
    }
}

// Records whose values hold later names double the text each: past 16 Mi characters the rest are left out
// instead of exhausting memory; the ones before stay applied.
TEST(ParameterReplacement, CascadingValuesStopAtTheLimit) {
    std::vector<ParameterValue> values = {{L"?0", L"a"}};
    for (int i = 1; i <= 40; ++i)
        values.push_back({L"?" + std::to_wstring(i), L"?" + std::to_wstring(i + 1) + L"?" + std::to_wstring(i + 1)});
    values.front() = {L"?0", L"start "};
    const std::wstring replaced = ReplaceParameterValues(L"?0?1", values);
    EXPECT_LE(replaced.size(), size_t{16} << 20);
    EXPECT_TRUE(replaced.starts_with(L"start ?")) << replaced.substr(0, 20);
    EXPECT_GT(replaced.size(), size_t{4} << 20);
}

TEST(LoadValues, ReadsTheFileNamedByTheProject) {
    TestFolder folder;
    folder.Write(
        "v/values.txt",
        "; comment line\r\n?1=2019\r\n\r\n?2 = 'North'\n?0=zero\n?x=1\n?3=caf\xc3\xa9\r\r\n?4=\xe9t\xe9");
    folder.Write("v/p.twp", "[Query]\nValues = 'values.txt'\n");
    CtwDoc doc;
    ASSERT_TRUE(doc.Load(folder.File("v/p.twp")));
    doc.LoadValues();
    ASSERT_EQ(doc.m_values.size(), 4u);
    EXPECT_EQ(doc.m_values[0].name, L"?1");
    EXPECT_EQ(doc.m_values[1].value, L" 'North'");
    EXPECT_EQ(doc.m_values[2].value, L"caf\u00e9");
    EXPECT_EQ(doc.m_values[3].value, L"\u00e9t\u00e9");  // Latin-1 bytes of an older file

    doc.Values = L"gone.txt";
    doc.LoadValues();
    EXPECT_TRUE(doc.m_values.empty());
    const std::string log = ReadBytes(CLog::FilePath());
    EXPECT_NE(log.find("The provided value file is not accesable or not found."), std::string::npos);

    doc.m_values = {{L"?1", L"x"}};
    doc.Values.clear();
    doc.LoadValues();
    EXPECT_TRUE(doc.m_values.empty());

    folder.Write("v/comments.txt", "-- only comments\n# here\n");
    doc.Values = L"comments.txt";
    doc.LoadValues();
    EXPECT_TRUE(doc.m_values.empty());

    folder.Write("v/bom.txt", "\xEF\xBB\xBF?1=2020\n?2=South\n");
    doc.Values = L"bom.txt";
    doc.LoadValues();
    ASSERT_EQ(doc.m_values.size(), 2u);  // the byte-order mark does not hide the first line
    EXPECT_EQ(doc.m_values[0].name, L"?1");
}

}  // namespace
