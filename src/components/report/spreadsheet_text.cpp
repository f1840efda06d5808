#include "spreadsheet_text.h"

void SpreadsheetTextReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view, int) {
    if (m_inCell) {
        m_cell.append(text);
    } else if (m_inParagraph) {
        m_paragraph.append(text);
    } else if (m_inRow) {
        TextCell(text);
    } else {
        TextRow(text, type);
    }
}

void SpreadsheetTextReport::EndOfLine() {
    if (m_inCell)
        m_cell.push_back(L'\n');
    else if (m_inParagraph)
        m_paragraph.push_back(L'\n');
}

void SpreadsheetTextReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view) {
    FinishRow();
    m_paragraph.clear();
    m_paragraphType = type;
    m_inParagraph = true;
}

void SpreadsheetTextReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!m_inParagraph) return;
    m_inParagraph = false;
    TextRow(m_paragraph, m_paragraphType);
}
