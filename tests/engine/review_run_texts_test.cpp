// Texts a run builds from the project: the %TITLE% property, embedded queries in the title, the default title
// of an empty one, and the summary's report file row.

#include "engine_fakes.h"

using namespace enginetest;

namespace {

FakeResultSet Numbers() { return FakeResultSet{{L"n"}, {TC_INTEGER}, {{L"7"}}}; }

}  // namespace

TEST_F(EngineTest, ReviewTitlePropertyIsExpandedWithoutTheScriptOfThisRun) {
    project.Text = L"SELECT 1; SELECT 2; SELECT 3";
    db->sets = {Numbers(), Numbers(), Numbers()};
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    // Switched off: the fixed text.
    EXPECT_EQ(OpenedSetup().properties.at(0),
              std::make_pair(std::wstring(L"%TITLE%"), std::wstring(L"Query Report")));

    // Switched on: the property sees the statement list of the previous run and no script; the title
    // paragraph is expanded after this run's script was parsed. Both carry the embedded query's value.
    project.SetTitleText(L"T $STATEMENT$ $QUERY$ $ROWS$ {{SELECT n}}");
    project.Text = L"SELECT n FROM t";
    db->sets = {Numbers()};
    db->executed.clear();
    Calls().clear();
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(OpenedSetup().properties.at(0).second, L"T 3 $QUERY$ $ROWS$ 7");
    EXPECT_TRUE(Called("Text(T 1 SELECT n FROM t $ROWS$ 7|1||0)"));
    EXPECT_EQ(db->executed, (std::vector<std::wstring>{L"SELECT n", L"SELECT n FROM t"}));
    // Outside the run the title is as typed again.
    EXPECT_EQ(project.TitleText(), L"T $STATEMENT$ $QUERY$ $ROWS$ {{SELECT n}}");
}

TEST_F(EngineTest, ReviewDefaultTitleOfAnEmptyOneKeepsItsBraces) {
    Settings().setInt(L"UseForEmpty", 1);
    Settings().setStr(L"DefTitle", L"Default {{SELECT secret}}");
    project.SetTitleText(L"");
    project.Text = L"SELECT n FROM t";
    db->sets = {Numbers()};
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(OpenedSetup().properties.at(0).second, L"Default {{SELECT secret}}");
    EXPECT_TRUE(Called("Text(Default {{SELECT secret}}|1||0)"));
    EXPECT_EQ(db->executed, std::vector<std::wstring>{L"SELECT n FROM t"});
}

TEST_F(EngineTest, ReviewSummaryShowsTheReportFileAsTyped) {
    project.Summary = 1;
    project.Text = L"SELECT n FROM t";
    project.ReportFile = L"/nonexistent/report_$DATE$.htm";
    db->sets = {Numbers()};
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    const std::vector<std::string> rows = CallsFrom("Cell(Report File|0|)");
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[1], "Cell(/nonexistent/report_$DATE$.htm|0|)");
    EXPECT_EQ(OpenedSetup().file.find(L"$DATE$"), std::wstring::npos);  // the file itself is expanded
}
