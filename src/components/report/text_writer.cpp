#include "text_writer.h"

int TextReport::Open() {
    m_error.clear();
    m_separator = m_setup.separator;
    m_separatorBytes = tw::WideToUtf8(m_separator);
    m_utf8Separator = tw::Utf8ToWide(m_separatorBytes) == m_separator;
    m_byteClass.fill(kPlain);
    for (size_t byte = 0x80; byte < m_byteClass.size(); ++byte) m_byteClass[byte] = kNonAscii;
    m_byteClass['"'] = m_byteClass['\n'] = m_byteClass['\r'] = kQuotes;
    m_searchSeparator = false;
    if (m_separator.size() == 1 && static_cast<unsigned>(m_separator[0]) < 0x80) {
        m_byteClass[static_cast<size_t>(m_separator[0])] = kQuotes;
    } else if (!m_separator.empty()) {
        m_searchSeparator = true;
    }
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

namespace {

// A value ending in the start of a longer separator ("a |" before " | ") would make a reader find the separator
// too early: such a value is quoted.
template <typename View>
bool EndsInSeparatorStart(View value, View separator) {
    for (size_t k = 1; k < separator.size() && k <= value.size(); ++k)
        if (value.ends_with(separator.substr(0, k))) return true;
    return false;
}

}  // namespace

void TextReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    const bool valid = handle >= 0 && static_cast<size_t>(handle) < m_cellFormats.size();
    if (!m_utf8Separator || (valid && (!m_cellFormats[static_cast<size_t>(handle)].before.empty() ||
                                       !m_cellFormats[static_cast<size_t>(handle)].after.empty()))) {
        AReport::FormattedCellUtf8(handle, columnName, text);
        return;
    }
    // What FormattedCell comes to in a text: the value as a cell of the current row (styles write nothing).
    if (m_inCell) EndCell({}, 0);
    if (!m_inRow) BeginRow({}, {}, 0);
    if (m_column++ > 0) m_file.Write(m_separatorBytes);
    if (!WriteValueUtf8(text)) {
        tw::Utf8ToWide(text, m_decodedText);
        WriteQuoted(m_decodedText);
    }
}

void TextReport::WriteValue(std::wstring_view value) {
    if (m_column++ > 0) m_file.Write(m_separatorBytes);
    WriteQuoted(value);
}

void TextReport::WriteQuoted(std::wstring_view value) {
    std::string& out = m_file.Buffer();
    bool quoted = m_searchSeparator && value.find(m_separator) != std::wstring_view::npos;
    if (quoted) out.push_back('"');
    const size_t start = out.size();
    for (const wchar_t wc : value) {
        const auto c = static_cast<char32_t>(wc);
        if (c >= 0x80) {
            tw::AppendUtf8Char(out, c);
            continue;
        }
        if (m_byteClass[c] == kQuotes) {
            if (!quoted) {
                // Nothing written so far needed quoting: the opening quote goes before it.
                out.insert(out.begin() + static_cast<std::ptrdiff_t>(start), '"');
                quoted = true;
            }
            if (c == '"') out.push_back('"');
        }
        out.push_back(static_cast<char>(c));
    }
    if (!quoted && m_searchSeparator && EndsInSeparatorStart(value, std::wstring_view(m_separator))) {
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(start), '"');
        quoted = true;
    }
    if (quoted) out.push_back('"');
    m_file.MaybeFlush();
}

bool TextReport::WriteValueUtf8(std::string_view value) {
    std::string& out = m_file.Buffer();
    const size_t start = out.size();
    bool quoted = m_searchSeparator && value.find(m_separatorBytes) != std::string_view::npos;
    if (quoted) out.push_back('"');
    // Bytes are copied in runs; a run ends after each double quote, which is then doubled.
    const auto* p = reinterpret_cast<const unsigned char*>(value.data());
    const size_t size = value.size();
    size_t run = 0;
    for (size_t i = 0; i < size;) {
        const std::uint8_t kind = m_byteClass[p[i]];
        if (kind == kPlain) {
            ++i;
        } else if (kind == kNonAscii) {
            char32_t c;
            bool valid;
            i += tw::DecodeUtf8Char(value.substr(i), c, &valid);
            if (!valid) {
                out.resize(start);
                return false;
            }
        } else {
            if (!quoted) {
                // Nothing is written before the first byte that calls for quotes.
                out.push_back('"');
                quoted = true;
            }
            if (p[i++] == '"') {
                out.append(value.data() + run, i - run);
                out.push_back('"');
                run = i;
            }
        }
    }
    out.append(value.data() + run, size - run);
    if (!quoted && m_searchSeparator && EndsInSeparatorStart(value, std::string_view(m_separatorBytes))) {
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(start), '"');
        quoted = true;
    }
    if (quoted) out.push_back('"');
    m_file.MaybeFlush();
    return true;
}
