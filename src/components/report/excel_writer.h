#pragma once
// Excel reports: SpreadsheetML 2003 (UTF-8 XML that Excel and LibreOffice open as a workbook).
//   - <Styles> holds the writer's own styles (tw*) and the blocks of SetStyles; named colours in those blocks
//     are written as #RRGGBB, the only form the format defines.
//   - One worksheet per sub-document, named after its title within Excel's rules (at most 31 characters, none
//     of []:*?/\, no apostrophe at either end, unique without regard to case). A table outside any
//     sub-document gets a worksheet of its own.
//   - Title, table of contents, header and footer are one-cell rows. Rows written outside a sub-document wait
//     and open the next worksheet; those after the last one close it.
//   - A body cell whose value is a canonical number is a Number cell, every other value a String; SetCellColor
//     ties the cell to a style of SetStyles (an unknown style name is left out rather than break the file).
//   - Bold, italic and size styles come through the SetStyles blocks, so BeginStyle and EndStyle write nothing.

#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"

class ExcelReport : public AReport {
public:
    int Open() override;
    int Close() override;
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view) override {}
    void EndOfLine() override;
    void BeginStyle(int, int) override {}
    void EndStyle(int, int) override {}
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;
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

    // The worksheet name Excel accepts for title, unique among taken (which it is added to, in lower case).
    static std::wstring SheetName(std::wstring_view title, std::vector<std::wstring>& taken);

private:
    // Where rows go: the open worksheet inside a sub-document, else the rows waiting for the next one.
    std::string& Sink() { return m_inSubDocument ? m_file.Buffer() : m_pending; }
    void Flushed() {
        if (m_inSubDocument) m_file.MaybeFlush();
    }
    void OpenSheet(std::wstring_view title);
    void CloseSheet();
    void TextRow(std::wstring_view text, PARAGRAPH_TYPE type);
    void WriteCell(std::wstring_view value, int header);
    void FinishRow();
    const std::string* KnownStyle(const std::wstring& name);

    OutputFile m_file;
    std::string m_pending;
    std::vector<std::wstring> m_sheetNames;
    std::vector<std::wstring> m_styleIds;
    std::vector<std::string> m_styleIdsXml;
    std::wstring m_cell, m_paragraph;
    std::wstring m_lastStyle;
    const std::string* m_lastStyleXml = nullptr;
    PARAGRAPH_TYPE m_paragraphType = 0;
    bool m_sheetOpen = false, m_inSubDocument = false, m_implicitSheet = false;
    bool m_inRow = false, m_inCell = false, m_cellHeader = false, m_inParagraph = false;
};
