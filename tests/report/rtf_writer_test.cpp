// Word/RTF writer: a golden file for a fixed report, the escapes and the colour table, and LibreOffice
// reading the documents back.

#include "rtf_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "edge_cases.h"
#include "multi_report.h"
#include "rtf_sample_report.h"
#include "report_test_util.h"
#include "text.h"

namespace {

using rt::Capture;
using rt::InOrder;
using rt::ReadFile;
using rt::TempDir;

std::wstring Wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }

// Writes one paragraph of text and returns the RTF of its content.
std::string ParagraphOf(const std::wstring& text) {
    rt::TempDir scratch;
    RtfReport report;
    EXPECT_EQ(twtest::OpenAlone(report, scratch.Name("p.rtf")), RE_OK);
    report.Text(text, 0, L"", 0);
    EXPECT_EQ(report.Close(), RE_OK);
    const std::string rtf = ReadFile(scratch.Name("p.rtf"));
    const std::string start = "{\\pard\\plain\\s0\\sa60\\f0\\fs20 ";
    const size_t from = rtf.find(start);
    const size_t to = rtf.find("\\par}", from);
    if (from == std::string::npos || to == std::string::npos) return "<no paragraph>";
    return rtf.substr(from + start.size(), to - from - start.size());
}

// LibreOffice converts path to each format; returns false when it is not installed.
bool Convert(const rt::TempDir& scratch, const std::string& path, const std::string& format) {
    if (!rt::HasProgram("soffice")) return false;
    int status = 0;
    Capture("soffice -env:UserInstallation=file://" + scratch.Name("lo-profile") +
                " --headless --convert-to " + rt::Quote(format) + " --outdir " +
                rt::Quote(scratch.Path().string()) + " " + rt::Quote(path) + " 2>&1",
            &status);
    return status == 0;
}

std::string OdtPart(const std::string& odt, const std::string& part) {
    return Capture(
        "python3 -c 'import sys,zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])"
        ".decode())' " +
        rt::Quote(odt) + " " + part);
}

// Short columns get room for their values and long text takes the rest; LibreOffice shows the values unbroken
// and a page number in every page's footer.
TEST(RtfWriter, MeasuredColumnsAndPageNumbers) {
    rt::TempDir scratch;
    const std::string path = scratch.Name("widths.rtf");
    RtfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, path), RE_OK);
    std::wstring prose;
    for (int i = 0; i < 30; ++i) prose += L"A long description wraps at its spaces. ";
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, 4);
    for (const wchar_t* name : {L"id", L"order_date", L"amount", L"description"}) report.Cell(name, 1, {});
    report.EndRow({});
    for (int row = 0; row < 60; ++row) {
        report.BeginRow(L"row", {}, 4);
        for (const std::wstring& value : {std::to_wstring(row), std::wstring(L"2024-01-02"),
                                          std::wstring(L"1234567.891"), prose})
            report.Cell(value, 0, {});
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string rtf = rt::ReadFile(path);
    EXPECT_NE(rtf.find("{\\footer\\pard\\plain\\qc\\f0\\fs18 \\chpgn\\par}"), std::string::npos);
    // Right edges of the four columns: the description is the widest, the others fit their values.
    std::vector<long> edges;
    for (size_t at = rtf.find("\\cellx"); at != std::string::npos && edges.size() < 4; at = rtf.find("\\cellx", at + 1))
        edges.push_back(std::stol(rtf.substr(at + 6)));
    ASSERT_EQ(edges.size(), 4u);
    EXPECT_GT(edges[3] - edges[2], 3 * (edges[2] - edges[1]));
    EXPECT_GT(edges[1] - edges[0], 10 * 110);  // "2024-01-02" at about 110 twips a character

    if (!Convert(scratch, path, "pdf") || !rt::HasProgram("pdftotext")) GTEST_SKIP() << "no LibreOffice or poppler";
    const std::string text = Capture("pdftotext " + rt::Quote(scratch.Name("widths.pdf")) + " -");
    for (const char* value : {"order_date", "2024-01-02", "1234567.891"})
        EXPECT_NE(text.find(value), std::string::npos) << value;
    const int pages = std::stoi(Capture("pdfinfo " + rt::Quote(scratch.Name("widths.pdf")) +
                                        " | sed -n 's/^Pages: *//p'"));
    ASSERT_GT(pages, 1);
    EXPECT_NE(text.find("\n" + std::to_string(pages) + "\n"), std::string::npos) << "no page number " << pages;
}

}  // namespace

TEST(RtfWriter, MatchesGoldenFile) {
    TempDir scratch;
    MultiReport report;
    ASSERT_EQ(
        twtest::WriteSample(report, RF_RTF, Wide(scratch.Name("sample.rtf")), false, twtest::RtfAttributes),
        RE_OK)
        << tw::WideToUtf8(report.ErrorText());
    rt::ExpectGolden(rt::BlankVolatile(ReadFile(scratch.Name("sample.rtf"))), "rtf/sample.rtf");
}

TEST(RtfWriter, EscapesEveryNonAsciiCharacter) {
    const struct {
        std::wstring text;
        std::string rtf;
    } cases[] = {
        {L"plain 123", "plain 123"},
        {L"a\\b{c}", "a\\\\b\\{c\\}"},
        {L"\u00e9", "\\u233?"},
        {L"\u20ac", "\\u8364?"},
        {L"\u7fff\u8000", "\\u32767?\\u-32768?"},  // beyond 32767 the number turns negative
        {L"\uffff", "\\u-1?"},
        {L"\U0001F600", "\\u-10179?\\u-8704?"},  // a surrogate pair
        {L"one\r\ntwo\nthree\rfour", "one\\line two\\line three\\line four"},
        {L"a\tb", "a\\tab b"},
        {L"x\x01y", "x y"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)), "\\u-3?"},  // a lone surrogate becomes U+FFFD
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParagraphOf(c.text), c.rtf) << std::string(c.text.begin(), c.text.end());
}

TEST(RtfWriter, ColourTableHoldsTheColoursMetDuringTheRun) {
    rt::TempDir scratch;
    RtfReport report;
    ASSERT_EQ(twtest::OpenAlone(report, scratch.Name("c.rtf")), RE_OK);
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"row", L"", 0);
    // More custom colours than there are slots: the first ones get theirs, the rest are shown without colour.
    for (int i = 0; i < RtfReport::kCustomColourSlots + 2; ++i) {
        wchar_t colour[16];
        std::swprintf(colour, 16, L"#%06X", 0x100000 + i);
        twtest::StyledCell(report, L"c", L"v", std::wstring(L"Default;") + colour, 0, false, false);
    }
    twtest::StyledCell(report, L"c", L"v", L"#123456;red", 0, false, false);
    report.EndRow(L"row");
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string rtf = ReadFile(scratch.Name("c.rtf"));

    const size_t table = rtf.find("{\\colortbl;");
    const std::string colours = rtf.substr(table, rtf.find('}', table) - table);
    EXPECT_NE(colours.find("\\red016\\green000\\blue000;"), std::string::npos);  // #100000, the first slot
    EXPECT_NE(colours.find("\\red016\\green000\\blue063;"), std::string::npos);  // #10003F, the last slot
    EXPECT_EQ(colours.find("\\red016\\green000\\blue064;"), std::string::npos);  // #100040 did not fit
    EXPECT_EQ(colours.find("\\red018\\green052\\blue086;"), std::string::npos);  // nor #123456
    // Named colours are always there: red is index 8 and is used without a slot.
    EXPECT_NE(rtf.find("\\clcbpat8\\cellx"), std::string::npos);
    EXPECT_NE(rtf.find("\\clcbpat15\\cellx"), std::string::npos);  // first custom slot
    EXPECT_EQ(rtf.find("\\clcbpat79"), std::string::npos);
    EXPECT_EQ(rtf.find("\\cf"), std::string::npos);  // Default and unknown texts colour nothing
}

TEST(RtfWriter, LandscapeSwapsThePageSize) {
    rt::TempDir scratch;
    MultiReport report;
    ASSERT_EQ(twtest::WriteSample(report, RF_RTF, Wide(scratch.Name("l.rtf")), true, twtest::RtfAttributes),
              RE_OK);
    const std::string rtf = ReadFile(scratch.Name("l.rtf"));
    EXPECT_NE(rtf.find("\\paperw16838\\paperh11906"), std::string::npos);
    EXPECT_NE(rtf.find("\\landscape"), std::string::npos);
    EXPECT_NE(rtf.find("\\lndscpsxn\\pgwsxn16838\\pghsxn11906"), std::string::npos);
}

TEST(RtfWriter, LibreOfficeReadsTheEdgeCasesInOrder) {
    rt::TempDir scratch;
    const std::string path = scratch.Name("edge.rtf");
    ASSERT_EQ(rt::WriteEdgeReport(RF_RTF, Wide(path), {.cutShort = true}), RE_OK);
    if (!Convert(scratch, path, "txt:Text (encoded):UTF8")) GTEST_SKIP() << "LibreOffice is not available";

    const std::string text = rt::Squeeze(ReadFile(scratch.Name("edge.txt")));
    std::vector<std::string> expected = {"Edge <cases> & \"quotes\" 'apostrophes' \u00e9\u4e2d",
                                         "Bold title",
                                         "Contents",
                                         "Summary",
                                         "Values <&>",
                                         "Attribute",
                                         "Value",
                                         "Velmor Tablewright",
                                         "report_$DATE$.htm",
                                         "Header line <1>",
                                         "Header line 2 \u00fc"};
    for (const auto& table : edge::Tables()) {
        for (const auto& column : table.columns) expected.push_back(tw::WideToUtf8(column));
        for (const auto& row : table.rows)
            for (const auto& value : row)
                if (!value.empty()) expected.push_back(rt::Squeeze(tw::WideToUtf8(value)));
        expected.push_back("Footer & end");
    }
    expected.insert(expected.end(), {"a", "b", "1", "2", "3", "Footer & end"});
    EXPECT_TRUE(InOrder(text, expected));
}

// LibreOffice does not keep \trhdr (Word does); the golden file shows it on the header rows.
TEST(RtfWriter, LibreOfficeSeesColoursLinksAndLandscape) {
    rt::TempDir scratch;
    const std::string path = scratch.Name("sample.rtf");
    MultiReport report;
    ASSERT_EQ(twtest::WriteSample(report, RF_RTF, Wide(path), true, twtest::RtfAttributes), RE_OK);
    if (!Convert(scratch, path, "odt")) GTEST_SKIP() << "LibreOffice is not available";
    const std::string content = OdtPart(scratch.Name("sample.odt"), "content.xml");
    const std::string styles = OdtPart(scratch.Name("sample.odt"), "styles.xml");
    EXPECT_NE(content.find("#ffff00"), std::string::npos);  // yellow background
    EXPECT_NE(content.find("#f0f8ff"), std::string::npos);  // a custom background from the reserved slots
    EXPECT_NE(content.find("#1e90ff"), std::string::npos);  // a custom text colour
    EXPECT_NE(content.find("text:bookmark"), std::string::npos);
    EXPECT_NE(content.find("xlink:href=\"#Results\""), std::string::npos);
    EXPECT_NE(styles.find("style:print-orientation=\"landscape\""), std::string::npos);
}
