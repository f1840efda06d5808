#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

#include "edge_cases.h"
#include "multi_report.h"
#include "report_test_util.h"
#include "xlsx_writer.h"

namespace {

// Debian's python3 has openpyxl; one a user put first on PATH may not.
std::string OpenpyxlPython() {
    std::string output;
    if (rt::Run("/usr/bin/python3 -c 'import openpyxl'", output) == 0) return "/usr/bin/python3";
    if (rt::Run("python3 -c 'import openpyxl'", output) == 0) return "python3";
    return {};
}

// What openpyxl reads from file (see dump_xlsx.py).
std::string Dump(const std::string& python, const std::wstring& file) {
    int status = 0;
    const std::string out = rt::Capture(python + " " + rt::Quote(std::string(TW_SOURCE_DIR) + "/tests/report/dump_xlsx.py") +
                                            " " + rt::Quote(tw::WideToUtf8(file)) + " 2>&1",
                                        &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

ReportSetup XlsxSetup(const std::wstring& file) {
    ReportSetup setup;
    setup.format = RF_XLSX;
    setup.file = file;
    return setup;
}

bool Has(const std::string& dump, const std::string& line) { return dump.find(line + "\n") != std::string::npos; }

// A result set as the run writes it: header cells, then body cells in prepared formats.
void WriteResultSet(AReport& report, const std::wstring& title, const std::vector<std::pair<std::wstring, int>>& columns,
                    const std::vector<std::vector<std::wstring>>& rows, const std::vector<int>& handles) {
    report.BeginSubDocument({}, L"Results.html", title);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, static_cast<int>(columns.size()));
    for (const auto& column : columns) report.Cell(column.first, 1, {});
    report.EndRow({});
    for (const auto& row : rows) {
        report.BeginRow(L"row", {}, static_cast<int>(columns.size()));
        for (size_t column = 0; column < row.size(); ++column)
            report.FormattedCell(handles[column], columns[column].first, row[column]);
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    report.EndSubDocument();
}

// The edge-case set: LibreOffice opens the workbook and its CSV export of the sheets holds every value.
TEST(XlsxReport, LibreOfficeReadsEveryValue) {
    if (!rt::HasProgram("soffice") || !rt::HasProgram("python3")) GTEST_SKIP() << "soffice or python3 is missing";
    rt::TempDir dir;
    ASSERT_EQ(rt::WriteEdgeReport(RF_XLSX, dir.File("edge.xlsx")), RE_OK);
    std::filesystem::create_directories(dir.Path() / "csv");
    std::string output;
    const std::string command =
        "soffice --headless -env:UserInstallation=file://" + (dir.Path() / "profile").string() +
        " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' --outdir " +
        rt::Quote((dir.Path() / "csv").string()) + " " + rt::Quote((dir.Path() / "edge.xlsx").string());
    ASSERT_EQ(rt::Run("timeout 180 " + command, output), 0) << output;
    // The long text is cut at what a cell holds, and LibreOffice reads a carriage return before a line feed as
    // the line break alone; the rest of the set is compared whole.
    std::string expected = rt::EdgeJson();
    for (size_t at = expected.find("\\u000d"); at != std::string::npos; at = expected.find("\\u000d"))
        expected.erase(at, 6);
    const std::string longText = rt::JsonString(edge::LongText());
    std::wstring cut = edge::LongText().substr(0, 32767);
    expected.replace(expected.find(longText), longText.size(), rt::JsonString(cut));
    rt::WriteFile(dir.Path() / "expected.json", expected);
    EXPECT_EQ(rt::RunChecker("check_csv.py", "sheets " + rt::Quote((dir.Path() / "csv").string()) + " " +
                                                 rt::Quote((dir.Path() / "expected.json").string())),
              "");
}

// Types, formats, widths, the frozen and filtered header, sheet names and the first sheet, as openpyxl reads them.
TEST(XlsxReport, OpenpyxlReadsTypesFormatsAndLayout) {
    const std::string python = OpenpyxlPython();
    if (python.empty()) GTEST_SKIP() << "python3-openpyxl is missing";
    rt::TempDir dir;
    const std::wstring file = dir.File("typed.xlsx");
    XlsxReport report;
    report.SetSetup(XlsxSetup(file));
    report.AddProperty(L"%TITLE%", L"Sales: 2024");
    report.SetStyles(L"<Style ss:ID=\"Pr0\"><Interior ss:Color=\"yellow\" ss:Pattern=\"Solid\"/>"
                     L"<Font ss:Bold=\"0\" ss:Italic=\"0\" ss:Color=\"#800000\" ss:Size=\"10\"/></Style>\n"
                     L"<Style ss:ID=\"Mar0\"><Font ss:Bold=\"1\" ss:Italic=\"1\" ss:Color=\"black\" ss:Size=\"14\"/></Style>\n");
    ASSERT_EQ(report.Open(), RE_OK);
    report.Text(L"Sales: 2024", 1, {}, 0);
    report.TocItem(L"Summary", L"Summary", 0);
    report.TocItem(L"Results1", L"Results #1", 0);
    report.TocItem(L"Results2", L"Plain", 0);
    report.BeginSubDocument({}, L"Summary.html", L"Summary");
    report.BeginTable(L"Summary", {});
    report.AttributeRowHeader();
    report.Row2(L"Product", L"Tablewright", 0);
    report.EndTable(L"Summary");
    report.EndSubDocument();

    CellFormat amount, code, day, stamp, marked;
    amount.valueType = 8;   // DOUBLE
    amount.setsStyle = true;
    amount.styleName = L"Pr0";
    amount.attributes = L" align=\"Right\" style=\"text-align: right\"";
    code.valueType = 12;    // VARCHAR
    day.valueType = 9;      // DATE
    stamp.valueType = 11;   // TIMESTAMP
    marked = code;
    marked.setsStyle = true;
    marked.styleName = L"Mar0";
    marked.bold = marked.italic = true;
    marked.size = 14;
    const std::vector<int> handles = {report.PrepareCell(amount), report.PrepareCell(code), report.PrepareCell(day),
                                      report.PrepareCell(stamp), report.PrepareCell(marked)};
    WriteResultSet(report, L"Results #1",
                   {{L"amount", 8}, {L"code", 12}, {L"day", 9}, {L"stamp", 11}, {L"note", 12}},
                   {{L"10887.580000000002", L"00123", L"2024-01-02", L"2024-01-02 13:45:00", L"=1+1"},
                    {L"-3.5", L"12345678901234567890", L"1899-12-31", L"2024-01-02 13:45:00.5", L"two\nlines"},
                    {L"", L"x", L"", L"2024-01-02 13:45:07+01", L"a much longer note than the header"}},
                   handles);
    WriteResultSet(report, L"Plain", {{L"n", 4}}, {{L"1"}}, {report.PrepareCell(CellFormat{})});
    report.Text(L"Footer line", 5, {}, 0);
    ASSERT_EQ(report.Close(), RE_OK);
    // One format per distinct look: header, heading 1 and 5, the links, plain texts need none; rule looks per
    // number format used; the wrapped multi-line note.
    EXPECT_LE(report.FormatCount(), 10u);

    const std::string dump = Dump(python, file);
    for (const char* line : {
             "sheet Sales_ 2024 freeze=None filter=None",
             "cell Sales_ 2024!A1 s Sales: 2024 | format=General bold size=16",
             "cell Sales_ 2024!A2 s Summary | format=General color=0563C1 link='Sales_ 2024'!A1",
             "cell Sales_ 2024!A3 s Results #1 | format=General color=0563C1 link='Results #1'!A1",
             "cell Sales_ 2024!A4 s Plain | format=General color=0563C1 link='Plain'!A1",
             "cell Sales_ 2024!A5 s Attribute | format=General bold fill=E8ECF2",
             "cell Sales_ 2024!B6 s Tablewright | format=General",
             "cell Sales_ 2024!A7 s Footer line | format=General bold size=10",
             "sheet Results #1 freeze=A2 filter=A1:E4",
             "cell Results #1!A1 s amount | format=General bold fill=E8ECF2",
             "cell Results #1!A2 n 10887.58 | format=General color=800000 fill=FFFF00 align=right",
             "cell Results #1!B2 s 00123 | format=General",
             "cell Results #1!C2 d 2024-01-02 00:00:00 | format=yyyy-mm-dd",
             "cell Results #1!D2 d 2024-01-02 13:45:00 | format=yyyy-mm-dd hh:mm:ss",
             "cell Results #1!E2 s =1+1 | format=General bold italic size=14",
             "cell Results #1!B3 s 12345678901234567890 | format=General",
             "cell Results #1!C3 s 1899-12-31 | format=General",
             "cell Results #1!D3 d 2024-01-02 13:45:00.500000 | format=yyyy-mm-dd hh:mm:ss.000",
             "cell Results #1!E3 s two\\nlines | format=General bold italic size=14",
             "cell Results #1!A4 n  | format=General color=800000 fill=FFFF00 align=right",
             "cell Results #1!D4 s 2024-01-02 13:45:07+01 | format=General",
             "sheet Plain freeze=A2 filter=A1:A2",
             "cell Plain!A2 n 1 | format=General",
         })
        EXPECT_TRUE(Has(dump, line)) << line << "\n" << dump;
    // Widths follow the values: the long note is wider than the code column, the dates between.
    auto width = [&](const std::string& column) {
        const std::string key = "width Results #1 " + column + " ";
        const size_t at = dump.find(key);
        return at == std::string::npos ? 0.0 : std::stod(dump.substr(at + key.size()));
    };
    EXPECT_GT(width("E"), width("D"));
    EXPECT_GT(width("D"), width("C"));
    EXPECT_GE(width("C"), 10.0);
    EXPECT_GT(width("B"), 20.0);  // the 20-digit id
}

// A table longer than a worksheet goes on on sheets with the next number, each with the header row again.
TEST(XlsxReport, LongTableContinuesOnNumberedSheets) {
    const std::string python = OpenpyxlPython();
    if (python.empty()) GTEST_SKIP() << "python3-openpyxl is missing";
    rt::TempDir dir;
    const std::wstring file = dir.File("long.xlsx");
    XlsxReport report(4);  // a header and three rows a sheet
    report.SetSetup(XlsxSetup(file));
    ASSERT_EQ(report.Open(), RE_OK);
    CellFormat number;
    number.valueType = 4;
    std::vector<std::vector<std::wstring>> rows;
    for (int n = 1; n <= 7; ++n) rows.push_back({std::to_wstring(n)});
    WriteResultSet(report, L"Big", {{L"n", 4}}, rows, {report.PrepareCell(number)});
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string dump = Dump(python, file);
    for (const char* line : {"sheet Big freeze=A2 filter=A1:A4", "cell Big!A4 n 3 | format=General",
                             "sheet Big (2) freeze=A2 filter=A1:A4", "cell Big (2)!A1 s n | format=General bold fill=E8ECF2",
                             "cell Big (2)!A2 n 4 | format=General", "cell Big (2)!A4 n 6 | format=General",
                             "sheet Big (3) freeze=A2 filter=A1:A2", "cell Big (3)!A2 n 7 | format=General"})
        EXPECT_TRUE(Has(dump, line)) << line << "\n" << dump;
    EXPECT_EQ(dump.find("Big (4)"), std::string::npos);
}

// The previous report stays until the new one is complete; a discarded run leaves no file behind.
TEST(XlsxReport, ReplacesOnlyWhenComplete) {
    rt::TempDir dir;
    const std::wstring file = dir.File("kept.xlsx");
    rt::WriteFile(dir.Path() / "kept.xlsx", "old report");
    {
        XlsxReport report;
        report.SetSetup(XlsxSetup(file));
        ASSERT_EQ(report.Open(), RE_OK);
        report.Text(L"never finished", 0, {}, 0);
        report.Discard();
    }
    EXPECT_EQ(rt::ReadFile(dir.Path() / "kept.xlsx"), "old report");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
    XlsxReport report;
    report.SetSetup(XlsxSetup(file));
    ASSERT_EQ(report.Open(), RE_OK);
    report.Text(L"done", 0, {}, 0);
    ASSERT_EQ(report.Close(), RE_OK);
    EXPECT_EQ(rt::ReadFile(dir.Path() / "kept.xlsx").substr(0, 2), "PK");  // a zip file now
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

// Values that need care in the format: escapes, texts that look like escapes, blanks at either end, the first
// days a spreadsheet counts (its false 1900-02-29 in between), the last millisecond of a day, floating-point
// extremes. What openpyxl reads, and that LibreOffice, having opened and saved the workbook again, reads the same.
TEST(XlsxReport, OpenpyxlAndLibreOfficeReadTheSameValues) {
    const std::string python = OpenpyxlPython();
    if (python.empty() || !rt::HasProgram("soffice")) GTEST_SKIP() << "python3-openpyxl or soffice is missing";
    rt::TempDir dir;
    const std::wstring file = dir.File("values.xlsx");
    XlsxReport report;
    edge::SetUp(report);
    report.SetSetup([&] {
        ReportSetup setup = report.Setup();
        setup.format = RF_XLSX;
        setup.file = file;
        return setup;
    }());
    ASSERT_EQ(report.Open(), RE_OK);
    edge::Drive(report);
    CellFormat text, number, day, stamp;
    text.valueType = 12;
    number.valueType = 8;
    day.valueType = 9;
    stamp.valueType = 11;
    const std::vector<int> handles = {report.PrepareCell(text), report.PrepareCell(number), report.PrepareCell(day),
                                      report.PrepareCell(stamp)};
    WriteResultSet(report, L"Tricky",
                   {{L"text", 12}, {L"number", 8}, {L"day", 9}, {L"stamp", 11}},
                   {{L"_x0041_ stays", L"1e300", L"1900-01-01", L"1900-01-01 00:00:01"},
                    {L"  blanks at both ends  ", L"-0.000001", L"1900-02-28", L"1900-02-28 12:00"},
                    {L"tab\tinside & <markup>", L"12345678901234567", L"1900-03-01", L"2024-02-29 23:59:59.999"},
                    {L"\u00e9\u4e2d\U0001F600 wide", L"0.1", L"9999-12-31", L"9999-12-31T23:59:59.5"},
                    {L"control \x01\x1f and \uFFFE", L"", L"", L""}},
                   handles);
    ASSERT_EQ(report.Close(), RE_OK);

    const std::string dump = Dump(python, file);
    // A text that reads as the format's escape is escaped itself (openpyxl shows inline strings undecoded).
    for (const char* line : {"cell Tricky!A2 s _x005F_x0041_ stays | format=General",
                             "cell Tricky!A3 s   blanks at both ends   | format=General",
                             "cell Tricky!A6 s control _x0001__x001F_ and _xFFFE_ | format=General",
                             "cell Tricky!B2 n 1e+300 | format=General",
                             "cell Tricky!B4 n 1.234567890123457e+16 | format=General",
                             "cell Tricky!C2 d 1900-01-01 00:00:00 | format=yyyy-mm-dd",
                             "cell Tricky!C3 d 1900-02-28 00:00:00 | format=yyyy-mm-dd",
                             "cell Tricky!C4 d 1900-03-01 00:00:00 | format=yyyy-mm-dd",
                             "cell Tricky!D2 d 1900-01-01 00:00:01 | format=yyyy-mm-dd hh:mm:ss",
                             "cell Tricky!D4 d 2024-02-29 23:59:59.999000 | format=yyyy-mm-dd hh:mm:ss.000"})
        EXPECT_TRUE(Has(dump, line)) << line << "\n" << dump;

    std::filesystem::create_directories(dir.Path() / "lo");
    std::string output;
    const std::string command = "timeout 180 soffice --headless -env:UserInstallation=file://" +
                                (dir.Path() / "profile").string() + " --convert-to xlsx --outdir " +
                                rt::Quote((dir.Path() / "lo").string()) + " " + rt::Quote(tw::WideToUtf8(file));
    ASSERT_EQ(rt::Run(command, output), 0) << output;
    EXPECT_EQ(rt::RunChecker("same_values_xlsx.py",
                             rt::Quote(tw::WideToUtf8(file)) + " " + rt::Quote((dir.Path() / "lo" / "values.xlsx").string()),
                             python),
              "");
}

// The package is written front to back: a pipe takes it as it comes.
TEST(XlsxReport, StreamsIntoAPipe) {
    const std::string python = OpenpyxlPython();
    if (python.empty()) GTEST_SKIP() << "python3-openpyxl is missing";
    rt::TempDir dir;
    const std::string fifo = (dir.Path() / "pipe").string(), copy = (dir.Path() / "copy.xlsx").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FILE* reader = ::popen(("cat " + rt::Quote(fifo) + " > " + rt::Quote(copy)).c_str(), "r");
    ASSERT_NE(reader, nullptr);
    XlsxReport report;
    report.SetSetup(XlsxSetup(tw::Utf8ToWide(fifo)));
    ASSERT_EQ(report.Open(), RE_OK);
    CellFormat number;
    number.valueType = 4;
    std::vector<std::vector<std::wstring>> rows;
    for (int n = 1; n <= 3000; ++n) rows.push_back({std::to_wstring(n)});
    WriteResultSet(report, L"Piped", {{L"n", 4}}, rows, {report.PrepareCell(number)});
    EXPECT_EQ(report.Close(), RE_OK);
    EXPECT_EQ(::pclose(reader), 0);
    const std::string dump = Dump(python, tw::Utf8ToWide(copy));
    EXPECT_TRUE(Has(dump, "cell Piped!A3001 n 3000 | format=General")) << dump.substr(0, 2000);
}

}  // namespace
