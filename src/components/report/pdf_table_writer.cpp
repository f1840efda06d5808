// Tables of the PDF writer: rows are measured, then drawn as they arrive, with the header row on every page.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>

#include "pdf_writer.h"
#include "rtf_colors.h"

namespace {

constexpr double kPadding = 3;
constexpr double kFooterHeight = 18;
constexpr double kMinColumn = 18;
constexpr double kSpareColumn = 60;  // a cell beyond the measured columns
constexpr std::uint32_t kHeaderShade = 0xE4E4E4;
constexpr std::uint32_t kBorder = 0x909090;

double ToPoints(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

void SetRgb(cairo_t* cr, std::uint32_t rgb) {
    cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

}  // namespace

PdfReport::RowData& PdfReport::CurrentRow() {
    return m_widthsFixed ? m_streamRow : m_buffered[static_cast<size_t>(m_bufferedCount)];
}

void PdfReport::BeginTable(std::wstring_view, std::wstring_view) {
    if (!m_open) return;
    if (m_inParagraph) EndParagraph(m_paragraphType);
    if (m_inTable) EndTable(L"");
    m_inTable = true;
    m_widthsFixed = false;
    m_hasHeader = false;
    m_bufferedCount = 0;
    m_widths.clear();
}

void PdfReport::EndTable(std::wstring_view) {
    if (!m_open || !m_inTable) return;
    if (m_inRow) EndRow(L"row");
    FlushBuffered();
    m_inTable = false;
    m_widthsFixed = false;
    m_bufferedCount = 0;
    m_y += 8;
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
        if (m_streamRow.used > 0) DrawRow(m_streamRow, true);
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

// Natural width of each column (its widest line unwrapped); when they do not fit the page, every column keeps
// up to an equal share and the rest of the width goes to the wider columns in proportion to what they lack.
void PdfReport::FixColumnWidths() {
    size_t columns = 0;
    for (int i = 0; i < m_bufferedCount; ++i)
        columns = std::max(columns, static_cast<size_t>(m_buffered[static_cast<size_t>(i)].used));
    std::vector<double> natural(columns, kMinColumn);
    PangoLayout* layout = CellLayout(0, false);
    pango_layout_set_width(layout, -1);
    for (int i = 0; i < m_bufferedCount; ++i) {
        const RowData& row = m_buffered[static_cast<size_t>(i)];
        for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
            ApplyText(layout, row.cells[c].text, row.cells[c].header);
            int width = 0, height = 0;
            pango_layout_get_size(layout, &width, &height);
            natural[c] = std::max(natural[c], ToPoints(width) + 2 * kPadding + 1);
        }
    }
    const double available = m_pageWidth - 2 * m_margin;
    double total = 0;
    for (double& width : natural) total += width = std::min(width, available);
    m_widths = natural;
    if (total > available && columns > 0) {
        const double share = available / static_cast<double>(columns);
        double fixed = 0, lacking = 0;
        for (size_t c = 0; c < columns; ++c) {
            m_widths[c] = std::min(natural[c], share);
            fixed += m_widths[c];
            lacking += natural[c] - m_widths[c];
        }
        const double rest = available - fixed;
        if (lacking > 0)
            for (size_t c = 0; c < columns; ++c) m_widths[c] += rest * (natural[c] - m_widths[c]) / lacking;
    }
    m_widthsFixed = true;
}

void PdfReport::FlushBuffered() {
    if (!m_inTable || m_widthsFixed) return;
    FixColumnWidths();
    for (int i = 0; i < m_bufferedCount; ++i) DrawRow(m_buffered[static_cast<size_t>(i)], i > 0);
}

namespace {

double ColumnWidth(const std::vector<double>& widths, size_t column) {
    return column < widths.size() ? widths[column] : kSpareColumn;
}

}  // namespace

void PdfReport::DrawRow(const RowData& row, bool repeatHeader) {
    cairo_t* cr = Context();
    const bool isHeader = m_hasHeader && !m_buffered.empty() && &row == &m_buffered[0];
    const double bottom = m_pageHeight - m_margin - kFooterHeight;
    double height = 0;
    for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
        PangoLayout* layout = CellLayout(c, isHeader);
        pango_layout_set_width(layout,
                               static_cast<int>((ColumnWidth(m_widths, c) - 2 * kPadding) * PANGO_SCALE));
        ApplyText(layout, row.cells[c].text, row.cells[c].header);
        int width = 0, layoutHeight = 0;
        pango_layout_get_size(layout, &width, &layoutHeight);
        height = std::max(height, ToPoints(layoutHeight));
    }
    height += 2 * kPadding;

    auto drawHeader = [&] {
        if (repeatHeader && m_hasHeader && !isHeader) DrawRow(m_buffered[0], false);
    };
    EnsurePage();
    const bool freshPage = m_y <= m_margin + 0.5;
    if (m_y + height > bottom && !freshPage) {
        NewPage();
        drawHeader();
    }
    PlaceAnchors();

    double offset = 0;  // layout height already drawn on earlier pages
    for (;;) {
        const double available = bottom - m_y - 2 * kPadding;
        const bool whole = offset == 0 && height - 2 * kPadding <= available;
        double cut = whole ? height : offset + available;
        // Lines that fit entirely above the cut are drawn; the first line below it starts the next page.
        double sliceBottom = offset, next = -1;
        auto scan = [&](bool draw, double x0) {
            double x = x0;
            for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
                PangoLayout* layout = CellLayout(c, isHeader);
                PangoLayoutIter* iter = pango_layout_get_iter(layout);
                do {
                    PangoRectangle logical;
                    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
                    const double top = ToPoints(logical.y), lineBottom = ToPoints(logical.y + logical.height);
                    if (top + 0.01 < offset) continue;
                    if (lineBottom > cut + 0.01) {
                        if (!draw && (next < 0 || top < next)) next = top;
                        break;
                    }
                    if (draw) {
                        cairo_move_to(
                            cr, x + kPadding + ToPoints(logical.x),
                            m_y + kPadding + ToPoints(pango_layout_iter_get_baseline(iter)) - offset);
                        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
                    } else {
                        sliceBottom = std::max(sliceBottom, lineBottom);
                    }
                } while (pango_layout_iter_next_line(iter));
                pango_layout_iter_free(iter);
                x += ColumnWidth(m_widths, c);
            }
        };
        if (!whole) {
            scan(false, m_margin);
            if (sliceBottom <= offset && next >= 0 && m_y <= m_margin + 0.5 + (m_hasHeader ? 40 : 0)) {
                // Not even one line fits on an empty page: draw it anyway rather than loop.
                cut = offset + available + 1e6;
                next = -1;
                scan(false, m_margin);
            }
        }
        const double sliceHeight = whole ? height - 2 * kPadding : sliceBottom - offset;
        // Backgrounds and borders first, then the text on top.
        double x = m_margin;
        cairo_set_line_width(cr, 0.5);
        for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
            const double width = ColumnWidth(m_widths, c);
            const CellData& cell = row.cells[c];
            cairo_rectangle(cr, x, m_y, width, sliceHeight + 2 * kPadding);
            if (cell.hasBackground || cell.header) {
                SetRgb(cr, cell.hasBackground ? cell.background : kHeaderShade);
                cairo_fill_preserve(cr);
            }
            SetRgb(cr, kBorder);
            cairo_stroke(cr);
            x += width;
        }
        SetRgb(cr, 0x000000);
        if (whole) {
            x = m_margin;
            for (size_t c = 0; c < static_cast<size_t>(row.used); ++c) {
                cairo_move_to(cr, x + kPadding, m_y + kPadding);
                pango_cairo_show_layout(cr, CellLayout(c, isHeader));
                x += ColumnWidth(m_widths, c);
            }
        } else {
            scan(true, m_margin);
        }
        m_y += sliceHeight + 2 * kPadding;
        if (whole || next < 0) break;
        NewPage();
        drawHeader();
        offset = next;
    }
}
