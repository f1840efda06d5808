#pragma once
// PDF writer: cairo draws the pages, pango lays out the text with fontconfig's font fallback.
//
// Pages are finished as they fill, so memory does not grow with the rows. Each table keeps its header row and
// its first kMeasureRows rows until their widths are measured; the column widths are then fixed for the rest
// of the table and every later row is drawn as it arrives. Long cells wrap; a row taller than a page
// continues on the next page, line by line. The table of contents becomes the document outline, with internal
// links.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"

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
    void EnsurePage();
    void FinishPage();
    void NewPage();
    void PlaceAnchors();
    // Draws a paragraph with the look of type, breaking pages between its lines; link names a destination.
    void DrawParagraph(const RichText& text, int type, const std::string& link, double indent);
    void ApplyText(PangoLayout* layout, const RichText& text, bool header) const;
    cairo_t* Context() const;
    // The layout of a column; the header row has layouts of its own, so repeating it keeps a row's layouts.
    PangoLayout* CellLayout(size_t column, bool header);
    RowData& CurrentRow();
    void FixColumnWidths();
    void DrawRow(const RowData& row, bool repeatHeader);
    void FlushBuffered();

    std::unique_ptr<Deleters> m_handles;
    OutputFile m_file;
    double m_pageWidth = 0, m_pageHeight = 0, m_margin = 42;
    double m_y = 0;
    bool m_open = false;
    bool m_pageOpen = false;
    int m_pageCount = 0;

    int m_bold = 0, m_italic = 0;
    int m_sizes[8] = {};
    int m_sizeDepth = 0;

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
};
