// The plain-text placer against pango: every glyph where a layout puts it, and every text it cannot place
// exactly left to the layout.

#include "pdf_plain_text.h"

#include <cairo-pdf.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <vector>

namespace {

cairo_status_t Discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

// A PDF context and a layout with the cell font and a cell's attributes, as the writer makes them.
class PlainTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_surface = cairo_pdf_surface_create_for_stream(Discard, nullptr, 595, 842);
        m_cr = cairo_create(m_surface);
        m_map = pango_cairo_font_map_new();
        m_context = pango_font_map_create_context(m_map);
        pango_cairo_update_context(m_cr, m_context);
        m_font = pango_font_description_from_string("DejaVu Sans 9");
        m_layout = pango_layout_new(m_context);
        pango_layout_set_font_description(m_layout, m_font);
    }
    void TearDown() override {
        g_object_unref(m_layout);
        pango_font_description_free(m_font);
        g_object_unref(m_context);
        g_object_unref(m_map);
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }

    struct Placed {
        std::vector<unsigned long> glyphs;
        std::vector<int> x;  // pango units
        int width = 0, height = 0, baseline = 0;
        int lines = 0;
    };
    Placed Layout(const std::string& text, bool bold) {
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
        if (bold) pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        pango_layout_set_attributes(m_layout, attributes);
        pango_attr_list_unref(attributes);
        pango_layout_set_text(m_layout, text.data(), static_cast<int>(text.size()));
        Placed placed;
        placed.lines = pango_layout_get_line_count(m_layout);
        int x = 0;
        for (GSList* runs = pango_layout_get_line_readonly(m_layout, 0)->runs; runs; runs = runs->next) {
            const PangoGlyphString* glyphs = static_cast<PangoLayoutRun*>(runs->data)->glyphs;
            for (int i = 0; i < glyphs->num_glyphs; ++i) {
                placed.glyphs.push_back(glyphs->glyphs[i].glyph);
                placed.x.push_back(x + glyphs->glyphs[i].geometry.x_offset);
                x += glyphs->glyphs[i].geometry.width;
            }
        }
        pango_layout_get_size(m_layout, &placed.width, &placed.height);
        placed.baseline = pango_layout_get_baseline(m_layout);
        return placed;
    }

    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
    PangoFontMap* m_map = nullptr;
    PangoContext* m_context = nullptr;
    PangoFontDescription* m_font = nullptr;
    PangoLayout* m_layout = nullptr;
};

// Words with kerning pairs, digits alone (a run of no script) and among letters, punctuation, Latin-1 and
// Latin Extended-A letters, no-break spaces: each glyph at the layout's position, in both looks.
TEST_F(PlainTextTest, PlacesEveryGlyphWhereTheLayoutDoes) {
    const std::vector<std::string> texts = {"AVATAR Tower",
                                            "Yo! LT. P.O. Box 7",
                                            "2024-03-15 10:42:07",
                                            "1234567.891",
                                            "-0.25",
                                            "(1,234.50)",
                                            "order_date",
                                            "customer@example.com",
                                            "\xc3\x85ngstr\xc3\xb6m",
                                            "Stra\xc3\x9f"
                                            "e 12, K\xc3\xb6ln",
                                            "\xc5\x81\xc3\xb3"
                                            "d\xc5\xba \xc4\x8c"
                                            "esk\xc3\xa9",
                                            "fi fl ffi office",
                                            "a\xc2\xa0"
                                            "b  c",
                                            "12 AVE",
                                            "\xc2\xab"
                                            "Wolf\xc2\xbb \xc2\xa9 \xc2\xb1"
                                            "5\xc2\xb0",
                                            "'quoted' \"double\" {x} [y] <z>",
                                            "W.A.V.Y.",
                                            "T",
                                            "7",
                                            "Zz",
                                            "~`^|\\"};
    PdfPlainText plain(m_context);
    plain.SetFont(m_font);
    size_t slot = 0;
    for (const bool bold : {false, true}) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(text + (bold ? " bold" : ""));
            const Placed expected = Layout(text, bold);
            const PdfPlainText::Line* line = plain.Shape(slot++, text, bold);
            if (!line) {
                // Left to the layout: only where the font makes more of the text than one glyph per
                // character.
                EXPECT_NE(expected.glyphs.size(), static_cast<size_t>(g_utf8_strlen(text.data(), -1)));
                continue;
            }
            EXPECT_EQ(line->width, expected.width);
            EXPECT_EQ(plain.LineHeight(bold), expected.height);
            EXPECT_EQ(plain.Baseline(bold), expected.baseline);
            ASSERT_EQ(line->glyphs.size(), expected.glyphs.size());
            for (size_t i = 0; i < expected.glyphs.size(); ++i) {
                EXPECT_EQ(line->glyphs[i].index, expected.glyphs[i]) << i;
                EXPECT_DOUBLE_EQ(line->glyphs[i].x, static_cast<double>(expected.x[i]) / PANGO_SCALE) << i;
            }
        }
    }
    // The slot keeps its line: asking again gives the same answer without placing anew.
    const PdfPlainText::Line* first = plain.Shape(1000, "AVATAR", false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(plain.Shape(1000, "AVATAR", false), first);
    EXPECT_EQ(plain.Shape(1000, "AVATAR", true)->bold, true);
}

// Other scripts, combining marks, emoji, control characters and text too long for a table go to the layout.
TEST_F(PlainTextTest, LeavesEverythingElseToTheLayout) {
    PdfPlainText plain(m_context);
    plain.SetFont(m_font);
    const std::vector<std::string> texts = {
        "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4",  // Korean
        "\xe6\x97\xa5\xe6\x9c\xac",              // Japanese
        "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d",      // Hebrew (right to left)
        "e\xcc\x81",                             // e with a combining acute accent
        "ok \xf0\x9f\x98\x80",                   // emoji
        "\xce\xb1\xce\xb2",                      // Greek
        "two\nlines",
        "tab\there",
        "soft\xc2\xad"
        "hyphen",
        "",
        std::string(300, 'x'),
        "\xc3",  // a cut sequence
    };
    size_t slot = 0;
    for (const std::string& text : texts) EXPECT_EQ(plain.Shape(slot++, text, false), nullptr) << text;
}

}  // namespace
