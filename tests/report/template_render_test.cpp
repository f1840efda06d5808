// Every HTML template rendered by a real browser engine (headless Chromium): an aligned cell is aligned, rule
// colours show on screen and in print, and their text stays readable. Screenshots of every template are left
// in the build folder (template_screens/) to look at.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "multi_report.h"
#include "report_test_util.h"

namespace {

const char* const kProbeScript = R"(<script>
// Effective background: the first ancestor's colour that is not transparent.
function background(element) {
  for (let e = element; e; e = e.parentElement) {
    const c = getComputedStyle(e).backgroundColor;
    if (c !== 'rgba(0, 0, 0, 0)' && c !== 'transparent') return c;
  }
  return 'rgb(255, 255, 255)';
}
function luminance(colour) {
  const [r, g, b] = colour.match(/[0-9.]+/g).slice(0, 3).map(v => {
    v = v / 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); });
  return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}
function contrast(a, b) {
  const [x, y] = [luminance(a), luminance(b)].sort((p, q) => q - p);
  return ((x + 0.05) / (y + 0.05)).toFixed(1);
}
function probe(media) {
  let out = '';
  for (const cell of document.querySelectorAll('td')) {
    const style = getComputedStyle(cell);
    out += media + ' ' + cell.textContent + ' align=' + style.textAlign + ' background=' +
           background(cell).replace(/ /g, '') + ' contrast=' + contrast(style.color, background(cell)) + '\n';
  }
  return out;
}
let result = probe('screen');
// The print rules, applied on screen after everything else, as a printer would see them.
for (const sheet of document.styleSheets)
  for (const rule of [...sheet.cssRules])
    if (rule.media && rule.media.mediaText.includes('print'))
      for (const inner of [...rule.cssRules])
        if (inner.selectorText) sheet.insertRule(inner.cssText, sheet.cssRules.length);
result += probe('print');
const pre = document.createElement('pre');
pre.id = 'probe';
pre.textContent = result;
document.body.appendChild(pre);
</script>
)";

std::string Chromium() {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"})
        if (rt::HasProgram(name)) return name;
    return {};
}

std::string ChromiumCommand(const std::string& browser, const rt::TempDir& dir) {
    return "timeout 120 " + browser +
           " --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update "
           "--disable-sync --no-first-run --user-data-dir=" + rt::Quote((dir.Path() / "profile").string());
}

// A report in templ whose body rows are given as (text, attribute text) cells.
void WriteReport(const std::wstring& file, const wchar_t* templ,
                 const std::vector<std::vector<std::pair<const wchar_t*, const wchar_t*>>>& rows) {
    MultiReport report;
    report.AddReport(RF_HTML, file, templ);
    report.AddProperty(L"%CHARSET%", L"utf-8");
    ASSERT_EQ(report.Open(), RE_OK);
    report.Text(L"Rule colours", 1, {}, 0);
    report.BeginTable(L"ResultSet", {});
    report.BeginRow({}, {}, 3);
    for (const wchar_t* name : {L"a", L"b", L"c"}) report.Cell(name, 1, {});
    report.EndRow({});
    for (const auto& row : rows) {
        report.BeginRow(L"row", {}, 3);
        for (const auto& [text, attributes] : row) {
            report.BeginCell(L"c", 0, attributes);
            report.Text(text, 0, {}, 0);
            report.EndCell(L"c", 0);
        }
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    ASSERT_EQ(report.Close(), RE_OK);
}

TEST(HtmlTemplates, AlignmentAndRuleColoursInABrowser) {
    const std::string browser = Chromium();
    if (browser.empty()) GTEST_SKIP() << "chromium is missing";
    rt::DataDirOverride data(TW_SOURCE_DIR);
    const std::filesystem::path screens = std::filesystem::path(TW_BINARY_DIR) / "template_screens";
    std::filesystem::create_directories(screens);
    // Attribute texts as the column rules write them.
    const std::vector<std::vector<std::pair<const wchar_t*, const wchar_t*>>> rows = {
        {{L"ALIGNED", L" align=\"Right\" style=\"text-align: right;\""},
         {L"YELLOW", L" style=\"background-color: yellow;\""},
         {L"BLUETEXT", L" style=\"color: blue;\""}},
        {{L"PLAIN", L""}, {L"YELLOW2", L" style=\"background-color: yellow;\""},
         {L"BLUEBG", L" style=\"background-color: blue;\""}},
        {{L"CENTERED", L" align=\"Center\" style=\"background-color: lightgrey; text-align: center;\""},
         {L"BLACKTEXT", L" style=\"color: black;\""},
         {L"GREEN", L" style=\"background-color: green;\""}},
    };
    for (const char* templ : {"Default", "Compact", "Striped", "Dark"}) {
        SCOPED_TRACE(templ);
        rt::TempDir dir;
        const std::wstring file = dir.File("report.htm");
        WriteReport(file, tw::Utf8ToWide(std::string(templ) + ".htm").c_str(), rows);
        std::string output;
        const std::string shot = (screens / (std::string(templ) + ".png")).string();
        EXPECT_EQ(rt::Run(ChromiumCommand(browser, dir) + " --window-size=900,500 --screenshot=" + rt::Quote(shot) +
                              " " + rt::Quote(tw::WideToUtf8(file)),
                          output),
                  0)
            << output;

        std::string page = rt::ReadFile(dir.Path() / "report.htm");
        page.insert(page.rfind("</body>"), kProbeScript);
        rt::WriteFile(dir.Path() / "probe.htm", page);
        const std::string dom = rt::Capture(ChromiumCommand(browser, dir) + " --dump-dom " +
                                            rt::Quote((dir.Path() / "probe.htm").string()));
        std::map<std::string, std::map<std::string, std::string>> cells;  // "screen YELLOW" -> property -> value
        const std::string marker = "<pre id=\"probe\">";
        std::istringstream lines(dom.substr(std::min(dom.find(marker) + marker.size(), dom.size())));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string media, name, field;
            words >> media >> name;
            while (words >> field)
                if (const size_t eq = field.find('='); eq != std::string::npos)
                    cells[media + " " + name][field.substr(0, eq)] = field.substr(eq + 1);
        }
        ASSERT_TRUE(cells.contains("screen ALIGNED")) << dom.substr(0, 2000);
        EXPECT_EQ(cells["screen ALIGNED"]["align"], "right");
        EXPECT_EQ(cells["screen CENTERED"]["align"], "center");
        EXPECT_NE(cells["screen PLAIN"]["align"], "right");
        for (const char* media : {"screen", "print"}) {
            SCOPED_TRACE(media);
            for (const char* name : {"YELLOW", "YELLOW2"})
                EXPECT_EQ(cells[std::string(media) + " " + name]["background"], "rgb(255,255,0)") << name;
            // Readable text (WCAG's 4.5 for body text) where the template, not the rule, chose the text colour.
            // Light templates keep their dark text on a rule's dark background; the Dark template adapts both ways.
            std::vector<const char*> readable = {"YELLOW", "YELLOW2", "BLUETEXT", "BLACKTEXT", "CENTERED"};
            if (std::string(templ) == "Dark") readable.insert(readable.end(), {"BLUEBG", "GREEN"});
            for (const char* name : readable)
                EXPECT_GE(std::stod(cells[std::string(media) + " " + name]["contrast"] + "0"), 4.5) << name;
        }
    }
}

}  // namespace
