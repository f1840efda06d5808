#pragma once
// The fixed, short call sequence behind every writer's golden file: small enough to review the output by eye.

#include "areport.h"

namespace golden {

inline void SetUp(AReport& report, const wchar_t* charset = L"utf-8") {
    report.AddProperty(L"%TITLE%", L"Sales & costs");
    report.AddProperty(L"%LANGUAGE%", L"de");
    report.AddProperty(L"%CHARSET%", charset);
    report.AddProperty(L"%AUTHOR%", L"");
    report.AddProperty(L"%DESCRIPTION%", L"");
    report.SetReportOption(RO_LANDSCAPE, 0);
    report.SetColumnSeparator(L";");
    report.SetStyles(L"<Style ss:ID=\"Pr0\"><Font ss:Bold=\"1\" ss:Italic=\"0\" ss:Color=\"black\" ss:Size=\"12\"/>"
                     L"</Style>\n");
}

inline void Drive(AReport& report) {
    report.Text(L"Sales <2024> & costs", 1, L"class=\"title\"", 0);
    report.Text(L"<i>As of today</i>", 0, L"", 1);
    report.BeginToc();
    report.TocItem(L"Summary", L"Summary", 0);
    report.TocItem(L"Results", L"Results", 0);
    report.EndToc();

    report.BeginSubDocument(L"", L"Summary.html", L"Summary");
    report.Ancor(L"Summary");
    report.Text(L"Summary", 3, L"", 0);
    report.BeginTable(L"Summary", L"");
    report.AttributeRowHeader();
    report.ProductRow(L"Velmor Tablewright");
    report.ReportCreated();
    report.Row2(L"Database Connection", L"demo.sqlite", 0);
    report.Row2(L"Report File", L"out/sales_$DATE$", 0);
    report.EndTable(L"Summary");
    report.EndSubDocument();

    report.BeginSubDocument(L"", L"Results.html", L"Sales by region");
    report.BeginParagraph(0, L"");
    report.Text(L"Regions", 0, L"", 0);
    report.EndOfLine();
    report.Text(L"All figures in \u20ac", 0, L"", 0);
    report.EndParagraph(0);
    report.Ancor(L"Results");
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 2);
    report.Cell(L"region", 1, L"");
    report.Cell(L"total", 1, L"");
    report.EndRow(L"");
    const wchar_t* rows[][2] = {{L"North", L"1234.5"}, {L"S\u00fcd & <Ost>", L"007"}};
    for (const auto& row : rows) {
        report.BeginRow(L"row", L"", 2);
        report.BeginCell(L"region", 0, L"");
        report.Text(row[0], 0, L"", 0);
        report.EndCell(L"region", 0);
        report.SetCellColor(L"");
        report.SetCellColor(L"Pr0");
        report.BeginCell(L"total", 0, L" align=\"Right\"");
        report.BeginStyle(RS_SIZE, 12);
        report.BeginStyle(RS_BOLD, 0);
        report.Text(row[1], 0, L"", 0);
        report.EndStyle(RS_BOLD, 0);
        report.EndCell(L"total", 0);
        report.SetCellColor(L"");
        report.EndStyle(RS_SIZE, 0);
        report.EndRow(L"row");
    }
    report.EndTable(L"ResultSet");
    report.BeginParagraph(5, L"");
    report.Text(L"2 rows", 0, L"", 0);
    report.EndParagraph(5);
    report.EndSubDocument();
}

}  // namespace golden
