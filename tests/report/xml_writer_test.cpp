#include <gtest/gtest.h>

#include "report_test_util.h"

namespace {

// written; the control character that XML cannot carry as U+FFFD).
TEST(XmlReport, EdgeCasesReadBackWithXmllint) {
    if (!rt::HasProgram("xmllint")) GTEST_SKIP() << "xmllint is missing";
    rt::TempDir dir;
    ASSERT_EQ(rt::WriteEdgeReport(RF_XML, dir.File("edge.xml")), RE_OK);
    const std::string file = rt::Quote((dir.Path() / "edge.xml").string());
    std::string output;
    ASSERT_EQ(rt::Run("xmllint --noout " + file, output), 0) << output;
    const auto& tables = edge::Tables();
    for (size_t t = 0; t < tables.size(); ++t) {
        for (size_t r = 0; r < tables[t].rows.size(); ++r) {
            for (size_t c = 0; c < tables[t].columns.size(); ++c) {
                const std::string xpath = "string(/report/section[" + std::to_string(t + 2) + "]/table/row[" +
                                          std::to_string(r + 1) + "]/cell[@column='" +
                                          tw::WideToUtf8(tables[t].columns[c]) + "'])";
                ASSERT_EQ(rt::Run("xmllint --xpath " + rt::Quote(xpath) + " " + file, output) == 0 ||
                              tables[t].rows[r][c].empty(),
                          true)
                    << xpath << output;
                if (!output.empty() && output.back() == '\n') output.pop_back();  // xmllint's own line end
                EXPECT_EQ(tw::Utf8ToWide(output), tables[t].rows[r][c]) << xpath;
            }
        }
    }
    ASSERT_EQ(rt::Run("xmllint --xpath 'string(/report/heading[@level=1][@class=\"title\"])' " + file, output), 0);
    EXPECT_EQ(tw::Utf8ToWide(output), std::wstring(edge::Title()) + L"\n");
    ASSERT_EQ(rt::Run("xmllint --xpath 'count(/report/toc/item)' " + file, output), 0);
    EXPECT_EQ(output, "4\n");
}

TEST(XmlReport, CharactersXmlCannotCarry) {
    if (!rt::HasProgram("xmllint")) GTEST_SKIP() << "xmllint is missing";
    rt::TempDir dir;
    MultiReport report;
    report.AddReport(RF_XML, dir.File("c.xml"), L"");
    ASSERT_EQ(report.Open(), RE_OK);
    report.Text(std::wstring(L"nul\0 bell\a esc\x1b ff\f del\x7f surrogate", 36) + wchar_t(0xD800) + L" \uFFFE end", 0,
                L"", 1);
    ASSERT_EQ(report.Close(), RE_OK);
    std::string output;
    EXPECT_EQ(rt::Run("xmllint --noout " + rt::Quote((dir.Path() / "c.xml").string()), output), 0) << output;
    EXPECT_NE(rt::ReadFile(dir.Path() / "c.xml").find("<paragraph>nul\xef\xbf\xbd bell"), std::string::npos);
}

// A parser turns a tab or line feed in an attribute into a blank: in a column name they go as references, so
// the cells name their column exactly.
TEST(XmlReport, ColumnNamesKeepTabsAndLineBreaks) {
    rt::TempDir dir;
    MultiReport report;
    report.AddReport(RF_XML, dir.File("a.xml"), L"");
    ASSERT_EQ(report.Open(), RE_OK);
    report.BeginTable(L"Result\tSet", L"");
    report.BeginRow(L"", L"", 1);
    report.Cell(L"a\tb\nc", 1, L"");
    report.EndRow(L"");
    report.BeginRow(L"row", L"", 1);
    report.Cell(L"x\ty", 0, L"");
    report.EndRow(L"row");
    report.EndTable(L"Result\tSet");
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string xml = rt::ReadFile(dir.Path() / "a.xml");
    EXPECT_NE(xml.find("<table name=\"Result&#9;Set\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<column>a\tb\nc</column>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<cell column=\"a&#9;b&#10;c\">x\ty</cell>"), std::string::npos) << xml;
}

}  // namespace
