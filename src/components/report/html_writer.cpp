#include "html_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "host.h"
#include "log.h"
#include "text.h"

namespace {

constexpr std::wstring_view kBody = L"%BODY%";

constexpr std::wstring_view kBuiltIn =
    LR"(<!DOCTYPE html>
<html lang="%LANGUAGE%">
<head>
<meta charset="%CHARSET%">
<meta name="author" content="%AUTHOR%">
<meta name="description" content="%DESCRIPTION%">
<title>%TITLE%</title>
<style>
body { font-family: sans-serif; margin: 1.5em; }
table { border-collapse: collapse; margin: 0.5em 0 1.5em; }
th, td { border: 1px solid #999; padding: 0.2em 0.5em; vertical-align: top; }
th { background: #eee; }
</style>
</head>
<body>
%BODY%
</body>
</html>
)";

const char* ParagraphTag(int type) {
    static const char* const tags[] = {"p", "h1", "h2", "h3", "h4", "h5", "h6"};
    return type >= 1 && type <= 6 ? tags[type] : tags[0];
}

std::wstring PropertyValue(const ReportSetup& setup, std::wstring_view name) {
    for (const auto& [placeholder, value] : setup.properties)
        if (placeholder == name) return value;
    return {};
}

}  // namespace

HtmlReport::HtmlReport() {
    m_open.reserve(16);
    m_usesCellColor = false;  // cell colours come with the attribute text
}

HtmlReport::~HtmlReport() = default;

std::wstring_view HtmlReport::BuiltInTemplate() { return kBuiltIn; }

int HtmlReport::GetTemplatesList(const std::wstring& folder, std::vector<std::wstring>& list) {
    std::error_code error;
    std::vector<std::wstring> names;
    for (std::filesystem::directory_iterator it(tw::ToPath(folder), error), end; !error && it != end;
         it.increment(error)) {
        const auto& path = it->path();
        if (path.extension() != ".htm" || !it->is_regular_file(error)) continue;
        names.push_back(tw::FromPath(path.stem()));
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        if ((a == L"Default") != (b == L"Default")) return a == L"Default";
        return a < b;
    });
    list.insert(list.end(), names.begin(), names.end());
    return static_cast<int>(names.size());
}

void HtmlReport::LoadTemplate() {
    const std::wstring charset = PropertyValue(m_setup, L"%CHARSET%");
    m_attributeCache.clear();  // encoded in the previous charset
    if (!m_encoder.SetCharset(charset) && !charset.empty())
        CLog::Bug(L"HtmlReport: unknown or unusable character set, the report is written in UTF-8", charset);

    const std::wstring name = m_setup.templ.empty() ? std::wstring(L"Default.htm") : m_setup.templ;
    const std::filesystem::path path = std::filesystem::path(DataDir()) / "tmpl" / tw::ToPath(name);
    std::wstring text;
    // A template is a plain file name inside tmpl/; a project cannot point the writer elsewhere.
    if (name.find_first_of(L"/\\") == std::wstring::npos && name != L".." && name != L".") {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (in.good() || in.eof()) text = tw::Utf8ToWide(bytes);
        }
    }
    if (!text.empty() && text.front() == 0xFEFF) text.erase(0, 1);
    size_t body = text.find(kBody);
    if (body == std::wstring::npos) {
        CLog::Bug(L"HtmlReport: the template is missing or has no %BODY%, the built-in page is used",
                  tw::FromPath(path));
        text = kBuiltIn;
        body = text.find(kBody);
    }
    m_head = text.substr(0, body);
    m_tail = text.substr(body + kBody.size());
}

void HtmlReport::WritePart(OutputFile& file, std::wstring_view part, std::wstring_view title) {
    std::string& out = file.Buffer();
    size_t pos = 0;
    while (pos < part.size()) {
        const size_t mark = part.find(L'%', pos);
        if (mark == std::wstring_view::npos) break;
        const std::wstring_view rest = part.substr(mark);
        bool replaced = false;
        auto replace = [&](std::wstring_view placeholder, std::wstring_view value) {
            if (replaced || !rest.starts_with(placeholder)) return;
            m_encoder.Append(out, part.substr(pos, mark - pos), false);
            m_encoder.Append(out, value, true);
            pos = mark + placeholder.size();
            replaced = true;
        };
        // The declared charset is the one the file is really written in.
        replace(L"%CHARSET%", m_encoder.Charset());
        if (!title.empty()) replace(L"%TITLE%", title);
        for (const auto& [placeholder, value] : m_setup.properties)
            if (!placeholder.empty()) replace(placeholder, value);
        // A standard placeholder that was never given is left empty rather than shown.
        for (const wchar_t* placeholder : {L"%TITLE%", L"%LANGUAGE%", L"%AUTHOR%", L"%DESCRIPTION%"})
            replace(placeholder, {});
        if (!replaced) {
            m_encoder.Append(out, part.substr(pos, mark + 1 - pos), false);
            pos = mark + 1;
        }
    }
    m_encoder.Append(out, part.substr(pos), false);
    file.MaybeFlush();
}

void HtmlReport::WriteHead(OutputFile& file, std::wstring_view title) { WritePart(file, m_head, title); }

void HtmlReport::WriteTail(OutputFile& file, std::wstring_view title) { WritePart(file, m_tail, title); }

int HtmlReport::Open() {
    m_error.clear();
    m_open.clear();
    m_openCount.fill(0);
    m_out = &m_file;
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    LoadTemplate();
    WriteHead(m_file);
    return RE_OK;
}

int HtmlReport::Close() {
    if (!m_file.IsOpen()) return RE_OK;
    SetOutput(nullptr);
    CloseAll();
    WriteTail(m_file);
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void HtmlReport::Discard() {
    SetOutput(nullptr);
    m_open.clear();
    m_openCount.fill(0);
    m_file.Discard();
}

void HtmlReport::Push(Element kind, int level) {
    m_open.push_back({kind, level});
    ++m_openCount[static_cast<size_t>(kind)];
}

HtmlReport::OpenElement HtmlReport::Pop() {
    const OpenElement top = m_open.back();
    m_open.pop_back();
    --m_openCount[static_cast<size_t>(top.kind)];
    return top;
}

bool HtmlReport::IsOpen(Element kind) const {
    return m_openCount[static_cast<size_t>(kind)] > 0;
}

void HtmlReport::CloseElement(Element kind, int level) {
    switch (kind) {
        case Element::Section: WriteRaw("</section>\n"); break;
        case Element::Paragraph:
            WriteRaw("</");
            WriteRaw(ParagraphTag(level));
            WriteRaw(">\n");
            break;
        case Element::Toc: WriteRaw("</ul></nav>\n"); break;
        case Element::Table: WriteRaw("</table>\n"); break;
        case Element::Head: WriteRaw("</thead>\n"); break;
        case Element::Body: WriteRaw("</tbody>\n"); break;
        case Element::Row: WriteRaw("</tr>\n"); break;
        case Element::Cell: WriteRaw("</td>"); break;
        case Element::HeaderCell: WriteRaw("</th>"); break;
        case Element::Bold: WriteRaw("</b>"); break;
        case Element::Italic: WriteRaw("</i>"); break;
        case Element::Size: WriteRaw("</span>"); break;
    }
}

bool HtmlReport::CloseTo(Element kind) {
    if (!IsOpen(kind)) return false;
    while (!m_open.empty()) {
        const OpenElement top = Pop();
        CloseElement(top.kind, top.level);
        if (top.kind == kind) break;
    }
    return true;
}

void HtmlReport::CloseAll() {
    while (!m_open.empty()) {
        const OpenElement top = Pop();
        CloseElement(top.kind, top.level);
    }
}

void HtmlReport::LeaveTableForText() {
    if (m_open.empty()) return;
    const Element top = m_open.back().kind;
    if (top == Element::Toc) {
        CloseTo(Element::Toc);
    } else if (top == Element::Table || top == Element::Head || top == Element::Body || top == Element::Row) {
        CloseTo(Element::Table);
    }
}

void HtmlReport::WriteAttributes(std::wstring_view attributes) {
    if (attributes.empty()) return;
    // The engine passes the same few attribute texts (one per column and marker state) for every cell, from
    // texts that stay put for a result set: their bytes are encoded once and looked up by address, then
    // checked by content, since a text may change in place. The bytes go straight into the buffer; both callers
    // end the tag with a write that flushes when the buffer is full.
    for (AttributeBytes& entry : m_attributeCache) {
        if (entry.data == attributes.data() && entry.text == attributes) {
            m_out->Buffer().append(entry.bytes);
            return;
        }
    }
    AttributeBytes& entry = m_attributeCache.size() < kAttributeCacheSize
                                ? m_attributeCache.emplace_back()
                                : m_attributeCache[m_attributeCacheNext++ % kAttributeCacheSize];
    entry.data = attributes.data();
    entry.text.assign(attributes);
    entry.bytes.clear();
    EncodeAttributes(entry.bytes, attributes);
    m_out->Buffer().append(entry.bytes);
}

void HtmlReport::EncodeAttributes(std::string& out, std::wstring_view attributes) {
    constexpr std::wstring_view kStyle = L"style=\"";
    const size_t first = attributes.find(kStyle);
    if (first == std::wstring_view::npos || attributes.find(kStyle, first + 1) == std::wstring_view::npos) {
        if (attributes.front() != L' ') out.push_back(' ');
        m_encoder.Append(out, attributes, false);
        return;
    }
    // Several style attributes: one attribute with all their declarations, the other attributes as they are.
    std::wstring merged;
    std::wstring_view rest = attributes;
    std::wstring declarations;
    while (true) {
        const size_t start = rest.find(kStyle);
        if (start == std::wstring_view::npos) break;
        const size_t end = rest.find(L'"', start + kStyle.size());
        if (end == std::wstring_view::npos) break;
        merged.append(rest.substr(0, start));
        std::wstring_view declaration = rest.substr(start + kStyle.size(), end - start - kStyle.size());
        while (!declaration.empty() && declaration.back() == L' ') declaration.remove_suffix(1);
        if (!declaration.empty()) {
            if (!declarations.empty()) declarations.push_back(L' ');
            declarations.append(declaration);
            if (declaration.back() != L';') declarations.push_back(L';');
        }
        rest = rest.substr(end + 1);
    }
    merged.append(rest);
    while (!merged.empty() && merged.back() == L' ') merged.pop_back();
    merged.append(L" style=\"").append(declarations).push_back(L'"');
    if (merged.front() != L' ') out.push_back(' ');
    m_encoder.Append(out, merged, false);
}

void HtmlReport::OpenParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) {
    WriteRaw("<");
    WriteRaw(ParagraphTag(type));
    WriteAttributes(attributes);
    WriteRaw(">");
}

void HtmlReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) {
    const bool inside = !m_open.empty() && m_open.back().kind != Element::Section &&
                        m_open.back().kind != Element::Toc && m_open.back().kind != Element::Table &&
                        m_open.back().kind != Element::Head && m_open.back().kind != Element::Body &&
                        m_open.back().kind != Element::Row;
    if (inside) {
        Append(text, markup != 1);
        return;
    }
    LeaveTableForText();
    OpenParagraph(type, attributes);
    Append(text, markup != 1);
    CloseElement(Element::Paragraph, type);
}

void HtmlReport::BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) {
    while (!m_open.empty() && m_open.back().kind != Element::Section) CloseTo(m_open.back().kind);
    WriteRaw("<section class=\"part\">\n");
    Push(Element::Section);
}

void HtmlReport::EndSubDocument() { CloseTo(Element::Section); }

void HtmlReport::Ancor(std::wstring_view name) {
    LeaveTableForText();
    WriteRaw("<a id=\"");
    WriteEscaped(name);
    WriteRaw("\"></a>\n");
}

void HtmlReport::EndOfLine() { WriteRaw("<br>\n"); }

void HtmlReport::BeginStyle(int style, int size) {
    switch (style) {
        case RS_BOLD:
            WriteRaw("<b>");
            Push(Element::Bold);
            break;
        case RS_ITALIC:
            WriteRaw("<i>");
            Push(Element::Italic);
            break;
        case RS_SIZE:
            if (size > 0) {
                char digits[16];
                const auto result = std::to_chars(digits, digits + sizeof digits, size);
                WriteRaw("<span style=\"font-size: ");
                WriteRaw(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
                WriteRaw("pt\">");
            } else {
                WriteRaw("<span>");
            }
            Push(Element::Size);
            break;
        default: break;
    }
}

void HtmlReport::EndStyle(int style, int) {
    const Element kind = style == RS_BOLD ? Element::Bold : style == RS_ITALIC ? Element::Italic : Element::Size;
    if (style != RS_BOLD && style != RS_ITALIC && style != RS_SIZE) return;
    // Only a style opened in the current cell or paragraph; a size style that outlived its cell was ended with
    // the cell, so its late EndStyle has nothing left to do.
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
        if (it->kind == kind) {
            CloseTo(kind);
            return;
        }
        if (it->kind != Element::Bold && it->kind != Element::Italic && it->kind != Element::Size) return;
    }
}

void HtmlReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) {
    LeaveTableForText();
    if (!m_open.empty() && m_open.back().kind == Element::Paragraph) CloseTo(Element::Paragraph);
    OpenParagraph(type, attributes);
    Push(Element::Paragraph, type >= 1 && type <= 6 ? type : 0);
}

void HtmlReport::EndParagraph(PARAGRAPH_TYPE) { CloseTo(Element::Paragraph); }

void HtmlReport::BeginToc() {
    LeaveTableForText();
    WriteRaw("<nav class=\"toc\"><ul>\n");
    Push(Element::Toc);
}

void HtmlReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    if (m_open.empty() || m_open.back().kind != Element::Toc) BeginToc();
    if (level > 0) {
        char tag[48];
        const int n = std::snprintf(tag, sizeof tag, "<li class=\"toc-level-%d\">", level);
        WriteRaw(std::string_view(tag, static_cast<size_t>(n)));
    } else {
        WriteRaw("<li>");
    }
    WriteRaw("<a href=\"#");
    WriteEscaped(anchor);
    WriteRaw("\">");
    WriteEscaped(text);
    WriteRaw("</a></li>\n");
}

void HtmlReport::EndToc() { CloseTo(Element::Toc); }

void HtmlReport::BeginTable(std::wstring_view name, std::wstring_view) {
    while (!m_open.empty() && m_open.back().kind != Element::Section && m_open.back().kind != Element::Cell &&
           m_open.back().kind != Element::HeaderCell)
        CloseTo(m_open.back().kind);
    if (name.empty()) {
        WriteRaw("<table>\n");
    } else {
        WriteRaw("<table class=\"");
        WriteEscaped(name);
        WriteRaw("\">\n");
    }
    Push(Element::Table);
}

void HtmlReport::EndTable(std::wstring_view) { CloseTo(Element::Table); }

void HtmlReport::BeginRow(std::wstring_view cls, std::wstring_view, int) {
    if (!IsOpen(Element::Table)) BeginTable({}, {});
    if (IsOpen(Element::Row)) CloseTo(Element::Row);
    const Element group = m_open.back().kind;
    if (cls.empty()) {
        if (group == Element::Table) {
            WriteRaw("<thead>\n");
            Push(Element::Head);
        }
        WriteRaw("<tr>");
    } else {
        if (group == Element::Head) CloseTo(Element::Head);
        if (m_open.back().kind == Element::Table) {
            WriteRaw("<tbody>\n");
            Push(Element::Body);
        }
        WriteRaw("<tr class=\"");
        WriteEscaped(cls);
        WriteRaw("\">");
    }
    Push(Element::Row);
}

void HtmlReport::EndRow(std::wstring_view) { CloseTo(Element::Row); }

void HtmlReport::BeginCell(std::wstring_view, int header, std::wstring_view attributes) {
    if (!CloseTo(Element::Cell)) CloseTo(Element::HeaderCell);  // a cell left open
    if (!IsOpen(Element::Row)) BeginRow(header ? L"" : L"row", {}, 0);
    // The opening tag in one go: tag name, cached attribute bytes and ">" appended, then one flush check.
    std::string& buffer = m_out->Buffer();
    buffer.append(header ? "<th" : "<td", 3);
    WriteAttributes(attributes);
    buffer.push_back('>');
    m_out->MaybeFlush();
    Push(header ? Element::HeaderCell : Element::Cell);
}

void HtmlReport::EndCell(std::wstring_view, int header) {
    if (!CloseTo(header ? Element::HeaderCell : Element::Cell)) CloseTo(header ? Element::Cell : Element::HeaderCell);
}

int HtmlReport::PrepareCell(const CellFormat& format) {
    const int handle = AReport::PrepareCell(format);
    while (m_cellMarkup.size() < m_cellFormats.size()) {
        const CellFormat& prepared = m_cellFormats[m_cellMarkup.size()];
        CellMarkup& markup = m_cellMarkup.emplace_back();
        // The bytes BeginCell, BeginStyle, EndStyle and EndCell write for this format.
        markup.open = "<td";
        if (!prepared.attributes.empty()) EncodeAttributes(markup.open, prepared.attributes);
        markup.open += '>';
        if (prepared.size > 0) {
            markup.open += "<span style=\"font-size: " + std::to_string(prepared.size) + "pt\">";
        } else if (prepared.size < 0) {
            markup.open += "<span>";
        }
        if (prepared.bold) markup.open += "<b>";
        if (prepared.italic) markup.open += "<i>";
        // The text around every value is encoded once here, unless the charset needs whole texts.
        markup.joined = !m_encoder.EncodesPieceByPiece() && !(prepared.before.empty() && prepared.after.empty());
        if (!markup.joined) {
            m_encoder.Append(markup.open, prepared.before, true);
            m_encoder.Append(markup.close, prepared.after, true);
        }
        if (prepared.italic) markup.close += "</i>";
        if (prepared.bold) markup.close += "</b>";
        if (prepared.size) markup.close += "</span>";
        markup.close += "</td>";
    }
    return handle;
}

const HtmlReport::CellMarkup* HtmlReport::InlineCell(int handle) const {
    // Inside a row, the common case, the whole cell is appended in one go; anywhere else the element calls
    // sort out what is open.
    if (handle < 0 || static_cast<size_t>(handle) >= m_cellMarkup.size() || m_open.empty() ||
        m_open.back().kind != Element::Row)
        return nullptr;
    return &m_cellMarkup[static_cast<size_t>(handle)];
}

void HtmlReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    const CellMarkup* markup = InlineCell(handle);
    if (!markup || markup->joined) {
        AReport::FormattedCellUtf8(handle, columnName, text);
        return;
    }
    std::string& buffer = m_out->Buffer();
    buffer.append(markup->open);
    m_encoder.AppendUtf8(buffer, text, true);
    buffer.append(markup->close);
    m_out->MaybeFlush();
}

void HtmlReport::FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) {
    const CellMarkup* inlineMarkup = InlineCell(handle);
    if (!inlineMarkup) {
        AReport::FormattedCell(handle, columnName, text);
        return;
    }
    const CellMarkup& markup = *inlineMarkup;
    std::string& buffer = m_out->Buffer();
    buffer.append(markup.open);
    if (markup.joined) {
        const CellFormat& format = m_cellFormats[static_cast<size_t>(handle)];
        m_cellText.assign(format.before).append(text).append(format.after);
        text = m_cellText;
    }
    m_encoder.Append(buffer, text, true);
    buffer.append(markup.close);
    m_out->MaybeFlush();
}

void HtmlReport::Cell(std::wstring_view text, int header, std::wstring_view attributes) {
    BeginCell({}, header, attributes);
    WriteEscaped(text);
    EndCell({}, header);
}
