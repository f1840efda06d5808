#pragma once
// What the spreadsheet writers (SpreadsheetML and .xlsx) share about text: the text of a cell or paragraph is
// gathered until it ends, a paragraph and text outside any row become one-cell rows, plain text inside a row a
// cell of its own. Each writer says how such a row or cell is written.

#include <string>
#include <string_view>

#include "areport.h"

class SpreadsheetTextReport : public AReport {
public:
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void EndOfLine() override;
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;

protected:
    // Ends the open cell, paragraph and row.
    virtual void FinishRow() = 0;
    // A row of one cell holding text; type is a paragraph type (1 to 6 headings).
    virtual void TextRow(std::wstring_view text, PARAGRAPH_TYPE type) = 0;
    // Text that comes inside a row but outside any cell.
    virtual void TextCell(std::wstring_view text) = 0;

    std::wstring m_cell, m_paragraph;  // the text of the open cell and paragraph
    PARAGRAPH_TYPE m_paragraphType = 0;
    bool m_inRow = false, m_inCell = false, m_inParagraph = false;
};
