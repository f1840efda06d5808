#include <gtest/gtest.h>

#include "excel_writer.h"
#include "markup.h"
#include "report_test_util.h"
#include "spreadsheet_value.h"

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

TEST(ExcelReport, CellKindsByColumnType) {
    using spreadsheet::CellKind;
    enum { Unknown = 0, Char = 1, Decimal = 3, Integer = 4, Double = 8, Date = 9, Time = 10, Stamp = 11, Big = -5 };
    const struct {
        const wchar_t* value;
        int type;
        CellKind kind;
    } cases[] = {
        {L"10887.580000000002", Double, CellKind::Number},  {L"1.2345679e+08", Double, CellKind::Number},
        {L"NaN", Double, CellKind::String},                 {L"-Infinity", Double, CellKind::String},
        {L"12.50", Decimal, CellKind::Number},              {L"0.000000000000000012", Decimal, CellKind::Number},
        {L"99999999999999.99", Decimal, CellKind::String},  {L"999999999999999.000", Decimal, CellKind::Number},
        {L"12345678901234567890", Big, CellKind::String},   {L"-42", Integer, CellKind::Number},
        {L"007", Integer, CellKind::String},                {L"1e5", Decimal, CellKind::String},
        {L"00123", Char, CellKind::String},                 {L"=1+1", Char, CellKind::String},
        {L"12", Char, CellKind::String},                    {L"2024-01-02", Date, CellKind::Date},
        {L"2024-02-30", Date, CellKind::String},            {L"2024-02-29", Date, CellKind::Date},
        {L"1899-12-31", Date, CellKind::String},            {L"0044-03-15 BC", Date, CellKind::String},
        {L"02.01.2024", Date, CellKind::String},            {L"2024-01-02 13:45", Stamp, CellKind::DateTime},
        {L"2024-01-02 13:45:07.125", Stamp, CellKind::DateTime},
        {L"2024-01-02T13:45:07", Stamp, CellKind::DateTime},
        {L"2024-01-02 13:45:07.123456", Stamp, CellKind::String},
        {L"2024-01-02 13:45:07+01", Stamp, CellKind::String},
        {L"2024-01-02 24:00:00", Stamp, CellKind::String},  {L"13:45:00", Time, CellKind::String},
        {L"12", Unknown, CellKind::Number},                 {L"1.50", Unknown, CellKind::String},
        {L"", Double, CellKind::String},
    };
    for (const auto& test : cases)
        EXPECT_EQ(spreadsheet::Classify(test.value, test.type), test.kind) << tw::WideToUtf8(test.value);
    EXPECT_EQ(spreadsheet::DateTimeText(L"2024-01-02 13:45:07.5"), "2024-01-02T13:45:07.500");
    EXPECT_EQ(spreadsheet::DateTimeText(L"2024-01-02"), "2024-01-02T00:00:00.000");
}

// What LibreOffice makes of typed columns: numbers it can sum, dates it can sort, texts kept as written.
TEST(ExcelReport, LibreOfficeKeepsCellTypes) {
    if (!rt::HasProgram("soffice") || !rt::HasProgram("python3")) GTEST_SKIP() << "soffice or python3 is missing";
    rt::TempDir dir;
    const std::wstring file = dir.File("typed.xls");
    MultiReport report;
    report.AddReport(RF_EXCEL, file, L"");
    report.SetStyles(L"<Style ss:ID=\"Pr0\"><Interior ss:Color=\"yellow\" ss:Pattern=\"Solid\"/></Style>\n");
    ASSERT_EQ(report.Open(), RE_OK);
    const std::vector<std::pair<const wchar_t*, int>> columns = {
        {L"amount", 8}, {L"price", 3}, {L"id", -5}, {L"code", 12}, {L"day", 9}, {L"stamp", 11}};
    const std::vector<std::vector<const wchar_t*>> rows = {
        {L"10887.580000000002", L"12.50", L"42", L"00123", L"2024-01-02", L"2024-01-02 13:45:00"},
        {L"20000.25", L"99999999999999.99", L"12345678901234567890", L"=1+1", L"1999-12-31",
         L"2024-01-02 13:45:00.5"},
        {L"-3.5", L"0.001", L"-7", L"1e5", L"0044-03-15 BC", L"2024-01-02 13:45:00+01"},
    };
    report.BeginSubDocument({}, {}, L"Typed");
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, static_cast<int>(columns.size()));
    for (const auto& [name, type] : columns) report.Cell(name, 1, {});
    report.EndRow({});
    for (const auto& row : rows) {
        report.BeginRow(L"row", {}, static_cast<int>(columns.size()));
        for (size_t column = 0; column < columns.size(); ++column) {
            CellFormat format;
            format.valueType = columns[column].second;
            // The dates of the first row also carry a rule's style.
            format.setsStyle = column == 4 && row == rows.front();
            if (format.setsStyle) format.styleName = L"Pr0";
            report.FormattedCell(report.PrepareCell(format), columns[column].first, row[column]);
        }
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    report.EndSubDocument();
    ASSERT_EQ(report.Close(), RE_OK);

    const std::string book = rt::ReadFile(dir.Path() / "typed.xls");
    EXPECT_NE(book.find("<Column ss:AutoFitWidth=\"0\" ss:Width=\""), std::string::npos);
    std::string output;
    const std::string command = "soffice --headless -env:UserInstallation=file://" + (dir.Path() / "profile").string() +
                                " --convert-to xlsx --outdir " + rt::Quote(dir.Path().string()) + " " +
                                rt::Quote(tw::WideToUtf8(file));
    ASSERT_EQ(rt::Run("timeout 180 " + command, output), 0) << output;
    const std::string cells = rt::Capture("python3 " + rt::Quote(std::string(TW_SOURCE_DIR) + "/tests/report/check_xlsx.py") +
                                          " " + rt::Quote((dir.Path() / "typed.xlsx").string()) + " Typed");
    // LibreOffice keeps 15 significant digits, so the amounts' sum there is the database's 30884.33.
    EXPECT_EQ(cells,
              "s:amount\ts:price\ts:id\ts:code\ts:day\ts:stamp\n"
              "n:10887.58\tn:12.5\tn:42.0\ts:00123\td:2024-01-02 00:00:00.000\td:2024-01-02 13:45:00.000\n"
              "n:20000.25\ts:99999999999999.99\ts:12345678901234567890\ts:=1+1\td:1999-12-31 00:00:00.000\t"
              "d:2024-01-02 13:45:00.500\n"
              "n:-3.5\tn:0.001\tn:-7.0\ts:1e5\ts:0044-03-15 BC\ts:2024-01-02 13:45:00+01\n");
}

}  // namespace
