#include "xml_writer.h"

#include <algorithm>
#include <cstdio>

#include "text.h"

namespace {

// The class value of an attribute text such as class="title", or empty.
std::wstring_view ClassOf(std::wstring_view attributes) {
    constexpr std::wstring_view key = L"class=\"";
    const size_t start = attributes.find(key);
    if (start == std::wstring_view::npos) return {};
    const size_t end = attributes.find(L'"', start + key.size());
    if (end == std::wstring_view::npos) return {};
    return attributes.substr(start + key.size(), end - start - key.size());
}

}  // namespace

int XmlReport::Open() {
    m_error.clear();
    m_open.clear();
    m_columns.clear();
    m_columnsXml.clear();
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    WriteRaw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report>\n<properties>\n");
    for (const auto& [placeholder, value] : m_setup.properties) {
        std::wstring_view name = placeholder;
        if (name.size() >= 2 && name.front() == L'%' && name.back() == L'%') name = name.substr(1, name.size() - 2);
        WriteRaw("<property name=\"");
        WriteAttribute(name);
        WriteRaw("\">");
        WriteEscaped(value);
        WriteRaw("</property>\n");
    }
    WriteRaw("</properties>\n");
    return RE_OK;
}

int XmlReport::Close() {
    if (!m_file.IsOpen()) return RE_OK;
    while (!m_open.empty()) CloseTop();
    WriteRaw("</report>\n");
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void XmlReport::Discard() {
    m_open.clear();
    m_file.Discard();
}

bool XmlReport::IsOpen(Element kind) const { return std::find(m_open.begin(), m_open.end(), kind) != m_open.end(); }

void XmlReport::CloseTop() {
    const Element kind = m_open.back();
    m_open.pop_back();
    switch (kind) {
        case Element::Section: WriteRaw("</section>\n"); break;
        case Element::Paragraph: WriteRaw("</paragraph>\n"); break;
        case Element::Heading: WriteRaw("</heading>\n"); break;
        case Element::Toc: WriteRaw("</toc>\n"); break;
        case Element::Table: WriteRaw("</table>\n"); break;
        case Element::Columns: WriteRaw("</columns>\n"); break;
        case Element::Row: WriteRaw("</row>\n"); break;
        case Element::Column: WriteRaw("</column>"); break;
        case Element::Cell: WriteRaw("</cell>"); break;
    }
}

bool XmlReport::CloseTo(Element kind) {
    if (!IsOpen(kind)) return false;
    while (!m_open.empty()) {
        const Element top = m_open.back();
        CloseTop();
        if (top == kind) break;
    }
    return true;
}

void XmlReport::CloseToSection() {
    while (!m_open.empty() && m_open.back() != Element::Section) CloseTop();
}

void XmlReport::OpenParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) {
    if (type >= 1 && type <= 6) {
        char tag[32];
        const int n = std::snprintf(tag, sizeof tag, "<heading level=\"%d\"", type);
        WriteRaw(std::string_view(tag, static_cast<size_t>(n)));
    } else {
        WriteRaw("<paragraph");
    }
    const std::wstring_view cls = ClassOf(attributes);
    if (!cls.empty()) {
        WriteRaw(" class=\"");
        WriteAttribute(cls);
        WriteRaw("\"");
    }
    WriteRaw(">");
    Push(type >= 1 && type <= 6 ? Element::Heading : Element::Paragraph);
}

void XmlReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    const CellFormat* const bare = BareCellFormat(handle);
    if (!bare) {
        AReport::FormattedCellUtf8(handle, columnName, text);
        return;
    }
    const CellFormat& format = *bare;
    FormattedCellCalls(format, columnName, [&] { TextUtf8(text); });
}

void XmlReport::TextUtf8(std::string_view text) {
    if (!m_open.empty()) {
        const Element top = m_open.back();
        if (top == Element::Paragraph || top == Element::Heading || top == Element::Cell || top == Element::Column) {
            markup::AppendXmlEscapedUtf8(m_file.Buffer(), text);
            m_file.MaybeFlush();
            return;
        }
    }
    tw::Utf8ToWide(text, m_decodedText);
    Text(m_decodedText, 0, {}, 0);
}

void XmlReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int) {
    if (!m_open.empty()) {
        const Element top = m_open.back();
        if (top == Element::Paragraph || top == Element::Heading || top == Element::Cell || top == Element::Column) {
            WriteEscaped(text);
            return;
        }
    }
    CloseToSection();
    OpenParagraph(type, attributes);
    WriteEscaped(text);
    CloseTop();
}

void XmlReport::BeginSubDocument(std::wstring_view, std::wstring_view file, std::wstring_view title) {
    CloseToSection();
    WriteRaw("<section file=\"");
    WriteAttribute(file);
    WriteRaw("\" title=\"");
    WriteAttribute(title);
    WriteRaw("\">\n");
    Push(Element::Section);
}

void XmlReport::EndSubDocument() { CloseTo(Element::Section); }

void XmlReport::Ancor(std::wstring_view name) {
    CloseToSection();
    WriteRaw("<anchor name=\"");
    WriteAttribute(name);
    WriteRaw("\"/>\n");
}

void XmlReport::EndOfLine() {
    if (!m_open.empty() && m_open.back() != Element::Section) WriteRaw("<br/>");
}

void XmlReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) {
    CloseToSection();
    OpenParagraph(type, attributes);
}

void XmlReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!CloseTo(Element::Paragraph)) CloseTo(Element::Heading);
}

void XmlReport::BeginToc() {
    CloseToSection();
    WriteRaw("<toc>\n");
    Push(Element::Toc);
}

void XmlReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    if (m_open.empty() || m_open.back() != Element::Toc) BeginToc();
    char levelText[32];
    const int n = std::snprintf(levelText, sizeof levelText, "\" level=\"%d\">", level);
    WriteRaw("<item anchor=\"");
    WriteAttribute(anchor);
    WriteRaw(std::string_view(levelText, static_cast<size_t>(n)));
    WriteEscaped(text);
    WriteRaw("</item>\n");
}

void XmlReport::EndToc() { CloseTo(Element::Toc); }

void XmlReport::BeginTable(std::wstring_view name, std::wstring_view) {
    CloseToSection();
    WriteRaw("<table name=\"");
    WriteAttribute(name);
    WriteRaw("\">\n");
    Push(Element::Table);
    m_columns.clear();
    m_columnsXml.clear();
}

void XmlReport::EndTable(std::wstring_view) { CloseTo(Element::Table); }

void XmlReport::BeginRow(std::wstring_view cls, std::wstring_view, int) {
    if (!IsOpen(Element::Table)) BeginTable(L"", {});
    while (m_open.back() != Element::Table) CloseTop();
    if (cls.empty() && m_columns.empty()) {
        WriteRaw("<columns>");
        Push(Element::Columns);
    } else {
        WriteRaw("<row>");
        Push(Element::Row);
    }
    m_cellIndex = 0;
}

void XmlReport::EndRow(std::wstring_view) {
    if (!CloseTo(Element::Row)) CloseTo(Element::Columns);
}

void XmlReport::OpenCell(std::wstring_view columnName, int header) {
    if (!m_open.empty() && (m_open.back() == Element::Cell || m_open.back() == Element::Column)) CloseTop();
    if (!IsOpen(Element::Row) && !IsOpen(Element::Columns)) BeginRow(header ? L"" : L"row", {}, 0);
    if (m_open.back() == Element::Columns) {
        WriteRaw("<column>");
        Push(Element::Column);
        return;
    }
    // The header name of this position is already escaped; a different name is escaped now.
    WriteRaw("<cell column=\"");
    if (m_cellIndex < m_columns.size() && (columnName.empty() || columnName == m_columns[m_cellIndex]))
        WriteRaw(m_columnsXml[m_cellIndex]);
    else
        WriteAttribute(columnName);
    WriteRaw("\">");
    Push(Element::Cell);
}

void XmlReport::BeginCell(std::wstring_view columnName, int header, std::wstring_view) {
    OpenCell(columnName, header);
}

void XmlReport::EndCell(std::wstring_view, int) {
    if (!m_open.empty() && (m_open.back() == Element::Cell || m_open.back() == Element::Column)) {
        CloseTop();
        ++m_cellIndex;
    }
}

void XmlReport::Cell(std::wstring_view text, int header, std::wstring_view) {
    OpenCell({}, header);
    if (m_open.back() == Element::Column) {
        m_columns.emplace_back(text);
        std::string escaped;
        markup::AppendXmlAttributeEscaped(escaped, text);  // written as the column attribute of cells
        m_columnsXml.push_back(std::move(escaped));
    }
    WriteEscaped(text);
    EndCell({}, header);
}
