#include "rtf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "column_widths.h"
#include "rtf_colors.h"
#include "text.h"

namespace {

using tw::report::kNamedColours;

constexpr int kNamedCount = static_cast<int>(std::size(kNamedColours));
constexpr int kFirstCustom = 1 + kNamedCount;                     // index 0 is the reader's automatic colour
constexpr int kBlue = 1;                                          // links
constexpr int kA4Short = 11906, kA4Long = 16838, kMargin = 1134;  // twips
constexpr char kEmptySlot[] = "\\red000\\green000\\blue000;";

// Heading sizes in half points, levels 1 to 6.
constexpr int kHeadingHalfPoints[6] = {32, 28, 26, 24, 22, 20};

void AppendInt(std::string& out, long value) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%ld", value);
    out.append(digits, static_cast<size_t>(n));
}

void AppendUnicode(std::string& out, unsigned unit) {
    out += "\\u";
    AppendInt(out, unit > 32767 ? static_cast<long>(unit) - 65536 : static_cast<long>(unit));
    out += '?';
}

// RTF text: ASCII as is (with the three special characters escaped), everything else as \uN with a '?'
// fallback for old readers; characters beyond U+FFFF as a surrogate pair.
void AppendRtfText(std::string& out, std::wstring_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned long>(text[i]);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\line ";
        } else if (c == '\r') {
            if (i + 1 == text.size() || text[i + 1] != L'\n') out += "\\line ";
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c < 0x20) {
            out += ' ';  // other control characters have no place in a document
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c <= 0xFFFF) {
            AppendUnicode(out, (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : static_cast<unsigned>(c));
        } else if (c <= 0x10FFFF) {
            const unsigned long v = c - 0x10000;
            AppendUnicode(out, static_cast<unsigned>(0xD800 + (v >> 10)));
            AppendUnicode(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        } else {
            AppendUnicode(out, 0xFFFD);
        }
    }
}

// Bookmark names: Word accepts letters, digits and underscores, starting with a letter.
void AppendBookmarkName(std::string& out, std::wstring_view name) {
    if (name.empty() || !((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'a' && name[0] <= L'z')))
        out += 'B';
    for (wchar_t c : name) {
        const bool keep = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
        out += keep ? static_cast<char>(c) : '_';
    }
}

void AppendParagraphProperties(std::string& out, int type) {
    if (type >= 1 && type <= 6) {
        out += "\\s";
        AppendInt(out, type);
        out += "\\keepn\\sb240\\sa120\\outlinelevel";
        AppendInt(out, type - 1);
        out += "\\b\\f0\\fs";
        AppendInt(out, kHeadingHalfPoints[type - 1]);
    } else {
        out += "\\s0\\sa60\\f0\\fs20";
    }
    out += ' ';
}

void AppendColour(std::string& out, std::uint32_t rgb, bool fixedWidth) {
    char entry[40];
    const int n = std::snprintf(entry, sizeof entry,
                                fixedWidth ? "\\red%03u\\green%03u\\blue%03u;" : "\\red%u\\green%u\\blue%u;",
                                rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
    out.append(entry, static_cast<size_t>(n));
}

std::wstring_view Property(const ReportSetup& setup, std::wstring_view name) {
    for (const auto& [key, value] : setup.properties)
        if (key == name) return value;
    return {};
}

}  // namespace

int RtfReport::Open() {
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    m_open = true;
    m_inRow = m_inCell = m_inParagraph = false;
    m_styles.Reset();
    m_customCount = 0;
    WriteHeader();
    return RE_OK;
}

void RtfReport::WriteHeader() {
    std::string& out = m_file.Buffer();
    out +=
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\n{\\colortbl;";
    for (const auto& colour : kNamedColours) AppendColour(out, colour.rgb, false);
    m_colourTableOffset = m_file.Size();
    for (int i = 0; i < kCustomColourSlots; ++i) out += kEmptySlot;
    out += "}\n{\\stylesheet{\\s0\\snext0\\sa60\\f0\\fs20 Normal;}";
    for (int level = 1; level <= 6; ++level) {
        out += "{";
        AppendParagraphProperties(out, level);
        out.pop_back();
        out += "\\sbasedon0\\snext0 heading ";
        AppendInt(out, level);
        out += ";}";
    }
    out += "}\n{\\info{\\title ";
    AppendRtfText(out, Property(m_setup, L"%TITLE%"));
    out += "}{\\author ";
    AppendRtfText(out, Property(m_setup, L"%AUTHOR%"));
    out += "}{\\doccomm ";
    AppendRtfText(out, Property(m_setup, L"%DESCRIPTION%"));
    out += "}}\n";
    const int width = m_setup.landscape ? kA4Long : kA4Short;
    const int height = m_setup.landscape ? kA4Short : kA4Long;
    m_textWidth = width - 2 * kMargin;
    out += "\\paperw";
    AppendInt(out, width);
    out += "\\paperh";
    AppendInt(out, height);
    out += "\\margl1134\\margr1134\\margt1134\\margb1134\\widowctrl";
    if (m_setup.landscape) out += "\\landscape";
    out += "\n\\sectd";
    if (m_setup.landscape) out += "\\lndscpsxn";
    out += "\\pgwsxn";
    AppendInt(out, width);
    out += "\\pghsxn";
    AppendInt(out, height);
    out += "\n{\\footer\\pard\\plain\\qc\\f0\\fs18 \\chpgn\\par}\n";
    m_file.MaybeFlush();
}

int RtfReport::Close() {
    if (!m_open) return RE_OK;
    if (m_inRow) EndRow(L"row");
    if (m_inParagraph) EndParagraph(0);
    WritePendingRows();
    m_file.Write("}\n");
    m_open = false;
    // The colours go in before the file is put under its name, so that no report without them is ever seen.
    if (m_customCount > 0) PatchColourTable();
    if (!m_file.Close()) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void RtfReport::Discard() {
    m_open = false;
    m_file.Discard();
}

// The reserved colour slots are fixed-width, so the colours seen during the run overwrite them in place.
void RtfReport::PatchColourTable() {
    std::string slots;
    for (int i = 0; i < m_customCount; ++i) AppendColour(slots, m_custom[i], true);
    m_file.WriteAt(m_colourTableOffset, slots);  // a failure is kept by the file and reported by Close
}

int RtfReport::ColourIndex(std::wstring_view text) {
    const auto rgb = tw::report::ParseColour(text);
    if (!rgb) return 0;
    for (int i = 0; i < kNamedCount; ++i)
        if (kNamedColours[i].rgb == *rgb) return 1 + i;
    for (int i = 0; i < m_customCount; ++i)
        if (m_custom[i] == *rgb) return kFirstCustom + i;
    if (m_customCount == kCustomColourSlots) return 0;
    m_custom[m_customCount] = *rgb;
    return kFirstCustom + m_customCount++;
}

// Arial's characters average about 5.5 points at 10 points (110 twips; 120 leaves room for the readers' own
// cell margins); bold a tenth wider, East Asian characters twice as wide. Close enough to balance columns;
// the reader wraps what is wider.
void RtfReport::Measure(std::wstring_view text, bool bold, int size) {
    const double scale = (size > 0 ? size / 10.0 : 1.0) * (bold ? 1.1 : 1.0) * kTwipsPerChar;
    for (const wchar_t c : text) {
        if (c == L'\n' || c == L'\r') {
            MeasureBreak(true);
        } else if (c == L' ' || c == L'\t' || c == L'-' || c == L'/') {
            m_lineTwips += scale;
            if (c != L' ') m_wordTwips += scale;
            MeasureBreak(false);
        } else {
            const double wide = c >= 0x2E80 && (c <= 0xA4CF || (c >= 0xAC00 && c <= 0xD7A3) ||
                                                 (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) ||
                                                 c >= 0x1F300)
                                    ? 2.0
                                    : 1.0;
            m_lineTwips += scale * wide;
            m_wordTwips += scale * wide;
            if (wide > 1) MeasureBreak(false);  // ideographs break between any two
        }
    }
}

void RtfReport::MeasureBreak(bool endOfLine) {
    if (m_cells.empty()) return;
    CellShape& cell = m_cells.back();
    cell.minimum = std::max(cell.minimum, m_wordTwips);
    cell.natural = std::max(cell.natural, m_lineTwips);
    m_wordTwips = 0;
    if (endOfLine) m_lineTwips = 0;
}

void RtfReport::AppendRun(std::string& out, std::wstring_view text, bool bold) {
    const int size = m_styles.Size();
    if (m_inCell) Measure(text, bold || m_styles.Bold(), size);
    const bool styled = bold || m_styles.Bold() || m_styles.Italic() || size > 0;
    if (!styled) {
        AppendRtfText(out, text);
        return;
    }
    out += '{';
    if (bold || m_styles.Bold()) out += "\\b";
    if (m_styles.Italic()) out += "\\i";
    if (size > 0) {
        out += "\\fs";
        AppendInt(out, 2L * size);
    }
    out += ' ';
    AppendRtfText(out, text);
    out += '}';
}

void RtfReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view, int markup) {
    if (!m_open) return;
    std::wstring plain;
    if (markup) {
        plain = tw::report::PlainFromMarkup(text);
        text = plain;
    }
    if (m_inCell || m_inParagraph) {
        AppendRun(Out(), text, m_inCell && m_headerCell);
    } else if (m_inRow) {
        return;  // text between cells has no place in an RTF row
    } else {
        std::string& out = FileOut();
        out += "{\\pard\\plain";
        AppendParagraphProperties(out, type);
        AppendRun(out, text, false);
        out += "\\par}\n";
    }
    Flush();
}

void RtfReport::BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) {}
void RtfReport::EndSubDocument() {}

void RtfReport::Ancor(std::wstring_view name) {
    if (!m_open) return;
    std::string& out = Out();
    out += "{\\*\\bkmkstart ";
    AppendBookmarkName(out, name);
    out += "}{\\*\\bkmkend ";
    AppendBookmarkName(out, name);
    out += "}";
    Flush();
}

void RtfReport::EndOfLine() {
    if (m_open && m_inCell) MeasureBreak(true);
    if (m_open && (m_inParagraph || m_inCell)) Out() += "\\line ";
}

void RtfReport::BeginStyle(int style, int size) { m_styles.Begin(style, size); }

void RtfReport::EndStyle(int style, int) { m_styles.End(style); }

void RtfReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view) {
    if (!m_open || m_inRow) return;
    if (m_inParagraph) EndParagraph(type);
    std::string& out = FileOut();
    out += "\\pard\\plain";
    AppendParagraphProperties(out, type);
    m_inParagraph = true;
}

void RtfReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!m_open || !m_inParagraph) return;
    FileOut() += "\\par\n";
    m_inParagraph = false;
    m_file.MaybeFlush();
}

void RtfReport::BeginToc() {
    if (!m_open || m_inRow) return;
    FileOut() += "{\\pard\\plain\\s0\\sb240\\sa120\\b\\f0\\fs24 Contents\\par}\n";
}

void RtfReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    if (!m_open || m_inRow) return;
    std::string& out = FileOut();
    out += "{\\pard\\plain\\s0\\sa60\\f0\\fs20\\li";
    AppendInt(out, 360L * (1 + (level > 0 && level < 6 ? level : 0)));
    out += " {\\field{\\*\\fldinst {HYPERLINK \\\\l \"";
    AppendBookmarkName(out, anchor);
    out += "\"}}{\\fldrslt {\\ul\\cf";
    AppendInt(out, kBlue);
    out += ' ';
    AppendRtfText(out, text);
    out += "}}}\\par}\n";
    m_file.MaybeFlush();
}

void RtfReport::EndToc() {}

void RtfReport::BeginTable(std::wstring_view, std::wstring_view) {
    if (m_inParagraph) EndParagraph(0);
    WritePendingRows();
    m_inTable = true;
    m_widthsFixed = false;
    m_cellx.clear();
}

void RtfReport::EndTable(std::wstring_view) {
    if (!m_open) return;
    if (m_inRow) EndRow(L"row");
    WritePendingRows();
    m_inTable = false;
    m_widthsFixed = false;
    // An empty paragraph ends the table, so that the next table does not join it.
    m_file.Write("\\pard\\plain\\s0\\f0\\fs20\\par\n");
}

void RtfReport::BeginRow(std::wstring_view cls, std::wstring_view, int) {
    if (!m_open) return;
    if (m_inRow) EndRow(cls);
    if (m_inParagraph) EndParagraph(0);
    m_inRow = true;
    m_headerRow = cls.empty();
    m_row.clear();
    m_cells.clear();
}

void RtfReport::EndRow(std::wstring_view) {
    if (!m_open || !m_inRow) return;
    if (m_inCell) FinishCell();
    m_inRow = false;
    if (m_cells.empty()) return;  // a row without cells is not valid RTF
    if (m_inTable && !m_widthsFixed) {
        // The first rows of a table wait until their widths are measured.
        m_pendingRows.push_back(PendingRow{m_cells, m_row, m_headerRow});
        if (m_pendingRows.size() >= kMeasureRows) WritePendingRows();
        return;
    }
    WriteRow(m_cells, m_row, m_headerRow);
}

// Widths in twips from the measured rows (as the PDF writer balances them); every pending row written.
void RtfReport::WritePendingRows() {
    if (m_pendingRows.empty()) return;
    size_t columns = 0;
    for (const PendingRow& row : m_pendingRows) columns = std::max(columns, row.cells.size());
    std::vector<double> natural(columns, kMinColumnTwips), minimum(columns, kMinColumnTwips);
    for (const PendingRow& row : m_pendingRows) {
        for (size_t c = 0; c < row.cells.size(); ++c) {
            natural[c] = std::max(natural[c], row.cells[c].natural + kCellPaddingTwips);
            minimum[c] = std::max(minimum[c], row.cells[c].minimum + kCellPaddingTwips);
        }
    }
    const std::vector<double> widths = BalanceColumns(natural, minimum, m_textWidth);
    m_cellx.clear();
    double right = 0;
    for (const double width : widths) m_cellx.push_back(static_cast<long>(right += width));
    m_widthsFixed = true;
    std::vector<PendingRow> rows;
    rows.swap(m_pendingRows);
    for (const PendingRow& row : rows) WriteRow(row.cells, row.text, row.header);
}

void RtfReport::WriteRow(const std::vector<CellShape>& cells, const std::string& text, bool header) {
    std::string& out = m_file.Buffer();
    out += "\\trowd\\trgaph70\\trleft0";
    if (header) out += "\\trhdr";
    const int count = static_cast<int>(cells.size());
    const int width = m_textWidth / count > 300 ? m_textWidth / count : 300;
    for (int i = 0; i < count; ++i) {
        out +=
            "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brd"
            "rw10";
        if (cells[static_cast<size_t>(i)].background > 0) {
            out += "\\clcbpat";
            AppendInt(out, cells[static_cast<size_t>(i)].background);
        }
        out += "\\cellx";
        // Measured columns; a row with more cells than the measured ones (or outside a table) shares evenly.
        if (static_cast<size_t>(count) <= m_cellx.size())
            AppendInt(out, m_cellx[static_cast<size_t>(i)]);
        else
            AppendInt(out, static_cast<long>(width) * (i + 1));
    }
    out += '\n';
    out += text;
    out += "\\row\n";
    m_file.MaybeFlush();
}

void RtfReport::StartCell(int header, std::wstring_view attributes) {
    if (m_inCell) FinishCell();
    m_inCell = true;
    m_headerCell = header != 0 || m_headerRow;
    // Attributes are "font colour;background colour".
    const size_t semicolon = attributes.find(L';');
    const std::wstring_view fore = attributes.substr(0, semicolon);
    const std::wstring_view back =
        semicolon == std::wstring_view::npos ? std::wstring_view{} : attributes.substr(semicolon + 1);
    m_cells.push_back(CellShape{ColourIndex(back)});
    m_lineTwips = m_wordTwips = 0;
    m_row += "\\pard\\intbl\\plain\\f0\\fs20";
    if (const int foreIndex = ColourIndex(fore); foreIndex > 0) {
        m_row += "\\cf";
        AppendInt(m_row, foreIndex);
    }
    m_row += ' ';
}

void RtfReport::FinishCell() {
    MeasureBreak(true);
    m_row += "\\cell\n";
    m_inCell = false;
}

void RtfReport::BeginCell(std::wstring_view, int header, std::wstring_view attributes) {
    if (!m_open) return;
    if (!m_inRow) BeginRow(L"row", {}, 0);
    StartCell(header, attributes);
}

void RtfReport::EndCell(std::wstring_view, int) {
    if (m_open && m_inCell) FinishCell();
}

void RtfReport::Cell(std::wstring_view text, int header, std::wstring_view attributes) {
    if (!m_open) return;
    if (!m_inRow) BeginRow(header ? L"" : L"row", {}, 0);
    StartCell(header, attributes);
    AppendRun(m_row, text, m_headerCell);
    FinishCell();
}
