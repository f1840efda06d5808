#include "xlsx_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>

#include "excel_writer.h"
#include "log.h"
#include "spreadsheet_look.h"
#include "text.h"

namespace {

using spreadsheet::CellKind;

// The number formats of date cells, by Look::number.
const char* const kNumberFormats[] = {nullptr, "yyyy-mm-dd", "yyyy-mm-dd hh:mm:ss", "yyyy-mm-dd hh:mm:ss.000"};

// Column widths in characters of the default font: a little room beside the text, and room for the
// autofilter's button in the header. Bounds keep an empty column clickable and a long text from pushing the
// others off screen.
constexpr double kCellPadding = 2, kHeaderPadding = 4, kMinWidth = 6, kMaxWidth = 80;
constexpr int kMeasuredRows = 100;
// The characters a cell holds (Excel's limit; libxlsxwriter refuses longer strings).
constexpr size_t kMaxCellChars = 32767;
// The columns a worksheet holds.
constexpr unsigned kSheetColumns = 16384;

int NumberFormatOf(CellKind kind, std::wstring_view value) {
    if (kind == CellKind::Date) return 1;
    if (kind == CellKind::DateTime) return spreadsheet::HasFraction(value) ? 3 : 2;
    return 0;
}

// 0xRRGGBB of a colour name or #RRGGBB text; -1 for none.
long ColourOf(std::wstring_view text) {
    if (const wchar_t* named = spreadsheet::ColourValue(text)) text = named;
    if (text.size() != 7 || text[0] != L'#') return -1;
    long value = 0;
    for (size_t i = 1; i < 7; ++i) {
        const wchar_t c = static_cast<wchar_t>(std::towlower(text[i]));
        if (c >= L'0' && c <= L'9') value = value * 16 + (c - L'0');
        else if (c >= L'a' && c <= L'f') value = value * 16 + (c - L'a' + 10);
        else return -1;
    }
    return value;
}

// The value of name="..." in text, or empty.
std::wstring_view AttributeValue(std::wstring_view text, std::wstring_view name) {
    for (size_t pos = text.find(name); pos != std::wstring_view::npos; pos = text.find(name, pos + 1)) {
        // Whole attribute names only: align= must not match text-align in a style declaration.
        if (pos > 0 && text[pos - 1] != L' ' && text[pos - 1] != L'<') continue;
        const size_t start = pos + name.size();
        if (text.substr(start, 2) != L"=\"") continue;
        const size_t end = text.find(L'"', start + 2);
        if (end == std::wstring_view::npos) return {};
        return text.substr(start + 2, end - start - 2);
    }
    return {};
}

int AlignmentOf(std::wstring_view attributes) {
    std::wstring align(AttributeValue(attributes, L"align"));
    for (auto& c : align) c = static_cast<wchar_t>(std::towlower(c));
    if (align == L"left") return LXW_ALIGN_LEFT;
    if (align == L"right") return LXW_ALIGN_RIGHT;
    if (align == L"center") return LXW_ALIGN_CENTER;
    if (align == L"justify") return LXW_ALIGN_JUSTIFY;
    return 0;
}

// "internal:'Sheet name'!A1", apostrophes doubled as in a formula's sheet reference.
std::string InternalLink(std::wstring_view sheet) {
    std::wstring quoted;
    for (const wchar_t c : sheet) {
        if (c == L'\'') quoted.push_back(L'\'');
        quoted.push_back(c);
    }
    return "internal:'" + tw::WideToUtf8(quoted) + "'!A1";
}

// Digits at pos..pos+count of an ISO date text already checked by Classify.
int DigitsAt(const std::string& text, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// A carriage return in XML text reads back as a line feed; the format's escape _x000D_ keeps it.
void EscapeReturns(std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r')
            out += "_x000D_";
        else
            out.push_back(c);
    }
    text.swap(out);
}

}  // namespace

XlsxReport::XlsxReport(unsigned sheetRows) : m_sheetRows(std::max(sheetRows, 2u)) {}

XlsxReport::~XlsxReport() { Discard(); }

int XlsxReport::Open() {
    Discard();
    m_error.clear();
    m_formats.clear();
    m_styles.clear();
    m_handleFormats.clear();
    m_sheets.clear();
    m_sheetNames.clear();
    m_tocNames.clear();
    m_tocLinks = 0;
    m_front = m_current = -1;
    m_inSubDocument = m_frontSubDocument = m_inTable = m_resultTable = m_measuring = false;
    m_inRow = m_inCell = m_inParagraph = false;
    m_truncatedNoted = false;
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());

    const char* tmpdir = std::getenv("TMPDIR");
    m_tmpdir = tmpdir && *tmpdir ? tmpdir : "/tmp";
    m_outputPath = m_file.TemporaryPath();
    if (m_outputPath.empty()) {
        // A pipe or device cannot take a zip file, which is written with seeks: the workbook goes to a private
        // file first and is copied at Close.
        std::string pattern = m_tmpdir + "/tw-xlsx-XXXXXX";
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            m_file.Discard();
            return Fail(RE_OPEN, L"Could not create a temporary file in '" + tw::Utf8ToWide(m_tmpdir) + L"'");
        }
        ::close(fd);
        m_scratch = m_outputPath = pattern;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tmpdir.data();
    m_workbook.reset(workbook_new_opt(m_outputPath.c_str(), &options));
    if (!m_workbook) {
        Discard();
        return Fail(RE_OPEN, L"Could not start the workbook '" + m_setup.file + L"'");
    }

    std::string title, author, description;
    for (const auto& [placeholder, value] : m_setup.properties) {
        if (placeholder == L"%TITLE%") title = tw::WideToUtf8(value);
        if (placeholder == L"%AUTHOR%") author = tw::WideToUtf8(value);
        if (placeholder == L"%DESCRIPTION%") description = tw::WideToUtf8(value);
    }
    lxw_doc_properties properties{};
    properties.title = title.empty() ? nullptr : title.data();
    properties.author = author.empty() ? nullptr : author.data();
    properties.comments = description.empty() ? nullptr : description.data();
    workbook_set_properties(m_workbook.get(), &properties);

    // The SetStyles blocks that SetCellColor names refer to: fill, font colour, bold, italic and size.
    const std::wstring_view styles = m_setup.styles;
    constexpr std::wstring_view open = L"<Style", close = L"</Style>";
    for (size_t pos = styles.find(open); pos != std::wstring_view::npos; pos = styles.find(open, pos)) {
        const size_t end = styles.find(close, pos);
        const std::wstring_view block = styles.substr(pos, end == std::wstring_view::npos ? end : end - pos);
        pos = end;
        const std::wstring id(AttributeValue(block, L"ss:ID"));
        if (id.empty()) continue;
        Look look;
        const size_t interior = block.find(L"<Interior");
        if (interior != std::wstring_view::npos) look.background = ColourOf(AttributeValue(block.substr(interior), L"ss:Color"));
        const size_t font = block.find(L"<Font");
        if (font != std::wstring_view::npos) {
            const std::wstring_view tag = block.substr(font, block.find(L'>', font) - font);
            look.bold = AttributeValue(tag, L"ss:Bold") == L"1";
            look.italic = AttributeValue(tag, L"ss:Italic") == L"1";
            look.fontColour = ColourOf(AttributeValue(tag, L"ss:Color"));
            if (look.fontColour == 0) look.fontColour = -1;  // black: the default, one format fewer
            const std::wstring_view size = AttributeValue(tag, L"ss:Size");
            std::string digits = tw::WideToUtf8(size);
            int points = 0;
            std::from_chars(digits.data(), digits.data() + digits.size(), points);
            look.size = points == 10 ? 0 : std::clamp(points, 0, 409);  // 10 is what a style without a size says
        }
        m_styles[id] = look;
        if (end == std::wstring_view::npos) break;
    }
    return RE_OK;
}

int XlsxReport::Close() {
    if (!m_workbook) return m_error.empty() ? RE_OK : RE_WRITE;
    FinishRow();
    if (m_inTable) EndTable({});
    m_inSubDocument = false;
    if (m_sheets.empty()) FrontSheet();  // a workbook needs one worksheet
    // Rows go to each worksheet's temporary file, whose write errors libxlsxwriter does not report: a full
    // temporary folder or a file-size limit would otherwise give a workbook with rows missing.
    for (const Sheet& sheet : m_sheets) {
        FILE* rows = sheet.sheet ? sheet.sheet->optimize_tmpfile : nullptr;
        if (rows && (std::fflush(rows) != 0 || std::ferror(rows))) {
            const int error = errno;
            Discard();
            return Fail(RE_WRITE, L"Could not write the file '" + m_setup.file + L"': " +
                                      tw::Utf8ToWide(std::strerror(error ? error : EIO)));
        }
    }
    const lxw_error error = workbook_close(m_workbook.release());
    if (error != LXW_NO_ERROR) {
        Discard();
        return Fail(RE_WRITE, L"Could not write the file '" + m_setup.file + L"': " +
                                  tw::Utf8ToWide(lxw_strerror(error)));
    }
    if (!m_scratch.empty()) {
        const int fd = ::open(m_scratch.c_str(), O_RDONLY | O_CLOEXEC);
        char buffer[1 << 16];
        ssize_t n = 0;
        while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0) m_file.Write({buffer, static_cast<size_t>(n)});
        if (fd >= 0) ::close(fd);
        ::unlink(m_scratch.c_str());
        m_scratch.clear();
        if (fd < 0 || n < 0) {
            m_file.Discard();
            return Fail(RE_WRITE, L"Could not read back the workbook written for '" + m_setup.file + L"'");
        }
    }
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void XlsxReport::Discard() {
    m_workbook.reset();  // frees the worksheets and their temporary files without writing the workbook
    m_file.Discard();
    if (!m_scratch.empty()) ::unlink(m_scratch.c_str());
    m_scratch.clear();
    m_sheets.clear();
}

lxw_format* XlsxReport::FormatFor(const Look& look) {
    if (look == Look{}) return nullptr;
    auto [it, added] = m_formats.try_emplace(look, nullptr);
    if (!added) return it->second;
    lxw_format* format = workbook_add_format(m_workbook.get());
    if (look.bold) format_set_bold(format);
    if (look.italic) format_set_italic(format);
    if (look.size > 0) format_set_font_size(format, look.size);
    if (look.fontColour >= 0) format_set_font_color(format, static_cast<lxw_color_t>(look.fontColour));
    if (look.background >= 0) {
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, static_cast<lxw_color_t>(look.background));
    }
    if (look.align) format_set_align(format, static_cast<uint8_t>(look.align));
    if (look.number > 0 && look.number < 4) format_set_num_format(format, kNumberFormats[look.number]);
    if (look.number == 4) format_set_text_wrap(format);
    it->second = format;
    return format;
}

XlsxReport::Look XlsxReport::StyleLook(const std::wstring& styleName) const {
    if (styleName.empty()) return {};
    const auto it = m_styles.find(styleName);
    return it == m_styles.end() ? Look{} : it->second;  // an unknown style name is left out
}

lxw_format* XlsxReport::CellFormatFor(size_t handle, CellKind kind, std::wstring_view value) {
    const int number = NumberFormatOf(kind, value);
    if (m_handleFormats.size() <= handle) m_handleFormats.resize(handle + 1);
    auto& cached = m_handleFormats[handle];
    if (cached.resolved[number]) return cached.format[number];
    const CellFormat& cell = m_cellFormats[handle];
    Look look = cell.setsStyle ? StyleLook(cell.styleName) : Look{};
    look.bold = look.bold || cell.bold;
    look.italic = look.italic || cell.italic;
    if (cell.size) look.size = std::clamp(cell.size, 1, 409);
    look.align = AlignmentOf(cell.attributes);
    look.number = number;
    cached.resolved[number] = true;
    return cached.format[number] = FormatFor(look);
}

XlsxReport::Sheet& XlsxReport::AddSheet(std::wstring_view title) {
    const std::wstring name = ExcelReport::SheetName(title, m_sheetNames);
    Sheet sheet;
    sheet.title = title;
    sheet.name = name;
    sheet.sheet = workbook_add_worksheet(m_workbook.get(), tw::WideToUtf8(name).c_str());
    if (!sheet.sheet) {
        // Names are made valid above; this only guards against a rule of the library's own.
        sheet.name = ExcelReport::SheetName(L"Sheet " + std::to_wstring(m_sheets.size() + 1), m_sheetNames);
        sheet.sheet = workbook_add_worksheet(m_workbook.get(), tw::WideToUtf8(sheet.name).c_str());
    }
    if (m_setup.landscape && sheet.sheet) worksheet_set_landscape(sheet.sheet);
    m_sheets.push_back(std::move(sheet));
    return m_sheets.back();
}

XlsxReport::Sheet& XlsxReport::FrontSheet() {
    if (m_front < 0) {
        std::wstring title = L"Report";
        for (const auto& [placeholder, value] : m_setup.properties)
            if (placeholder == L"%TITLE%" && !value.empty()) title = value;
        AddSheet(title);
        m_front = static_cast<int>(m_sheets.size()) - 1;
    }
    return m_sheets[static_cast<size_t>(m_front)];
}

XlsxReport::Sheet& XlsxReport::Target() {
    if (m_inSubDocument && m_current >= 0) return m_sheets[static_cast<size_t>(m_current)];
    if (m_front >= 0 || m_sheets.empty()) return FrontSheet();
    return m_sheets.back();
}

void XlsxReport::FinishRow() {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (!m_inRow) return;
    m_inRow = false;
    ++Target().row;
    if (m_measuring && !m_rowIsHeader && ++m_measuredRows >= kMeasuredRows) ApplyWidths();
}

void XlsxReport::TextRow(std::wstring_view text, PARAGRAPH_TYPE type) {
    Sheet& sheet = Target();
    if (sheet.row >= m_sheetRows) return;  // a sheet full of a table's rows takes no more text
    Look look;
    static const int headingSizes[] = {16, 14, 12, 11, 10, 10};
    if (type >= 1 && type <= 6) {
        look.bold = true;
        look.size = headingSizes[type - 1];
        look.italic = type == 6;
        if (type == 4) look.fontColour = 0xA40000;
    }
    if (text.find(L'\n') != std::wstring_view::npos) look.number = 4;  // line breaks show only when wrapped
    WriteValue(sheet, sheet.row++, 0, text, CellKind::String, FormatFor(look));
}

void XlsxReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view, int) {
    if (m_inCell) {
        m_cell.append(text);
    } else if (m_inParagraph) {
        m_paragraph.append(text);
    } else if (m_inRow) {
        WriteCell(text, 0, nullptr, spreadsheet::Classify(text, 0));
    } else {
        TextRow(text, type);
    }
}

void XlsxReport::EndOfLine() {
    if (m_inCell)
        m_cell.push_back(L'\n');
    else if (m_inParagraph)
        m_paragraph.push_back(L'\n');
}

void XlsxReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view) {
    FinishRow();
    m_paragraph.clear();
    m_paragraphType = type;
    m_inParagraph = true;
}

void XlsxReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!m_inParagraph) return;
    m_inParagraph = false;
    TextRow(m_paragraph, m_paragraphType);
}

void XlsxReport::TocItem(std::wstring_view anchor, std::wstring_view text, int) {
    FinishRow();
    // The result sheets do not exist yet: their names are those SheetName will give them, in this order. The
    // summary lives on the first sheet.
    const std::wstring name = anchor == L"Summary" ? FrontSheet().name : std::wstring();
    Sheet& sheet = Target();  // after FrontSheet, which may add a sheet
    if (m_tocNames.empty()) m_tocNames = m_sheetNames;
    const std::wstring target = anchor == L"Summary" ? name : ExcelReport::SheetName(text, m_tocNames);
    std::string link = InternalLink(target);
    if (target.find(L'#') != std::wstring::npos) {
        // libxlsxwriter cuts a link at '#' (an anchor in an external link), so such a sheet is reached through
        // a defined name that refers to it.
        const std::string defined = "TOC_" + std::to_string(++m_tocLinks);
        workbook_define_name(m_workbook.get(), defined.c_str(), ("=" + link.substr(9, link.size() - 12) + "!$A$1").c_str());
        link = "internal:" + defined;
    }
    m_utf8 = tw::WideToUtf8(text);
    const lxw_error error =
        worksheet_write_url_opt(sheet.sheet, sheet.row, 0, link.c_str(), nullptr, m_utf8.c_str(), nullptr);
    if (error != LXW_NO_ERROR) WriteValue(sheet, sheet.row, 0, text, CellKind::String, nullptr);
    ++sheet.row;
}

void XlsxReport::BeginSubDocument(std::wstring_view, std::wstring_view file, std::wstring_view title) {
    FinishRow();
    if (m_inTable) EndTable({});
    m_frontSubDocument = file == L"Summary.html";
    if (m_frontSubDocument) {
        FrontSheet();
        m_current = m_front;
    } else {
        AddSheet(title);
        m_current = static_cast<int>(m_sheets.size()) - 1;
    }
    m_inSubDocument = true;
}

void XlsxReport::EndSubDocument() {
    FinishRow();
    if (m_inTable) EndTable({});
    m_inSubDocument = m_frontSubDocument = false;
}

void XlsxReport::BeginTable(std::wstring_view name, std::wstring_view) {
    FinishRow();
    if (m_inTable) EndTable({});
    // As in SpreadsheetML: a table outside any sub-document gets a worksheet of its own.
    m_implicitSheet = !m_inSubDocument;
    if (m_implicitSheet) BeginSubDocument({}, {}, name.empty() ? std::wstring_view(L"Table") : name);
    Sheet& sheet = Target();
    m_inTable = true;
    m_resultTable = !m_frontSubDocument;
    m_measuring = !sheet.measured;
    sheet.measured = true;
    m_measuredRows = 0;
    m_widths.clear();
    m_headerCells.clear();
    m_headerRow = sheet.row;
    m_lastColumn = 0;
    m_hasHeader = false;
}

void XlsxReport::ApplyWidths() {
    if (!m_measuring) return;
    m_measuring = false;
    Sheet& sheet = Target();
    for (size_t column = 0; column < m_widths.size(); ++column)
        worksheet_set_column(sheet.sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                             std::clamp(m_widths[column], kMinWidth, kMaxWidth), nullptr);
}

void XlsxReport::FinishTableOnSheet() {
    ApplyWidths();
    Sheet& sheet = Target();
    if (!m_resultTable || !m_hasHeader) return;
    worksheet_freeze_panes(sheet.sheet, m_headerRow + 1, 0);
    const unsigned last = sheet.row > m_headerRow + 1 ? sheet.row - 1 : m_headerRow;
    worksheet_autofilter(sheet.sheet, m_headerRow, 0, last, m_lastColumn);
}

void XlsxReport::EndTable(std::wstring_view) {
    FinishRow();
    if (!m_inTable) return;
    FinishTableOnSheet();
    m_inTable = false;
    if (m_implicitSheet) {
        m_implicitSheet = false;
        EndSubDocument();
    }
}

// The table has filled its worksheet: it goes on on a new one named after the same title with the next
// number, which gets the header row, the widths, the frozen pane and the autofilter again.
void XlsxReport::ContinueTable() {
    FinishTableOnSheet();
    const std::wstring title = Target().title;
    Sheet& next = AddSheet(title);
    m_current = static_cast<int>(m_sheets.size()) - 1;
    m_inSubDocument = true;
    next.measured = true;
    CLog::Info(L"The result set '" + title + L"' has more rows than a worksheet holds (" +
                   std::to_wstring(m_sheetRows) + L"); it continues on the worksheet '" + next.name + L"'.");
    for (size_t column = 0; column < m_widths.size(); ++column)
        worksheet_set_column(next.sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                             std::clamp(m_widths[column], kMinWidth, kMaxWidth), nullptr);
    m_headerRow = 0;
    if (m_hasHeader) {
        lxw_format* header = FormatFor(HeaderLook());
        for (size_t column = 0; column < m_headerCells.size(); ++column)
            WriteValue(next, 0, static_cast<unsigned short>(column), m_headerCells[column], CellKind::String, header);
        next.row = 1;
    }
}

XlsxReport::Look XlsxReport::HeaderLook() {
    Look look;
    look.bold = true;
    look.background = 0xE8ECF2;
    return look;
}

void XlsxReport::BeginRow(std::wstring_view cls, std::wstring_view, int) {
    FinishRow();
    // The header row is the one without a class.
    m_rowIsHeader = m_inTable && cls.empty();
    if (m_inTable && m_resultTable && !m_rowIsHeader && Target().row >= m_sheetRows) ContinueTable();
    m_inRow = true;
    m_column = 0;
}

void XlsxReport::EndRow(std::wstring_view) { FinishRow(); }

void XlsxReport::BeginCell(std::wstring_view, int header, std::wstring_view attributes) {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (!m_inRow) BeginRow(header ? L"" : L"row", {}, 0);
    m_cell.clear();
    m_cellAttributes = attributes;
    m_inCell = true;
    m_cellHeader = header != 0;
}

void XlsxReport::EndCell(std::wstring_view, int) {
    if (!m_inCell) return;
    m_inCell = false;
    if (m_cellHeader) {
        WriteCell(m_cell, 1, FormatFor(HeaderLook()), CellKind::String);
        return;
    }
    const CellKind kind = spreadsheet::Classify(m_cell, 0);
    Look look = StyleLook(m_cellStyle);
    look.align = AlignmentOf(m_cellAttributes);
    look.number = NumberFormatOf(kind, m_cell);
    WriteCell(m_cell, 0, FormatFor(look), kind);
}

void XlsxReport::Cell(std::wstring_view text, int header, std::wstring_view attributes) {
    BeginCell({}, header, attributes);
    m_cell.assign(text);
    EndCell({}, header);
}

void XlsxReport::FormattedCell(int handle, std::wstring_view columnName, std::wstring_view text) {
    if (handle < 0 || static_cast<size_t>(handle) >= m_cellFormats.size()) {
        AReport::FormattedCell(handle, columnName, text);
        return;
    }
    if (m_inCell) EndCell({}, m_cellHeader);
    if (!m_inRow) BeginRow(L"row", {}, 0);
    const CellFormat& format = m_cellFormats[static_cast<size_t>(handle)];
    std::wstring_view value = text;
    if (!format.before.empty() || !format.after.empty()) {
        m_cellText.assign(format.before).append(text).append(format.after);
        value = m_cellText;
    }
    const CellKind kind = spreadsheet::Classify(value, format.valueType);
    WriteCell(value, 0, CellFormatFor(static_cast<size_t>(handle), kind, value), kind);
}

void XlsxReport::Measure(std::wstring_view value, CellKind kind, bool header) {
    if (m_widths.size() <= m_column) m_widths.resize(m_column + 1u, 0.0);
    double chars = static_cast<double>(spreadsheet::LongestLine(value));
    if (kind == CellKind::Date) chars = 10;
    if (kind == CellKind::DateTime) chars = spreadsheet::HasFraction(value) ? 23 : 19;
    // Bold header text is about a tenth wider.
    const double width = header ? chars * 1.1 + kHeaderPadding : chars + kCellPadding;
    m_widths[m_column] = std::max(m_widths[m_column], width);
}

void XlsxReport::WriteCell(std::wstring_view value, int header, lxw_format* format, CellKind kind) {
    if (!m_inRow) BeginRow(header ? L"" : L"row", {}, 0);
    if (m_column >= kSheetColumns) return;  // beyond the last column a worksheet has
    if (m_measuring) Measure(value, kind, header != 0);
    if (m_inTable && m_rowIsHeader) {
        m_hasHeader = true;
        m_headerCells.emplace_back(value);
        m_lastColumn = m_column;
    }
    Sheet& sheet = Target();
    if (kind == CellKind::String && value.find(L'\n') != std::wstring_view::npos) {
        // Line breaks show only in a wrapped cell: the same look with wrapping.
        Look look;
        for (const auto& [key, made] : m_formats)
            if (made == format) look = key;
        look.number = 4;
        format = FormatFor(look);
    }
    WriteValue(sheet, sheet.row, m_column, value, kind, format);
    ++m_column;
}

void XlsxReport::WriteValue(Sheet& sheet, unsigned row, unsigned short column, std::wstring_view value, CellKind kind,
                            lxw_format* format) {
    if (!sheet.sheet || row >= m_sheetRows) return;
    if (value.empty()) {
        if (format) worksheet_write_blank(sheet.sheet, row, column, format);
        return;
    }
    m_utf8.clear();
    tw::AppendUtf8(m_utf8, value);
    if (kind == CellKind::String && value.find(L'\r') != std::wstring_view::npos) EscapeReturns(m_utf8);
    if (kind == CellKind::Number) {
        double number = 0;
        const auto [end, error] = std::from_chars(m_utf8.data(), m_utf8.data() + m_utf8.size(), number);
        if (error == std::errc() && end == m_utf8.data() + m_utf8.size()) {
            worksheet_write_number(sheet.sheet, row, column, number, format);
            return;
        }
    } else if (kind == CellKind::Date || kind == CellKind::DateTime) {
        const std::string iso = spreadsheet::DateTimeText(value);  // "YYYY-MM-DDTHH:MM:SS.fff"
        lxw_datetime datetime{};
        datetime.year = DigitsAt(iso, 0, 4);
        datetime.month = DigitsAt(iso, 5, 2);
        datetime.day = DigitsAt(iso, 8, 2);
        datetime.hour = DigitsAt(iso, 11, 2);
        datetime.min = DigitsAt(iso, 14, 2);
        datetime.sec = DigitsAt(iso, 17, 2) + DigitsAt(iso, 20, 3) / 1000.0;
        worksheet_write_datetime(sheet.sheet, row, column, &datetime, format);
        return;
    }
    if (value.size() > kMaxCellChars) {
        // A cell holds at most 32,767 characters; the rest of a longer text cannot be kept in this format.
        if (!m_truncatedNoted)
            CLog::Info(L"A value longer than a worksheet cell holds (32,767 characters) was cut to fit, on the "
                       L"worksheet '" + sheet.name + L"'.");
        m_truncatedNoted = true;
        m_utf8.clear();
        tw::AppendUtf8(m_utf8, value.substr(0, kMaxCellChars));
    }
    if (worksheet_write_string(sheet.sheet, row, column, m_utf8.c_str(), format) == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
        // The escaped carriage returns took it over the limit: the value goes without them rather than not at all.
        m_utf8.clear();
        tw::AppendUtf8(m_utf8, value.substr(0, kMaxCellChars));
        worksheet_write_string(sheet.sheet, row, column, m_utf8.c_str(), format);
    }
}
