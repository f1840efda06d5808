#include "pdf_plain_text.h"

#include <pango/pangocairo.h>

#include <climits>
#include <cmath>

namespace {

// U+0020..U+007E, then U+00A0..U+017F (Latin-1 and Latin Extended-A) without the soft hyphen, which pango
// hides.
constexpr int kCharacters = 95 + 0xE0;
constexpr int kEnd = kCharacters;  // "no character follows"
constexpr int kUnknown = INT_MIN, kRefused = INT_MIN + 1;
// Longer values are rarer and more likely to wrap; they take the layout.
constexpr size_t kMaxBytes = 256;

gunichar CharacterAt(int index) {
    return index < 95 ? static_cast<gunichar>(0x20 + index) : static_cast<gunichar>(0xA0 + index - 95);
}

// What the tables know of a character: -1 outside them, else 1 for a Latin letter, 0 for the common
// characters (digits, punctuation, spaces) that take the script of the letters around them.
struct Repertoire {
    signed char kind[kCharacters];
    Repertoire() {
        for (int i = 0; i < kCharacters; ++i) {
            const gunichar c = CharacterAt(i);
            const GUnicodeScript script = g_unichar_get_script(c);
            kind[i] = c == 0xAD                           ? -1
                      : script == G_UNICODE_SCRIPT_LATIN  ? 1
                      : script == G_UNICODE_SCRIPT_COMMON ? 0
                                                          : -1;
        }
    }
};
const Repertoire& Characters() {
    static const Repertoire repertoire;
    return repertoire;
}

struct ObjectDeleter {
    void operator()(void* object) const { g_object_unref(object); }
};

void AppendCharacter(std::string& utf8, int index) {
    char bytes[6];
    utf8.append(bytes, static_cast<size_t>(g_unichar_to_utf8(CharacterAt(index), bytes)));
}

}  // namespace

// The regular or bold cell font, with its own layout for learning pairs. Text mixing Latin letters with
// common characters is one Latin run to pango, text of common characters alone a run of no script; the font
// may kern them differently, so each has its own tables.
struct PdfPlainText::Look {
    std::unique_ptr<PangoLayout, ObjectDeleter> layout;
    std::unique_ptr<PangoFont, ObjectDeleter> font;
    cairo_scaled_font_t* scaledFont = nullptr;  // owned by font
    int height = 0, baseline = 0;
    bool usable = false;
    std::vector<int> advances[2];       // [latin][first * (kCharacters + 1) + second]
    std::vector<PangoGlyph> glyphs[2];  // [latin][character]; 0 until learned
    std::string scratch;
};

// Lines waiting to be drawn in one call.
struct PdfPlainText::Batch {
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    std::string text;
    bool bold = false;
};

PdfPlainText::PdfPlainText(PangoContext* context) : m_context(context), m_batch(std::make_unique<Batch>()) {}

PdfPlainText::~PdfPlainText() {
    if (m_font) pango_font_description_free(m_font);
}

void PdfPlainText::SetFont(const PangoFontDescription* font) {
    if (m_font && pango_font_description_equal(m_font, font)) return;
    if (m_font) pango_font_description_free(m_font);
    m_font = pango_font_description_copy(font);
    for (auto& look : m_looks) look.reset();
    m_slots.clear();
}

PdfPlainText::Look& PdfPlainText::LookOf(bool bold) {
    std::unique_ptr<Look>& slot = m_looks[bold ? 1 : 0];
    if (slot) return *slot;
    slot = std::make_unique<Look>();
    Look& look = *slot;
    look.layout.reset(pango_layout_new(m_context));
    pango_layout_set_font_description(look.layout.get(), m_font);
    // The attributes of a cell's layout: they decide the font and so the shaping.
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    if (bold) pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    pango_layout_set_attributes(look.layout.get(), attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_text(look.layout.get(), "x", 1);
    PangoLayoutLine* line = pango_layout_get_line_readonly(look.layout.get(), 0);
    if (line && line->runs && !line->runs->next) {
        auto* run = static_cast<PangoLayoutRun*>(line->runs->data);
        if (PANGO_IS_CAIRO_FONT(run->item->analysis.font)) {
            look.font.reset(PANGO_FONT(g_object_ref(run->item->analysis.font)));
            look.scaledFont = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(look.font.get()));
            int width = 0;
            pango_layout_get_size(look.layout.get(), &width, &look.height);
            look.baseline = pango_layout_get_baseline(look.layout.get());
            look.usable = look.scaledFont != nullptr;
        }
    }
    for (int latin = 0; latin < 2; ++latin) {
        look.advances[latin].assign(static_cast<size_t>(kCharacters) * (kCharacters + 1), kUnknown);
        look.glyphs[latin].assign(kCharacters, 0);
    }
    return look;
}

int PdfPlainText::LineHeight(bool bold) { return LookOf(bold).height; }
int PdfPlainText::Baseline(bool bold) { return LookOf(bold).baseline; }

// Learned from a layout of the pair, after a letter when the run is Latin: the pair must come out as one run
// in the look's font, one glyph per character, in order, with no glyph moved off its pen position.
bool PdfPlainText::Advance(Look& look, bool latin, int first, int second, int& advance) {
    int& known = look.advances[latin][static_cast<size_t>(first) * (kCharacters + 1) + second];
    if (known == kUnknown) {
        known = kRefused;
        std::string& text = look.scratch;
        text.assign(latin ? "x" : "");
        const int lead = latin ? 1 : 0;
        AppendCharacter(text, first);
        const int secondAt = static_cast<int>(text.size());
        if (second != kEnd) AppendCharacter(text, second);
        pango_layout_set_text(look.layout.get(), text.data(), static_cast<int>(text.size()));
        PangoLayoutLine* line = pango_layout_get_line_readonly(look.layout.get(), 0);
        if (!line || !line->runs || line->runs->next || pango_layout_get_line_count(look.layout.get()) != 1)
            return false;
        auto* run = static_cast<PangoLayoutRun*>(line->runs->data);
        const PangoGlyphString* glyphs = run->glyphs;
        const int count = lead + (second != kEnd ? 2 : 1);
        if (run->item->analysis.font != look.font.get() || glyphs->num_glyphs != count) return false;
        for (int i = lead; i < count; ++i) {
            const PangoGlyphInfo& info = glyphs->glyphs[i];
            const int character = i == lead ? first : second;
            PangoGlyph& glyph = look.glyphs[latin][static_cast<size_t>(character)];
            if (glyphs->log_clusters[i] != (i == lead ? lead : secondAt)) return false;
            if (info.geometry.x_offset != 0 || info.geometry.y_offset != 0) return false;
            if ((info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) != 0 || info.glyph == PANGO_GLYPH_EMPTY) return false;
            // A character shaped to another glyph next to some neighbour is a contextual form: left to pango.
            if (glyph != 0 && glyph != info.glyph) return false;
            glyph = info.glyph;
        }
        known = glyphs->glyphs[lead].geometry.width;
    }
    if (known == kRefused) return false;
    advance = known;
    return true;
}

bool PdfPlainText::LearnLine(Look& look, bool latin, const Line& line) {
    const std::vector<Glyph>& characters = line.glyphs;  // table indexes still
    pango_layout_set_text(look.layout.get(), line.text.data(), static_cast<int>(line.text.size()));
    PangoLayoutLine* laid = pango_layout_get_line_readonly(look.layout.get(), 0);
    if (!laid || !laid->runs || laid->runs->next || pango_layout_get_line_count(look.layout.get()) != 1)
        return true;
    auto* run = static_cast<PangoLayoutRun*>(laid->runs->data);
    const PangoGlyphString* glyphs = run->glyphs;
    if (run->item->analysis.font != look.font.get() ||
        glyphs->num_glyphs != static_cast<int>(characters.size()))
        return true;
    auto pair = [&](size_t i) -> int& {
        const size_t next = i + 1 < characters.size() ? characters[i + 1].index : kEnd;
        return look.advances[latin][characters[i].index * (kCharacters + 1) + next];
    };
    // Checked all through before anything is kept: one plain glyph per character, in order, each the glyph
    // its character has elsewhere.
    int byte = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
        const PangoGlyphInfo& info = glyphs->glyphs[i];
        const PangoGlyph known = look.glyphs[latin][characters[i].index];
        if (glyphs->log_clusters[i] != byte || info.geometry.x_offset != 0 || info.geometry.y_offset != 0 ||
            (info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) != 0 || info.glyph == PANGO_GLYPH_EMPTY ||
            (known != 0 && known != info.glyph))
            return true;
        // A pair placed otherwise here than before depends on more than its neighbour: not for the tables.
        const int advance = pair(i);
        if (advance != kUnknown && advance != kRefused && advance != info.geometry.width) return false;
        byte += characters[i].index < 95 ? 1 : 2;
    }
    for (size_t i = 0; i < characters.size(); ++i) {
        if (pair(i) == kUnknown) pair(i) = glyphs->glyphs[i].geometry.width;
        look.glyphs[latin][characters[i].index] = glyphs->glyphs[i].glyph;
    }
    return true;
}

const PdfPlainText::Line* PdfPlainText::Shape(size_t slot, std::string_view utf8, bool bold) {
    if (slot >= m_slots.size()) m_slots.resize(slot + 1);
    Line& line = m_slots[slot];
    if (line.bold == bold && !line.text.empty() && line.text == utf8) return line.plain ? &line : nullptr;
    line.plain = false;
    line.text.clear();
    if (utf8.empty() || utf8.size() > kMaxBytes) return nullptr;
    line.text.assign(utf8);
    line.bold = bold;
    line.glyphs.clear();
    // Characters as table indexes (in the glyphs' index field until their glyphs are known).
    const Repertoire& characters = Characters();
    bool latin = false;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        gunichar c = lead;
        if (lead >= 0x80) {
            // Two-byte sequences up to U+017F; anything longer is beyond the tables.
            if (lead < 0xC2 || lead > 0xC5 || i + 1 >= utf8.size()) return nullptr;
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if ((next & 0xC0) != 0x80) return nullptr;
            c = (static_cast<gunichar>(lead & 0x1F) << 6) | (next & 0x3F);
            i += 2;
        } else {
            ++i;
        }
        int index = -1;
        if (c >= 0x20 && c < 0x7F)
            index = static_cast<int>(c - 0x20);
        else if (c >= 0xA0 && c < 0x180)
            index = static_cast<int>(c - 0xA0) + 95;
        if (index < 0 || characters.kind[index] < 0) return nullptr;
        latin = latin || characters.kind[index] == 1;
        line.glyphs.push_back(Glyph{static_cast<unsigned long>(index), 0});
    }
    Look& look = LookOf(bold);
    if (!look.usable) return nullptr;
    int x = 0;
    bool learned = false;
    for (size_t i = 0; i < line.glyphs.size(); ++i) {
        const int character = static_cast<int>(line.glyphs[i].index);
        const int next = i + 1 < line.glyphs.size() ? static_cast<int>(line.glyphs[i + 1].index) : kEnd;
        // A text with pairs not seen yet is laid out once as a whole, which teaches all of its pairs (a cell
        // costs at most the layout it would have had); a pair that whole text does not teach is tried alone.
        if (!learned &&
            look.advances[latin][static_cast<size_t>(character) * (kCharacters + 1) + next] == kUnknown) {
            learned = true;
            if (!LearnLine(look, latin, line)) return nullptr;
        }
        int advance = 0;
        if (!Advance(look, latin, character, next, advance)) return nullptr;
        line.glyphs[i].x = static_cast<double>(x) / PANGO_SCALE;
        x += advance;
    }
    for (Glyph& glyph : line.glyphs) glyph.index = look.glyphs[latin][glyph.index];
    line.width = x;
    line.plain = true;
    return &line;
}

void PdfPlainText::Draw(cairo_t* cr, const Line& line, double x, double y) {
    Batch& batch = *m_batch;
    if (!batch.glyphs.empty() && batch.bold != line.bold) Flush(cr);
    batch.bold = line.bold;
    // Where a layout would start: cairo keeps its current point in 24.8 fixed point.
    x = std::nearbyint(x * 256) / 256;
    y = std::nearbyint(y * 256) / 256;
    const double baseline = y + static_cast<double>(LookOf(line.bold).baseline) / PANGO_SCALE;
    for (const Glyph& glyph : line.glyphs) batch.glyphs.push_back({glyph.index, x + glyph.x, baseline});
    // One cluster per character, so that the document keeps the text with its glyphs as a layout would.
    for (const char byte : line.text)
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80)
            batch.clusters.push_back({static_cast<unsigned char>(byte) < 0x80 ? 1 : 2, 1});
    batch.text += line.text;
}

void PdfPlainText::Flush(cairo_t* cr) {
    Batch& batch = *m_batch;
    if (batch.glyphs.empty()) return;
    cairo_set_scaled_font(cr, LookOf(batch.bold).scaledFont);
    cairo_show_text_glyphs(cr, batch.text.data(), static_cast<int>(batch.text.size()), batch.glyphs.data(),
                           static_cast<int>(batch.glyphs.size()), batch.clusters.data(),
                           static_cast<int>(batch.clusters.size()),
                           static_cast<cairo_text_cluster_flags_t>(0));
    batch.glyphs.clear();
    batch.clusters.clear();
    batch.text.clear();
}
