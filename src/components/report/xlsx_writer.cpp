#include "xlsx_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <ctime>
#include <cwctype>

#include "excel_writer.h"
#include "fld_desc.h"
#include "log.h"
#include "spreadsheet_look.h"
#include "text.h"

namespace {

using spreadsheet::CellKind;
using namespace std::string_view_literals;

// The number formats of date cells, by Look::number, and the custom format ids they get in xl/styles.xml.
const char* const kNumberFormats[] = {nullptr, "yyyy-mm-dd", "yyyy-mm-dd hh:mm:ss", "yyyy-mm-dd hh:mm:ss.000"};
constexpr int kFirstCustomFormat = 164;

// Column widths in characters of the default font: a little room beside the text, and room for the
// autofilter's button in the header. Bounds keep an empty column clickable and a long text from pushing the
// others off screen.
constexpr double kCellPadding = 2, kHeaderPadding = 4, kMinWidth = 6, kMaxWidth = 80;
constexpr int kMeasuredRows = 100;
// The characters a cell holds (Excel's limit).
constexpr size_t kMaxCellChars = 32767;
// The columns a worksheet holds.
constexpr unsigned kSheetColumns = 16384;
// Rows of a result sheet kept while no table measures its widths; beyond it the sheet streams without them.
constexpr size_t kMaxWaitingBytes = 4 << 20;
// The colour of link text (Excel's).
constexpr long kLinkColour = 0x0563C1;

enum Align { kAlignNone, kAlignLeft, kAlignRight, kAlignCenter, kAlignJustify };
const char* const kAlignNames[] = {nullptr, "left", "right", "center", "justify"};

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

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
    if (align == L"left") return kAlignLeft;
    if (align == L"right") return kAlignRight;
    if (align == L"center") return kAlignCenter;
    if (align == L"justify") return kAlignJustify;
    return kAlignNone;
}

void AppendNumber(std::string& out, unsigned long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendHex(std::string& out, unsigned value, int digits) {
    static const char hex[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(hex[(value >> shift) & 0xF]);
}

// Text in an attribute value: XML's five, and line breaks and tabs as references so that they survive.
void AppendAttribute(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += "&#9;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20) out.push_back(c);  // other control characters: no XML form
        }
    }
}
void AppendAttribute(std::string& out, std::wstring_view text) { AppendAttribute(out, tw::WideToUtf8(text)); }

// Bytes of cell text that need more than copying: XML's markup characters, control characters (XML has no form
// for most, and the format's _xHHHH_ escape carries them; a carriage return, which XML reads as a line feed,
// goes as a character reference),
// '_' (a literal "_xHHHH_" must not read as an escape) and 0xEF (which begins U+FFFE and U+FFFF, no XML
// characters either).
constexpr auto kSpecialBytes = [] {
    std::array<bool, 256> special{};
    for (int c = 0; c < 0x20; ++c) special[c] = c != '\t' && c != '\n';
    special['&'] = special['<'] = special['>'] = special['_'] = special[0xEF] = true;
    return special;
}();

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

void AppendCellText(std::string& out, std::string_view text) {
    size_t copied = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!kSpecialBytes[c]) continue;
        out.append(text.data() + copied, i - copied);
        copied = i + 1;
        switch (c) {
            case '&': out += "&amp;"sv; break;
            case '<': out += "&lt;"sv; break;
            case '>': out += "&gt;"sv; break;
            case '_':
                if (i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) && IsHex(text[i + 3]) &&
                    IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_')
                    out += "_x005F_"sv;
                else
                    out.push_back('_');
                break;
            case 0xEF:
                if (i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                    (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                    out += static_cast<unsigned char>(text[i + 2]) == 0xBE ? "_xFFFE_"sv : "_xFFFF_"sv;
                    copied = i + 3;
                    i += 2;
                } else {
                    out.push_back(static_cast<char>(c));
                }
                break;
            case '\r':
                out += "&#13;"sv;  // a reference keeps it from becoming a line feed, and every reader takes it
                break;
            default:
                out += "_x00"sv;
                AppendHex(out, c, 2);
                out.push_back('_');
        }
    }
    out.append(text.data() + copied, text.size() - copied);
}

// The same for wide text, encoded to UTF-8 on the way: one pass over the value, which is most of the bytes.
void AppendCellText(std::string& out, std::wstring_view text) {
    // Room for the longest form of every character (a control character's 7-byte escape), trimmed after.
    const size_t start = out.size();
    out.resize(start + text.size() * 7);
    char* p = out.data() + start;
    auto put = [&p](std::string_view bytes) {
        std::memcpy(p, bytes.data(), bytes.size());
        p += bytes.size();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c < 0x80) {
            if (!kSpecialBytes[c]) {
                *p++ = static_cast<char>(c);
                continue;
            }
            switch (c) {
                case '&': put("&amp;"sv); break;
                case '<': put("&lt;"sv); break;
                case '>': put("&gt;"sv); break;
                case '\r': put("&#13;"sv); break;
                case '_': {
                    auto hex = [&](size_t at) { return text[at] < 0x80 && IsHex(static_cast<char>(text[at])); };
                    if (i + 6 < text.size() && text[i + 1] == L'x' && hex(i + 2) && hex(i + 3) && hex(i + 4) &&
                        hex(i + 5) && text[i + 6] == L'_')
                        put("_x005F_"sv);
                    else
                        *p++ = '_';
                    break;
                }
                default: {
                    static const char digits[] = "0123456789ABCDEF";
                    const char escape[7] = {'_', 'x', '0', '0', digits[c >> 4], digits[c & 0xF], '_'};
                    put({escape, 7});
                }
            }
            continue;
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;  // not a character UTF-8 carries
        if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (c >= 0xFFFE) {
                put(c == 0xFFFE ? "_xFFFE_"sv : "_xFFFF_"sv);
                continue;
            }
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (c >> 18));
            *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

// The start of a text cell after its reference and format; blanks at either end are kept only when the text
// says so.
template <typename Char>
std::string_view TextCellOpening(Char first, Char last) {
    auto blank = [](Char c) { return c == ' ' || c == '\t' || c == '\n'; };
    if (blank(first) || blank(last)) return " t=\"inlineStr\"><is><t xml:space=\"preserve\">"sv;
    return " t=\"inlineStr\"><is><t>"sv;
}

// The value cut to what a cell holds, in characters (code points); true when it was cut.
bool CutToCell(std::string_view& value) {
    if (value.size() <= kMaxCellChars) return false;  // fewer bytes than the limit: fewer characters too
    size_t chars = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if ((static_cast<unsigned char>(value[i]) & 0xC0) == 0x80) continue;  // a continuation byte
        if (++chars > kMaxCellChars) {
            value = value.substr(0, i);
            return true;
        }
    }
    return false;
}

// A number cell's value: its own text when it is plain decimal with at most 16 digits (what a spreadsheet
// shows), else the closest double rounded to 16 significant digits. False for a text that is no number after all.
// A number that goes into a cell as its own text: at most 16 digits, a sign and a point (which Classify checked).
bool IsPlainNumber(std::string_view value) {
    if (value.size() > 18) return false;
    int digits = 0;
    for (const char c : value) {
        if (c >= '0' && c <= '9') ++digits;
        else if (c != '-' && c != '.') return false;
    }
    return digits <= 16;
}

bool AppendNumberValue(std::string& out, std::string_view value) {
    if (IsPlainNumber(value)) {
        out.append(value);
        return true;
    }
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size()) return false;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, number, std::chars_format::general, 16);
    out.append(text, result.ptr);
    return true;
}

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar.
long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DigitsAt(std::string_view text, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = pos; i < pos + count && i < text.size(); ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// The spreadsheet's serial number of an ISO date or timestamp that Classify accepted: days since 1899-12-30,
// the time of day as the fraction. Days before 1900-03-01 are one less, since the spreadsheet counts a
// 1900-02-29 that never was.
void AppendSerial(std::string& out, std::string_view value) {
    const int year = DigitsAt(value, 0, 4), month = DigitsAt(value, 5, 2), day = DigitsAt(value, 8, 2);
    long days = DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
    if (year == 1900 && month <= 2) --days;
    long long millis = 0;
    if (value.size() >= 16) millis = (DigitsAt(value, 11, 2) * 3600LL + DigitsAt(value, 14, 2) * 60LL) * 1000;
    if (value.size() >= 19) millis += DigitsAt(value, 17, 2) * 1000LL;
    if (value.size() > 20) {
        // .f, .ff or .fff
        int fraction = 0, digits = 0;
        for (size_t i = 20; i < value.size() && digits < 3; ++i, ++digits) fraction = fraction * 10 + (value[i] - '0');
        for (; digits < 3; ++digits) fraction *= 10;
        millis += fraction;
    }
    if (millis == 0) {
        AppendNumber(out, static_cast<unsigned long long>(days));
        return;
    }
    char text[32];
    const double serial = static_cast<double>(days) + static_cast<double>(millis) / 86400000.0;
    const auto result = std::to_chars(text, text + sizeof text, serial);
    out.append(text, result.ptr);
}

// "'Sheet name'!A1" as a formula or link names a cell, apostrophes doubled.
std::string SheetReference(std::wstring_view sheet, std::string_view cell) {
    std::wstring quoted;
    for (const wchar_t c : sheet) {
        if (c == L'\'') quoted.push_back(L'\'');
        quoted.push_back(c);
    }
    return "'" + tw::WideToUtf8(quoted) + "'!" + std::string(cell);
}

std::string ColumnLetters(unsigned column) {
    std::string letters;
    for (unsigned n = column + 1; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

std::string MemberName(size_t index) { return "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml"; }

}  // namespace

XlsxReport::XlsxReport(unsigned sheetRows) : m_sheetRows(std::max(sheetRows, 2u)) {}

XlsxReport::~XlsxReport() { Discard(); }

int XlsxReport::Open() {
    Discard();
    m_error.clear();
    m_formats.clear();
    m_looks.assign(1, Look{});
    m_styles.clear();
    m_handleFormats.clear();
    m_sheets.clear();
    m_sheetNames.clear();
    m_tocNames.clear();
    m_chunk.clear();
    m_live = m_front = m_current = -1;
    m_inSubDocument = m_frontSubDocument = m_inTable = m_resultTable = m_measuring = false;
    m_inRow = m_inCell = m_inParagraph = false;
    m_truncatedNoted = false;
    // The package is written front to back, so it goes straight to the output, a pipe included.
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    m_zip = std::make_unique<ZipWriter>(m_file);
    if (m_zip->Failed()) {
        Discard();
        return Fail(RE_OPEN, L"Could not start the workbook '" + m_setup.file + L"': out of memory");
    }

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
    if (!m_zip) return m_error.empty() ? RE_OK : RE_WRITE;
    FinishRow();
    if (m_inTable) EndTable({});
    m_inSubDocument = false;
    if (m_sheets.empty()) FrontSheet();  // a workbook needs one worksheet
    FinishStreamed();
    if (m_front >= 0) {
        Sheet& front = *m_sheets[static_cast<size_t>(m_front)];
        CloseRow(front);
        m_zip->Begin(MemberName(static_cast<size_t>(m_front)));
        m_zip->Write(SheetHead(static_cast<size_t>(m_front)));
        m_zip->Write(front.rows);
        m_zip->Write(SheetTail(front));
        m_zip->End();
        front.written = true;
    }
    m_zip->Add("xl/styles.xml", StylesXml());
    m_zip->Add("xl/workbook.xml", WorkbookXml());
    std::string rels(kXmlDeclaration);
    rels += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (size_t index = 0; index < m_sheets.size(); ++index) {
        rels += "<Relationship Id=\"rId" + std::to_string(index + 1) +
                "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                "Target=\"worksheets/sheet" + std::to_string(index + 1) + ".xml\"/>";
    }
    rels += "<Relationship Id=\"rId" + std::to_string(m_sheets.size() + 1) +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
            "Target=\"styles.xml\"/></Relationships>";
    m_zip->Add("xl/_rels/workbook.xml.rels", rels);
    m_zip->Add("_rels/.rels",
               std::string(kXmlDeclaration) +
                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
                   "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/"
                   "metadata/core-properties\" Target=\"docProps/core.xml\"/>"
                   "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships/extended-properties\" Target=\"docProps/app.xml\"/></Relationships>");
    m_zip->Add("docProps/core.xml", CoreProperties());
    m_zip->Add("docProps/app.xml",
               std::string(kXmlDeclaration) +
                   "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
                   "<Application>Tablewright</Application></Properties>");
    m_zip->Add("[Content_Types].xml", PackageParts());
    m_zip->Finish();
    const bool compressorFailed = m_zip->Failed();
    m_zip.reset();
    m_sheets.clear();
    if (compressorFailed) {
        m_file.Discard();
        return Fail(RE_WRITE, L"Could not write the file '" + m_setup.file + L"': the compressor failed");
    }
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void XlsxReport::Discard() {
    m_zip.reset();
    m_file.Discard();
    m_sheets.clear();
    m_chunk.clear();
    m_live = -1;
}

int XlsxReport::FormatFor(const Look& look) {
    if (look == Look{}) return 0;
    auto [it, added] = m_formats.try_emplace(look, static_cast<int>(m_looks.size()));
    if (added) m_looks.push_back(look);
    return it->second;
}

XlsxReport::Look XlsxReport::StyleLook(const std::wstring& styleName) const {
    if (styleName.empty()) return {};
    const auto it = m_styles.find(styleName);
    return it == m_styles.end() ? Look{} : it->second;  // an unknown style name is left out
}

int XlsxReport::CellFormatFor(size_t handle, CellKind kind, std::wstring_view value) {
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

XlsxReport::Sheet& XlsxReport::AddSheet(std::wstring_view title, bool front) {
    // Only the newest result sheet ever takes rows: the one before it is complete.
    if (!front) FinishStreamed();
    Sheet sheet;
    sheet.title = title;
    sheet.name = ExcelReport::SheetName(title, m_sheetNames);
    m_sheets.push_back(std::make_unique<Sheet>(std::move(sheet)));
    if (!front) m_live = static_cast<int>(m_sheets.size()) - 1;
    return *m_sheets.back();
}

XlsxReport::Sheet& XlsxReport::FrontSheet() {
    if (m_front < 0) {
        std::wstring title = L"Report";
        for (const auto& [placeholder, value] : m_setup.properties)
            if (placeholder == L"%TITLE%" && !value.empty()) title = value;
        AddSheet(title, true);
        m_front = static_cast<int>(m_sheets.size()) - 1;
    }
    return *m_sheets[static_cast<size_t>(m_front)];
}

XlsxReport::Sheet& XlsxReport::Target() {
    if (m_inSubDocument && m_current >= 0) return *m_sheets[static_cast<size_t>(m_current)];
    if (m_front >= 0 || m_sheets.empty()) return FrontSheet();
    return *m_sheets.back();
}

void XlsxReport::FinishRow() {
    if (m_inCell) EndCell({}, m_cellHeader);
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (!m_inRow) return;
    m_inRow = false;
    Sheet& sheet = Target();
    ++sheet.row;
    if (m_measuring && !m_rowIsHeader && ++m_measuredRows >= kMeasuredRows) ApplyWidths();
    if (sheet.streaming) {
        MaybeSend();
    } else if (!m_measuring && m_live >= 0 && &sheet == m_sheets[static_cast<size_t>(m_live)].get() &&
               sheet.rows.size() > kMaxWaitingBytes) {
        // Many rows and no table to measure: the sheet goes on without widths rather than fill the memory.
        StartStreaming(static_cast<size_t>(m_live));
    }
}

void XlsxReport::SendChunk() { m_zip->Hand(m_chunk); }

void XlsxReport::StartStreaming(size_t index) {
    Sheet& sheet = *m_sheets[index];
    if (sheet.streaming || sheet.written) return;
    m_zip->Begin(MemberName(index));
    m_zip->Write(SheetHead(index));
    m_zip->Write(sheet.rows);
    std::string().swap(sheet.rows);
    sheet.streaming = true;
}

void XlsxReport::FinishStreamed() {
    if (m_live < 0 || !m_zip) return;
    const size_t index = static_cast<size_t>(m_live);
    m_live = -1;
    Sheet& sheet = *m_sheets[index];
    StartStreaming(index);
    CloseRow(sheet);
    m_chunk += SheetTail(sheet);
    SendChunk();
    m_zip->End();
    sheet.streaming = false;
    sheet.written = true;
}

void XlsxReport::OpenRow(Sheet& sheet, unsigned row) {
    if (sheet.openRow == static_cast<long>(row)) return;
    CloseRow(sheet);
    sheet.rowRef.clear();
    AppendNumber(sheet.rowRef, row + 1ull);
    std::string& out = RowsOf(sheet);
    // As cells do, a row right after the one before it goes without its number.
    if (static_cast<long>(row) == sheet.lastRow + 1) {
        out += "<row>"sv;
    } else {
        out += "<row r=\""sv;
        out += sheet.rowRef;
        out += "\">"sv;
    }
    sheet.openRow = sheet.lastRow = row;
    sheet.nextColumn = 0;
}

void XlsxReport::CloseRow(Sheet& sheet) {
    if (sheet.openRow < 0) return;
    RowsOf(sheet) += "</row>"sv;
    sheet.openRow = -1;
}

const std::string& XlsxReport::ColumnName(unsigned short column) {
    while (m_columnNames.size() <= column) m_columnNames.push_back(ColumnLetters(static_cast<unsigned>(m_columnNames.size())));
    return m_columnNames[column];
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
    if (sheet.streaming) MaybeSend();
}

void XlsxReport::TextCell(std::wstring_view text) { WriteCell(text, 0, 0, spreadsheet::Classify(text, 0)); }





void XlsxReport::TocItem(std::wstring_view anchor, std::wstring_view text, int) {
    FinishRow();
    // The result sheets do not exist yet: their names are those SheetName will give them, in this order. The
    // summary lives on the first sheet.
    const std::wstring name = anchor == L"Summary" ? FrontSheet().name : std::wstring();
    Sheet& sheet = Target();
    if (sheet.row >= m_sheetRows) return;
    if (m_tocNames.empty()) m_tocNames = m_sheetNames;
    const std::wstring target = anchor == L"Summary" ? name : ExcelReport::SheetName(text, m_tocNames);
    const unsigned row = sheet.row++;
    Look look;
    look.link = true;
    WriteValue(sheet, row, 0, text, CellKind::String, FormatFor(look));
    // An internal link names its cell in the location attribute; no relationship is needed.
    sheet.links += "<hyperlink ref=\"A";
    AppendNumber(sheet.links, row + 1ull);
    sheet.links += "\" location=\"";
    AppendAttribute(sheet.links, SheetReference(target, "A1"));
    sheet.links += "\" display=\"";
    AppendAttribute(sheet.links, text);
    sheet.links += "\"/>";
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
    // Widths and the frozen pane come before the rows: only a sheet whose head is still to be written can take them.
    m_measuring = !sheet.measured && !sheet.streaming;
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
    sheet.widths.clear();
    for (const double width : m_widths) sheet.widths.push_back(std::clamp(width, kMinWidth, kMaxWidth));
    if (m_resultTable && m_hasHeader && sheet.freezeRows == 0) sheet.freezeRows = m_headerRow + 1;
    if (m_live >= 0 && &sheet == m_sheets[static_cast<size_t>(m_live)].get()) StartStreaming(static_cast<size_t>(m_live));
}

void XlsxReport::FinishTableOnSheet() {
    ApplyWidths();
    Sheet& sheet = Target();
    if (!m_resultTable || !m_hasHeader) return;
    if (sheet.freezeRows == 0 && !sheet.streaming) sheet.freezeRows = m_headerRow + 1;
    const unsigned last = sheet.row > m_headerRow + 1 ? sheet.row - 1 : m_headerRow;
    sheet.filterFirst = m_headerRow + 1;
    sheet.filterLast = last + 1;
    sheet.filterColumns = m_lastColumn + 1u;
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
    const std::vector<double> widths = Target().widths;
    Sheet& next = AddSheet(title);
    m_current = static_cast<int>(m_sheets.size()) - 1;
    m_inSubDocument = true;
    next.measured = true;
    next.widths = widths;
    CLog::Info(L"The result set '" + title + L"' has more rows than a worksheet holds (" +
                   std::to_wstring(m_sheetRows) + L"); it continues on the worksheet '" + next.name + L"'.");
    m_headerRow = 0;
    if (m_hasHeader) next.freezeRows = 1;
    StartStreaming(static_cast<size_t>(m_current));
    if (m_hasHeader) {
        const int header = FormatFor(HeaderLook());
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

void XlsxReport::FormattedCellUtf8(int handle, std::wstring_view columnName, std::string_view text) {
    const CellFormat* const bare = BareCellFormat(handle);
    if (!bare) {
        AReport::FormattedCellUtf8(handle, columnName, text);
        return;
    }
    const CellFormat& format = *bare;
    if (m_inCell) EndCell({}, m_cellHeader);
    if (!m_inRow) BeginRow(L"row", {}, 0);
    // Measured widths and kept header cells work on wide text, and so does a value with a byte that is no
    // UTF-8 (read as Windows-1252) or that is no text column's and not ASCII (numbers and dates are ASCII):
    // the rest, nearly every cell, goes in as its bytes.
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    bool bytes = !m_measuring && !(m_inTable && m_rowIsHeader);
    if (bytes && !ascii) {
        bytes = FLD_DESC::IsChar(format.valueType);
        for (size_t at = 0; bytes && at < text.size();) {
            char32_t c;
            at += tw::DecodeUtf8Char(text.substr(at), c, &bytes);
        }
    }
    if (!bytes) {
        AReport::FormattedCellUtf8(handle, columnName, text);
        return;
    }
    if (m_column >= kSheetColumns) return;  // beyond the last column a worksheet has
    CellKind kind = CellKind::String;
    std::wstring_view wide;
    if (!text.empty() && !FLD_DESC::IsChar(format.valueType)) {
        // ASCII: each byte its character (assigning the byte range would build a temporary string first).
        m_decodedText.resize(text.size());
        for (size_t i = 0; i < text.size(); ++i) m_decodedText[i] = static_cast<unsigned char>(text[i]);
        wide = m_decodedText;
        kind = spreadsheet::Classify(wide, format.valueType);
    }
    int style = CellFormatFor(static_cast<size_t>(handle), kind, wide);
    if (kind == CellKind::String && text.find('\n') != std::string_view::npos) {
        Look look = m_looks[static_cast<size_t>(style)];
        look.number = 4;
        style = FormatFor(look);
    }
    Sheet& sheet = Target();
    if (sheet.row < m_sheetRows && !(text.empty() && style == 0))
        WriteUtf8(sheet, sheet.row, m_column, text, kind, style);
    ++m_column;
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

void XlsxReport::WriteCell(std::wstring_view value, int header, int format, CellKind kind) {
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
        Look look = m_looks[static_cast<size_t>(format)];
        look.number = 4;
        format = FormatFor(look);
    }
    WriteValue(sheet, sheet.row, m_column, value, kind, format);
    ++m_column;
}

void XlsxReport::WriteValue(Sheet& sheet, unsigned row, unsigned short column, std::wstring_view value, CellKind kind,
                            int format) {
    if (row >= m_sheetRows || (value.empty() && format == 0)) return;
    if (kind == CellKind::String && !value.empty()) {
        // Texts, the bulk of the bytes, are encoded and escaped in one pass.
        if (value.size() > kMaxCellChars) {
            NoteCut(sheet);
            value = value.substr(0, kMaxCellChars);
        }
        std::string& out = CellStart(sheet, row, column, format);
        out += TextCellOpening(value.front(), value.back());
        AppendCellText(out, value);
        out += "</t></is></c>"sv;
        return;
    }
    // Numbers and dates are ASCII (Classify admits nothing else): narrowed as they are.
    m_utf8.resize(value.size());
    wchar_t any = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        any |= value[i];
        m_utf8[i] = static_cast<char>(value[i]);
    }
    if (any >= 0x80) {
        m_utf8.clear();
        tw::AppendUtf8(m_utf8, value);
    }
    WriteUtf8(sheet, row, column, m_utf8, kind, format);
}

// Holds the longest opening tag (a reference and a style) with a plain number's value and closing tags.
class XlsxReport::CellPiece {
public:
    CellPiece& operator<<(std::string_view text) {
        std::memcpy(m_end, text.data(), text.size());
        m_end += text.size();
        return *this;
    }
    CellPiece& operator<<(char c) {
        *m_end++ = c;
        return *this;
    }
    void Number(unsigned value) { m_end = std::to_chars(m_end, m_text + sizeof m_text, value).ptr; }
    void AppendTo(std::string& out) const { out.append(m_text, static_cast<size_t>(m_end - m_text)); }

private:
    char m_text[96];
    char* m_end = m_text;
};

void XlsxReport::CellHead(Sheet& sheet, unsigned row, unsigned short column, int format, CellPiece& piece) {
    OpenRow(sheet, row);
    // A cell right after the one before it goes without its reference, which the format allows: a quarter of
    // the XML fewer to write and compress.
    piece << "<c"sv;
    if (column != sheet.nextColumn) piece << " r=\""sv << ColumnName(column) << sheet.rowRef << '"';
    sheet.nextColumn = column + 1u;
    if (format != 0) {
        piece << " s=\""sv;
        piece.Number(static_cast<unsigned>(format));
        piece << '"';
    }
}

std::string& XlsxReport::CellStart(Sheet& sheet, unsigned row, unsigned short column, int format) {
    CellPiece piece;
    CellHead(sheet, row, column, format, piece);
    std::string& out = RowsOf(sheet);
    piece.AppendTo(out);
    return out;
}

void XlsxReport::NoteCut(const Sheet& sheet) {
    // A cell holds at most 32,767 characters; the rest of a longer text cannot be kept in this format.
    if (!m_truncatedNoted)
        CLog::Info(L"A value longer than a worksheet cell holds (32,767 characters) was cut to fit, on the "
                   L"worksheet '" + sheet.name + L"'.");
    m_truncatedNoted = true;
}

void XlsxReport::WriteUtf8(Sheet& sheet, unsigned row, unsigned short column, std::string_view value, CellKind kind,
                           int format) {
    // The whole cell in one append where it is short, as nearly every number is.
    CellPiece piece;
    CellHead(sheet, row, column, format, piece);
    std::string& out = RowsOf(sheet);
    if (value.empty() || (kind == CellKind::Number && IsPlainNumber(value))) {
        if (value.empty()) {
            piece << "/>"sv;
        } else {
            piece << "><v>"sv << value << "</v></c>"sv;
        }
        piece.AppendTo(out);
        return;
    }
    piece.AppendTo(out);
    if (kind == CellKind::Number) {
        out += "><v>"sv;
        const size_t start = out.size();
        if (AppendNumberValue(out, value)) {
            out += "</v></c>"sv;
            return;
        }
        out.resize(start - 4);  // not a number after all: a text cell
    } else if (kind == CellKind::Date || kind == CellKind::DateTime) {
        out += "><v>"sv;
        AppendSerial(out, value);
        out += "</v></c>"sv;
        return;
    }
    if (CutToCell(value)) NoteCut(sheet);
    out += TextCellOpening(value.front(), value.back());
    AppendCellText(out, value);
    out += "</t></is></c>"sv;
}

std::string XlsxReport::SheetHead(size_t index) const {
    const Sheet& sheet = *m_sheets[index];
    std::string xml(kXmlDeclaration);
    xml += "<worksheet xmlns=\"";
    xml += kMainNamespace;
    xml += "\" xmlns:r=\"";
    xml += kRelNamespace;
    xml += "\"><sheetViews><sheetView workbookViewId=\"0\"";
    if (index == 0) xml += " tabSelected=\"1\"";
    if (sheet.freezeRows > 0) {
        xml += "><pane ySplit=\"" + std::to_string(sheet.freezeRows) + "\" topLeftCell=\"A" +
               std::to_string(sheet.freezeRows + 1) +
               "\" activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\"/></sheetView>";
    } else {
        xml += "/>";
    }
    xml += "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (!sheet.widths.empty()) {
        xml += "<cols>";
        for (size_t column = 0; column < sheet.widths.size(); ++column) {
            // Stored as the spreadsheet stores it: whole pixels of a 7-pixel digit plus 5 pixels of margin.
            const double width = (static_cast<int>(sheet.widths[column] * 7 + 0.5) + 5) / 7.0;
            char text[32];
            const auto result = std::to_chars(text, text + sizeof text, width);
            xml += "<col min=\"" + std::to_string(column + 1) + "\" max=\"" + std::to_string(column + 1) +
                   "\" width=\"" + std::string(text, result.ptr) + "\" customWidth=\"1\"/>";
        }
        xml += "</cols>";
    }
    xml += "<sheetData>";
    return xml;
}

std::string XlsxReport::SheetTail(const Sheet& sheet) const {
    std::string xml = "</sheetData>";
    if (sheet.filterColumns > 0)
        xml += "<autoFilter ref=\"A" + std::to_string(sheet.filterFirst) + ":" + ColumnLetters(sheet.filterColumns - 1) +
               std::to_string(sheet.filterLast) + "\"/>";
    if (!sheet.links.empty()) xml += "<hyperlinks>" + sheet.links + "</hyperlinks>";
    xml += "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>";
    if (m_setup.landscape) xml += "<pageSetup orientation=\"landscape\"/>";
    xml += "</worksheet>";
    return xml;
}

std::string XlsxReport::StylesXml() const {
    std::string fonts, fills;
    int fontCount = 1, fillCount = 2;
    std::string xfs = "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    auto rgb = [](long colour) {
        std::string text = "FF";
        AppendHex(text, static_cast<unsigned>(colour), 6);
        return text;
    };
    for (size_t index = 1; index < m_looks.size(); ++index) {
        const Look& look = m_looks[index];
        int font = 0, fill = 0;
        if (look.bold || look.italic || look.link || look.size > 0 || look.fontColour >= 0) {
            fonts += "<font>";
            if (look.bold) fonts += "<b/>";
            if (look.italic) fonts += "<i/>";
            if (look.link) fonts += "<u/>";
            fonts += "<sz val=\"" + std::to_string(look.size > 0 ? look.size : 11) + "\"/>";
            if (look.fontColour >= 0 || look.link)
                fonts += "<color rgb=\"" + rgb(look.fontColour >= 0 ? look.fontColour : kLinkColour) + "\"/>";
            fonts += "<name val=\"Calibri\"/><family val=\"2\"/></font>";
            font = fontCount++;
        }
        if (look.background >= 0) {
            fills += "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"" + rgb(look.background) +
                     "\"/><bgColor indexed=\"64\"/></patternFill></fill>";
            fill = fillCount++;
        }
        const int number = look.number > 0 && look.number < 4 ? kFirstCustomFormat + look.number - 1 : 0;
        xfs += "<xf numFmtId=\"" + std::to_string(number) + "\" fontId=\"" + std::to_string(font) + "\" fillId=\"" +
               std::to_string(fill) + "\" borderId=\"0\" xfId=\"0\"";
        if (number) xfs += " applyNumberFormat=\"1\"";
        if (font) xfs += " applyFont=\"1\"";
        if (fill) xfs += " applyFill=\"1\"";
        if (look.align || look.number == 4) {
            xfs += " applyAlignment=\"1\"><alignment";
            if (look.align) xfs += std::string(" horizontal=\"") + kAlignNames[look.align] + "\"";
            if (look.number == 4) xfs += " wrapText=\"1\"";
            xfs += "/></xf>";
        } else {
            xfs += "/>";
        }
    }
    std::string xml(kXmlDeclaration);
    xml += "<styleSheet xmlns=\"";
    xml += kMainNamespace;
    xml += "\"><numFmts count=\"3\">";
    for (int number = 1; number <= 3; ++number)
        xml += "<numFmt numFmtId=\"" + std::to_string(kFirstCustomFormat + number - 1) + "\" formatCode=\"" +
               kNumberFormats[number] + "\"/>";
    xml += "</numFmts><fonts count=\"" + std::to_string(fontCount) +
           "\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>" + fonts + "</fonts>";
    xml += "<fills count=\"" + std::to_string(fillCount) +
           "\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>" +
           fills + "</fills>";
    xml += "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>";
    xml += "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>";
    xml += "<cellXfs count=\"" + std::to_string(m_looks.size()) + "\">" + xfs + "</cellXfs>";
    xml += "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";
    xml += "<dxfs count=\"0\"/><tableStyles count=\"0\"/></styleSheet>";
    return xml;
}

std::string XlsxReport::WorkbookXml() const {
    std::string xml(kXmlDeclaration);
    xml += "<workbook xmlns=\"";
    xml += kMainNamespace;
    xml += "\" xmlns:r=\"";
    xml += kRelNamespace;
    xml += "\"><workbookPr/><bookViews><workbookView/></bookViews><sheets>";
    std::string names;
    for (size_t index = 0; index < m_sheets.size(); ++index) {
        const Sheet& sheet = *m_sheets[index];
        xml += "<sheet name=\"";
        AppendAttribute(xml, sheet.name);
        xml += "\" sheetId=\"" + std::to_string(index + 1) + "\" r:id=\"rId" + std::to_string(index + 1) + "\"/>";
        if (sheet.filterColumns > 0) {
            // The spreadsheet keeps an autofilter's range in this hidden name too.
            names += "<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"" + std::to_string(index) +
                     "\" hidden=\"1\">";
            AppendAttribute(names, SheetReference(sheet.name, "$A$" + std::to_string(sheet.filterFirst) + ":$" +
                                                                    ColumnLetters(sheet.filterColumns - 1) + "$" +
                                                                    std::to_string(sheet.filterLast)));
            names += "</definedName>";
        }
    }
    xml += "</sheets>";
    if (!names.empty()) xml += "<definedNames>" + names + "</definedNames>";
    xml += "</workbook>";
    return xml;
}

std::string XlsxReport::PackageParts() const {
    std::string xml(kXmlDeclaration);
    xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
           "<Override PartName=\"/xl/styles.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
           "<Override PartName=\"/docProps/core.xml\" "
           "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
           "<Override PartName=\"/docProps/app.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>";
    for (size_t index = 0; index < m_sheets.size(); ++index)
        xml += "<Override PartName=\"/" + MemberName(index) +
               "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    xml += "</Types>";
    return xml;
}

std::string XlsxReport::CoreProperties() const {
    std::string xml(kXmlDeclaration);
    xml += "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
           "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    for (const auto& [placeholder, value] : m_setup.properties) {
        const char* element = placeholder == L"%TITLE%"         ? "dc:title"
                              : placeholder == L"%AUTHOR%"      ? "dc:creator"
                              : placeholder == L"%DESCRIPTION%" ? "dc:description"
                                                                : nullptr;
        if (!element || value.empty()) continue;
        xml += std::string("<") + element + ">";
        AppendAttribute(xml, value);
        xml += std::string("</") + element + ">";
    }
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char stamp[32] = "1980-01-01T00:00:00Z";
    if (gmtime_r(&now, &utc)) std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    xml += std::string("<dcterms:created xsi:type=\"dcterms:W3CDTF\">") + stamp +
           "</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + stamp + "</dcterms:modified>";
    xml += "</cp:coreProperties>";
    return xml;
}
