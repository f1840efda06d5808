#include "excel_writer.h"

#include <algorithm>
#include <cwctype>

#include "markup.h"
#include "spreadsheet_look.h"
#include "spreadsheet_value.h"
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
    "<Style ss:ID=\"twLine\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/></Style>\n"
    "<Style ss:ID=\"twHeading1\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Size=\"16\"/></Style>\n"
    "<Style ss:ID=\"twHeading2\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Size=\"14\"/></Style>\n"
    "<Style ss:ID=\"twHeading3\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Size=\"12\"/></Style>\n"
    "<Style ss:ID=\"twHeading4\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Size=\"11\" ss:Color=\"#A40000\"/></Style>\n"
    "<Style ss:ID=\"twHeading5\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Size=\"10\"/></Style>\n"
    "<Style ss:ID=\"twHeading6\"><Alignment ss:Vertical=\"Top\" ss:WrapText=\"0\"/><Font ss:Bold=\"1\" ss:Italic=\"1\" ss:Size=\"10\"/></Style>\n";

// Date cells: the number formats of the three DateTime cell kinds, and the suffix of their style names.
struct DateFormat {
    const char* suffix;
    const char* format;
};
const DateFormat kDateFormats[] = {
    {"twDate", "yyyy-mm-dd"},
    {"twDateTime", "yyyy-mm-dd hh:mm:ss"},
    {"twDateTimeMs", "yyyy-mm-dd hh:mm:ss.000"},
};

// Column widths in points: Arial 10 averages about 5.5 points a character; wide (East Asian) characters
// count twice. Bounds keep an empty column clickable and a long text from pushing the others off screen.
constexpr double kPointsPerChar = 5.6, kHeaderPointsPerChar = 6.3, kCellPadding = 9;
constexpr double kMinColumnWidth = 28, kMaxColumnWidth = 300;
// Rows measured before the widths are written; the rows wait in memory until then.
constexpr int kMeasuredRows = 100;

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
        const wchar_t* hex = spreadsheet::ColourValue(value);
        out.append(hex ? std::wstring_view(hex) : value);
        pos = end;
    }
    out.append(styles.substr(pos));
    return out;
}

// A cell has one style: for every style block of SetStyles, one copy per date format, named
// <ID><suffix>, so that a dated cell under a rule keeps both its look and its date format.
std::wstring DateStyleVariants(std::wstring_view styles) {
    constexpr std::wstring_view open = L"<Style", close = L"</Style>", id = L"ss:ID=\"";
    std::wstring out;
    for (size_t pos = styles.find(open); pos != std::wstring_view::npos; pos = styles.find(open, pos)) {
        const size_t tagEnd = styles.find(L'>', pos);
        const size_t end = tagEnd == std::wstring_view::npos ? tagEnd : styles.find(close, tagEnd);
        if (end == std::wstring_view::npos || styles[tagEnd - 1] == L'/') break;
        const std::wstring_view tag = styles.substr(pos, tagEnd - pos);
        const std::wstring_view inner = styles.substr(tagEnd + 1, end - tagEnd - 1);
        pos = end + close.size();
        const size_t idStart = tag.find(id);
        const size_t idEnd = idStart == std::wstring_view::npos ? idStart : tag.find(L'"', idStart + id.size());
        if (idEnd == std::wstring_view::npos || inner.find(L"NumberFormat") != std::wstring_view::npos) continue;
        for (const DateFormat& date : kDateFormats) {
            out.append(tag.substr(0, idEnd));
            for (const char* c = date.suffix; *c; ++c) out.push_back(static_cast<wchar_t>(*c));
            out.append(tag.substr(idEnd)).push_back(L'>');
            out.append(inner).append(L"<NumberFormat ss:Format=\"");
            for (const char* c = date.format; *c; ++c) out.push_back(static_cast<wchar_t>(*c));
            out.append(L"\"/></Style>\n");
        }
    }
    return out;
}

void AppendAscii(std::wstring& out, const char* text) {
    for (; *text; ++text) out.push_back(static_cast<wchar_t>(*text));
}

void AppendOwnStyles(std::wstring& out) {
    AppendAscii(out, kOwnStyles);
    for (const DateFormat& date : kDateFormats) {
        AppendAscii(out, "<Style ss:ID=\"");
        AppendAscii(out, date.suffix);
        AppendAscii(out, "\"><NumberFormat ss:Format=\"");
        AppendAscii(out, date.format);
        AppendAscii(out, "\"/></Style>\n");
    }
}

// LibreOffice reads a style's fill and number format as those of the style before it when it names none, and
// no element resets a fill. So every style names its number format, and the styles with a fill come last.
std::wstring InLibreOfficeOrder(std::wstring_view styles) {
    constexpr std::wstring_view open = L"<Style", close = L"</Style>";
    std::wstring plain, filled;
    size_t pos = styles.find(open);
    plain.append(styles.substr(0, pos));
    while (pos != std::wstring_view::npos) {
        const size_t end = styles.find(close, pos);
        if (end == std::wstring_view::npos) {
            plain.append(styles.substr(pos));
            break;
        }
        const std::wstring_view block = styles.substr(pos, end - pos);
        std::wstring& group = block.find(L"<Interior") == std::wstring_view::npos ? plain : filled;
        group.append(block);
        if (block.find(L"<NumberFormat") == std::wstring_view::npos) group.append(L"<NumberFormat ss:Format=\"General\"/>");
        group.append(close).push_back(L'\n');
        pos = styles.find(open, end);
    }
    return plain + filled;
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
    m_inTable = m_measuring = false;
    m_sheetRows.clear();
    m_cellType = 0;
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
        markup::AppendXmlAttributeEscaped(escaped, m_styleIds.back());
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
    std::wstring allStyles;
    AppendOwnStyles(allStyles);
    const std::wstring userStyles = WithHexColours(m_setup.styles);
    allStyles.append(userStyles).append(DateStyleVariants(userStyles));
    tw::AppendUtf8(m_file.Buffer(), InLibreOfficeOrder(allStyles));
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
    markup::AppendXmlAttributeEscaped(m_file.Buffer(), SheetName(title, m_sheetNames));
    m_file.Write("\">\n<Table>\n");
    // The rows wait until the first table's widths are known: <Column> comes before every <Row>.
    m_sheetRows.swap(m_pending);
    m_pending.clear();
    m_measuring = true;
    m_widths.clear();
    m_measuredRows = 0;
    m_sheetOpen = true;
}

void ExcelReport::WriteColumns() {
    if (!m_measuring) return;
    m_measuring = false;
    for (const double width : m_widths) {
        m_file.Write("<Column ss:AutoFitWidth=\"0\" ss:Width=\"");
        m_file.Write(std::to_string(static_cast<int>(std::clamp(width, kMinColumnWidth, kMaxColumnWidth) + 0.5)));
        m_file.Write("\"/>\n");
    }
    m_file.Write(m_sheetRows);
    m_sheetRows.clear();
    m_sheetRows.shrink_to_fit();
    m_file.MaybeFlush();
}

void ExcelReport::CloseSheet() {
    if (!m_sheetOpen) return;
    WriteColumns();
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
        if (m_measuring && m_inTable && ++m_measuredRows >= kMeasuredRows) WriteColumns();
    }
}

void ExcelReport::TextRow(std::wstring_view text, PARAGRAPH_TYPE type) {
    std::string& out = Sink();
    out.append("<Row><Cell");
    // A line of text runs on over the empty cells to its right instead of wrapping in the first column's
    // width; text with line breaks keeps them and wraps.
    if (type >= 1 && type <= 6) {
        out.append(" ss:StyleID=\"twHeading");
        out.push_back(static_cast<char>('0' + type));
        out.push_back('"');
    } else if (text.find(L'\n') == std::wstring_view::npos) {
        out.append(" ss:StyleID=\"twLine\"");
    }
    out.append("><Data ss:Type=\"String\">");
    markup::AppendXmlEscaped(out, text);
    out.append("</Data></Cell></Row>\n");
    Flushed();
}

void ExcelReport::TextCell(std::wstring_view text) { WriteCell(text, 0); }





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
    m_inTable = true;
    // Rows of a table never wait in memory: outside a sub-document the table gets a worksheet of its own.
    if (!m_inSubDocument) {
        BeginSubDocument({}, {}, name);
        m_implicitSheet = true;
    }
}

void ExcelReport::EndTable(std::wstring_view) {
    FinishRow();
    m_inTable = false;
    if (m_inSubDocument) WriteColumns();
    if (m_implicitSheet) EndSubDocument();
}

void ExcelReport::BeginRow(std::wstring_view, std::wstring_view, int) {
    FinishRow();
    Sink().append("<Row>");
    m_inRow = true;
    m_columnIndex = 0;
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

void ExcelReport::FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) {
    m_cellType = handle >= 0 && static_cast<size_t>(handle) < m_cellFormats.size()
                     ? m_cellFormats[static_cast<size_t>(handle)].valueType
                     : 0;
    AReport::FormattedCell(handle, columnName, text);
    m_cellType = 0;
}

void ExcelReport::Measure(std::wstring_view value, spreadsheet::CellKind kind, int header) {
    const size_t column = m_columnIndex;
    if (m_widths.size() <= column) m_widths.resize(column + 1, 0.0);
    size_t chars = spreadsheet::LongestLine(value);
    if (kind == spreadsheet::CellKind::Date) chars = 10;
    if (kind == spreadsheet::CellKind::DateTime) chars = spreadsheet::HasFraction(value) ? 23 : 19;
    const double width = static_cast<double>(chars) * (header ? kHeaderPointsPerChar : kPointsPerChar) + kCellPadding;
    m_widths[column] = std::max(m_widths[column], width);
}

void ExcelReport::WriteCell(std::wstring_view value, int header) {
    using spreadsheet::CellKind;
    const CellKind kind = header ? CellKind::String : spreadsheet::Classify(value, m_cellType);
    if (m_measuring && m_inTable) Measure(value, kind, header);
    ++m_columnIndex;
    const char* dateSuffix = nullptr;
    if (kind == CellKind::Date) dateSuffix = kDateFormats[0].suffix;
    if (kind == CellKind::DateTime) dateSuffix = kDateFormats[spreadsheet::HasFraction(value) ? 2 : 1].suffix;
    std::string& out = Sink();
    out.append("<Cell");
    const std::string* style = header || m_cellStyle.empty() ? nullptr : KnownStyle(m_cellStyle);
    if (header) {
        out.append(" ss:StyleID=\"twHeader\"");
    } else if (style || dateSuffix) {
        out.append(" ss:StyleID=\"");
        if (style) out.append(*style);
        if (dateSuffix) out.append(dateSuffix);
        out.push_back('"');
    }
    if (value.empty()) {
        out.append("/>");
    } else if (dateSuffix) {
        out.append("><Data ss:Type=\"DateTime\">");
        out.append(spreadsheet::DateTimeText(value));
        out.append("</Data></Cell>");
    } else {
        out.append(kind == CellKind::Number ? "><Data ss:Type=\"Number\">" : "><Data ss:Type=\"String\">");
        markup::AppendXmlEscaped(out, value);
        out.append("</Data></Cell>");
    }
    Flushed();
}
