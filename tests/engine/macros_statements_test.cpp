// Macros, statement names, result-set names and multi-line paragraphs, on the engine's run state.

#include "../support/test_folder.h"
#include "dates.h"
#include "engine_fakes.h"

using namespace enginetest;
using Strings = std::vector<std::string>;

class MacrosTest : public EngineTest {
protected:
    // The run state as a run of script with the given result set and row counter would leave it.
    void State(const std::wstring& script, int resultSet, long long rows) {
        engine.m_statements.Parse(script, 0);
        engine.ScanForComments(script);
        engine.m_resultSetNumber = resultSet;
        engine.m_rowCounter = rows;
    }
};

TEST_F(MacrosTest, TokensAndTheirConditions) {
    const std::wstring three = L"--NAME: First\r\nSELECT 1;\r\nSELECT 2;\r\n--NAME: Third\r\nSELECT 3";
    struct Case {
        std::wstring text;
        std::wstring script;
        int resultSet;
        long long rows;
        bool passScript;
        std::wstring expected;
    };
    const std::vector<Case> cases = {
        {L"$STATEMENT$", three, 1, -1, false, L"3"},
        {L"$QUERY2$ | $QUERY4$", three, 1, -1, false, L"SELECT 2 | $QUERY4$"},
        {L"$QUERY2$", L"SELECT 1", 1, -1, false, L"$QUERY2$"},
        {L"$QUERYn$", three, 2, -1, false, L"SELECT 2"},
        {L"$QUERYn$", three, 4, -1, false, L"$QUERYn$"},
        {L"[$QUERY$]", L"SELECT 1", 1, -1, false, L"[$QUERY$]"},
        {L"[$QUERY$]", L"SELECT 1", 1, -1, true, L"[SELECT 1]"},
        // $STATEMENT$ comes before $QUERY$, so a token inside the script stays as the script has it.
        {L"$QUERY$", L"SELECT '$STATEMENT$'", 1, -1, true, L"SELECT '$STATEMENT$'"},
        {L"$ROWS$ rows", three, 1, 0, false, L"$ROWS$ rows"},
        {L"$ROWS$ rows", three, 1, -1, false, L"$ROWS$ rows"},
        {L"$ROWS$ rows", three, 1, 42, false, L"42 rows"},
        {L"$NAME$/$NAMEn$", three, 2, -1, false, L"First/Third"},
        {L"$NAME$/$NAMEn$", L"SELECT 1", 1, -1, false, L"Results/Results"},
        {L"$NAME$/$NAMEn$", L"SELECT 1; SELECT 2", 2, -1, false, L"Results #1/Results #2"},
        {L"$FORMAT$", L"SELECT 1", 1, -1, false, L"Excel"},
        {L"$date$ $$ $", L"SELECT 1", 1, -1, false, L"$date$ $$ $"},
    };
    project.Format = RF_EXCEL;
    for (const Case& c : cases) {
        State(c.script, c.resultSet, c.rows);
        EXPECT_EQ(engine.Macros(c.text, project, c.passScript ? &c.script : nullptr, 0), c.expected)
            << U8(c.text) << " on " << U8(c.script);
    }
}

TEST_F(MacrosTest, DateTimeFileAndParameterTokens) {
    const std::tm now = LocalNow();
    wchar_t expected[64];
    std::swprintf(expected, std::size(expected), L"%04d|%02d|%02d|%02d|%02d", now.tm_year + 1900,
                  (now.tm_year + 1900) % 100, now.tm_mon + 1, now.tm_mday, now.tm_hour);
    EXPECT_EQ(engine.Macros(L"$DATE.YYYY$|$DATE.YY$|$DATE.MM$|$DATE.DD$|$TIME.HH$", project, nullptr, 0), expected);

    // File-name mode drops the slashes of the date and the colons of the time, and nothing else.
    Settings().setStr(L"DateMFormat", L"DD/MM/YYYY");
    Settings().setStr(L"TimeMFormat", L"HH:MM");
    const std::wstring date = FormatDate(L"DD/MM/YYYY", now);
    std::wstring fileDate = date;
    std::erase(fileDate, L'/');
    EXPECT_EQ(engine.Macros(L"r_$DATE$.htm", project, nullptr, 1), L"r_" + fileDate + L".htm");
    EXPECT_EQ(engine.Macros(L"$DATE$", project, nullptr, 0), date);
    EXPECT_EQ(engine.Macros(L"$TIME$", project, nullptr, 1).find(L':'), std::wstring::npos);

    // $FILE$: the project's ReportFile until a run has named its file.
    project.ReportFile = L"out/$DATE$.htm";
    EXPECT_EQ(engine.Macros(L"$FILE$", project, nullptr, 0), L"out/$DATE$.htm");
    engine.m_currentReportFile = L"out/now.htm";
    EXPECT_EQ(engine.Macros(L"$FILE$", project, nullptr, 0), L"out/now.htm");

    // Parameter values come before the other tokens, so a value may bring one in.
    project.m_values = {{L"?1", L"$FORMAT$"}, {L"?2", L"north"}};
    EXPECT_EQ(engine.Macros(L"?2 in ?1", project, nullptr, 0), L"north in HTML");
}

TEST_F(MacrosTest, StatementNamesFromComments) {
    struct Case {
        std::wstring script;
        std::vector<std::wstring> names;
    };
    const std::vector<Case> cases = {
        {L"SELECT 1", {}},
        {L"--NAME: Sales\r\nSELECT 1", {L"Sales"}},
        {L"--NAME:Sales\r\nSELECT 1", {L"ales"}},
        {L"--NAME:   Padded  \r\nSELECT 1", {L"Padded"}},
        {L"--NAME:\r\nSELECT 1", {L""}},
        {L"--NAME:\nNext line\nSELECT 1", {L"Next line"}},
        {L"SELECT 1 --NAME: End", {L"End"}},
        // The search goes on after the collected line, so a second marker on the same line is part of the name.
        {L"SELECT '--NAME: a' --NAME: b\nSELECT 2 --NAME: c", {L"a' --NAME: b", L"c"}},
    };
    for (const Case& c : cases) {
        engine.ScanForComments(c.script);
        EXPECT_EQ(engine.m_statementNames, c.names) << U8(c.script);
    }
}

TEST_F(MacrosTest, ResultSetNames) {
    // Before the first run there are no statements at all.
    EXPECT_EQ(engine.ResultSetName(1), L"Results #1");
    State(L"SELECT 1", 1, -1);
    EXPECT_EQ(engine.ResultSetName(1), L"Results");
    EXPECT_EQ(engine.ResultSetName(2), L"Results");
    State(L"SELECT 1;\r\n--NAME: Second\r\nSELECT 2", 1, -1);
    EXPECT_EQ(engine.ResultSetName(1), L"Second");
    EXPECT_EQ(engine.ResultSetName(2), L"Results #2");
    EXPECT_EQ(engine.ResultSetName(0), L"Results #0");
}

TEST_F(MacrosTest, TextWithLineFeedsKeepsLinesInOneParagraph) {
    struct Case {
        std::wstring text;
        Strings pieces;
    };
    const std::vector<Case> cases = {
        {L"one line", {"Text(one line|0||1)"}},
        {L"Line 1\r\nLine 2", {"Text(Line 1|0||1)", "EndOfLine()", "Text(Line 2|0||1)"}},
        // Bare line feeds, as TOML gives every multi-line text: no character is lost.
        {L"ab\ncd\nef", {"Text(ab|0||1)", "EndOfLine()", "Text(cd|0||1)", "EndOfLine()", "Text(ef|0||1)"}},
        {L"a\r\nb\nc", {"Text(a|0||1)", "EndOfLine()", "Text(b|0||1)", "EndOfLine()", "Text(c|0||1)"}},
        {L"\nfirst", {"Text(\nfirst|0||1)"}},
        {L"a\r\n\r\nb", {"Text(a|0||1)", "EndOfLine()", "Text(|0||1)", "EndOfLine()", "Text(b|0||1)"}},
        {L"x\n\ny", {"Text(x|0||1)", "EndOfLine()", "Text(|0||1)", "EndOfLine()", "Text(y|0||1)"}},
        {L"end\r\n", {"Text(end|0||1)", "EndOfLine()", "Text(|0||1)"}},
    };
    engine.AddReport(RF_HTML, L"unused.htm", L"Default.htm");
    ASSERT_EQ(engine.Open(), RE_OK);
    for (const Case& c : cases) {
        Calls().clear();
        engine.TextWithLineFeeds(c.text, 5, L"class=\"f\"", 1);
        Strings expected = {"BeginParagraph(5|class=\"f\")"};
        expected.insert(expected.end(), c.pieces.begin(), c.pieces.end());
        expected.push_back("EndParagraph(5)");
        EXPECT_EQ(Calls(), expected) << U8(c.text);
    }
    engine.Close();
}

// A multi-line header of a project file (TOML gives bare line feeds) keeps the last character of every line.
TEST_F(MacrosTest, ProjectFileHeaderKeepsEveryCharacter) {
    TestFolder folder;
    folder.Write("p.twp", "[Target]\nHeader = '''{{SELECT 1}} orders.\nTotals are rounded.'''\n");
    CtwDoc doc;
    ASSERT_TRUE(doc.Load(folder.File("p.twp")));
    engine.AddReport(RF_HTML, L"unused.htm", L"Default.htm");
    ASSERT_EQ(engine.Open(), RE_OK);
    Calls().clear();
    engine.TextWithLineFeeds(doc.Header, 4, L"", 0);
    EXPECT_EQ(Calls(), (Strings{"BeginParagraph(4|)", "Text({{SELECT 1}} orders.|0||0)", "EndOfLine()",
                                "Text(Totals are rounded.|0||0)", "EndParagraph(4)"}));
    engine.Close();
}
