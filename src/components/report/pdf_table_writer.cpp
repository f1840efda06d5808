// Tables of the PDF writer: rows are measured, then drawn as they arrive, with the header row on every page.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "column_widths.h"
#include "pdf_writer.h"
#include "rtf_colors.h"

namespace {

constexpr double kPadding = 3;
constexpr double kFooterHeight = 18;
constexpr double kMinColumn = 18;
// Table text: the body size, and the smallest it shrinks to so that a slightly wide table fits one page. A
// table wider than that keeps its size and continues its columns on following pages instead.
constexpr double kCellPoints = 9, kMinCellPoints = 7;
// The narrowest a column of a banded table gets (about eight characters), unless its values are all shorter.
constexpr double kMinBandColumn = 48;
// The most a column of a table that fits its page grows beyond its measured width (about six digits).
constexpr double kHeadroom = 48;
constexpr size_t kMeasuredBytes = 4096;
constexpr double kSpareColumn = 60;  // a cell beyond the measured columns
constexpr std::uint32_t kHeaderShade = 0xE4E4E4;
constexpr std::uint32_t kBorder = 0x909090;

double ColumnWidth(const std::vector<double>& widths, size_t column) {
    return column < widths.size() ? widths[column] : kSpareColumn;
}

double ToPoints(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

void SetRgb(cairo_t* cr, std::uint32_t rgb) {
    cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

// The widest stretch of an unwrapped layout between two line-break opportunities (its widest "word"), walked
// cluster by cluster in one pass.
double WidestWord(PangoLayout* layout) {
    int attributeCount = 0;
    const PangoLogAttr* attributes = pango_layout_get_log_attrs_readonly(layout, &attributeCount);
    const char* text = pango_layout_get_text(layout);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    int widest = 0, start = 0, end = 0, byte = 0, character = 0;
    bool first = true;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_cluster_extents(iter, nullptr, &logical);
        const int index = pango_layout_iter_get_index(iter);
        if (index > byte) {
            character += static_cast<int>(g_utf8_pointer_to_offset(text + byte, text + index));
            byte = index;
        }
        const bool breakBefore = character < attributeCount && attributes[character].is_line_break;
        // A break opportunity, or a new line (x went back), starts the next word.
        if (first || breakBefore || logical.x < end - PANGO_SCALE) {
            if (!first) widest = std::max(widest, end - start);
            start = logical.x;
            end = logical.x + logical.width;
        } else {
            end = std::max(end, logical.x + logical.width);
        }
        first = false;
    } while (pango_layout_iter_next_cluster(iter));
    pango_layout_iter_free(iter);
    if (!first) widest = std::max(widest, end - start);
    return ToPoints(widest);
}

}  // namespace

PdfReport::RowData& PdfReport::CurrentRow() {
    return m_widthsFixed ? m_streamRow : m_buffered[static_cast<size_t>(m_bufferedCount)];
}

void PdfReport::BeginTable(std::wstring_view, std::wstring_view) {
    if (!m_open) return;
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (m_inTable) EndTable(L"");
    ReleaseHeldRow(0);
    m_inTable = true;
    m_bandStarts.assign(1, 0);
    SetBand(0);
    m_groupCount = 0;
    m_firstGroup = true;
    m_widthsFixed = false;
    m_hasHeader = false;
    m_bufferedCount = 0;
    m_widths.clear();
    SetCellPoints(kCellPoints);
}

void PdfReport::EndTable(std::wstring_view) {
    if (!m_open || !m_inTable) return;
    if (m_inRow) EndRow(L"row");
    FlushBuffered();
    m_inTable = false;
    m_widthsFixed = false;
    m_bufferedCount = 0;
    // The last rows wait for what follows the table (ReleaseHeldRow), with the gap after them.
    if (m_rowHeld || m_groupCount > 0)
        m_gapAfterHeld = true;
    else
        m_y += 8;
}

void PdfReport::SetBand(size_t band) {
    m_bandBegin = m_bandStarts.size() > 1 ? m_bandStarts[band] : 0;
    m_bandEnd = band + 1 < m_bandStarts.size() ? m_bandStarts[band + 1] : SIZE_MAX;
}

// The row's first column (repeated on the pages of later bands), then the band's own columns.
size_t PdfReport::BandSize(const RowData& row) const {
    const size_t used = static_cast<size_t>(row.used);
    if (m_bandBegin == 0) return std::min(used, m_bandEnd);
    if (used == 0) return 0;
    return 1 + (used > m_bandBegin ? std::min(used, m_bandEnd) - m_bandBegin : 0);
}

void PdfReport::StreamRow(RowData& row) {
    if (m_bandStarts.size() > 1) {
        AddToGroup(row);
        return;
    }
    if (m_rowHeld) DrawRow(m_heldRow, true);
    std::swap(m_heldRow, row);
    m_rowHeld = true;
    m_heldAfterHeader = false;
}

void PdfReport::ReleaseHeldRow(double keep) {
    if (m_groupCount > 0) {
        FlushGroup(keep);
    } else if (m_rowHeld) {
        m_rowHeld = false;
        m_keepWithNext = keep;
        DrawRow(m_heldRow, true);
        m_keepWithNext = 0;
    } else {
        return;
    }
    if (m_gapAfterHeld) m_y += 8;
    m_gapAfterHeld = false;
}

// A banded table gathers the rows that fit one page in every band (at most a page of rows in memory), then
// draws that page of each band in turn, so a reader finds a row's continuation on the following pages.
void PdfReport::AddToGroup(RowData& row) {
    const size_t bands = m_bandStarts.size();
    const double bottom = m_pageHeight - m_margin - kFooterHeight;
    std::vector<double> heights(bands);
    for (size_t b = 0; b < bands; ++b) {
        SetBand(b);
        heights[b] = RowHeight(row, false);
    }
    if (m_groupCount > 0) {
        for (size_t b = 0; b < bands; ++b) {
            if (m_groupHeights[b] + heights[b] > m_groupRoom[b]) {
                FlushGroup();
                break;
            }
        }
    }
    if (m_groupCount == 0) {
        EnsurePage();
        // The first page of a table starts where the page stands when a good part of it is left.
        m_groupOnCurrentPage = m_firstGroup && bottom - m_y >= (bottom - m_margin) / 3;
        m_groupRoom.assign(bands, bottom - m_margin);
        if (m_groupOnCurrentPage) m_groupRoom[0] = bottom - m_y;
        m_groupHeights.assign(bands, 0);
        for (size_t b = 0; b < bands && m_hasHeader; ++b) {
            SetBand(b);
            m_groupHeights[b] = RowHeight(m_buffered[0], true);
        }
    }
    for (size_t b = 0; b < bands; ++b) m_groupHeights[b] += heights[b];
    if (m_groupCount >= static_cast<int>(m_group.size())) m_group.emplace_back();
    std::swap(m_group[static_cast<size_t>(m_groupCount++)], row);
    SetBand(0);
}

void PdfReport::FlushGroup(double keep) {
    if (m_groupCount == 0) return;
    const size_t lastBand = m_bandStarts.size() - 1;
    if (keep > 0 && m_groupCount > 1 && m_groupHeights[lastBand] + keep > m_groupRoom[lastBand]) {
        RowData& lastRow = m_group[static_cast<size_t>(m_groupCount - 1)];
        double alone = keep;
        for (size_t b = 0; b < m_bandStarts.size(); ++b) {
            SetBand(b);
            const double band = RowHeight(lastRow, false) + (m_hasHeader ? RowHeight(m_buffered[0], true) : 0);
            alone = std::max(alone, band + (b == lastBand ? keep : 0));
        }
        SetBand(0);
        if (alone <= m_pageHeight - 2 * m_margin - kFooterHeight) {
            --m_groupCount;
            FlushGroup(0);
            AddToGroup(lastRow);
        }
    }
    for (size_t b = 0; b < m_bandStarts.size(); ++b) {
        SetBand(b);
        if (b > 0 || !m_groupOnCurrentPage) NewPage();
        if (m_hasHeader) DrawRow(m_buffered[0], false);
        for (int i = 0; i < m_groupCount; ++i) DrawRow(m_group[static_cast<size_t>(i)], true);
    }
    SetBand(0);
    m_groupCount = 0;
    m_firstGroup = false;
}

void PdfReport::BeginRow(std::wstring_view cls, std::wstring_view, int) {
    if (!m_open) return;
    if (m_inRow) EndRow(cls);
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (!m_inTable) BeginTable(L"", L"");
    if (!m_widthsFixed && m_bufferedCount >= static_cast<int>(m_buffered.size())) m_buffered.emplace_back();
    RowData& row = CurrentRow();
    row.used = 0;
    row.header = cls.empty();
    m_inRow = true;
}

void PdfReport::EndRow(std::wstring_view) {
    if (!m_open || !m_inRow) return;
    m_inRow = m_inCell = false;
    if (m_widthsFixed) {
        if (m_streamRow.used > 0) StreamRow(m_streamRow);
        return;
    }
    const RowData& row = m_buffered[static_cast<size_t>(m_bufferedCount)];
    if (row.used == 0) return;
    if (m_bufferedCount == 0 && row.header) m_hasHeader = true;
    ++m_bufferedCount;
    if (m_bufferedCount > kMeasureRows) FlushBuffered();
}

void PdfReport::BeginCell(std::wstring_view, int header, std::wstring_view attributes) {
    if (!m_open) return;
    if (!m_inRow) BeginRow(L"row", {}, 0);
    RowData& row = CurrentRow();
    if (row.used == static_cast<int>(row.cells.size())) row.cells.emplace_back();
    CellData& cell = row.cells[static_cast<size_t>(row.used++)];
    cell.text.Clear();
    cell.header = header != 0 || row.header;
    const auto colour = tw::report::ParseColour(attributes);
    cell.hasBackground = colour.has_value();
    cell.background = colour.value_or(0);
    m_inCell = true;
}

void PdfReport::EndCell(std::wstring_view, int) { m_inCell = false; }

void PdfReport::Cell(std::wstring_view text, int header, std::wstring_view attributes) {
    if (!m_open) return;
    if (!m_inRow) BeginRow(header ? L"" : L"row", {}, 0);
    BeginCell({}, header, attributes);
    Text(text, 0, {}, 0);
    m_inCell = false;
}

// Each column's natural width (its widest line unwrapped) and minimum width (its widest word: a value such as
// 2024-01-02 or order_date that has no break opportunity), balanced by BalanceColumns. When even the minimums
// do not fit, the table's font shrinks down to kMinCellPoints if that is enough; otherwise the columns are
// split into bands that continue on following pages (SplitIntoBands). Only a word wider than a whole page
// breaks between characters (never with an inserted hyphen).
void PdfReport::FixColumnWidths() {
    size_t columns = 0;
    for (int i = 0; i < m_bufferedCount; ++i)
        columns = std::max(columns, static_cast<size_t>(m_buffered[static_cast<size_t>(i)].used));
    std::vector<double> natural, minimum;
    const double available = m_pageWidth - 2 * m_margin;
    double minimumTotal = 0;
    auto measure = [&] {
        natural.assign(columns, kMinColumn);
        minimum.assign(columns, kMinColumn);
        PangoLayout* layout = CellLayout(0, false);
        pango_layout_set_width(layout, -1);
        for (int i = 0; i < m_bufferedCount; ++i) {
            const RowData& row = m_buffered[static_cast<size_t>(i)];
            for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
                // A long value is measured by its beginning: it is a long text, wider than the page, whose
                // widest word shows early; laying out all of a megabyte only to learn that would double its cost.
                const RichText& text = row.cells[c].text;
                ApplyText(layout, text, row.cells[c].header, kMeasuredBytes);
                int width = 0, height = 0;
                pango_layout_get_size(layout, &width, &height);
                natural[c] = std::max(natural[c], text.utf8.size() > kMeasuredBytes
                                                      ? available
                                                      : ToPoints(width) + 2 * kPadding + 1);
                minimum[c] = std::max(minimum[c], WidestWord(layout) + 2 * kPadding + 1);
            }
        }
        minimumTotal = 0;
        for (size_t c = 0; c < columns; ++c) minimumTotal += std::min({minimum[c], natural[c], available});
    };
    measure();
    if (minimumTotal > available && columns > 0 &&
        kCellPoints * 0.97 * available / minimumTotal >= kMinCellPoints) {
        // Measured again at the smaller size (with a little room to spare): hinted glyph widths do not scale
        // exactly.
        SetCellPoints(kCellPoints * 0.97 * available / minimumTotal);
        measure();
    }
    m_bandStarts.assign(1, 0);
    if (minimumTotal <= available || columns < 2) {
        m_widths = BalanceColumns(natural, minimum, available);
        // The widths come from the first rows only; later values are often longer (ids that count up, larger
        // amounts). Room the page has to spare goes to every column alike, up to a few characters each, so
        // that such a value stays on one line rather than break inside (1278 as 12 over 78).
        double total = 0;
        for (const double width : m_widths) total += width;
        if (total < available && !m_widths.empty()) {
            const double extra = std::min((available - total) / static_cast<double>(m_widths.size()), kHeadroom);
            for (double& width : m_widths) width += extra;
        }
    } else {
        ColumnBands bands = SplitIntoBands(natural, minimum, available, kMinBandColumn);
        m_widths = std::move(bands.widths);
        m_bandStarts = std::move(bands.starts);
    }
    SetBand(0);
    m_widthsFixed = true;
}

void PdfReport::FlushBuffered() {
    if (!m_inTable || m_widthsFixed) return;
    FixColumnWidths();
    if (m_bandStarts.size() > 1) {
        for (int i = m_hasHeader ? 1 : 0; i < m_bufferedCount; ++i)
            AddToGroup(m_buffered[static_cast<size_t>(i)]);
        if (m_hasHeader && m_bufferedCount == 1) {
            // A header row without rows still shows every column name.
            for (size_t b = 0; b < m_bandStarts.size(); ++b) {
                SetBand(b);
                if (b > 0) NewPage();
                DrawRow(m_buffered[0], false);
            }
            SetBand(0);
        }
        return;
    }
    // The header row starts a page rather than stand alone at the bottom of one: it needs room for the first
    // row too (a few lines of it, when that row is taller than a page).
    if (m_hasHeader && m_bufferedCount > 1) m_keepWithNext = std::min(RowHeight(m_buffered[1], false), 40.0);
    // The last row is held: what follows the table (a footer) may need it on its page.
    const int last = m_bufferedCount - 1;
    for (int i = 0; i < m_bufferedCount; ++i) {
        if (i == last && !(i == 0 && m_hasHeader)) {
            m_heldRow = m_buffered[static_cast<size_t>(i)];
            m_rowHeld = true;
            m_heldAfterHeader = m_hasHeader && i == 1;
        } else {
            DrawRow(m_buffered[static_cast<size_t>(i)], i > 0);
        }
        m_keepWithNext = 0;
    }
}

// Plain text in one look (regular, or bold all through) without a line break, that fits its column.
const PdfPlainText::Line* PdfReport::PlainLine(const CellData& cell, size_t column, bool isHeader,
                                               double width) {
    const RichText& text = cell.text;
    bool bold = cell.header;
    if (!text.spans.empty()) {
        const Span& span = text.spans[0];
        if (text.spans.size() > 1 || span.start > 0 || span.end < text.utf8.size() || span.italic ||
            span.size > 0)
            return nullptr;
        bold = bold || span.bold;
    }
    const PdfPlainText::Line* line = m_plain->Shape(column * 2 + (isHeader ? 1 : 0), text.utf8, bold);
    // Narrower than the layout's width by a unit at least: a line that only just fits is left to pango's
    // own judgement.
    if (line && line->width >= static_cast<int>((width - 2 * kPadding) * PANGO_SCALE)) return nullptr;
    return line;
}

double PdfReport::RowHeight(const RowData& row, bool isHeader) {
    double height = 0;
    for (size_t k = 0, n = BandSize(row); k < n; ++k) {
        const size_t c = BandColumn(k);
        if (const PdfPlainText::Line* line = PlainLine(row.cells[c], c, isHeader, ColumnWidth(m_widths, c))) {
            height = std::max(height, ToPoints(m_plain->LineHeight(line->bold)));
            continue;
        }
        PangoLayout* layout = CellLayout(c, isHeader);
        pango_layout_set_width(layout,
                               static_cast<int>((ColumnWidth(m_widths, c) - 2 * kPadding) * PANGO_SCALE));
        ApplyText(layout, row.cells[c].text, row.cells[c].header);
        int width = 0, layoutHeight = 0;
        pango_layout_get_size(layout, &width, &layoutHeight);
        height = std::max(height, ToPoints(layoutHeight));
    }
    return height + 2 * kPadding;
}

void PdfReport::DrawRow(const RowData& row, bool repeatHeader) {
    cairo_t* cr = Context();
    const bool isHeader = m_hasHeader && !m_buffered.empty() && &row == &m_buffered[0];
    const double bottom = m_pageHeight - m_margin - kFooterHeight;
    const double height = RowHeight(row, isHeader);

    auto drawHeader = [&] {
        if (repeatHeader && m_hasHeader && !isHeader) DrawRow(m_buffered[0], false);
    };
    EnsurePage();
    const bool freshPage = m_y <= m_margin + 0.5;
    // A row that would not fit even on a page of its own starts here when a few lines still fit, rather than
    // leave the rest of this page empty.
    const bool tallerThanAPage = height > bottom - m_margin - 40 && bottom - m_y > 40 + m_keepWithNext;
    if (m_y + height + m_keepWithNext > bottom && !freshPage && !tallerThanAPage) {
        NewPage();
        drawHeader();
    }
    PlaceAnchors();

    // A row taller than the rest of the page is drawn in slices, line by line. Each column keeps its place in
    // its lines from slice to slice, so a long cell costs time in proportion to its length.
    // Two walkers per column go down its lines once each: one measures a slice, the other draws it. (Copying
    // an iterator per page would copy every line's extents each time.)
    struct Iterators {
        std::vector<PangoLayoutIter*> at;        // the first line not yet drawn; null when the column is done
        std::vector<PangoLayoutIter*> measured;  // the first line not yet measured into a slice
        ~Iterators() {
            for (auto* list : {&at, &measured})
                for (PangoLayoutIter* iter : *list)
                    if (iter) pango_layout_iter_free(iter);
        }
    } lines;
    double offset = 0;  // layout height already drawn on earlier pages
    for (;;) {
        const double available = bottom - m_y - 2 * kPadding;
        const bool whole = offset == 0 && height - 2 * kPadding <= available;
        if (!whole && lines.at.empty()) {
            for (size_t k = 0, n = BandSize(row); k < n; ++k) {
                const size_t c = BandColumn(k);
                // A row drawn in slices walks every cell's layout, the plain ones too.
                if (PlainLine(row.cells[c], c, isHeader, ColumnWidth(m_widths, c))) {
                    PangoLayout* layout = CellLayout(c, isHeader);
                    pango_layout_set_width(
                        layout, static_cast<int>((ColumnWidth(m_widths, c) - 2 * kPadding) * PANGO_SCALE));
                    ApplyText(layout, row.cells[c].text, row.cells[c].header);
                }
                lines.at.push_back(pango_layout_get_iter(CellLayout(c, isHeader)));
                lines.measured.push_back(pango_layout_get_iter(CellLayout(c, isHeader)));
            }
        }
        double cut = whole ? height : offset + available;
        // Lines that fit entirely above the cut are drawn; the first line below it starts the next page.
        double sliceBottom = offset, next = -1;
        auto measure = [&] {
            for (PangoLayoutIter*& iter : lines.measured) {
                while (iter) {
                    PangoRectangle logical;
                    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
                    const double top = ToPoints(logical.y), lineBottom = ToPoints(logical.y + logical.height);
                    if (lineBottom > cut + 0.01) {
                        if (next < 0 || top < next) next = top;
                        break;
                    }
                    sliceBottom = std::max(sliceBottom, lineBottom);
                    if (!pango_layout_iter_next_line(iter)) {
                        pango_layout_iter_free(iter);
                        iter = nullptr;
                    }
                }
            }
        };
        if (!whole) {
            measure();
            if (sliceBottom <= offset && next >= 0 && m_y <= m_margin + 0.5 + (m_hasHeader ? 40 : 0)) {
                // Not even one line fits on an empty page: draw it anyway rather than loop.
                cut = offset + available + 1e6;
                next = -1;
                measure();
            }
        }
        const double sliceHeight = whole ? height - 2 * kPadding : sliceBottom - offset;
        // Backgrounds first, then the text on top; the borders go with the page's grid.
        double x = m_margin;
        m_rowEdges.assign(1, x);
        for (size_t k = 0, n = BandSize(row); k < n; ++k) {
            const size_t c = BandColumn(k);
            const double width = ColumnWidth(m_widths, c);
            const CellData& cell = row.cells[c];
            if (cell.hasBackground || cell.header) {
                cairo_rectangle(cr, x, m_y, width, sliceHeight + 2 * kPadding);
                SetRgb(cr, cell.hasBackground ? cell.background : kHeaderShade);
                cairo_fill(cr);
            }
            x += width;
            m_rowEdges.push_back(x);
        }
        AddToGrid(m_y, m_y + sliceHeight + 2 * kPadding);
        SetRgb(cr, 0x000000);
        x = m_margin;
        for (size_t k = 0, n = BandSize(row); k < n; ++k) {
            const size_t c = BandColumn(k);
            if (whole) {
                if (const PdfPlainText::Line* line =
                        PlainLine(row.cells[c], c, isHeader, ColumnWidth(m_widths, c))) {
                    m_plain->Draw(cr, *line, x + kPadding, m_y + kPadding);
                } else {
                    m_plain->Flush(cr);
                    cairo_move_to(cr, x + kPadding, m_y + kPadding);
                    pango_cairo_show_layout(cr, CellLayout(c, isHeader));
                }
            } else if (PangoLayoutIter*& iter = lines.at[k]) {
                for (;;) {
                    PangoRectangle logical;
                    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
                    if (ToPoints(logical.y + logical.height) > cut + 0.01) break;
                    cairo_move_to(cr, x + kPadding + ToPoints(logical.x),
                                  m_y + kPadding + ToPoints(pango_layout_iter_get_baseline(iter)) - offset);
                    pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
                    if (!pango_layout_iter_next_line(iter)) {
                        pango_layout_iter_free(iter);
                        iter = nullptr;
                        break;
                    }
                }
            }
            x += ColumnWidth(m_widths, c);
        }
        m_plain->Flush(cr);
        m_y += sliceHeight + 2 * kPadding;
        if (whole || next < 0) break;
        NewPage();
        drawHeader();
        offset = next;
    }
}

void PdfReport::AddToGrid(double top, double bottom) {
    if (m_rowEdges.size() < 2) return;
    if (!m_grid.bottoms.empty() && (m_grid.edges != m_rowEdges || std::abs(m_grid.bottoms.back() - top) > 1e-6))
        StrokeGrid();
    if (m_grid.bottoms.empty()) {
        m_grid.edges = m_rowEdges;
        m_grid.top = top;
    }
    m_grid.bottoms.push_back(bottom);
}

// A line across the rows' width at the top and below every row, and a line down each column edge. Square caps
// close the outer corners as the joins of a rectangle would.
void PdfReport::StrokeGrid() {
    if (m_grid.bottoms.empty()) return;
    cairo_t* cr = Context();
    const double left = m_grid.edges.front(), right = m_grid.edges.back();
    cairo_move_to(cr, left, m_grid.top);
    cairo_line_to(cr, right, m_grid.top);
    for (const double y : m_grid.bottoms) {
        cairo_move_to(cr, left, y);
        cairo_line_to(cr, right, y);
    }
    for (const double x : m_grid.edges) {
        cairo_move_to(cr, x, m_grid.top);
        cairo_line_to(cr, x, m_grid.bottoms.back());
    }
    SetRgb(cr, kBorder);
    cairo_set_line_width(cr, 0.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    m_grid.bottoms.clear();
}
