#include <gtest/gtest.h>

#include "report_test_util.h"

namespace {

// Python's csv module reads every table back exactly, whatever the separator.
TEST(TextReport, CsvReaderGetsEveryValueBack) {
    if (!rt::HasProgram("python3")) GTEST_SKIP() << "python3 is missing";
    for (const wchar_t* separator : {L",", L"\t", L";", L"|"}) {
        SCOPED_TRACE(tw::WideToUtf8(separator));
        rt::TempDir dir;
        ASSERT_EQ(rt::WriteEdgeReport(RF_TEXT, dir.File("edge.txt"), {.separator = separator}), RE_OK);
        rt::WriteFile(dir.Path() / "expected.json", rt::EdgeJson());
        EXPECT_EQ(rt::RunChecker("check_csv.py", "text " + rt::Quote((dir.Path() / "edge.txt").string()) + " " +
                                                     rt::Quote(tw::WideToUtf8(separator)) + " " +
                                                     rt::Quote((dir.Path() / "expected.json").string())),
                  "");
    }
}

TEST(TextReport, QuotingAndSeparatorAsStored) {
    struct Case {
        const wchar_t* separator;
        const wchar_t* value;
        const char* line;
    };
    const Case cases[] = {
        {L",", L"plain", "plain,x\n"},
        {L",", L"a,b", "\"a,b\",x\n"},
        {L",", L"say \"hi\"", "\"say \"\"hi\"\"\",x\n"},
        {L",", L"two\nlines", "\"two\nlines\",x\n"},
        {L",", L"cr\r", "\"cr\r\",x\n"},
        {L",", L"a;b", "a;b,x\n"},
        {L" | ", L"a|b", "a|b | x\n"},
        {L" | ", L"a | b", "\"a | b\" | x\n"},
        {L" | ", L"a |", "\"a |\" | x\n"},  // else a reader would find the separator at " |" + " | "
        {L"||", L"a|", "\"a|\"||x\n"},
        {L"", L"a,b", "a,bx\n"},
        {L",", L"\u00fc\u20ac", "\xc3\xbc\xe2\x82\xac,x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(tw::WideToUtf8(c.value));
        rt::TempDir dir;
        MultiReport report;
        report.AddReport(RF_TEXT, dir.File("t.txt"), L"");
        report.SetColumnSeparator(c.separator);
        ASSERT_EQ(report.Open(), RE_OK);
        report.BeginTable(L"ResultSet", L"");
        report.BeginRow(L"row", L"", 2);
        report.BeginCell(L"a", 0, L"");
        report.BeginStyle(RS_BOLD, 0);
        report.Text(c.value, 0, L"", 0);
        report.EndStyle(RS_BOLD, 0);
        report.EndCell(L"a", 0);
        report.Cell(L"x", 0, L"");
        report.EndRow(L"row");
        report.EndTable(L"ResultSet");
        ASSERT_EQ(report.Close(), RE_OK);
        EXPECT_EQ(rt::ReadFile(dir.Path() / "t.txt"), c.line);
    }
}

}  // namespace
