#include "text_writer.h"

int TextReport::Open() {
    m_error.clear();
    m_separator = m_setup.separator;
    m_separatorBytes = tw::WideToUtf8(m_separator);
    m_inTable = m_inRow = m_inCell = m_inParagraph = m_afterTable = false;
    m_column = 0;
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    return RE_OK;
}

int TextReport::Close() {
    if (!m_file.IsOpen()) return RE_OK;
    if (m_inCell) EndCell({}, 0);
    if (m_inRow || m_inParagraph) EndLine();
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void TextReport::Discard() { m_file.Discard(); }

void TextReport::EndLine() {
    // A row of one empty value would read back as a blank line, which CSV readers skip.
    if (m_inRow && m_column == 1 && m_file.Size() == m_rowStart) m_file.Write("\"\"");
    m_file.Put('\n');
    m_inRow = m_inParagraph = false;
}

void TextReport::StartLine() {
    if (m_inCell) EndCell({}, 0);
    if (m_inRow || m_inParagraph) EndLine();
    if (m_afterTable) {
        m_file.Put('\n');
        m_afterTable = false;
    }
}

void TextReport::Text(std::wstring_view text, PARAGRAPH_TYPE, std::wstring_view, int) {
    if (m_inCell) {
        m_cell.append(text);
    } else if (m_inParagraph) {
        WriteUtf8(text);
    } else if (m_inRow) {
        WriteValue(text);
    } else {
        StartLine();
        WriteUtf8(text);
        EndLine();
    }
}

void TextReport::EndOfLine() {
    if (m_inCell) {
        m_cell.push_back(L'\n');
    } else if (m_inParagraph) {
        m_file.Put('\n');
    }
}

void TextReport::BeginParagraph(PARAGRAPH_TYPE, std::wstring_view) {
    StartLine();
    m_inParagraph = true;
}

void TextReport::EndParagraph(PARAGRAPH_TYPE) {
    if (m_inParagraph) EndLine();
}

void TextReport::TocItem(std::wstring_view, std::wstring_view text, int level) {
    StartLine();
    for (int i = 0; i < level; ++i) m_file.Write("  ");
    WriteUtf8(text);
    EndLine();
}

void TextReport::BeginTable(std::wstring_view, std::wstring_view) {
    StartLine();
    m_inTable = true;
}

void TextReport::EndTable(std::wstring_view) {
    if (m_inCell) EndCell({}, 0);
    if (m_inRow) EndLine();  // a row cut short still ends its line
    m_inTable = false;
    m_afterTable = true;
}

void TextReport::BeginRow(std::wstring_view, std::wstring_view, int) {
    StartLine();
    m_inRow = true;
    m_column = 0;
    m_rowStart = m_file.Size();
}

void TextReport::EndRow(std::wstring_view) {
    if (m_inCell) EndCell({}, 0);
    if (m_inRow) EndLine();
}

void TextReport::BeginCell(std::wstring_view, int, std::wstring_view) {
    if (m_inCell) EndCell({}, 0);
    if (!m_inRow) BeginRow({}, {}, 0);
    m_cell.clear();
    m_inCell = true;
}

void TextReport::EndCell(std::wstring_view, int) {
    if (!m_inCell) return;
    m_inCell = false;
    WriteValue(m_cell);
}

void TextReport::Cell(std::wstring_view text, int, std::wstring_view) {
    if (m_inCell) EndCell({}, 0);
    if (!m_inRow) BeginRow({}, {}, 0);
    WriteValue(text);
}

void TextReport::WriteValue(std::wstring_view value) {
    if (m_column++ > 0) m_file.Write(m_separatorBytes);
    bool quote = !m_separator.empty() && value.find(m_separator) != std::wstring_view::npos;
    for (size_t i = 0; !quote && i < value.size(); ++i)
        quote = value[i] == L'"' || value[i] == L'\n' || value[i] == L'\r';
    // A value ending in the start of a longer separator ("a |" before " | ") would make a reader find the
    // separator too early.
    for (size_t k = 1; !quote && k < m_separator.size() && k <= value.size(); ++k)
        quote = value.ends_with(std::wstring_view(m_separator).substr(0, k));
    if (!quote) {
        WriteUtf8(value);
        return;
    }
    std::string& out = m_file.Buffer();
    out.push_back('"');
    size_t start = 0;
    for (size_t quoteAt; (quoteAt = value.find(L'"', start)) != std::wstring_view::npos; start = quoteAt + 1) {
        tw::AppendUtf8(out, value.substr(start, quoteAt + 1 - start));
        out.push_back('"');
    }
    tw::AppendUtf8(out, value.substr(start));
    out.push_back('"');
    m_file.MaybeFlush();
}
