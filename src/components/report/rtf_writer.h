#pragma once
// Word/RTF writer: RTF 1.x written in one pass, row by row.
//
// The colour table must come first in an RTF file, but the colours of the cells arrive with the rows. The
// table therefore holds the named colours of the rule pages at fixed indices, followed by kCustomColourSlots
// reserved entries of fixed width; a "#RRGGBB" colour takes the next free slot when first seen and the slots
// are written into their reserved bytes at Close. Only one row is held in memory at a time (its cell shading
// must precede its cells in the row definition).

#include <cstdint>
#include <string>
#include <vector>

#include "areport.h"
#include "output_file.h"

class RtfReport : public AReport {
  public:
    // Custom (#RRGGBB) colours a document can hold; further ones are shown without colour.
    static constexpr int kCustomColourSlots = 64;

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

  private:
    struct CellShape {
        int background = 0;  // colour table index, 0 for none
    };

    // Where text goes now: the row buffer inside a row, the file otherwise.
    std::string& Out() { return m_inRow ? m_row : m_file.Buffer(); }
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
    int m_bold = 0;
    int m_italic = 0;
    int m_sizes[8] = {};  // nested font sizes in points
    int m_sizeDepth = 0;
    int m_textWidth = 0;  // in twips
};
