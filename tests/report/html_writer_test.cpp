#include <gtest/gtest.h>

#include <cstdlib>

#include "edge_cases.h"
#include "html_writer.h"
#include "multi_report.h"
#include "report_test_util.h"

namespace {

const std::string kSourceDir = TW_SOURCE_DIR;

// Runs the strict html5lib check of check_html.py on a report; empty when it passes.
std::string CheckWithHtml5lib(const rt::TempDir& dir, const std::wstring& file) {
    if (rt::Python().empty()) return {};
    rt::WriteFile(dir.Path() / "expected.json", rt::EdgeJson());
    return rt::RunChecker("check_html.py", rt::Quote(tw::WideToUtf8(file)) + " " +
                                               rt::Quote((dir.Path() / "expected.json").string()), rt::Python());
}

// Every template, and the built-in page, takes the edge-case set into a page that a strict parser accepts
// and whose tables hold exactly the values written.
TEST(HtmlReport, EdgeCasesParseStrictlyInEveryTemplate) {
    if (rt::Python().empty()) GTEST_SKIP() << "python3 with html5lib is missing";
    rt::DataDirOverride data(kSourceDir);
    for (const wchar_t* templ : {L"Default.htm", L"Compact.htm", L"Striped.htm", L"Dark.htm", L"Missing.htm"}) {
        SCOPED_TRACE(tw::WideToUtf8(templ));
        rt::TempDir dir;
        const std::wstring file = dir.File("edge.htm");
        ASSERT_EQ(rt::WriteEdgeReport(RF_HTML, file, {.templ = templ}), RE_OK);
        EXPECT_EQ(CheckWithHtml5lib(dir, file), "");
    }
}

TEST(HtmlReport, EscapingMarkupAndAttributes) {
    rt::DataDirOverride data(kSourceDir);
    rt::TempDir dir;
    const std::wstring file = dir.File("edge.htm");
    ASSERT_EQ(rt::WriteEdgeReport(RF_HTML, file), RE_OK);
    const std::string page = rt::ReadFile(dir.Path() / "edge.htm");
    // Placeholders are all filled, the title escaped in <title> and in the heading with its class.
    EXPECT_EQ(page.find("%TITLE%"), std::string::npos);
    EXPECT_EQ(page.find("%BODY%"), std::string::npos);
    EXPECT_NE(page.find("<title>Edge &lt;cases&gt; &amp; &quot;quotes&quot;"), std::string::npos);
    EXPECT_NE(page.find("<h1 class=\"title\">Edge &lt;cases&gt;"), std::string::npos);
    EXPECT_NE(page.find("<html lang=\"en\">"), std::string::npos);
    // Only the text with the markup flag passes as markup; a value that looks like markup is escaped.
    EXPECT_NE(page.find("<h2><b>Bold</b> title</h2>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;not bold&lt;/b&gt;"), std::string::npos);
    // The table of contents links to the anchors.
    EXPECT_NE(page.find("<li><a href=\"#Results1\">Values &lt;&amp;&gt;</a></li>"), std::string::npos);
    EXPECT_NE(page.find("<a id=\"Results1\"></a>"), std::string::npos);
    // Attribute text as the rules give it, the repeated style attributes merged into one; the size style is
    // ended inside the cell although its EndStyle comes after EndCell.
    EXPECT_NE(page.find("<td align=\"Right\" style=\"background-color: yellow; color: red;\">"
                        "<span style=\"font-size: 12pt\"><b>"),
              std::string::npos);
    EXPECT_NE(page.find("</b></span></td>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"num\"><i>"), std::string::npos);
    // Header paragraphs keep their class and line breaks.
    EXPECT_NE(page.find("<h4 class=\"lines\">Header line &lt;1&gt;<br>\nHeader line 2 \xc3\xbc</h4>"),
              std::string::npos);
}

// The file is written in the project's charset; what the charset cannot hold becomes a character reference, and
// a reader that honours the declared charset gets every value back.
TEST(HtmlReport, Charsets) {
    rt::DataDirOverride data(kSourceDir);
    struct Case {
        const wchar_t* charset;
        const char* declared;
        const char* mustHold;     // bytes that must appear
        const char* mustNotHold;  // bytes that must not
    };
    const Case cases[] = {
        {L"utf-8", "utf-8", "Gr\xc3\xbc\xc3\x9f" "e", "&#252;"},
        {L"ISO-8859-1", "iso-8859-1", "Gr\xfc\xdf" "e", "&#252;"},
        {L"iso-8859-1", "iso-8859-1", "&#8364; &#8211;", "\x80"},
        {L"windows-1252", "windows-1252", "\x80 \x96 \x91quoted\x92 \x8c", "&#8364;"},
        {L"us-ascii", "us-ascii", "Gr&#252;&#223;e &#917;", "\xc3"},
        {L"koi8-r", "koi8-r", "&#252;&#223;e &#917;", "\xc3\xbc"},
        {L"no-such-charset", "utf-8", "Gr\xc3\xbc\xc3\x9f" "e", "no-such-charset"},
        {L"utf-16", "utf-8", "Gr\xc3\xbc", "utf-16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(tw::WideToUtf8(c.charset));
        rt::TempDir dir;
        const std::wstring file = dir.File("edge.htm");
        ASSERT_EQ(rt::WriteEdgeReport(RF_HTML, file, {.charset = c.charset}), RE_OK);
        const std::string page = rt::ReadFile(dir.Path() / "edge.htm");
        EXPECT_NE(page.find(std::string("<meta charset=\"") + c.declared + "\">"), std::string::npos);
        EXPECT_NE(page.find(c.mustHold), std::string::npos);
        EXPECT_EQ(page.find(c.mustNotHold), std::string::npos);
        EXPECT_EQ(CheckWithHtml5lib(dir, file), "");
    }
}

TEST(HtmlReport, UnfinishedRowStillClosesTheTable) {
    rt::DataDirOverride data(kSourceDir);
    rt::TempDir dir;
    const std::wstring file = dir.File("cut.htm");
    MultiReport report;
    report.AddReport(RF_HTML, file, L"Default.htm");
    ASSERT_EQ(report.Open(), RE_OK);
    edge::DriveUnfinishedRow(report);
    report.Text(L"Open at the end", 0, L"", 0);
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"row", L"", 1);
    report.BeginCell(L"x", 0, L"");
    report.BeginStyle(RS_BOLD, 0);
    report.Text(L"left open", 0, L"", 0);
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string page = rt::ReadFile(dir.Path() / "cut.htm");
    EXPECT_NE(page.find("<tr class=\"row\"><td><span style=\"font-size: 12pt\"><b>3</b></span></td></tr>\n</tbody>\n"
                        "</table>\n<p class=\"lines\">Footer &amp; end</p>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("left open</b></td></tr>\n</tbody>\n</table>\n\n</body>"), std::string::npos) << page;
    const std::string python = rt::Python();
    if (python.empty()) return;
    std::string output;
    EXPECT_EQ(rt::Run(python + " -c 'import html5lib,sys; html5lib.HTMLParser(strict=True).parse(open(sys.argv[1],"
                               "\"rb\").read())' " + rt::Quote((dir.Path() / "cut.htm").string()),
                      output),
              0)
        << output;
}

TEST(HtmlReport, TemplateLookup) {
    std::vector<std::wstring> list{L"kept"};
    EXPECT_EQ(HtmlReport::GetTemplatesList(tw::Utf8ToWide(kSourceDir + "/tmpl/"), list), 4);
    EXPECT_EQ(list, (std::vector<std::wstring>{L"kept", L"Default", L"Compact", L"Dark", L"Striped"}));
    EXPECT_EQ(HtmlReport::GetTemplatesList(L"/no/such/folder", list), 0);
    EXPECT_EQ(list.size(), 5u);

    // A template name cannot reach outside tmpl/: the built-in page is used instead.
    rt::DataDirOverride data(kSourceDir);
    rt::TempDir dir;
    MultiReport report;
    report.AddReport(RF_HTML, dir.File("r.htm"), L"../CMakeLists.txt");
    ASSERT_EQ(report.Open(), RE_OK);
    ASSERT_EQ(report.Close(), RE_OK);
    const std::string page = rt::ReadFile(dir.Path() / "r.htm");
    EXPECT_EQ(page.find("cmake_minimum_required"), std::string::npos);
    EXPECT_NE(page.find("<!DOCTYPE html>"), std::string::npos);
}

}  // namespace
