// PDF writer, read back with poppler: text in order, page size, outline and destinations, header rows
// repeated on every page, long cells kept whole across pages.

#include "pdf_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "edge_cases.h"
#include "multi_report.h"
#include "report_test_util.h"
#include "rtf_sample_report.h"
#include "text.h"

namespace {

using rt::Capture;
using rt::InOrder;
using rt::Quote;
using rt::TempDir;
using rt::Squeeze;

bool HavePoppler() { return rt::HasProgram("pdftotext") && rt::HasProgram("pdfinfo"); }

// The text of the document or of one page; layout keeps the cells of a row on one line.
std::string PdfText(const std::string& path, int page = 0, bool layout = false) {
    const std::string range = page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
    return Capture("pdftotext -enc UTF-8" + std::string(layout ? " -layout" : "") + range + " " +
                   Quote(path) + " - 2>&1");
}

std::string PdfInfo(const std::string& path, const std::string& options = "") {
    return Capture("pdfinfo " + options + " " + Quote(path) + " 2>&1");
}

int Pages(const std::string& path) {
    const std::string info = PdfInfo(path);
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// A table of rows rows of three columns, the way the run writes a result set.
void WriteRows(AReport& report, int rows, const std::wstring& anchor) {
    report.Ancor(anchor);
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 3);
    for (const wchar_t* column : {L"number", L"label", L"amount"}) report.Cell(column, 1, L"");
    report.EndRow(L"");
    for (int i = 0; i < rows; ++i) {
        report.BeginRow(L"row", L"", 3);
        const std::wstring number = std::to_wstring(i);
        twtest::StyledCell(report, L"number", number.c_str(), i % 7 == 0 ? L"yellow" : L"", 0, false, false);
        twtest::StyledCell(report, L"label", (L"label " + number).c_str(), L"", 0, i % 3 == 0, i % 5 == 0);
        twtest::StyledCell(report, L"amount", (number + L".50").c_str(), L"#E0FFE0", i % 2 ? 11 : 0, false,
                           false);
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
}

std::set<std::string> Words(const std::string& text) {
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.insert(word);
    return words;
}

std::wstring Wide(const std::string& path) { return tw::Utf8ToWide(path); }

// Values without a break opportunity keep their columns wide enough to stay on one line; nothing is hyphenated;
// long texts wrap beside them; every script finds a font (emoji as outline glyphs, so the text stays text).
// Nine columns on a portrait page: the table font shrinks a little instead of splitting the values.
TEST(PdfWriter, ValuesStayWholeInBalancedColumns) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    const std::vector<std::wstring> tokens = {L"2024-01-02", L"1234567.891", L"order_date", L"\u00c5ngstr\u00f6m",
                                              L"customer@example.com", L"\ud55c\uad6d\uc5b4", L"\U0001F600",
                                              L"\u65e5\u672c\u8a9e"};
    std::wstring prose;
    for (int i = 0; i < 6; ++i) prose += L"Words of a long description wrap at their spaces. ";
    for (const int extraColumns : {0}) {
        SCOPED_TRACE(extraColumns);
        rt::TempDir scratch;
        const std::string path = scratch.Name("whole.pdf");
        PdfReport report;
        ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
        report.BeginTable(L"ResultSet", {});
        report.BeginRow({}, {}, 0);
        for (const wchar_t* name : {L"order_date", L"amount", L"id_column", L"name", L"mail", L"ko", L"e", L"ja",
                                    L"description"})
            report.Cell(name, 1, {});
        for (int extra = 0; extra < extraColumns; ++extra) report.Cell(L"c" + std::to_wstring(extra), 1, {});
        report.EndRow({});
        for (int row = 0; row < 3; ++row) {
            report.BeginRow(L"row", {}, 0);
            for (const std::wstring& token : tokens) report.Cell(token, 0, {});
            report.Cell(prose, 0, {});
            for (int extra = 0; extra < extraColumns; ++extra) report.Cell(L"1234.5", 0, {});
            report.EndRow(L"row");
        }
        report.EndTable(L"ResultSet");
        ASSERT_EQ(report.Close(), RE_OK);
        const std::string text = PdfText(path);
        std::string joined;  // Chinese, Japanese and Korean may break between any two characters
        for (const char c : text)
            if (c != '\n' && c != ' ') joined += c;
        for (const std::wstring& token : tokens) {
            const bool ideographic = token[0] >= 0x3000 && token[0] < 0xE000;
            EXPECT_NE((ideographic ? joined : text).find(tw::WideToUtf8(token)), std::string::npos)
                << tw::WideToUtf8(token);
        }
        EXPECT_EQ(text.find("\u00c5ngstr\u00f6-"), std::string::npos);
        EXPECT_EQ(text.find("Wor-"), std::string::npos);
    }
}

// Wherever the page ends, the header row and the first row of the table share a page.
TEST(PdfWriter, HeaderRowNeverAloneAtThePageBottom) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    for (int lines = 50; lines <= 80; lines += 2) {
        SCOPED_TRACE(lines);
        rt::TempDir scratch;
        const std::string path = scratch.Name("keep.pdf");
        PdfReport report;
        ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
        for (int line = 0; line < lines; ++line) report.Text(L"filler line " + std::to_wstring(line), 0, {}, 0);
        report.BeginTable(L"ResultSet", {});
        report.BeginRow({}, {}, 2);
        report.Cell(L"HEADERCELL", 1, {});
        report.Cell(L"other", 1, {});
        report.EndRow({});
        // One row and a footer: the footer does not take that row away from the header.
        const int rows = lines % 4 == 0 ? 1 : 3;
        for (int row = 0; row < rows; ++row) {
            report.BeginRow(L"row", {}, 2);
            report.Cell(L"ROWCELL" + std::to_wstring(row), 0, {});
            report.Cell(L"x", 0, {});
            report.EndRow(L"row");
        }
        report.EndTable(L"ResultSet");
        if (rows == 1) report.Text(L"footer line", 0, {}, 0);
        ASSERT_EQ(report.Close(), RE_OK);
        for (int page = 1; page <= Pages(path); ++page) {
            const std::string text = PdfText(path, page);
            if (text.find("HEADERCELL") != std::string::npos) {
                EXPECT_NE(text.find("ROWCELL"), std::string::npos) << "page " << page << " ends with the header";
            }
        }
    }
}

// Three hundred columns do not fit a page: they continue on following pages, a band of columns per page, each
// page repeating the header row and the row's first column; every value stays whole and readable.
TEST(PdfWriter, ManyColumnsContinueOnFollowingPages) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    constexpr int kColumns = 300, kRows = 70;
    rt::TempDir scratch;
    const std::string path = scratch.Name("wide.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, kColumns);
    for (int c = 0; c < kColumns; ++c) report.Cell(L"col" + std::to_wstring(c), 1, {});
    report.EndRow({});
    auto value = [](int row, int column) {
        return column % 10 == 5 ? L"2024-01-" + std::to_wstring(10 + row % 20) + L"_r" + std::to_wstring(row)
                                : L"r" + std::to_wstring(row) + L"c" + std::to_wstring(column);
    };
    for (int row = 0; row < kRows; ++row) {
        report.BeginRow(L"row", {}, kColumns);
        for (int c = 0; c < kColumns; ++c) report.Cell(value(row, c), 0, {});
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);

    const std::set<std::string> words = Words(PdfText(path));
    for (int row = 0; row < kRows; ++row)
        for (int c = 0; c < kColumns; ++c) {
            const std::string expected = tw::WideToUtf8(value(row, c));
            if (!words.count(expected)) {
                ADD_FAILURE() << expected << " is not found whole";
                return;
            }
        }
    // About ten columns a page, the rows in two page groups: some sixty pages, not hundreds.
    const int pages = Pages(path);
    EXPECT_GE(pages, 2 * kColumns / 16);
    EXPECT_LE(pages, 2 * kColumns / 5);
    for (int page = 1; page <= pages; ++page) {
        const std::set<std::string> text = Words(PdfText(path, page));
        EXPECT_TRUE(text.count("col0")) << "page " << page << " lacks the first column";
        const bool firstGroup = text.count("r0c0") > 0;
        EXPECT_TRUE(text.count(firstGroup ? "r1c0" : "r69c0")) << "page " << page;
    }
}

// A wide table without rows (an empty result) still shows every column name.
TEST(PdfWriter, ManyColumnsWithoutRowsKeepEveryName) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("names.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, 120);
    for (int c = 0; c < 120; ++c) report.Cell(L"name" + std::to_wstring(c), 1, {});
    report.EndRow({});
    report.EndTable(L"ResultSet");
    report.Text(L"After the table", 0, {}, 0);
    ASSERT_EQ(report.Close(), RE_OK);
    const std::set<std::string> words = Words(PdfText(path));
    for (int c = 0; c < 120; ++c) EXPECT_TRUE(words.count("name" + std::to_string(c))) << c;
    EXPECT_TRUE(words.count("After"));
}

// Wherever the page ends, a footer after the table is not alone at the top of the last page: the table's last
// row goes to its page (with the header row) rather than leave it alone.
TEST(PdfWriter, FooterKeepsTheLastRowsOnItsPage) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    bool footerOnANewPage = false;
    for (int rows = 20; rows <= 45; ++rows) {
        SCOPED_TRACE(rows);
        rt::TempDir scratch;
        const std::string path = scratch.Name("footer.pdf");
        PdfReport report;
        ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
        report.Ancor(L"first");
        report.BeginTable(L"ResultSet", {});
        report.BeginRow({}, {}, 2);
        report.Cell(L"HEADERCELL", 1, {});
        report.Cell(L"other", 1, {});
        report.EndRow({});
        for (int row = 0; row < rows; ++row) {
            report.BeginRow(L"row", {}, 2);
            report.Cell(L"ROWCELL" + std::to_wstring(row), 0, {});
            report.Cell(L"x", 0, {});
            report.EndRow(L"row");
        }
        report.EndTable(L"ResultSet");
        report.BeginParagraph(0, {});
        report.Text(L"FOOTERTEXT first line", 0, {}, 0);
        report.EndOfLine();
        report.Text(L"second line", 0, {}, 0);
        report.EndParagraph(0);
        ASSERT_EQ(report.Close(), RE_OK);
        const int pages = Pages(path);
        const std::string last = PdfText(path, pages);
        ASSERT_NE(last.find("FOOTERTEXT"), std::string::npos);
        EXPECT_NE(last.find("ROWCELL" + std::to_string(rows - 1)), std::string::npos);
        if (pages > 1) {
            footerOnANewPage =
                footerOnANewPage || last.find("ROWCELL" + std::to_string(rows - 2)) == std::string::npos;
            EXPECT_NE(last.find("HEADERCELL"), std::string::npos);
        }
        // Every row is drawn once.
        const std::string text = PdfText(path);
        for (int row = 0; row < rows; ++row) {
            const std::string cell = "ROWCELL" + std::to_string(row) + "\n";
            EXPECT_EQ(text.find(cell), text.rfind(cell)) << cell;
        }
    }
    EXPECT_TRUE(footerOnANewPage) << "no row count put the page break before the footer";
}

// The widths come from the first rows; ids that count past them and larger amounts still stay whole on one line
// when the page has room to spare.
TEST(PdfWriter, LaterLongerValuesStayWhole) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    constexpr int kRows = 1200;
    rt::TempDir scratch;
    const std::string path = scratch.Name("ids.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, 2);
    report.Cell(L"id", 1, {});
    report.Cell(L"amount", 1, {});
    report.EndRow({});
    for (int row = 0; row < kRows; ++row) {
        report.BeginRow(L"row", {}, 2);
        report.Cell(std::to_wstring(row * 97), 0, {});
        report.Cell(std::to_wstring(row * 1009) + L".25", 0, {});
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);
    const std::set<std::string> words = Words(PdfText(path));
    for (int row = 0; row < kRows; ++row) {
        ASSERT_TRUE(words.count(std::to_string(row * 97))) << row * 97 << " is broken";
        ASSERT_TRUE(words.count(std::to_string(row * 1009) + ".25")) << row * 1009 << ".25 is broken";
    }
}

// The same in a table whose columns continue on following pages: a footer that would start the last page alone
// takes the last row with it, on the pages of every band.
TEST(PdfWriter, FooterKeepsTheLastRowsOfABandedTable) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    constexpr int kColumns = 30;
    bool rowMoved = false;
    for (int rows = 30; rows <= 44; ++rows) {
        SCOPED_TRACE(rows);
        rt::TempDir scratch;
        const std::string path = scratch.Name("banded.pdf");
        PdfReport report;
        ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
        report.BeginTable(L"ResultSet", {});
        report.BeginRow({}, {}, kColumns);
        for (int c = 0; c < kColumns; ++c) report.Cell(L"column" + std::to_wstring(c), 1, {});
        report.EndRow({});
        for (int row = 0; row < rows; ++row) {
            report.BeginRow(L"row", {}, kColumns);
            report.Cell(L"ROWCELL" + std::to_wstring(row), 0, {});
            for (int c = 1; c < kColumns; ++c)
                report.Cell(L"value" + std::to_wstring(row) + L"x" + std::to_wstring(c), 0, {});
            report.EndRow(L"row");
        }
        report.EndTable(L"ResultSet");
        report.Text(L"FOOTERTEXT after the table", 0, {}, 0);
        ASSERT_EQ(report.Close(), RE_OK);
        const int pages = Pages(path);
        ASSERT_GE(pages, 3);
        const std::set<std::string> last = Words(PdfText(path, pages));
        ASSERT_TRUE(last.count("FOOTERTEXT"));
        const std::string lastRow = "ROWCELL" + std::to_string(rows - 1);
        EXPECT_TRUE(last.count(lastRow)) << "the footer is alone on page " << pages;
        EXPECT_TRUE(last.count("column0"));
        rowMoved = rowMoved || !last.count("ROWCELL" + std::to_string(rows - 2));
        // Every value once, the last column's too.
        const std::string text = PdfText(path);
        for (int row = 0; row < rows; ++row) {
            const std::string cell = "value" + std::to_string(row) + "x" + std::to_string(kColumns - 1) + "\n";
            EXPECT_EQ(text.find(cell), text.rfind(cell)) << cell;
            EXPECT_NE(text.find(cell), std::string::npos) << cell;
        }
    }
    EXPECT_TRUE(rowMoved) << "no row count put the page break before the footer";
}

// A megabyte in one cell keeps every sentence to its last (long runs of text once lost most of their lines).
TEST(PdfWriter, MegabyteCellKeepsEverySentence) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("mega.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    std::wstring text;
    int sentences = 0;
    while (text.size() < 1000000) text += L"Sentence " + std::to_wstring(sentences++) + L" of a long value. ";
    report.BeginTable(L"ResultSet", {});
    report.BeginRow(L"row", {}, 2);
    report.Cell(L"1", 0, {});
    report.Cell(text, 0, {});
    report.EndRow(L"row");
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string extracted = Squeeze(PdfText(path));
    for (const int sentence : {0, sentences / 2, sentences - 1})
        EXPECT_NE(extracted.find("Sentence " + std::to_string(sentence) + " of"), std::string::npos) << sentence;
}

}  // namespace

TEST(PdfWriter, SampleReadsBackWithSizeOutlineAndDestinations) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    for (const bool landscape : {false, true}) {
        rt::TempDir scratch;
        const std::string path = scratch.Name("sample.pdf");
        MultiReport report;
        ASSERT_EQ(twtest::WriteSample(report, RF_PDF, Wide(path), landscape, twtest::PdfAttributes), RE_OK)
            << tw::WideToUtf8(report.ErrorText());
        EXPECT_TRUE(InOrder(Squeeze(PdfText(path, 0, true)), {"Sales report",
                                                              "Contents",
                                                              "Summary",
                                                              "Sales by region",
                                                              "Summary",
                                                              "Attribute",
                                                              "Value",
                                                              "Product",
                                                              "Velmor Tablewright",
                                                              "Report File",
                                                              "sales_$DATE$.rtf",
                                                              "Header first line",
                                                              "Header second line",
                                                              "region",
                                                              "manager",
                                                              "total",
                                                              "Nord",
                                                              "J\u00fcrgen M\u00fcller",
                                                              "1,250.00",
                                                              "S\u00fcd {\\}",
                                                              "\u0417\u043e\u044f \u03a9",
                                                              "980.50",
                                                              "Footer & end",
                                                              "1"}));
        const std::string info = PdfInfo(path);
        EXPECT_NE(info.find(landscape ? "841.89 x 595.276 pts (A4)" : "595.276 x 841.89 pts (A4)"),
                  std::string::npos)
            << info;
        EXPECT_NE(info.find("Title:           Sales report"), std::string::npos) << info;
        const std::string dests = PdfInfo(path, "-dests");
        EXPECT_NE(dests.find("\"Summary\""), std::string::npos) << dests;
        EXPECT_NE(dests.find("\"Results\""), std::string::npos) << dests;
        // The outline is the table of contents: one entry per TocItem, in order.
        const std::string raw = rt::ReadFile(path);
        EXPECT_LT(raw.find("/Title (Summary)"), raw.find("/Title (Sales by region)"));
        EXPECT_NE(raw.find("/Title (Sales by region)"), std::string::npos);
    }
}

TEST(PdfWriter, LongTablesRepeatTheHeaderRowOnEveryPage) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("long.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    constexpr int kRows = 1500;  // well past the rows measured before the widths are fixed
    WriteRows(report, kRows, L"Results");
    ASSERT_EQ(report.Close(), RE_OK);

    const int pages = Pages(path);
    EXPECT_EQ(pages, report.PageCount());
    ASSERT_GT(pages, 10);
    for (int page = 1; page <= pages; ++page) {
        const std::string text = Squeeze(PdfText(path, page));
        EXPECT_EQ(text.rfind("number label amount", 0), 0u) << "page " << page << ": " << text.substr(0, 80);
        EXPECT_NE(text.find(" " + std::to_string(page)), std::string::npos) << "page number " << page;
    }
    // Every row is there once, in order.
    const std::string all = Squeeze(PdfText(path));
    std::vector<std::string> rows;
    for (int i = 0; i < kRows; i += 1)
        rows.push_back(std::to_string(i) + " label " + std::to_string(i) + " ");
    EXPECT_TRUE(InOrder(all, rows));
}

TEST(PdfWriter, EdgeCasesKeepEveryValueIncludingACellLongerThanAPage) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("edge.pdf");
    ASSERT_EQ(rt::WriteEdgeReport(RF_PDF, Wide(path), {.cutShort = true}), RE_OK);

    const std::string text = Squeeze(PdfText(path));
    // Chinese and Japanese come through fontconfig's fallback when a CJK font is installed
    // (fonts-droid-fallback).
    const bool cjk = !Capture("{ fc-list :lang=zh 2>/dev/null; }").empty();
    std::vector<std::string> expected = {cjk ? "Edge <cases> & \"quotes\" 'apostrophes' \u00e9\u4e2d"
                                             : "Edge <cases> & \"quotes\" 'apostrophes' \u00e9",
                                         "Bold title",
                                         "Summary",
                                         "Velmor Tablewright",
                                         "report_$DATE$.htm",
                                         "Header line <1>",
                                         "Header line 2 \u00fc"};
    for (const auto& table : edge::Tables()) {
        for (const auto& column : table.columns) expected.push_back(tw::WideToUtf8(column));
        for (const auto& row : table.rows)
            for (const auto& value : row) {
                if (value.empty()) continue;
                if (value == edge::LongText()) {
                    // Wrapped over several pages: every sentence once, in order. The row's short note is
                    // drawn beside the first lines, so it is read before the rest of the long text.
                    expected.insert(expected.end(), {"line 0 of", "long"});
                    for (int i = 250; i < 2700; i += 250)
                        expected.push_back("line " + std::to_string(i) + " of");
                    expected.push_back("END");
                    continue;
                }
                if (value == L"long") continue;
                std::string utf8 = Squeeze(tw::WideToUtf8(value));
                if (utf8.rfind("Gr\u00fc\u00dfe", 0) == 0 && !cjk)
                    utf8 = "Gr\u00fc\u00dfe \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";
                expected.push_back(utf8);
            }
        expected.push_back("Footer & end");
    }
    expected.insert(expected.end(), {"a", "b", "1", "2", "3", "Footer & end"});
    EXPECT_TRUE(InOrder(text, expected));
    EXPECT_EQ(PdfInfo(path).find("Error"), std::string::npos);
}

TEST(PdfWriter, ContentsEntryWithoutItsSectionStillGivesAValidOutline) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("toc.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    report.BeginToc();
    for (int i = 1; i <= 3; ++i)
        report.TocItem(L"Results" + std::to_wstring(i), L"Statement " + std::to_wstring(i), 0);
    report.EndToc();
    WriteRows(report, 3, L"Results2");  // statements 1 and 3 gave no result set
    ASSERT_EQ(report.Close(), RE_OK);
    int status = 0;
    const std::string text = Capture("pdftotext " + Quote(path) + " - 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text.find("Error"), std::string::npos) << text;
    const std::string raw = rt::ReadFile(path);
    EXPECT_NE(raw.find("/Title (Statement 3)"), std::string::npos);
    EXPECT_NE(PdfInfo(path, "-dests").find("\"Results2\""), std::string::npos);
}

TEST(PdfWriter, ParagraphRunningOverSeveralPagesKeepsEveryLineAndNumbersEveryPage) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not available";
    rt::TempDir scratch;
    const std::string path = scratch.Name("paragraph.pdf");
    PdfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    testing::internal::CaptureStderr();
    report.BeginParagraph(4, L"");
    for (int i = 0; i < 200; ++i) {
        report.Text(L"footer line " + std::to_wstring(i), 0, L"", 0);
        report.EndOfLine();
    }
    report.EndParagraph(4);
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string warnings = testing::internal::GetCapturedStderr();
    // The page number of a finished page must not disturb the lines of the paragraph still being laid out.
    EXPECT_EQ(warnings.find("WARNING"), std::string::npos) << warnings;
    const int pages = Pages(path);
    ASSERT_GE(pages, 2);
    const std::string text = PdfText(path);
    EXPECT_TRUE(InOrder(text, {"footer line 0", "footer line 100", "footer line 199"}));
    for (int page = 1; page <= pages; ++page)
        EXPECT_NE(PdfText(path, page).find(std::to_string(page)), std::string::npos) << "page " << page;
}

// fontconfig keeps a few bytes of its parsed configuration for the life of the process (its own XML parser
// state, not reachable from any handle we own); cairo 1.16 loses a buffer of its own while it subsets some
// fonts (Noto CJK) as the surface is finished, and without frame pointers in libcairo the leak checker's
// stack ends inside libcairo, so the library is named. The leak checker is told so for this binary.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libcairo.so\n"; }
