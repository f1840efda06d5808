#include "excel_writer.h"

#include <algorithm>
#include <cwctype>

#include "markup.h"
#include "text.h"

namespace {

const char* const kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<?mso-application progid=\"Excel.Sheet\"?>\n"
    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
    "xmlns:o=\"urn:schemas-microsoft-com:office:office\" xmlns:x=\"urn:schemas-microsoft-com:office:excel\" "
    "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\" xmlns:html=\"http://www.w3.org/TR/REC-html40\">\n";

const char* const kOwnStyles =
    "<Style ss:ID=\"Default\" ss:Name=\"Normal\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"1\"/>"
    "<Font ss:FontName=\"Arial\" ss:Size=\"10\"/></Style>\n"
    "<Style ss:ID=\"twHeader\"><Font ss:Bold=\"1\"/><Interior ss:Color=\"#E8ECF2\" ss:Pattern=\"Solid\"/></Style>\n"
    "<Style ss:ID=\"twHeading1\"><Font ss:Bold=\"1\" ss:Size=\"16\"/></Style>\n"
    "<Style ss:ID=\"twHeading2\"><Font ss:Bold=\"1\" ss:Size=\"14\"/></Style>\n"
    "<Style ss:ID=\"twHeading3\"><Font ss:Bold=\"1\" ss:Size=\"12\"/></Style>\n"
    "<Style ss:ID=\"twHeading4\"><Font ss:Bold=\"1\" ss:Size=\"11\" ss:Color=\"#A40000\"/></Style>\n"
    "<Style ss:ID=\"twHeading5\"><Font ss:Bold=\"1\" ss:Size=\"10\"/></Style>\n"
    "<Style ss:ID=\"twHeading6\"><Font ss:Bold=\"1\" ss:Italic=\"1\" ss:Size=\"10\"/></Style>\n";

// The colour names the rule pages offer, as the #RRGGBB the format wants.
const wchar_t* ColourValue(std::wstring_view name) {
    struct Colour {
        const wchar_t* name;
        const wchar_t* value;
    };
    static const Colour colours[] = {
        {L"black", L"#000000"},    {L"blue", L"#0000FF"},      {L"cyan", L"#00FFFF"},  {L"darkgrey", L"#808080"},
        {L"green", L"#008000"},    {L"grey", L"#C0C0C0"},      {L"gray", L"#C0C0C0"},  {L"lightgrey", L"#E0E0E0"},
        {L"magenta", L"#FF00FF"},  {L"red", L"#FF0000"},       {L"white", L"#FFFFFF"}, {L"yellow", L"#FFFF00"},
        {L"darkgray", L"#808080"}, {L"lightgray", L"#E0E0E0"},
    };
    std::wstring lower(name);
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    for (const auto& colour : colours)
        if (lower == colour.name) return colour.value;
    return nullptr;
}

// The style blocks with named colours replaced.
std::wstring WithHexColours(std::wstring_view styles) {
    constexpr std::wstring_view key = L"ss:Color=\"";
    std::wstring out;
    size_t pos = 0;
    while (true) {
        const size_t start = styles.find(key, pos);
        if (start == std::wstring_view::npos) break;
        const size_t valueStart = start + key.size();
        const size_t end = styles.find(L'"', valueStart);
        if (end == std::wstring_view::npos) break;
        out.append(styles.substr(pos, valueStart - pos));
        const std::wstring_view value = styles.substr(valueStart, end - valueStart);
        const wchar_t* hex = ColourValue(value);
        out.append(hex ? std::wstring_view(hex) : value);
        pos = end;
    }
    out.append(styles.substr(pos));
    return out;
}

}  // namespace

std::wstring ExcelReport::SheetName(std::wstring_view title, std::vector<std::wstring>& taken) {
    std::wstring name;
    for (const wchar_t c : title) {
        if (c == L'[' || c == L']' || c == L':' || c == L'*' || c == L'?' || c == L'/' || c == L'\\')
            name.push_back(L'_');
        else if (c >= 0x20 && !markup::IsUnsafeChar(static_cast<char32_t>(c)))
            name.push_back(c);
    }
    while (!name.empty() && (name.front() == L'\'' || name.front() == L' ')) name.erase(0, 1);
    while (!name.empty() && (name.back() == L'\'' || name.back() == L' ')) name.pop_back();
    if (name.empty()) name = L"Sheet";
    if (name.size() > 31) name.resize(31);
    auto lower = [](std::wstring text) {
        for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
        return text;
    };
    std::wstring candidate = name;
    for (int number = 2; std::find(taken.begin(), taken.end(), lower(candidate)) != taken.end(); ++number) {
        const std::wstring suffix = L" (" + std::to_wstring(number) + L")";
        candidate = name.substr(0, 31 - suffix.size()) + suffix;
        while (candidate.size() > suffix.size() && candidate[candidate.size() - suffix.size() - 1] == L'\'')
            candidate.erase(candidate.size() - suffix.size() - 1, 1);
    }
    taken.push_back(lower(candidate));
    return candidate;
}

int ExcelReport::Open() {
    m_error.clear();
    m_pending.clear();
    m_sheetNames.clear();
    m_styleIds.clear();
    m_styleIdsXml.clear();
    m_lastStyle.clear();
    m_lastStyleXml = nullptr;
    m_sheetOpen = m_inSubDocument = m_implicitSheet = m_inRow = m_inCell = m_inParagraph = false;
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());

    // The style names that SetCellColor may refer to.
    constexpr std::wstring_view key = L"ss:ID=\"";
    const std::wstring_view styles = m_setup.styles;
    for (size_t pos = styles.find(key); pos != std::wstring_view::npos; pos = styles.find(key, pos)) {
        pos += key.size();
        const size_t end = styles.find(L'"', pos);
        if (end == std::wstring_view::npos) break;
        m_styleIds.emplace_back(styles.substr(pos, end - pos));
        std::string escaped;
        markup::AppendXmlEscaped(escaped, m_styleIds.back());
        m_styleIdsXml.push_back(std::move(escaped));
        pos = end;
    }

    m_file.Write(kHead);
    m_file.Write("<DocumentProperties xmlns=\"urn:schemas-microsoft-com:office:office\">");
    for (const auto& [placeholder, value] : m_setup.properties) {
        const char* element = placeholder == L"%TITLE%"         ? "Title"
                              : placeholder == L"%AUTHOR%"      ? "Author"
                              : placeholder == L"%DESCRIPTION%" ? "Description"
                                                                : nullptr;
        if (!element || value.empty()) continue;
        m_file.Write("<");
        m_file.Write(element);
        m_file.Write(">");
        markup::AppendXmlEscaped(m_file.Buffer(), value);
        m_file.Write("</");
        m_file.Write(element);
        m_file.Write(">");
    }
    m_file.Write("</DocumentProperties>\n<Styles>\n");
    m_file.Write(kOwnStyles);
    tw::AppendUtf8(m_file.Buffer(), WithHexColours(m_setup.styles));
    m_file.Write("</Styles>\n");
    return RE_OK;
}

int ExcelReport::Close() {
    if (!m_file.IsOpen()) return RE_OK;
    FinishRow();
    m_inSubDocument = false;
    if (!m_sheetOpen) OpenSheet(L"Report");  // a workbook needs one worksheet; it takes the waiting rows
    m_file.Write(m_pending);
    m_pending.clear();
    CloseSheet();
    m_file.Write("</Workbook>\n");
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void ExcelReport::Discard() {
    m_pending.clear();
    m_sheetOpen = m_inSubDocument = m_implicitSheet = m_inRow = m_inCell = m_inParagraph = false;
    m_file.Discard();
}

void ExcelReport::OpenSheet(std::wstring_view title) {
    CloseSheet();
    m_file.Write("<Worksheet ss:Name=\"");
    markup::AppendXmlEscaped(m_file.Buffer(), SheetName(title, m_sheetNames));
    m_file.Write("\">\n<Table>\n");
    m_file.Write(m_pending);
    m_pending.clear();
    m_sheetOpen = true;
}

void ExcelReport::CloseSheet() {
    if (!m_sheetOpen) return;
    m_file.Write("</Table>\n<WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">");
    if (m_setup.landscape) m_file.Write("<PageSetup><Layout x:Orientation=\"Landscape\"/></PageSetup>");
    m_file.Write("</WorksheetOptions>\n</Worksheet>\n");
    m_sheetOpen = false;
}

void ExcelReport::FinishRow() {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (m_inRow) {
        Sink().append("</Row>\n");
        m_inRow = false;
        Flushed();
    }
}

void ExcelReport::TextRow(std::wstring_view text, PARAGRAPH_TYPE type) {
    std::string& out = Sink();
    out.append("<Row><Cell");
    if (type >= 1 && type <= 6) {
        out.append(" ss:StyleID=\"twHeading");
        out.push_back(static_cast<char>('0' + type));
        out.push_back('"');
    }
    out.append("><Data ss:Type=\"String\">");
    markup::AppendXmlEscaped(out, text);
    out.append("</Data></Cell></Row>\n");
    Flushed();
}

void ExcelReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view, int) {
    if (m_inCell) {
        m_cell.append(text);
    } else if (m_inParagraph) {
        m_paragraph.append(text);
    } else if (m_inRow) {
        WriteCell(text, 0);
    } else {
        TextRow(text, type);
    }
}

void ExcelReport::EndOfLine() {
    if (m_inCell)
        m_cell.push_back(L'\n');
    else if (m_inParagraph)
        m_paragraph.push_back(L'\n');
}

void ExcelReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view) {
    FinishRow();
    m_paragraph.clear();
    m_paragraphType = type;
    m_inParagraph = true;
}

void ExcelReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!m_inParagraph) return;
    m_inParagraph = false;
    TextRow(m_paragraph, m_paragraphType);
}

void ExcelReport::TocItem(std::wstring_view, std::wstring_view text, int) {
    FinishRow();
    TextRow(text, 0);
}

void ExcelReport::BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view title) {
    FinishRow();
    if (m_implicitSheet) EndSubDocument();
    OpenSheet(title);
    m_inSubDocument = true;
}

void ExcelReport::EndSubDocument() {
    FinishRow();
    m_inSubDocument = false;
    m_implicitSheet = false;
}

void ExcelReport::BeginTable(std::wstring_view name, std::wstring_view) {
    FinishRow();
    // Rows of a table never wait in memory: outside a sub-document the table gets a worksheet of its own.
    if (!m_inSubDocument) {
        BeginSubDocument({}, {}, name);
        m_implicitSheet = true;
    }
}

void ExcelReport::EndTable(std::wstring_view) {
    FinishRow();
    if (m_implicitSheet) EndSubDocument();
}

void ExcelReport::BeginRow(std::wstring_view, std::wstring_view, int) {
    FinishRow();
    Sink().append("<Row>");
    m_inRow = true;
}

void ExcelReport::EndRow(std::wstring_view) { FinishRow(); }

void ExcelReport::BeginCell(std::wstring_view, int header, std::wstring_view) {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (!m_inRow) BeginRow({}, {}, 0);
    m_cell.clear();
    m_inCell = true;
    m_cellHeader = header != 0;
}

void ExcelReport::EndCell(std::wstring_view, int) {
    if (!m_inCell) return;
    m_inCell = false;
    WriteCell(m_cell, m_cellHeader);
}

void ExcelReport::Cell(std::wstring_view text, int header, std::wstring_view) {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (!m_inRow) BeginRow({}, {}, 0);
    WriteCell(text, header);
}

const std::string* ExcelReport::KnownStyle(const std::wstring& name) {
    if (name != m_lastStyle) {
        m_lastStyle = name;
        m_lastStyleXml = nullptr;
        for (size_t i = 0; i < m_styleIds.size(); ++i)
            if (m_styleIds[i] == name) m_lastStyleXml = &m_styleIdsXml[i];
    }
    return m_lastStyleXml;
}

void ExcelReport::WriteCell(std::wstring_view value, int header) {
    std::string& out = Sink();
    out.append("<Cell");
    if (header) {
        out.append(" ss:StyleID=\"twHeader\"");
    } else if (!m_cellStyle.empty()) {
        if (const std::string* style = KnownStyle(m_cellStyle)) {
            out.append(" ss:StyleID=\"");
            out.append(*style);
            out.push_back('"');
        }
    }
    if (value.empty()) {
        out.append("/>");
    } else {
        out.append(!header && markup::IsCanonicalNumber(value) ? "><Data ss:Type=\"Number\">"
                                                               : "><Data ss:Type=\"String\">");
        markup::AppendXmlEscaped(out, value);
        out.append("</Data></Cell>");
    }
    Flushed();
}
