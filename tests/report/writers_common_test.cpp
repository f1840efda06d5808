// What every writer shares: golden files, a failed Open explains itself, a full disk is an error at Close,
// and a result set cut short still closes into a well-formed file.
#include <gtest/gtest.h>
#include <unistd.h>

#include "golden_calls.h"
#include "report_test_util.h"

namespace {

const int kFormats[] = {RF_HTML, RF_XML, RF_TEXT, RF_EXCEL, RF_RTF, RF_PDF, RF_XLSX};

// One short fixed report per format, compared with its golden file (HTML through a template of the test data).
TEST(Writers, GoldenFiles) {
    rt::DataDirOverride data(std::string(TW_TEST_DATA) + "/report");
    const std::pair<int, const char*> cases[] = {
        {RF_HTML, "html/report.htm"}, {RF_XML, "xml/report.xml"}, {RF_TEXT, "text/report.txt"},
        {RF_EXCEL, "excel/report.xls"}};
    for (const auto& [format, golden] : cases) {
        SCOPED_TRACE(golden);
        rt::TempDir dir;
        const std::string name = std::filesystem::path(golden).filename().string();
        MultiReport report;
        report.AddReport(format, dir.File(name), L"Golden.htm");
        golden::SetUp(report);
        ASSERT_EQ(report.Open(), RE_OK);
        golden::Drive(report);
        ASSERT_EQ(report.Close(), RE_OK);
        rt::ExpectGolden(rt::BlankVolatile(rt::ReadFile(dir.Path() / name)), golden);
    }
}

TEST(Writers, FactoryKnowsEveryFormat) {
    for (int format = RF_RTF; format <= RF_XLSX; ++format) EXPECT_NE(MakeWriter(format), nullptr) << format;
    EXPECT_EQ(MakeWriter(8), nullptr);
    MultiReport report;
    report.AddReport(42, L"/tmp/x", L"");
    EXPECT_EQ(report.Open(), RE_FORMAT);
    EXPECT_FALSE(report.ErrorText().empty());
}

// A missing folder or a file where the folder should be: Open fails naming the file, later calls are ignored.
TEST(Writers, OpenFailsWithAClearError) {
    rt::TempDir dir;
    rt::WriteFile(dir.Path() / "plain", "x");
    for (const int format : kFormats) {
        for (const std::wstring& file : {dir.File("missing/report.out"), dir.File("plain/report.out")}) {
            SCOPED_TRACE(tw::WideToUtf8(file) + " " + std::to_string(format));
            MultiReport report;
            report.AddReport(format, file, L"Default.htm");
            EXPECT_EQ(report.Open(), RE_OPEN);
            EXPECT_NE(report.ErrorText().find(file), std::wstring::npos);
            report.Text(L"ignored", 0, L"", 0);
            EXPECT_EQ(report.Close(), RE_OK);  // nothing was opened, nothing to finish
        }
    }
    if (geteuid() != 0) {
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        MultiReport report;
        report.AddReport(RF_HTML, dir.File("report.htm"), L"Default.htm");
        EXPECT_EQ(report.Open(), RE_OPEN);
        std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
    }
}

// Both when the buffer overflowed during the run and when the only write is the last one.
TEST(Writers, FullDiskIsReportedAtClose) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const int format : kFormats) {
        SCOPED_TRACE(format);
        rt::DataDirOverride data(TW_SOURCE_DIR);
        EXPECT_EQ(rt::WriteEdgeReport(format, L"/dev/full"), RE_WRITE);
        MultiReport report;
        report.AddReport(format, L"/dev/full", L"Default.htm");
        ASSERT_EQ(report.Open(), RE_OK);
        report.Text(L"small", 0, L"", 0);
        EXPECT_EQ(report.Close(), RE_WRITE);
        EXPECT_NE(report.ErrorText().find(L"/dev/full"), std::wstring::npos);
    }
}

TEST(Writers, UnfinishedRowStillWellFormed) {
    if (!rt::HasProgram("xmllint")) GTEST_SKIP() << "xmllint is missing";
    for (const int format : {RF_XML, RF_EXCEL}) {
        SCOPED_TRACE(format);
        rt::TempDir dir;
        MultiReport report;
        report.AddReport(format, dir.File("cut.xml"), L"");
        ASSERT_EQ(report.Open(), RE_OK);
        edge::DriveUnfinishedRow(report);
        // A second result set cut short inside its cell, and nothing ended before Close.
        report.BeginSubDocument(L"", L"Results2.html", L"Second");
        report.BeginTable(L"ResultSet", L"");
        report.BeginRow(L"row", L"", 1);
        report.BeginCell(L"a", 0, L"");
        report.Text(L"open", 0, L"", 0);
        ASSERT_EQ(report.Close(), RE_OK);
        std::string output;
        EXPECT_EQ(rt::Run("xmllint --noout " + rt::Quote((dir.Path() / "cut.xml").string()), output), 0) << output;
        const std::string text = rt::ReadFile(dir.Path() / "cut.xml");
        EXPECT_NE(text.find(">3<"), std::string::npos);
        EXPECT_NE(text.find(">open<"), std::string::npos);
    }
    rt::TempDir dir;
    MultiReport report;
    report.AddReport(RF_TEXT, dir.File("cut.txt"), L"");
    report.SetColumnSeparator(L",");
    ASSERT_EQ(report.Open(), RE_OK);
    edge::DriveUnfinishedRow(report);
    ASSERT_EQ(report.Close(), RE_OK);
    EXPECT_EQ(rt::ReadFile(dir.Path() / "cut.txt"), "a,b\n1,2\n3\n\nFooter & end\n");
}

// Content calls before Open or after a failed Open reach no writer and change nothing.
TEST(Writers, ContentBeforeOpenIsIgnored) {
    rt::TempDir dir;
    MultiReport report;
    report.AddReport(RF_TEXT, dir.File("t.txt"), L"");
    report.Text(L"too early", 0, L"", 0);
    ASSERT_EQ(report.Open(), RE_OK);
    report.Text(L"on time", 0, L"", 0);
    ASSERT_EQ(report.Close(), RE_OK);
    report.Text(L"too late", 0, L"", 0);
    EXPECT_EQ(report.Close(), RE_OK);
    EXPECT_EQ(rt::ReadFile(dir.Path() / "t.txt"), "on time\n");
}

// A prepared cell writes what the element calls write, in every format (HTML has a fast path of its own, and a
// charset through iconv that takes whole texts), inside a row and where no row is open; equal formats share a
// handle.
TEST(Writers, PreparedCellsMatchTheElementCalls) {
    const CellFormat formats[] = {
        {},
        {L"align=\"Right\"", L"Pr0", true, L"[", L"]", 0, false, false},
        {L"style=\"color: #800000;\" style=\"font-size: 120%;\"", L"Mar1", true, L"", L"<&>", 12, true, true},
        {L" class=\"x<&>\"", L"", true, L"Ł ", L"", -2, false, true},
        {L"", L"Pr2", true, L"", L"", 14, true, false},
    };
    const wchar_t* texts[] = {L"plain", L"<a & \"b\">", L"", L"Łódź 𝄞"};
    const struct {
        int format;
        const wchar_t* charset;
    } cases[] = {{RF_HTML, L"utf-8"}, {RF_HTML, L"iso-8859-2"}, {RF_XML, L""}, {RF_TEXT, L""}, {RF_EXCEL, L""},
                 {RF_RTF, L""}};
    for (const auto& test : cases) {
        rt::TempDir dir;
        const auto write = [&](const std::wstring& file, bool prepared) {
            MultiReport report;
            report.AddReport(test.format, file, L"");
            if (*test.charset) report.AddProperty(L"%CHARSET%", test.charset);
            ASSERT_EQ(report.Open(), RE_OK);
            report.BeginTable(L"ResultSet", {});
            report.BeginRow(L"row", {}, 5);
            std::vector<int> handles;
            for (const CellFormat& cell : formats) handles.push_back(report.PrepareCell(cell));
            EXPECT_EQ(report.PrepareCell(formats[2]), handles[2]);
            for (int pass = 0; pass < 2; ++pass) {
                for (size_t i = 0; i < std::size(formats); ++i) {
                    const CellFormat& cell = formats[i];
                    const wchar_t* text = texts[i % std::size(texts)];
                    if (prepared) {
                        report.FormattedCell(handles[i], L"c", text);
                        continue;
                    }
                    if (cell.setsStyle) report.SetCellColor(cell.styleName);
                    report.BeginCell(L"c", 0, cell.attributes);
                    if (cell.size) report.BeginStyle(RS_SIZE, cell.size);
                    if (cell.bold) report.BeginStyle(RS_BOLD, 0);
                    if (cell.italic) report.BeginStyle(RS_ITALIC, 0);
                    report.Text(cell.before + text + cell.after, 0, {}, 0);
                    if (cell.italic) report.EndStyle(RS_ITALIC, 0);
                    if (cell.bold) report.EndStyle(RS_BOLD, 0);
                    report.EndCell(L"c", 0);
                    report.SetCellColor({});
                    if (cell.size) report.EndStyle(RS_SIZE, 0);
                }
                // The second pass starts where no row is open.
                report.EndRow(L"row");
            }
            report.EndTable(L"ResultSet");
            ASSERT_EQ(report.Close(), RE_OK);
        };
        write(dir.File("calls"), false);
        write(dir.File("prepared"), true);
        EXPECT_EQ(rt::ReadFile(dir.Path() / "prepared"), rt::ReadFile(dir.Path() / "calls"))
            << "format " << test.format << " " << testing::PrintToString(std::wstring(test.charset));
    }
}

}  // namespace
