#pragma once
// Word/RTF writer: RTF 1.x written in one pass, row by row.
//
// The colour table must come first in an RTF file, but the colours of the cells arrive with the rows. The
// table therefore holds the named colours of the rule pages at fixed indices, followed by kCustomColourSlots
// reserved entries of fixed width; a "#RRGGBB" colour takes the next free slot when first seen and the slots
// are written into their reserved bytes at Close. The first kMeasureRows rows of a table wait in memory until
// their column widths are measured (the row definition with its \cellx edges precedes the cells); later rows
// are written one at a time. Every page's footer shows its page number.

#include <cstdint>
#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"
#include "style_depth.h"

class RtfReport : public AReport {
  public:
    // Custom (#RRGGBB) colours a document can hold; further ones are shown without colour.
    static constexpr int kCustomColourSlots = 64;

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

  private:
    struct CellShape {
        int background = 0;  // colour table index, 0 for none
        double natural = 0;  // widest line, twips
        double minimum = 0;  // widest word, twips
    };
    struct PendingRow {
        std::vector<CellShape> cells;
        std::string text;
        bool header = false;
    };
    static constexpr size_t kMeasureRows = 100;  // rows of a table measured before its widths are fixed
    static constexpr double kTwipsPerChar = 120, kCellPaddingTwips = 220, kMinColumnTwips = 360;

    // Where text goes now: the row buffer inside a row, the file otherwise.
    std::string& Out() { return m_inRow ? m_row : FileOut(); }
    // The file, after the rows that wait for their widths (text outside a row follows them).
    std::string& FileOut() {
        if (!m_pendingRows.empty()) WritePendingRows();
        return m_file.Buffer();
    }
    void WritePendingRows();
    void WriteRow(const std::vector<CellShape>& cells, const std::string& text, bool header);
    void Measure(std::wstring_view text, bool bold, int size);
    void MeasureBreak(bool endOfLine);
    void Flush() {
        if (!m_inRow) m_file.MaybeFlush();
    }
    // Colour table index of a colour text, 0 for none; registers a new #RRGGBB colour.
    int ColourIndex(std::wstring_view text);
    void WriteHeader();
    void StartCell(int header, std::wstring_view attributes);
    void FinishCell();
    void AppendRun(std::string& out, std::wstring_view text, bool bold);
    void PatchColourTable();

    OutputFile m_file;
    std::string m_row;               // cell paragraphs of the current row
    std::vector<CellShape> m_cells;  // shapes of the current row's cells
    std::uint32_t m_custom[kCustomColourSlots] = {};
    int m_customCount = 0;
    unsigned long long m_colourTableOffset = 0;
    bool m_open = false;
    bool m_inRow = false;
    bool m_inCell = false;
    bool m_inParagraph = false;
    bool m_headerRow = false;
    bool m_headerCell = false;
    StyleDepth m_styles{800, 10};  // sizes in points
    int m_textWidth = 0;  // in twips
    bool m_inTable = false, m_widthsFixed = false;
    std::vector<PendingRow> m_pendingRows;
    std::vector<long> m_cellx;  // right edge of each measured column, twips
    double m_lineTwips = 0, m_wordTwips = 0;  // the current cell's line and word so far
};
