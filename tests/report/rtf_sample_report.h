#pragma once
// A short fixed report, written the way the run calls a writer: title, contents, summary, one result set with
// styled cells and a footer. Small enough for golden files.

#include <string>

#include "areport.h"
#include "edge_cases.h"
#include "multi_report.h"
#include "text.h"

namespace twtest {

inline void StyledCell(AReport& report, const wchar_t* column, const wchar_t* text,
                       const std::wstring& attributes, int size, bool bold, bool italic) {
    edge::BodyCell(report, column, text, nullptr, size, bold, italic, attributes.c_str());
}

// Opens one writer on its own (no MultiReport) for file.
inline int OpenAlone(AReport& report, const std::string& file) {
    ReportSetup setup;
    setup.file = tw::Utf8ToWide(file);
    report.SetSetup(setup);
    return report.Open();
}

// Opens report for format and file, writes the sample and closes it; returns Close's result (or Open's).
// attributes(foreground, background) gives the attribute text of a cell in the writer's format.
inline int WriteSample(MultiReport& report, int format, const std::wstring& file, bool landscape,
                       std::wstring (*attributes)(const wchar_t*, const wchar_t*),
                       const std::wstring& folder = L"") {
    report.Clear();
    report.AddReport(format, file, L"Default.htm");
    report.AddProperty(L"%TITLE%", L"Sales report");
    report.AddProperty(L"%LANGUAGE%", L"en");
    report.AddProperty(L"%CHARSET%", L"utf-8");
    report.AddProperty(L"%AUTHOR%", L"");
    report.AddProperty(L"%DESCRIPTION%", L"");
    report.SetReportOption(RO_LANDSCAPE, landscape ? 1 : 0);
    report.SetColumnSeparator(L"\t");
    if (const int opened = report.Open(); opened != RE_OK) return opened;

    report.Text(L"Sales report", 1, L"", 0);
    report.BeginToc();
    report.TocItem(L"Summary", L"Summary", 0);
    report.TocItem(L"Results", L"Sales by region", 0);
    report.EndToc();

    report.BeginSubDocument(folder, L"Summary.html", L"Summary");
    report.Ancor(L"Summary");
    report.Text(L"Summary", 3, L"", 0);
    report.BeginTable(L"Summary", L"");
    report.AttributeRowHeader();
    report.ProductRow(L"Velmor Tablewright");
    report.Row2(L"Report File", L"sales_$DATE$.rtf", 0);
    report.EndTable(L"Summary");
    report.EndSubDocument();

    report.BeginSubDocument(folder, L"Results.html", L"Sales by region");
    report.BeginParagraph(4, L"");
    report.Text(L"Header first line", 0, L"", 0);
    report.EndOfLine();
    report.Text(L"Header second line", 0, L"", 0);
    report.EndParagraph(4);
    report.Ancor(L"Results");
    report.BeginTable(L"ResultSet", L"");
    report.BeginRow(L"", L"", 3);
    report.Cell(L"region", 1, L"");
    report.Cell(L"manager", 1, L"");
    report.Cell(L"total", 1, L"");
    report.EndRow(L"");
    report.BeginRow(L"row", L"", 3);
    StyledCell(report, L"region", L"Nord", attributes(L"Default", L"Default"), 0, false, false);
    StyledCell(report, L"manager", L"J\u00fcrgen M\u00fcller", attributes(L"red", L"yellow"), 0, true, false);
    StyledCell(report, L"total", L"1,250.00", attributes(L"#1E90FF", L"#F0F8FF"), 12, false, true);
    report.EndRow(L"row");
    report.BeginRow(L"row", L"", 3);
    StyledCell(report, L"region", L"S\u00fcd {\\}", attributes(L"", L""), 0, false, false);
    StyledCell(report, L"manager", L"\u0417\u043e\u044f \u03a9", attributes(L"blue", L"lightgrey"), 8, false,
               false);
    StyledCell(report, L"total", L"980.50", attributes(L"", L"#F0F8FF"), 0, true, true);
    report.EndRow(L"row");
    report.EndTable(L"ResultSet");
    report.Text(L"Footer & end", 0, L"", 0);
    report.EndSubDocument();
    return report.Close();
}

// Attribute texts as the rules hand them to each format.
inline std::wstring RtfAttributes(const wchar_t* fore, const wchar_t* back) {
    return std::wstring(fore) + L";" + back;
}
inline std::wstring PdfAttributes(const wchar_t*, const wchar_t* back) { return back; }
inline std::wstring HtmlAttributes(const wchar_t* fore, const wchar_t* back) {
    std::wstring out;
    if (*back) out += L" style=\"background-color: " + std::wstring(back) + L";\"";
    if (*fore) out += L" style=\"color: " + std::wstring(fore) + L";\"";
    return out;
}

}  // namespace twtest
