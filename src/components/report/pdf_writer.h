#pragma once
// PDF writer: cairo draws the pages, pango lays out the text with fontconfig's font fallback.
//
// Pages are finished as they fill, so memory does not grow with the rows. Each table keeps its header row and
// its first kMeasureRows rows until their widths are measured; the column widths are then fixed for the rest
// of the table and every later row is drawn as it arrives (see FixColumnWidths for the balance). Long cells
// wrap at break opportunities, never with an inserted hyphen; a row taller than a page continues on the next
// page, line by line; a header row never stands alone at the bottom of a page, nor a footer at the top of
// one. A table too wide for a page continues its columns on following pages, in bands that repeat the first
// column. Colour fonts are left out so that every glyph stays searchable text. The table of contents becomes
// the document outline, with internal links.
//
// Speed: a short cell of plain Latin text that fits its column skips the layout (PdfPlainText places its glyphs
// exactly where pango would), the glyphs of a row go to cairo in one call, and the cell borders of a page are
// stroked as one path of lines when the page ends.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"
#include "pdf_plain_text.h"
#include "style_depth.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;
typedef struct _PangoFontDescription PangoFontDescription;

class PdfReport : public AReport {
  public:
    // Rows of a table measured before its column widths are fixed.
    static constexpr int kMeasureRows = 100;

    PdfReport();
    ~PdfReport() override;
    PdfReport(const PdfReport&) = delete;
    PdfReport& operator=(const PdfReport&) = delete;

    int Open() override;
    int Close() override;
    bool OutputFailed() const override { return m_file.WriteFailed(); }
    void Discard() override;
    void Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view attributes, int markup) override;
    void BeginSubDocument(std::wstring_view folder, std::wstring_view file, std::wstring_view title) override;
    void EndSubDocument() override;
    void Ancor(std::wstring_view name) override;
    void EndOfLine() override;
    void BeginStyle(int style, int size) override;
    void EndStyle(int style, int size) override;
    void BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view attributes) override;
    void EndParagraph(PARAGRAPH_TYPE type) override;
    void BeginToc() override;
    void TocItem(std::wstring_view anchor, std::wstring_view text, int level) override;
    void EndToc() override;
    void BeginTable(std::wstring_view name, std::wstring_view none) override;
    void EndTable(std::wstring_view name) override;
    void BeginRow(std::wstring_view cls, std::wstring_view none, int columns) override;
    void EndRow(std::wstring_view cls) override;
    void BeginCell(std::wstring_view columnName, int header, std::wstring_view attributes) override;
    void EndCell(std::wstring_view columnName, int header) override;
    void Cell(std::wstring_view text, int header, std::wstring_view attributes) override;

    // Pages finished so far (tests and benchmarks).
    int PageCount() const { return m_pageCount; }

    // A run of text with one look: byte range of the UTF-8 text, bold, italic, size in points (0: normal).
    struct Span {
        unsigned start = 0, end = 0;
        bool bold = false, italic = false;
        int size = 0;
    };
    // Text with its runs, as one layout shows it.
    struct RichText {
        std::string utf8;
        std::vector<Span> spans;
        void Clear() {
            utf8.clear();
            spans.clear();
        }
    };

  private:
    struct CellData {
        RichText text;
        bool header = false;
        bool hasBackground = false;
        std::uint32_t background = 0;
    };
    struct RowData {
        std::vector<CellData> cells;
        int used = 0;  // cells of this row; the vector keeps its capacity from row to row
        bool header = false;
    };
    struct OutlineEntry {
        std::string anchor, text;
    };
    struct Deleters;

    void AppendText(RichText& target, std::wstring_view text, bool forceBold);
    void CreateContext();
    void EnsurePage();
    void FinishPage();
    void NewPage();
    void PlaceAnchors();
    // Draws a paragraph with the look of type, breaking pages between its lines; link names a destination.
    void DrawParagraph(const RichText& text, int type, const std::string& link, double indent);
    // Puts text (at most its first limit bytes, cut at a character) into layout with its styles.
    void ApplyText(PangoLayout* layout, const RichText& text, bool header, size_t limit = SIZE_MAX) const;
    cairo_t* Context() const;
    // The layout of a column; the header row has layouts of its own, so repeating it keeps a row's layouts.
    PangoLayout* CellLayout(size_t column, bool header);
    RowData& CurrentRow();
    // The cell as a line of plain text (PdfPlainText) when it is one and fits width; null for the layout.
    const PdfPlainText::Line* PlainLine(const CellData& cell, size_t column, bool isHeader, double width);
    void FixColumnWidths();
    // The size of table text (points) in every cell layout.
    void SetCellPoints(double points);
    // Lays out the cells of row in the fixed widths; the row's height with padding.
    double RowHeight(const RowData& row, bool isHeader);
    void DrawRow(const RowData& row, bool repeatHeader);
    void FlushBuffered();
    // The band whose columns are drawn (a table wider than the page); band 0 of a table that fits is all of
    // it.
    void SetBand(size_t band);
    size_t BandSize(const RowData& row) const;
    size_t BandColumn(size_t k) const { return m_bandBegin > 0 ? (k == 0 ? 0 : m_bandBegin + k - 1) : k; }
    // A row whose widths are fixed: held back (one row) or gathered into the page group of a banded table.
    void StreamRow(RowData& row);
    void AddToGroup(RowData& row);
    // Draws the gathered rows of a banded table: each band on a page of its own, with the header row. keep is
    // room the next thing (a footer) needs below the last band's rows; when they leave too little, the last
    // row goes to pages of its own, if they then hold it.
    void FlushGroup(double keep = 0);
    // Draws the held last row, or the gathered rows of a banded table (held at its end); keep is room the next
    // thing (a footer) needs below it on the same page.
    void ReleaseHeldRow(double keep);
    // Adds the borders of the cells whose edges are m_rowEdges, from top to bottom, to the grid of the page.
    void AddToGrid(double top, double bottom);
    // Strokes the grid gathered so far (before the page ends, or before a row that does not continue it).
    void StrokeGrid();

    std::unique_ptr<Deleters> m_handles;
    std::unique_ptr<PdfPlainText> m_plain;  // the cells that need no layout; while the document is open
    OutputFile m_file;
    double m_pageWidth = 0, m_pageHeight = 0, m_margin = 42;
    double m_y = 0;
    bool m_open = false;
    bool m_pageOpen = false;
    int m_pageCount = 0;

    StyleDepth m_styles{200, 9};  // out-of-range sizes as the 9-point body text

    bool m_inParagraph = false;
    int m_paragraphType = 0;
    RichText m_paragraph;
    std::vector<std::string> m_pendingAnchors;
    std::vector<OutlineEntry> m_outline;
    std::vector<std::string> m_anchors;  // destinations placed so far
    std::string m_scratch;

    bool m_inTable = false;
    bool m_inRow = false;
    bool m_inCell = false;
    bool m_widthsFixed = false;
    bool m_hasHeader = false;
    RowData m_headerRow;
    std::vector<RowData> m_buffered;
    int m_bufferedCount = 0;
    RowData m_streamRow;
    std::vector<double> m_widths;
    double m_keepWithNext = 0;  // room the row being drawn needs below it on its page

    // Columns that do not fit one page continue on following pages, a band of columns per page.
    std::vector<size_t> m_bandStarts{0};
    size_t m_bandBegin = 0, m_bandEnd = SIZE_MAX;
    std::vector<RowData> m_group;  // rows of a banded table gathered for one page of each band
    int m_groupCount = 0;
    std::vector<double> m_groupHeights, m_groupRoom;
    bool m_groupOnCurrentPage = false, m_firstGroup = true;

    // The cell borders of consecutive rows with the same column edges, stroked as one path of lines: a
    // rectangle per cell would write four times the numbers and a stroke each.
    struct Grid {
        std::vector<double> edges, bottoms;  // x of the column edges; y where each row ends
        double top = 0;
    };
    Grid m_grid;
    std::vector<double> m_rowEdges;

    // The last row drawn is held until the next thing is known, so that a footer is never alone on a page.
    RowData m_heldRow;
    bool m_rowHeld = false, m_gapAfterHeld = false;
    bool m_heldAfterHeader = false;  // the header row was drawn for it: moving it would leave the header alone
};
