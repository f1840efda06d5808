#pragma once
// One edge-case data set that every report writer is run through, the way the report run calls a writer:
// NULL and empty values, markup characters, non-ASCII text, a very long text, a result set with no rows and
// one with a single column. The tables it writes are also returned as data, so that a test can compare what a
// real reader finds in the file.
//
// Use: edge::SetUp(report) before Open, edge::Drive(report) between Open and Close.

#include <string>
#include <vector>

#include "areport.h"

namespace edge {

struct Table {
    std::wstring name;  // the sub-document title (worksheet name in Excel)
    std::vector<std::wstring> columns;
    std::vector<std::vector<std::wstring>> rows;
};

// A text longer than any internal buffer (the output buffer flushes at 64 KiB).
inline const std::wstring& LongText() {
    static const std::wstring text = [] {
        std::wstring out;
        for (int i = 0; out.size() < 70000; ++i) out += L"line " + std::to_wstring(i) + L" of a long text. ";
        return out + L"END";
    }();
    return text;
}

inline const wchar_t* Title() { return L"Edge <cases> & \"quotes\" 'apostrophes' \u00e9\u4e2d"; }
inline const wchar_t* MarkupTitle() { return L"<b>Bold</b> title"; }
inline const wchar_t* Header1() { return L"Header line <1>"; }
inline const wchar_t* Header2() { return L"Header line 2 \u00fc"; }
inline const wchar_t* Footer() { return L"Footer & end"; }

// The style block handed to Excel (the same one the rules would build for one property and one marker).
inline const wchar_t* Styles() {
    return L"<Style ss:ID=\"Pr0\"><Interior ss:Color=\"#FFFF00\" ss:Pattern=\"Solid\"/>"
           L"<Font ss:Bold=\"1\" ss:Italic=\"0\" ss:Color=\"#FF0000\" ss:Size=\"12\"/></Style>\n"
           L"<Style ss:ID=\"Mar0\"><Font ss:Bold=\"0\" ss:Italic=\"1\" ss:Color=\"black\" ss:Size=\"10\"/></Style>\n";
}

// The result sets, in the order EdgeCaseDrive writes them. NULL reaches a writer as an empty text.
inline const std::vector<Table>& Tables() {
    static const std::vector<Table> tables = {
        {L"Values <&>",
         {L"id", L"text", L"note"},
         {
             {L"1", L"", L"NULL and empty"},
             {L"2", L"<&>\"'", L"<b>not bold</b>"},
             {L"3", L"Gr\u00fc\u00dfe \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u65e5\u672c\u8a9e \U0001F600",
              L"\u20ac \u2013 \u2018quoted\u2019 \u0152"},
             {L"4", LongText(), L"long"},
             {L"5", L"a,b\tc;d|e\"f\nline two\r\nline three", L"separators, quote and line breaks"},
             {L"-12.5", L"007", L"+1"},
             {L"0.000123456789012345", L"1e5", L"12345678901234567"},
         }},
        {L"Empty", {L"a", L"b"}, {}},
        {L"One column", {L"only"}, {{L"x"}, {L""}, {L"z"}}},
    };
    return tables;
}

// The calls made before Open.
inline void SetUp(AReport& report) {
    report.AddProperty(L"%TITLE%", Title());
    report.AddProperty(L"%LANGUAGE%", L"en");
    report.AddProperty(L"%CHARSET%", L"utf-8");
    report.AddProperty(L"%AUTHOR%", L"");
    report.AddProperty(L"%DESCRIPTION%", L"");
    report.SetReportOption(RO_LANDSCAPE, 1);
    report.SetColumnSeparator(L",");
    report.SetStyles(Styles());
}

// The paragraph of several lines, as the run writes a header or footer.
inline void Lines(AReport& report, int type, const std::vector<std::wstring>& lines) {
    report.BeginParagraph(type, L"class=\"lines\"");
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) report.EndOfLine();
        report.Text(lines[i], 0, L"", 0);
    }
    report.EndParagraph(type);
}

// One body cell the way the run writes it: style name, optional size, bold and italic around the text.
inline void BodyCell(AReport& report, const std::wstring& column, const std::wstring& text, const wchar_t* style,
                     int size, bool bold, bool italic, const wchar_t* attributes) {
    if (style) report.SetCellColor(style);
    report.BeginCell(column, 0, attributes);
    if (size) report.BeginStyle(RS_SIZE, size);
    if (bold) report.BeginStyle(RS_BOLD, 0);
    if (italic) report.BeginStyle(RS_ITALIC, 0);
    report.Text(text, 0, L"", 0);
    if (italic) report.EndStyle(RS_ITALIC, 0);
    if (bold) report.EndStyle(RS_BOLD, 0);
    report.EndCell(column, 0);
    report.SetCellColor(L"");
    if (size) report.EndStyle(RS_SIZE, 0);
}

// The whole call sequence of a run with title, table of contents, summary, header, three result sets and a
// footer.
inline void Drive(AReport& report) {
    const auto& tables = Tables();
    report.Text(Title(), 1, L"class=\"title\"", 0);
    report.Text(MarkupTitle(), 2, L"", 1);
    report.BeginToc();
    report.TocItem(L"Summary", L"Summary", 0);
    for (size_t t = 0; t < tables.size(); ++t)
        report.TocItem(L"Results" + std::to_wstring(t + 1), tables[t].name, 0);
    report.EndToc();

    report.BeginSubDocument(L"", L"Summary.html", L"Summary");
    report.Ancor(L"Summary");
    report.Text(L"Summary", 3, L"", 0);
    report.BeginTable(L"Summary", L"");
    report.AttributeRowHeader();
    report.ProductRow(L"Velmor Tablewright");
    report.Row2(L"Database Connection", L"sqlite: <memory> & \"co\"", 0);
    report.Row2(L"Report File", L"report_$DATE$.htm", 0);
    report.EndTable(L"Summary");
    report.EndSubDocument();

    for (size_t t = 0; t < tables.size(); ++t) {
        const Table& table = tables[t];
        const std::wstring anchor = L"Results" + std::to_wstring(t + 1);
        report.BeginSubDocument(L"", anchor + L".html", table.name);
        Lines(report, 4, {Header1(), Header2()});
        report.Ancor(anchor);
        report.BeginTable(L"ResultSet", L"");
        const int columns = static_cast<int>(table.columns.size());
        report.BeginRow(L"", L"", columns);
        for (const auto& column : table.columns) report.Cell(column, 1, L"");
        report.EndRow(L"");
        for (size_t r = 0; r < table.rows.size(); ++r) {
            report.BeginRow(L"row", L"", columns);
            for (size_t c = 0; c < table.rows[r].size(); ++c) {
                // A mix of the ways a cell can be styled: plain, a property style with size and bold, a marker
                // style in italics, and a cell carrying several attribute pieces.
                const auto& column = table.columns[c];
                const auto& value = table.rows[r][c];
                switch ((r + c) % 4) {
                    case 0: BodyCell(report, column, value, nullptr, 0, false, false, L""); break;
                    case 1:
                        BodyCell(report, column, value, L"Pr0", 12, true, false,
                                 L" align=\"Right\" style=\"background-color: yellow;\" style=\"color: red;\"");
                        break;
                    case 2: BodyCell(report, column, value, L"Mar0", 0, false, true, L" class=\"num\""); break;
                    default: BodyCell(report, column, value, nullptr, 8, false, false, L" align=\"\""); break;
                }
            }
            report.EndRow(L"row");
        }
        report.EndTable(L"ResultSet");
        Lines(report, 0, {Footer()});
        report.EndSubDocument();
    }
}

// A result set cut short the way a failing converter leaves it: a row with one cell written and no EndRow,
// then EndTable, the footer and EndSubDocument.
inline void DriveUnfinishedRow(AReport& report) {
    report.BeginSubDocument(L"", L"Results.html", L"Cut short");
    report.Ancor(L"Results");
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 2);
    report.Cell(L"a", 1, L"");
    report.Cell(L"b", 1, L"");
    report.EndRow(L"");
    report.BeginRow(L"row", L"", 2);
    BodyCell(report, L"a", L"1", nullptr, 0, false, false, L"");
    BodyCell(report, L"b", L"2", nullptr, 0, false, false, L"");
    report.EndRow(L"row");
    report.BeginRow(L"row", L"", 2);
    report.SetCellColor(L"Pr0");
    report.BeginCell(L"a", 0, L"");
    report.BeginStyle(RS_SIZE, 12);
    report.BeginStyle(RS_BOLD, 0);
    report.Text(L"3", 0, L"", 0);
    report.EndStyle(RS_BOLD, 0);
    report.EndCell(L"a", 0);
    report.SetCellColor(L"");
    report.EndStyle(RS_SIZE, 0);
    report.EndTable(L"ResultSet");
    Lines(report, 0, {Footer()});
    report.EndSubDocument();
}

}  // namespace edge
