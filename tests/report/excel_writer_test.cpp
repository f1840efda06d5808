#include <gtest/gtest.h>

#include "excel_writer.h"
#include "markup.h"
#include "report_test_util.h"

namespace {

TEST(ExcelReport, SheetNamesWithinExcelsRules) {
    std::vector<std::wstring> taken;
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Sales", L"Sales"},
        {L"sales", L"sales (2)"},
        {L"SALES", L"SALES (3)"},
        {L"a[b]:c*d?e/f\\g", L"a_b__c_d_e_f_g"},
        {L"'quoted'", L"quoted"},
        {L"", L"Sheet"},
        {L"A name that is far longer than thirty-one characters", L"A name that is far longer than "},
        {L"A name that is far longer than thirty-one characters!", L"A name that is far longer t (2)"},
        {L"\u65e5\u672c\u8a9e", L"\u65e5\u672c\u8a9e"},
    };
    for (const auto& [title, expected] : cases) EXPECT_EQ(ExcelReport::SheetName(title, taken), expected);
}

TEST(ExcelReport, CanonicalNumbers) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"0", true},      {L"12", true},     {L"-12.5", true},       {L"0.25", true},  {L"123456789012345", true},
        {L"0.000123456789012345", true},      {L"1234567890123456", false}, {L"007", false}, {L"+1", false},
        {L"-0", false},    {L"1.50", false},  {L"1.", false},         {L".5", false},   {L"1e5", false},
        {L"", false},      {L"-", false},     {L" 1", false},         {L"1,000", false}, {L"0.0", false},
    };
    for (const auto& [value, number] : cases)
        EXPECT_EQ(markup::IsCanonicalNumber(value), number) << tw::WideToUtf8(value);
}

TEST(ExcelReport, StylesAndCellTypes) {
    rt::TempDir dir;
    ASSERT_EQ(rt::WriteEdgeReport(RF_EXCEL, dir.File("edge.xls")), RE_OK);
    const std::string book = rt::ReadFile(dir.Path() / "edge.xls");
    EXPECT_NE(book.find("<Style ss:ID=\"Pr0\"><Interior ss:Color=\"#FFFF00\""), std::string::npos);
    EXPECT_NE(book.find("<Style ss:ID=\"Mar0\"><Font ss:Bold=\"0\" ss:Italic=\"1\" ss:Color=\"#000000\""),
              std::string::npos);
    EXPECT_NE(book.find("<Cell ss:StyleID=\"Mar0\"><Data ss:Type=\"String\">007</Data></Cell>"), std::string::npos);
    EXPECT_NE(book.find("<Cell ss:StyleID=\"Pr0\"><Data ss:Type=\"Number\">-12.5</Data></Cell>"), std::string::npos);
    EXPECT_NE(book.find("<Worksheet ss:Name=\"Values &lt;&amp;&gt;\">"), std::string::npos);
    EXPECT_NE(book.find("<Layout x:Orientation=\"Landscape\"/>"), std::string::npos);
    EXPECT_NE(book.find("<Title>Edge &lt;cases&gt;"), std::string::npos);
}

// LibreOffice opens the workbook and its CSV export of every sheet holds every value.
TEST(ExcelReport, LibreOfficeReadsEveryValue) {
    if (!rt::HasProgram("soffice") || !rt::HasProgram("python3")) GTEST_SKIP() << "soffice or python3 is missing";
    rt::TempDir dir;
    ASSERT_EQ(rt::WriteEdgeReport(RF_EXCEL, dir.File("edge.xls")), RE_OK);
    std::string output;
    ASSERT_EQ(rt::Run("xmllint --noout " + rt::Quote((dir.Path() / "edge.xls").string()), output), 0) << output;
    std::filesystem::create_directories(dir.Path() / "csv");
    const std::string command =
        "soffice --headless -env:UserInstallation=file://" + (dir.Path() / "profile").string() +
        " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' --outdir " +
        rt::Quote((dir.Path() / "csv").string()) + " " + rt::Quote((dir.Path() / "edge.xls").string());
    ASSERT_EQ(rt::Run("timeout 180 " + command, output), 0) << output;
    rt::WriteFile(dir.Path() / "expected.json", rt::EdgeJson());
    EXPECT_EQ(rt::RunChecker("check_csv.py", "sheets " + rt::Quote((dir.Path() / "csv").string()) + " " +
                                                 rt::Quote((dir.Path() / "expected.json").string())),
              "");
}

}  // namespace
