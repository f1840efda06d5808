// The writer calls of whole runs on a fake database: order, anchors, names, titles, headers and footers,
// contents, summary and previews.

#include <fstream>

#include "engine_fakes.h"

using namespace enginetest;
using Strings = std::vector<std::string>;

namespace {

FakeResultSet TwoColumns(int rows) {
    FakeResultSet set{{L"a", L"b"}, {TC_INTEGER, TC_VARCHAR}, {}};
    for (int row = 1; row <= rows; ++row) set.rows.push_back({std::to_wstring(row), L"v" + std::to_wstring(row)});
    return set;
}

Strings BodyRow(const std::string& a, const std::string& b) {
    return {"BeginRow(row|2)", "BeginCell(a|0|)", "Text(" + a + "|0||0)", "EndCell(a|0)", "SetCellColor()",
            "BeginCell(b|0|)", "Text(" + b + "|0||0)", "EndCell(b|0)", "SetCellColor()", "EndRow(row)"};
}

FakeResultSet OneRow() { return FakeResultSet{{L"n"}, {TC_INTEGER}, {{L"7"}}}; }

Strings Concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST_F(EngineTest, OneStatementWritesTheWholeSequence) {
    project.Text = L"SELECT a, b FROM t;\r\n";
    project.SetTitleText(L"Report in $FORMAT$");
    project.Language = L"de";
    project.Encoding = L"utf-8";
    project.StyleNo = L"Blue";
    db->sets = {TwoColumns(2)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Strings expected = Concat({{"Open()", "Text(Report in HTML|1||0)", "BeginSubDocument(|Results.html|Results)",
                                      "Ancor(Results)", "BeginTable(ResultSet)", "BeginRow(|2)", "Cell(a|1|)",
                                      "Cell(b|1|)", "EndRow()"},
                                     BodyRow("1", "v1"),
                                     BodyRow("2", "v2"),
                                     {"EndTable(ResultSet)", "EndSubDocument()", "Close()"}});
    EXPECT_EQ(Calls(), expected);
    // The script goes to the database trimmed, in one call; the cursor is closed once.
    EXPECT_EQ(db->executed, std::vector<std::wstring>{L"SELECT a, b FROM t;"});
    EXPECT_EQ(db->closeCursorCalls, 1);

    const ReportSetup& setup = OpenedSetup();
    EXPECT_EQ(setup.format, RF_HTML);
    EXPECT_EQ(setup.templ, L"Blue.htm");
    EXPECT_EQ(setup.separator, L"\t");
    const std::vector<std::pair<std::wstring, std::wstring>> properties = {
        {L"%TITLE%", L"Report in HTML"}, {L"%LANGUAGE%", L"de"}, {L"%CHARSET%", L"utf-8"},
        {L"%AUTHOR%", L""}, {L"%DESCRIPTION%", L""}};
    EXPECT_EQ(setup.properties, properties);
    EXPECT_EQ(project.m_resultColumns, (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_FALSE(engine.RunPrepared());
    EXPECT_FALSE(project.m_running);
}

TEST_F(EngineTest, SeveralStatementsAreNamedAndAnchoredByNumber) {
    project.Text = L"SELECT 1;\r\n--NAME: Costs\r\nSELECT 2;\r\nSELECT 3";
    db->sets = {TwoColumns(0), TwoColumns(0), TwoColumns(0)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    // The one comment names result set 1 whichever statement it stands beside; the others are numbered.
    for (const char* name : {"1.html|Costs)", "2.html|Results #2)", "3.html|Results #3)"}) {
        EXPECT_TRUE(Called("BeginSubDocument(|Results" + std::string(name))) << name;
    }
    EXPECT_TRUE(Called("Ancor(Results1)") && Called("Ancor(Results2)") && Called("Ancor(Results3)"));
    EXPECT_EQ(CountOf("BeginRow(|2)"), 3u);  // empty result sets still get their header rows
}

TEST_F(EngineTest, RowsMacroInTitleHeadersAndFooters) {
    project.Text = L"SELECT 1; SELECT 2; SELECT 3";
    project.SetTitleText(L"T $ROWS$");
    project.SetHeaderText(L"H $ROWS$ of $STATEMENT$");
    project.SetFooterText(L"F $ROWS$");
    project.HeaderClass = L"head";
    db->sets = {TwoColumns(2), TwoColumns(3), TwoColumns(0)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    Strings paragraphs;
    for (const auto& call : Calls()) {
        if (call.rfind("Text(T", 0) == 0 || call.rfind("Text(H", 0) == 0 || call.rfind("Text(F", 0) == 0) {
            paragraphs.push_back(call);
        }
    }
    // The counter is -1 for the title, still holds the previous set's rows in the next header, and is 0 (no
    // expansion) after an empty set.
    const Strings expected = {"Text(T $ROWS$|1||0)", "Text(H $ROWS$ of 3|0||0)", "Text(F 2|0||0)",
                              "Text(H 2 of 3|0||0)",  "Text(F 3|0||0)",          "Text(H 3 of 3|0||0)",
                              "Text(F $ROWS$|0||0)"};
    EXPECT_EQ(paragraphs, expected);
    EXPECT_EQ(CountOf("BeginParagraph(4|class=\"head\")"), 3u);
    EXPECT_EQ(CountOf("BeginParagraph(5|)"), 3u);
    // The header comes between BeginSubDocument and the anchor.
    EXPECT_EQ(CallsFrom("BeginSubDocument(|Results2.html").at(1), "BeginParagraph(4|class=\"head\")");
}

TEST_F(EngineTest, CommonHeaderAndFooterOncePerReport) {
    Settings().setInt(L"CommonHF", 1);
    project.Text = L"SELECT 1; SELECT 2";
    project.SetHeaderText(L"Line 1\r\nLine 2");
    project.SetFooterText(L"Total $ROWS$");
    db->sets = {TwoColumns(4), TwoColumns(1)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Strings head = {"Open()", "BeginParagraph(4|)", "Text(Line 1|0||0)", "EndOfLine()", "Text(Line 2|0||0)",
                          "EndParagraph(4)", "BeginSubDocument(|Results1.html|Results #1)"};
    EXPECT_EQ(Head(head.size()), head);
    // The common footer follows the last table and reports that table's rows.
    const Strings tail = {"EndTable(ResultSet)", "EndSubDocument()", "BeginParagraph(5|)", "Text(Total 1|0||0)",
                          "EndParagraph(5)", "Close()"};
    EXPECT_EQ(Tail(tail.size()), tail);
    EXPECT_EQ(CountOf("BeginParagraph("), 2u);
}

TEST_F(EngineTest, ContentsAndSummaryFollowTheTitle) {
    project.Text = L"--NAME: Sales\r\nSELECT 1;\r\n--NAME: Costs\r\nSELECT 2";
    project.SetTitleText(L"Title");
    project.TOC = 1;
    project.Summary = 1;
    project.ReportFile = L"report_$DATE$.htm";
    project.SetPathName((folder.Path() / "p.twp").wstring());
    db->sets = {TwoColumns(1), TwoColumns(1)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    const Strings expected = {"Open()", "Text(Title|1||0)", "BeginToc()", "TocItem(Summary|Summary|0)",
                              "TocItem(Results1|Sales|0)", "TocItem(Results2|Costs|0)", "EndToc()",
                              "BeginSubDocument(|Summary.html|Summary)", "Ancor(Summary)", "Text(Summary|3||0)",
                              "BeginTable(Summary)"};
    EXPECT_EQ(Head(expected.size()), expected);
    // The summary shows the report file as typed, not expanded.
    EXPECT_EQ(CallsFrom("Cell(Report File|0|)").at(1), "Cell(report_$DATE$.htm|0|)");
    EXPECT_TRUE(Called("Cell(Database Connection|0|)"));
    EXPECT_EQ(CallsFrom("EndTable(Summary)").at(1), "EndSubDocument()");
    EXPECT_EQ(CallsFrom("EndTable(Summary)").at(2), "BeginSubDocument(|Results1.html|Sales)");
}

TEST_F(EngineTest, ContentsCountStatementsNotResultSets) {
    project.TOC = 1;
    project.Text = L"SELECT 1";
    db->sets = {TwoColumns(0)};
    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(CallsFrom("BeginToc()").at(1), "TocItem(Results|Results|0)");
    EXPECT_EQ(CallsFrom("BeginToc()").at(2), "EndToc()");

    // Three statements of which only two give result sets: still three entries.
    Calls().clear();
    project.Text = L"CREATE TABLE x(a); SELECT 1; SELECT 2";
    db->sets = {TwoColumns(0), TwoColumns(0)};
    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(CountOf("TocItem("), 3u);
    EXPECT_TRUE(Called("TocItem(Results3|Results #3|0)"));
    EXPECT_FALSE(Called("Ancor(Results3)"));
}

TEST_F(EngineTest, PreviewWritesHtmlAndAtMostFiftyRows) {
    host.mainWindow = true;
    project.Format = RF_EXCEL;
    project.Open = 1;
    project.Text = L"SELECT 1; SELECT 2";
    db->sets = {TwoColumns(80), TwoColumns(500)};
    const std::wstring file = (folder.Path() / "preview.html").wstring();
    std::ofstream(tw::ToPath(file)) << "old";

    EXPECT_TRUE(engine.RunAndOpen(project, file, 1));

    EXPECT_EQ(OpenedSetup().format, RF_HTML);
    EXPECT_EQ(OpenedSetup().file, file);
    EXPECT_EQ(CountOf("BeginRow(row"), 100u);
    ASSERT_FALSE(host.statusTexts.empty());
    EXPECT_EQ(host.statusTexts.back(), L"Preview created for 2 rowsets and 100 rows");
    EXPECT_TRUE(host.opened.empty());

    for (int format : {RF_RTF, RF_XML, RF_CHM, RF_PDF}) {
        project.Format = format;
        engine.RunAndOpen(project, file, 1);
        EXPECT_EQ(OpenedSetup().format, RF_HTML) << format;
    }
    project.Format = RF_TEXT;
    engine.RunAndOpen(project, file, 1);
    EXPECT_EQ(OpenedSetup().format, RF_TEXT);
}

TEST_F(EngineTest, TitlePropertyIsExpandedWithoutTheScriptOfThisRun) {
    project.Text = L"SELECT 1; SELECT 2; SELECT 3";
    db->sets = {OneRow(), OneRow(), OneRow()};
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    // Switched off: the fixed text.
    EXPECT_EQ(OpenedSetup().properties.at(0),
              std::make_pair(std::wstring(L"%TITLE%"), std::wstring(L"Query Report")));

    // Switched on: the property sees the statement list of the previous run and no script; the title
    // paragraph is expanded after this run's script was parsed. Both carry the embedded query's value.
    project.SetTitleText(L"T $STATEMENT$ $QUERY$ $ROWS$ {{SELECT n}}");
    project.Text = L"SELECT n FROM t";
    db->sets = {OneRow()};
    db->executed.clear();
    Calls().clear();
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(OpenedSetup().properties.at(0).second, L"T 3 $QUERY$ $ROWS$ 7");
    EXPECT_TRUE(Called("Text(T 1 SELECT n FROM t $ROWS$ 7|1||0)"));
    EXPECT_EQ(db->executed, (std::vector<std::wstring>{L"SELECT n", L"SELECT n FROM t"}));
    // Outside the run the title is as typed again.
    EXPECT_EQ(project.TitleText(), L"T $STATEMENT$ $QUERY$ $ROWS$ {{SELECT n}}");
}

TEST_F(EngineTest, DefaultTitleOfAnEmptyOneKeepsItsBraces) {
    Settings().setInt(L"UseForEmpty", 1);
    Settings().setStr(L"DefTitle", L"Default {{SELECT secret}}");
    project.SetTitleText(L"");
    project.Text = L"SELECT n FROM t";
    db->sets = {OneRow()};
    ASSERT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(OpenedSetup().properties.at(0).second, L"Default {{SELECT secret}}");
    EXPECT_TRUE(Called("Text(Default {{SELECT secret}}|1||0)"));
    EXPECT_EQ(db->executed, std::vector<std::wstring>{L"SELECT n FROM t"});
}
