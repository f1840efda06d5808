// Column rules in a run: hidden columns, markers for a cell and for the whole row, font sizes and styles, style
// names and Excel style blocks, and a converter that fails.

#include "engine_fakes.h"
#include "fld_desc.h"
#include "rule_style.h"

using namespace enginetest;
using Strings = std::vector<std::string>;

namespace {

RuleStyle Style(int bold, int italic, int fontSize, const wchar_t* background) {
    RuleStyle style;
    style.IsBold = bold;
    style.IsItalic = italic;
    style.FontSize = fontSize;
    style.BackgroundColor = background;
    style.FontColor = L"Default";
    style.Align = L"Default";
    return style;
}

ValueMarker Marker(const wchar_t* column, int wholeRow, const wchar_t* conditionColumn, const wchar_t* operation,
                   const wchar_t* operand, RuleStyle style) {
    ValueMarker marker;
    marker.Column = column;
    marker.IsWholeRow = wholeRow;
    marker.ConditionColumn = conditionColumn;
    marker.ConditionOperation = operation;
    marker.ConditionOperand = operand;
    marker.style = std::move(style);
    return marker;
}

// The calls of one body cell, between its BeginCell and its closing calls.
Strings CellCalls(const Strings& calls, size_t row, const std::string& column) {
    size_t seen = 0;
    for (size_t index = 0; index < calls.size(); ++index) {
        if (calls[index] != "BeginRow(row|3)") continue;
        if (seen++ != row) continue;
        size_t end = index;
        while (calls[end] != "EndRow(row)") ++end;
        for (size_t cell = index; cell < end; ++cell) {
            if (calls[cell].rfind("BeginCell(" + column + "|", 0) != 0) continue;
            size_t first = cell;
            if (calls[cell - 1].rfind("SetCellColor(", 0) == 0 && calls[cell - 1] != "SetCellColor()") --first;
            size_t last = cell;
            while (calls[last] != "SetCellColor()") ++last;
            if (last + 1 < end && calls[last + 1].rfind("EndStyle(2", 0) == 0) ++last;
            return Strings(calls.begin() + static_cast<long>(first), calls.begin() + static_cast<long>(last) + 1);
        }
    }
    return {};
}

}  // namespace

class RulesRunTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        project.Text = L"SELECT name, secret, amount FROM t";
        db->sets = {{{L"name", L"secret", L"amount"},
                     {TC_VARCHAR, TC_VARCHAR, TC_INTEGER},
                     {{L"Ann", L"x", L"5"}, {L"Bob", L"y", L"50"}, {L"Cy", L"x", L"500"}}}};
    }
};

TEST_F(RulesRunTest, HiddenColumnIsFetchedAndTestedButNotWritten) {
    ColumnProperty hide;
    hide.ColumnName = L"secret";
    hide.IsHide = true;
    project.m_columnProperties = {hide};
    const RuleStyle rowStyle = Style(1, 0, 0, L"#ffff00");
    project.m_markers = {Marker(L"", 1, L"secret", L"=", L"x", rowStyle)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    EXPECT_FALSE(Called("Cell(secret|1|)"));
    EXPECT_EQ(CountOf("BeginCell(secret"), 0u);
    EXPECT_EQ(CountOf("BeginCell(name"), 3u);
    // Rows 0 and 2 hold secret = x: every shown cell takes the whole-row marker.
    const std::string attributes = U8(StyleAttributes(rowStyle, RF_HTML));
    const Strings marked = {"SetCellColor(Mar0)", "BeginCell(amount|0|" + attributes + ")", "BeginStyle(0|0)",
                            "Text(5|0||0)",       "EndStyle(0|0)",  "EndCell(amount|0)", "SetCellColor()"};
    EXPECT_EQ(CellCalls(Calls(), 0, "amount"), marked);
    const Strings plain = {"BeginCell(amount|0|)", "Text(50|0||0)", "EndCell(amount|0)", "SetCellColor()"};
    EXPECT_EQ(CellCalls(Calls(), 1, "amount"), plain);
    EXPECT_EQ(CountOf("SetCellColor(Mar0)"), 4u);
}

TEST_F(RulesRunTest, OwnMarkerWinsOverRowMarkerAndStylesNestInOrder) {
    ColumnProperty amount;
    amount.ColumnName = L"amount";
    amount.style = Style(0, 1, -1, L"Default");
    project.m_columnProperties = {amount};
    const RuleStyle rowStyle = Style(0, 0, 0, L"#eeeeee");
    const RuleStyle bigStyle = Style(1, 0, 2, L"#ff0000");
    project.m_markers = {Marker(L"name", 1, L"name", L"=", L"Cy", rowStyle),
                         Marker(L"amount", 0, L"amount", L">", L"100", bigStyle)};

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    // Row 2: the amount's own marker holds and wins; size 10 + 2 x 2, bold from the marker, italic from the
    // property; the size style is closed after the cell.
    const Strings own = {"SetCellColor(Mar1)",
                         "BeginCell(amount|0|" + U8(StyleAttributes(bigStyle, RF_HTML)) + ")",
                         "BeginStyle(2|14)",
                         "BeginStyle(0|0)",
                         "BeginStyle(1|0)",
                         "Text(500|0||0)",
                         "EndStyle(1|0)",
                         "EndStyle(0|0)",
                         "EndCell(amount|0)",
                         "SetCellColor()",
                         "EndStyle(2|0)"};
    EXPECT_EQ(CellCalls(Calls(), 2, "amount"), own);
    // Row 2, other columns: the whole-row marker of name.
    EXPECT_EQ(CellCalls(Calls(), 2, "secret").at(0), "SetCellColor(Mar0)");
    // Row 0: no marker holds; the property gives style name, attributes, size 8 and italic.
    const Strings property = {"SetCellColor(Pr0)",
                              "BeginCell(amount|0|" + U8(StyleAttributes(amount.style, RF_HTML)) + ")",
                              "BeginStyle(2|8)",
                              "BeginStyle(1|0)",
                              "Text(5|0||0)",
                              "EndStyle(1|0)",
                              "EndCell(amount|0)",
                              "SetCellColor()",
                              "EndStyle(2|0)"};
    EXPECT_EQ(CellCalls(Calls(), 0, "amount"), property);
}

TEST_F(RulesRunTest, MarkerOnAMissingConditionColumnHoldsNowhere) {
    project.m_markers = {Marker(L"name", 1, L"nosuch", L"=", L"", Style(1, 1, 1, L"#000000")),
                         Marker(L"amount", 0, L"nosuch", L"=", L"", Style(1, 1, 1, L"#000000"))};
    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
    EXPECT_EQ(CountOf("BeginStyle("), 0u);
    EXPECT_EQ(CountOf("SetCellColor(Mar"), 0u);
}

TEST_F(RulesRunTest, StyleNamesAndExcelBlocksForEveryFormat) {
    ColumnProperty first, second;
    first.ColumnName = L"name";
    first.style = Style(1, 0, 0, L"#112233");
    second.ColumnName = L"other";
    second.style = Style(0, 1, 1, L"Default");
    project.m_columnProperties = {first, second};
    project.m_markers = {Marker(L"amount", 0, L"amount", L">", L"1", Style(0, 0, 0, L"Default"))};
    project.Format = RF_TEXT;

    EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));

    // The names belong to the run's own copies: the project's records are left as they were.
    EXPECT_EQ(project.m_columnProperties[0].style.StyleName, L"");
    EXPECT_EQ(project.m_markers[0].style.StyleName, L"");
    std::wstring expected;
    ExcelStyle(expected, project.m_columnProperties[0].style, L"Pr0");
    ExcelStyle(expected, project.m_columnProperties[1].style, L"Pr1");
    ExcelStyle(expected, project.m_markers[0].style, L"Mar0");
    EXPECT_EQ(OpenedSetup().styles, expected);
}

TEST_F(RulesRunTest, ConverterFailureEndsTheResultSetAndFailsTheRun) {
    Converter broken;
    broken.Column = L"amount";
    broken.RegexFrom = L"([0-9]";
    broken.RegexTo = L"$1";
    project.m_converters = {broken};
    project.Text = L"SELECT 1; SELECT 2";
    db->sets.push_back({{L"other"}, {TC_INTEGER}, {{L"7"}}});

    EXPECT_FALSE(engine.RunAndOpen(project, project.ReportFile, 0));

    // The first row stops before the amount cell, without EndRow; the table ends; the next set still runs.
    const Strings expected = {"BeginRow(row|3)", "BeginCell(name|0|)", "Text(Ann|0||0)", "EndCell(name|0)",
                              "SetCellColor()", "BeginCell(secret|0|)", "Text(x|0||0)", "EndCell(secret|0)",
                              "SetCellColor()", "EndTable(ResultSet)"};
    const Strings from = CallsFrom("BeginRow(row|3)");
    EXPECT_EQ(Strings(from.begin(), from.begin() + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(CountOf("BeginRow(row|3)"), 1u);
    EXPECT_TRUE(Called("Text(7|0||0)"));
}

// A backend whose values arrive as UTF-8 gives the report of one whose values arrive as text, whatever the rules:
// markers of every kind and operation, converters of every sort, stray bytes and numbers with tails.
TEST_F(RulesRunTest, Utf8ValuesGiveTheReportOfTextValues) {
    const std::vector<std::vector<std::string>> bytes = {
        {"S\xc3\xb6hne", "12", "3.14159", "2021-03-04", "x"},
        {"\x80 stray", " 7kg", "1e3", "1999-12-31 23:59", ""},
        {"", "-1234567", "-0.005", "20\x80-01-02", "tab\tx"},
        {"ab\xc3", "99999999999999999999", "n.a.", "", "\xc3\xb6x"},
        {"Item <1> & \"q\"", "1.5", "12", "2000-01-01", "x"},
    };
    FakeResultSet set{{L"name", L"qty", L"price", L"born", L"note"},
                      {TC_VARCHAR, TC_INTEGER, TC_DOUBLE, TC_DATE, TC_VARCHAR},
                      {},
                      bytes};
    for (const auto& row : bytes) {
        std::vector<std::wstring> decoded;
        for (const std::string& value : row) decoded.push_back(tw::Utf8ToWide(value));
        set.rows.push_back(decoded);
    }
    project.Text = L"SELECT * FROM t";
    const RuleStyle look = Style(1, 1, 1, L"#ffe0e0");
    const std::vector<std::vector<ValueMarker>> markerSets = {
        {Marker(L"name", 0, L"name", L"Contains", L"\u00f6", look), Marker(L"qty", 0, L"qty", L">", L"10", look),
         Marker(L"price", 0, L"price", L"In Range", L"1;100", look),
         Marker(L"born", 0, L"born", L"Starts with", L"20", look), Marker(L"note", 1, L"note", L"=", L"x", look)},
        {Marker(L"name", 0, L"name", L"Starts with", L"\u20ac", look), Marker(L"qty", 1, L"qty", L"<=", L"7", look),
         Marker(L"price", 0, L"note", L"!=", L"\u00f6x", look), Marker(L"born", 0, L"born", L">", L"2000", look),
         Marker(L"note", 0, L"name", L"Contains", L"stray", look)},
    };
    std::vector<Converter> converters(5);
    const wchar_t* const names[] = {L"name", L"qty", L"price", L"born", L"note"};
    for (size_t i = 0; i < converters.size(); ++i) {
        converters[i].Column = names[i];
        converters[i].Prefix = L"[";
        converters[i].Suffix = L"\u00bb";
    }
    converters[0].RegexFrom = L"(\\w)";
    converters[0].RegexTo = L"<$1>";
    converters[1].Group = 1;
    converters[2].Digits = 9;
    converters[2].Pres = 2;
    converters[3].DateFrom = L"YYYY-MM-DD";
    converters[3].DateTo = L"DD.MM.YYYY";
    for (const auto& markers : markerSets) {
        for (const bool withConverters : {false, true}) {
            project.m_markers = markers;
            project.m_converters = withConverters ? converters : std::vector<Converter>();
            std::vector<std::vector<std::string>> reports;
            for (const bool utf8 : {false, true}) {
                db->sets = {set};
                db->utf8Values = utf8;
                Calls().clear();
                EXPECT_TRUE(engine.RunAndOpen(project, project.ReportFile, 0));
                reports.push_back(Calls());
            }
            EXPECT_EQ(reports[0], reports[1]) << "converters: " << withConverters;
            EXPECT_GT(std::ranges::count_if(reports[1], [](const std::string& c) { return c.starts_with("BeginStyle"); }),
                      0);
        }
    }
}
