// CHM writer, read back with chmlib's tools: the pages, contents and index inside the compiled file, the
// folders used on the way, and a missing or failing compiler.

#include "chm_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "edge_cases.h"
#include "multi_report.h"
#include "report_test_util.h"
#include "rtf_sample_report.h"
#include "text.h"

namespace {

using rt::Capture;
using rt::Quote;
using rt::ReadFile;
using rt::TempDir;

bool HaveTools() {
    return rt::HasProgram("chmcmd") && rt::HasProgram("enum_chmLib") &&
           rt::HasProgram("extract_chmLib");
}

// Points the temporary folder somewhere the test can watch, and restores it.
class TempDirGuard {
  public:
    explicit TempDirGuard(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) m_old = old, m_had = true;
        std::filesystem::create_directories(folder);
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TempDirGuard() {
        if (m_had)
            ::setenv("TMPDIR", m_old.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

  private:
    std::string m_old;
    bool m_had = false;
};

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename());
    return names;
}

// Restores the compiler name after a test that changed it.
struct CompilerGuard {
    ~CompilerGuard() { ChmReport::SetCompiler("chmcmd"); }
};

}  // namespace

TEST(ChmWriter, CompiledFileHoldsPagesContentsAndIndex) {
    if (!HaveTools()) GTEST_SKIP() << "chmcmd or the chmlib tools are not available";
    rt::TempDir scratch;
    TempDirGuard temp(scratch.Name("tmp"));
    const std::string chm = scratch.Name("sample.chm");
    MultiReport report;
    ASSERT_EQ(twtest::WriteSample(report, RF_CHM, tw::Utf8ToWide(chm), false, twtest::HtmlAttributes), RE_OK)
        << tw::WideToUtf8(report.ErrorText());
    EXPECT_TRUE(Entries(scratch.Name("tmp")).empty()) << "the writer's own folder is removed";

    const std::string listing = Capture("enum_chmLib " + Quote(chm) + " 2>&1");
    for (const char* name : {"/index.html", "/Summary.html", "/Results.html", "/report.hhc", "/report.hhk"})
        EXPECT_NE(listing.find(name), std::string::npos) << name << " in\n" << listing;

    const std::string out = scratch.Name("out");
    Capture("extract_chmLib " + Quote(chm) + " " + Quote(out) + " 2>&1");
    const std::string index = ReadFile(out + "/index.html");
    const std::string summary = ReadFile(out + "/Summary.html");
    const std::string results = ReadFile(out + "/Results.html");
    EXPECT_TRUE(rt::InOrder(index, {"Sales report", "href=\"Summary.html#Summary\"", "Summary",
                                        "href=\"Results.html#Results\"", "Sales by region"}));
    EXPECT_EQ(index.find("Jürgen"), std::string::npos) << "result sets are pages of their own";
    EXPECT_TRUE(rt::InOrder(summary, {"<title>Summary</title>", "id=\"Summary\"", "Velmor Tablewright"}));
    EXPECT_TRUE(
        rt::InOrder(results, {"<title>Sales by region</title>", "Header first line", "id=\"Results\"",
                                  "<th", "region", "background-color: yellow", "J\u00fcrgen M\u00fcller",
                                  "S\u00fcd {\\}", "\u0417\u043e\u044f \u03a9", "Footer &amp; end"}));
    const std::string contents = ReadFile(out + "/report.hhc");
    EXPECT_TRUE(rt::InOrder(
        contents, {"value=\"Sales report\"", "value=\"index.html\"", "value=\"Summary\"",
                   "value=\"Summary.html\"", "value=\"Sales by region\"", "value=\"Results.html\""}));
}

TEST(ChmWriter, PagesAndProjectGoToTheFolderOfTheRun) {
    if (!HaveTools()) GTEST_SKIP() << "chmcmd or the chmlib tools are not available";
    rt::TempDir scratch;
    TempDirGuard temp(scratch.Name("tmp"));
    const std::string runFolder = scratch.Name("tw20run");
    std::filesystem::create_directories(runFolder);
    MultiReport report;
    ASSERT_EQ(twtest::WriteSample(report, RF_CHM, tw::Utf8ToWide(scratch.Name("r.chm")), false,
                                  twtest::HtmlAttributes, tw::Utf8ToWide(runFolder)),
              RE_OK)
        << tw::WideToUtf8(report.ErrorText());
    const std::set<std::string> expected = {"index.html", "Summary.html", "Results.html",
                                            "report.hhp", "report.hhc",   "report.hhk"};
    EXPECT_EQ(Entries(runFolder), expected);
    EXPECT_TRUE(Entries(scratch.Name("tmp")).empty());
    EXPECT_NE(Capture("enum_chmLib " + Quote(scratch.Name("r.chm"))).find("/Results.html"),
              std::string::npos);
}

// The project file is plain text: the window title reads as typed, and the language follows the project's.
TEST(ChmWriter, ProjectTitleIsPlainTextInTheProjectsLanguage) {
    if (!HaveTools()) GTEST_SKIP() << "chmcmd or the chmlib tools are not available";
    const std::pair<const wchar_t*, const char*> languages[] = {
        {L"de-DE", "Language=0x407 German (Germany)\r\n"},
        {L"fr_CA", "Language=0xc0c French (Canada)\r\n"},
        {L"english", "Language=0x409 English (United States)\r\n"},
    };
    for (const auto& [language, line] : languages) {
        rt::TempDir scratch;
        TempDirGuard temp(scratch.Name("tmp"));
        const std::string runFolder = scratch.Name("tw20run");
        std::filesystem::create_directories(runFolder);
        MultiReport report;
        report.AddReport(RF_CHM, tw::Utf8ToWide(scratch.Name("r.chm")), L"");
        report.AddProperty(L"%TITLE%", L"Sales & Orders <2024> \u00e9");
        report.AddProperty(L"%LANGUAGE%", language);
        ASSERT_EQ(report.Open(), RE_OK) << tw::WideToUtf8(report.ErrorText());
        report.BeginSubDocument(tw::Utf8ToWide(runFolder), L"Results.html", L"Results");
        report.Text(L"body", 0, {}, 0);
        report.EndSubDocument();
        ASSERT_EQ(report.Close(), RE_OK) << tw::WideToUtf8(report.ErrorText());
        const std::string project = rt::ReadFile(std::filesystem::path(runFolder) / "report.hhp");
        EXPECT_NE(project.find("Title=Sales & Orders <2024> \u00e9\r\n"), std::string::npos) << project;
        EXPECT_NE(project.find(line), std::string::npos) << project;
    }
}

TEST(ChmWriter, EdgeCasesAreEscapedOnTheirPages) {
    if (!HaveTools()) GTEST_SKIP() << "chmcmd or the chmlib tools are not available";
    rt::TempDir scratch;
    TempDirGuard temp(scratch.Name("tmp"));
    const std::string chm = scratch.Name("edge.chm");
    ASSERT_EQ(rt::WriteEdgeReport(RF_CHM, tw::Utf8ToWide(chm), {.cutShort = true}), RE_OK);

    const std::string out = scratch.Name("out");
    Capture("extract_chmLib " + Quote(chm) + " " + Quote(out) + " 2>&1");
    const std::string first = ReadFile(out + "/Results1.html");
    EXPECT_TRUE(rt::InOrder(
        first, {"Header line &lt;1&gt;", "id", "text", "note", "&lt;&amp;&gt;", "&lt;b&gt;not bold&lt;/b&gt;",
                "Gr\u00fc\u00dfe", "\U0001F600", "END", "Footer &amp; end"}));
    EXPECT_TRUE(rt::InOrder(ReadFile(out + "/Results2.html"), {"<th", "a", "b", "Footer"}));
    EXPECT_TRUE(rt::InOrder(ReadFile(out + "/Results3.html"), {"only", "x", "z"}));
    EXPECT_TRUE(rt::InOrder(ReadFile(out + "/Results.html"), {"Cut short", ">3<", "Footer &amp; end"}));
    EXPECT_NE(ReadFile(out + "/report.hhk").find("Values &lt;&amp;&gt;"), std::string::npos);
    EXPECT_TRUE(Entries(scratch.Name("tmp")).empty());
}

TEST(ChmWriter, MissingCompilerFailsOpenNamingThePackage) {
    CompilerGuard restore;
    rt::TempDir scratch;
    TempDirGuard temp(scratch.Name("tmp"));
    ChmReport::SetCompiler("tw-no-such-chm-compiler");
    MultiReport report;
    report.AddReport(RF_CHM, tw::Utf8ToWide(scratch.Name("x.chm")), L"Default.htm");
    EXPECT_EQ(report.Open(), RE_OPEN);
    EXPECT_NE(report.ErrorText().find(L"fp-utils"), std::wstring::npos);
    EXPECT_TRUE(Entries(scratch.Name("tmp")).empty());
    EXPECT_FALSE(std::filesystem::exists(scratch.Name("x.chm")));
}

TEST(ChmWriter, FailingCompileIsReportedAtCloseWithItsOutput) {
    CompilerGuard restore;
    rt::TempDir scratch;
    TempDirGuard temp(scratch.Name("tmp"));
    const std::string fake = scratch.Name("fake-chmcmd");
    std::ofstream(fake) << "#!/bin/sh\necho \"cannot compile $2: broken project\"\nexit 3\n";
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    ChmReport::SetCompiler(fake);
    MultiReport report;
    EXPECT_EQ(twtest::WriteSample(report, RF_CHM, tw::Utf8ToWide(scratch.Name("x.chm")), false,
                                  twtest::HtmlAttributes),
              RE_WRITE);
    EXPECT_NE(report.ErrorText().find(L"cannot compile report.hhp: broken project"), std::wstring::npos)
        << tw::WideToUtf8(report.ErrorText());
    EXPECT_FALSE(std::filesystem::exists(scratch.Name("x.chm")));
    EXPECT_TRUE(Entries(scratch.Name("tmp")).empty());
}
