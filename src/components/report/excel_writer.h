#pragma once
// Excel reports: SpreadsheetML 2003 (UTF-8 XML that Excel and LibreOffice open as a workbook).
//   - <Styles> holds the writer's own styles (tw*) and the blocks of SetStyles; named colours in those blocks
//     are written as #RRGGBB, the only form the format defines.
//   - One worksheet per sub-document, named after its title within Excel's rules (at most 31 characters, none
//     of []:*?/\, no apostrophe at either end, unique without regard to case). A table outside any
//     sub-document gets a worksheet of its own.
//   - Title, table of contents, header and footer are one-cell rows. Rows written outside a sub-document wait
//     and open the next worksheet; those after the last one close it.
//   - A body cell is a Number, DateTime or String cell by its column's type and value (spreadsheet_value.h);
//     SetCellColor ties the cell to a style of SetStyles (an unknown style name is left out rather than break
//     the file), with a date format added for DateTime cells.
//   - Column widths come from the header and the first rows of the first table of each worksheet; every cell
//     wraps within its column (the Default style), so line breaks show.
//   - Bold, italic and size styles come through the SetStyles blocks, so BeginStyle and EndStyle write nothing.

#include <string>
#include <vector>

#include "spreadsheet_text.h"
#include "output_file.h"
#include "spreadsheet_value.h"

class ExcelReport : public SpreadsheetTextReport {
public:
    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_file.WriteFailed(); }
    void Discard() override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view) override {}
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginToc() override {}
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;
    void EndToc() override {}
    void BeginTable(std::wstring_view name, std::wstring_view none) override;
    void EndTable(std::wstring_view name) override;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) override;
    void EndRow(std::wstring_view cls) override;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override;
    void EndCell(std::wstring_view columnName, int header) override;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override;
    void FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) override;

    // The worksheet name Excel accepts for title, unique among taken (which it is added to, in lower case).
    static std::wstring SheetName(std::wstring_view title, std::vector<std::wstring>& taken);

private:
    // Where rows go: the open worksheet inside a sub-document, else the rows waiting for the next one.
    std::string& Sink() { return !m_inSubDocument ? m_pending : m_measuring ? m_sheetRows : m_file.Buffer(); }
    void Flushed() {
        if (m_inSubDocument && !m_measuring) m_file.MaybeFlush();
    }
    // Writes the measured <Column> widths and the rows that waited for them.
    void WriteColumns();
    void Measure(std::wstring_view value, spreadsheet::CellKind kind, int header);
    void OpenSheet(std::wstring_view title);
    void CloseSheet();
    void TextRow(std::wstring_view text, PARAGRAPH_TYPE type) override;
    void TextCell(std::wstring_view text) override;
    void WriteCell(std::wstring_view value, int header);
    void FinishRow() override;
    const std::string* KnownStyle(const std::wstring& name);

    OutputFile m_file;
    std::string m_pending;
    std::string m_sheetRows;       // rows of the open worksheet while its widths are measured
    std::vector<double> m_widths;  // points, by column
    int m_measuredRows = 0;
    size_t m_columnIndex = 0;      // of the next cell in the row
    int m_cellType = 0;            // type code of the column of the FormattedCell being written
    bool m_inTable = false, m_measuring = false;
    std::vector<std::wstring> m_sheetNames;
    std::vector<std::wstring> m_styleIds;
    std::vector<std::string> m_styleIdsXml;
    std::wstring m_lastStyle;
    const std::string* m_lastStyleXml = nullptr;
    bool m_sheetOpen = false, m_inSubDocument = false, m_implicitSheet = false;
    bool m_cellHeader = false;
};
