#pragma once
// Short table cells of plain Latin text, placed from tables of glyph advances instead of a pango layout each.
//
// Pango shapes with HarfBuzz and then rounds each glyph's advance, so in a font whose Latin characters only
// kern in pairs, a glyph's advance depends on its character and the one after it. The tables hold those
// advances, each learned on first use from pango itself, so a line built from them puts every glyph exactly
// where a layout would. A character outside the tables (other scripts, combining marks, emoji, control
// characters), a pair the font shapes otherwise (a ligature, a mark placed on its base) or a character the
// font lacks leaves the cell to the full layout.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

class PdfPlainText {
  public:
    struct Glyph {
        unsigned long index = 0;
        double x = 0;  // points from the line's start
    };
    // One line of a cell: its glyphs, its width in pango units.
    struct Line {
        std::string text;
        bool bold = false;
        bool plain = false;  // false: the text needs the full layout
        int width = 0;
        std::vector<Glyph> glyphs;
    };

    // context lays out every learned pair, so the tables match what its layouts do; it outlives this.
    explicit PdfPlainText(PangoContext* context);
    ~PdfPlainText();
    PdfPlainText(const PdfPlainText&) = delete;
    PdfPlainText& operator=(const PdfPlainText&) = delete;

    // The font of the cells (its size can change from table to table); the tables start over when it does.
    void SetFont(const PangoFontDescription* font);
    // The line of utf8 in the regular or bold cell font. slot keeps the line until it is asked for again (one
    // per column), so a value repeated down its column is placed once. Null when the text needs the full
    // layout.
    const Line* Shape(size_t slot, std::string_view utf8, bool bold);
    // A line's height and its baseline from its top, in pango units.
    int LineHeight(bool bold);
    int Baseline(bool bold);

    // Draws a line with its top left at x, y. Lines of one look are gathered into one call to cairo; Flush
    // draws what was gathered, and must come before anything else is drawn.
    void Draw(cairo_t* cr, const Line& line, double x, double y);
    void Flush(cairo_t* cr);

  private:
    struct Look;
    Look& LookOf(bool bold);
    // The advance of character first when second follows it (second kEnd: it ends the line); false when the
    // pair is left to the layout.
    bool Advance(Look& look, bool latin, int first, int second, int& advance);
    // Learns the pairs of line (its glyphs still hold table indexes) from one layout of all of it, when that
    // layout is one plain glyph per character. False when it contradicts what the tables hold.
    bool LearnLine(Look& look, bool latin, const Line& line);

    PangoContext* m_context;
    PangoFontDescription* m_font = nullptr;
    std::array<std::unique_ptr<Look>, 2> m_looks;
    std::vector<Line> m_slots;

    struct Batch;
    std::unique_ptr<Batch> m_batch;
};
