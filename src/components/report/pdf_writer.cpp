#include "pdf_writer.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cstring>

#include "rtf_colors.h"
#include "text.h"

namespace {

constexpr double kA4Width = 595.276, kA4Height = 841.89;  // points
constexpr double kFooterHeight = 18;
constexpr int kBodyPoints = 9;
constexpr double kHeadingPoints[7] = {kBodyPoints, 18, 16, 14, 12, 11, 10};
constexpr char kFontFamily[] = "DejaVu Sans";
constexpr size_t kItemBytes = 2048;  // longest stretch of text pango lays out as one run

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct ObjectDeleter {
    void operator()(void* object) const { g_object_unref(object); }
};
struct ConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct FontDeleter {
    void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};

double ToPoints(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

void SetRgb(cairo_t* cr, std::uint32_t rgb) {
    cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

// A cairo tag attribute value: single-quoted, with quote and backslash escaped.
std::string TagString(std::string_view value) {
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '\'';
    return quoted;
}

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<OutputFile*>(closure)->Write(std::string_view(reinterpret_cast<const char*>(data), length));
    return CAIRO_STATUS_SUCCESS;
}

std::wstring_view Property(const ReportSetup& setup, std::wstring_view name) {
    for (const auto& [key, value] : setup.properties)
        if (key == name) return value;
    return {};
}

}  // namespace

struct PdfReport::Deleters {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
    std::unique_ptr<cairo_t, ContextDeleter> cr;
    std::unique_ptr<PangoLayout, ObjectDeleter> layout;              // paragraphs and measuring
    // Page numbers have a layout of their own: a page can end while a paragraph's lines are being walked.
    std::unique_ptr<PangoLayout, ObjectDeleter> pageNumber;
    std::vector<std::unique_ptr<PangoLayout, ObjectDeleter>> cells;  // one per column
    std::vector<std::unique_ptr<PangoLayout, ObjectDeleter>> headerCells;
    std::unique_ptr<PangoFontDescription, FontDeleter> font;
    std::unique_ptr<PangoFontDescription, FontDeleter> cellFont;
    std::unique_ptr<FcConfig, ConfigDeleter> fontConfig;     // the system's fonts without colour fonts
    std::unique_ptr<PangoFontMap, ObjectDeleter> fontMap;
    std::unique_ptr<PangoContext, ObjectDeleter> context;    // every layout of the report  // table cells; smaller for very wide tables
    PangoAttrList* plainAttributes = nullptr;                        // no hyphens, nothing else; shared
    PangoAttrList* headerAttributes = nullptr;                       // no hyphens, bold; shared
    ~Deleters() {
        if (plainAttributes) pango_attr_list_unref(plainAttributes);
        if (headerAttributes) pango_attr_list_unref(headerAttributes);
    }
};

cairo_t* PdfReport::Context() const { return m_handles->cr.get(); }

PangoLayout* PdfReport::CellLayout(size_t column, bool header) {
    auto& layouts = header ? m_handles->headerCells : m_handles->cells;
    while (layouts.size() <= column) {
        layouts.emplace_back(pango_layout_new(m_handles->context.get()));
        pango_layout_set_font_description(layouts.back().get(), m_handles->cellFont.get());
        // Breaks at spaces and the usual break opportunities; a word wider than its column (the widths make
        // room for every word that fits the page) breaks between characters as the last resort.
        pango_layout_set_wrap(layouts.back().get(), PANGO_WRAP_WORD_CHAR);
    }
    return layouts[column].get();
}

void PdfReport::SetCellPoints(double points) {
    pango_font_description_set_size(m_handles->cellFont.get(), static_cast<int>(points * PANGO_SCALE));
    for (auto* layouts : {&m_handles->cells, &m_handles->headerCells})
        for (auto& layout : *layouts) pango_layout_set_font_description(layout.get(), m_handles->cellFont.get());
    m_plain->SetFont(m_handles->cellFont.get());
}

// Colour fonts (emoji) are left out: cairo draws their glyphs as pictures, which no reader can search or copy.
// Fontconfig's fallback then finds an outline font for those characters (Symbola), so the text stays text.
void PdfReport::CreateContext() {
    auto& h = *m_handles;
    static const char kNoColourFonts[] =
        "<fontconfig><selectfont><rejectfont><pattern><patelt name=\"color\"><bool>true</bool></patelt>"
        "</pattern></rejectfont></selectfont></fontconfig>";
    h.fontMap.reset(pango_cairo_font_map_new());
    h.fontConfig.reset(FcInitLoadConfig());
    if (h.fontConfig && PANGO_IS_FC_FONT_MAP(h.fontMap.get()) &&
        FcConfigParseAndLoadFromMemory(h.fontConfig.get(), reinterpret_cast<const FcChar8*>(kNoColourFonts),
                                       FcFalse) &&
        FcConfigBuildFonts(h.fontConfig.get())) {
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(h.fontMap.get()), h.fontConfig.get());
    }
    h.context.reset(pango_font_map_create_context(h.fontMap.get()));
    pango_cairo_update_context(h.cr.get(), h.context.get());
}

PdfReport::PdfReport() : m_handles(std::make_unique<Deleters>()) {}

// A writer dropped before Close leaves no report: an unfinished document is never put under the name.
PdfReport::~PdfReport() { Discard(); }

int PdfReport::Open() {
    if (!m_file.Open(m_setup.file)) return Fail(RE_OPEN, m_file.ErrorText());
    m_pageWidth = m_setup.landscape ? kA4Height : kA4Width;
    m_pageHeight = m_setup.landscape ? kA4Width : kA4Height;
    auto& h = *m_handles;
    h.surface.reset(cairo_pdf_surface_create_for_stream(WriteToFile, &m_file, m_pageWidth, m_pageHeight));
    if (cairo_surface_status(h.surface.get()) != CAIRO_STATUS_SUCCESS) {
        const std::string reason = cairo_status_to_string(cairo_surface_status(h.surface.get()));
        h.surface.reset();
        m_file.Close();
        return Fail(RE_OPEN, L"Could not start the PDF file: " + tw::Utf8ToWide(reason));
    }
    const std::string title = tw::WideToUtf8(Property(m_setup, L"%TITLE%"));
    const std::string author = tw::WideToUtf8(Property(m_setup, L"%AUTHOR%"));
    const std::string subject = tw::WideToUtf8(Property(m_setup, L"%DESCRIPTION%"));
    if (!title.empty())
        cairo_pdf_surface_set_metadata(h.surface.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
    if (!author.empty())
        cairo_pdf_surface_set_metadata(h.surface.get(), CAIRO_PDF_METADATA_AUTHOR, author.c_str());
    if (!subject.empty())
        cairo_pdf_surface_set_metadata(h.surface.get(), CAIRO_PDF_METADATA_SUBJECT, subject.c_str());
    cairo_pdf_surface_set_metadata(h.surface.get(), CAIRO_PDF_METADATA_CREATOR, "Tablewright");
    h.cr.reset(cairo_create(h.surface.get()));
    CreateContext();
    h.layout.reset(pango_layout_new(h.context.get()));
    h.pageNumber.reset(pango_layout_new(h.context.get()));
    h.font.reset(pango_font_description_new());
    pango_font_description_set_family(h.font.get(), kFontFamily);
    pango_font_description_set_size(h.font.get(), kBodyPoints * PANGO_SCALE);
    h.cellFont.reset(pango_font_description_copy(h.font.get()));
    m_plain = std::make_unique<PdfPlainText>(h.context.get());
    m_plain->SetFont(h.cellFont.get());
    if (!h.plainAttributes) {
        h.plainAttributes = pango_attr_list_new();
        pango_attr_list_insert(h.plainAttributes, pango_attr_insert_hyphens_new(FALSE));
        h.headerAttributes = pango_attr_list_new();
        pango_attr_list_insert(h.headerAttributes, pango_attr_insert_hyphens_new(FALSE));
        pango_attr_list_insert(h.headerAttributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    }
    m_open = true;
    m_pageOpen = false;
    m_rowHeld = m_gapAfterHeld = false;
    m_grid.bottoms.clear();
    m_groupCount = 0;
    m_pageCount = 0;
    m_inParagraph = m_inTable = m_inRow = m_inCell = false;
    m_styles.Reset();
    m_outline.clear();
    m_anchors.clear();
    m_pendingAnchors.clear();
    return RE_OK;
}

int PdfReport::Close() {
    if (!m_open) return RE_OK;
    if (m_inTable) EndTable(L"");
    if (m_inParagraph) EndParagraph(m_paragraphType);
    ReleaseHeldRow(0);
    EnsurePage();
    PlaceAnchors();
    FinishPage();
    auto& h = *m_handles;
    // Outline entries whose destination never appeared (a statement without a result set) point to page 1,
    // so that the reader is not handed a link to nowhere.
    for (const OutlineEntry& entry : m_outline) {
        const bool known = std::find(m_anchors.begin(), m_anchors.end(), entry.anchor) != m_anchors.end();
        const std::string link = known ? "dest=" + TagString(entry.anchor) : std::string("page=1");
        cairo_pdf_surface_add_outline(h.surface.get(), CAIRO_PDF_OUTLINE_ROOT, entry.text.c_str(),
                                      link.c_str(), static_cast<cairo_pdf_outline_flags_t>(0));
    }
    m_plain.reset();
    h.cells.clear();
    h.headerCells.clear();
    h.layout.reset();
    h.pageNumber.reset();
    h.context.reset();
    h.fontMap.reset();
    h.fontConfig.reset();
    h.cr.reset();
    cairo_surface_finish(h.surface.get());
    const cairo_status_t status = cairo_surface_status(h.surface.get());
    h.surface.reset();
    h.font.reset();
    // Pango keeps its font map per thread for the life of the process; letting it go here frees the fonts and
    // fontconfig patterns it holds, so a long-running program does not carry them (and leak checkers agree).
    pango_cairo_font_map_set_default(nullptr);
    m_open = false;
    const bool written = m_file.Close();
    if (status != CAIRO_STATUS_SUCCESS)
        return Fail(RE_WRITE,
                    L"Could not finish the PDF file: " + tw::Utf8ToWide(cairo_status_to_string(status)));
    if (!written) return Fail(RE_WRITE, m_file.ErrorText());
    return RE_OK;
}

void PdfReport::Discard() {
    if (!m_open) return;
    m_open = false;
    // The file goes first: what cairo still writes while it is torn down is dropped.
    m_file.Discard();
    auto& h = *m_handles;
    m_plain.reset();
    h.cells.clear();
    h.headerCells.clear();
    h.layout.reset();
    h.pageNumber.reset();
    h.cr.reset();
    h.surface.reset();
    h.font.reset();
    pango_cairo_font_map_set_default(nullptr);
}

// Pages
// ------------------------------------------------------------------------------------------------------

void PdfReport::EnsurePage() {
    if (m_pageOpen) return;
    m_pageOpen = true;
    ++m_pageCount;
    m_y = m_margin;
}

void PdfReport::FinishPage() {
    if (!m_pageOpen) return;
    StrokeGrid();
    cairo_t* cr = m_handles->cr.get();
    PangoLayout* layout = m_handles->pageNumber.get();
    pango_layout_set_font_description(layout, m_handles->font.get());
    pango_layout_set_width(layout, -1);
    const std::string number = std::to_string(m_pageCount);
    pango_layout_set_text(layout, number.data(), static_cast<int>(number.size()));
    int width = 0, height = 0;
    pango_layout_get_size(layout, &width, &height);
    SetRgb(cr, 0x404040);
    cairo_move_to(cr, (m_pageWidth - ToPoints(width)) / 2, m_pageHeight - m_margin + kFooterHeight / 2);
    pango_cairo_show_layout(cr, layout);
    cairo_show_page(cr);
    m_pageOpen = false;
}

void PdfReport::NewPage() {
    FinishPage();
    EnsurePage();
}

// Anchors are placed where the next thing is drawn, so that a link lands on the page that shows it.
void PdfReport::PlaceAnchors() {
    if (m_pendingAnchors.empty()) return;
    cairo_t* cr = m_handles->cr.get();
    for (const std::string& name : m_pendingAnchors) {
        const std::string attributes =
            "name=" + TagString(name) + " x=0 y=" + std::to_string(static_cast<int>(std::max(0.0, m_y - 4)));
        cairo_tag_begin(cr, CAIRO_TAG_DEST, attributes.c_str());
        cairo_tag_end(cr, CAIRO_TAG_DEST);
        m_anchors.push_back(name);
    }
    m_pendingAnchors.clear();
}

// Text
// -------------------------------------------------------------------------------------------------------

void PdfReport::AppendText(RichText& target, std::wstring_view text, bool forceBold) {
    const size_t from = target.utf8.size();
    // CR LF and lone CR are line breaks; other control characters would show as boxes.
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0x20 || c == L'\n' || c == L'\t') {
            size_t run = i;
            while (run < text.size() && (text[run] >= 0x20 || text[run] == L'\n' || text[run] == L'\t'))
                ++run;
            tw::AppendUtf8(target.utf8, text.substr(i, run - i));
            i = run - 1;
        } else if (c == L'\r') {
            if (i + 1 == text.size() || text[i + 1] != L'\n') target.utf8 += '\n';
        } else {
            target.utf8 += ' ';
        }
    }
    const bool bold = forceBold || m_styles.Bold();
    const int size = m_styles.Size();
    if (bold || m_styles.Italic() || size > 0)
        target.spans.push_back(Span{static_cast<unsigned>(from), static_cast<unsigned>(target.utf8.size()),
                                    bold, m_styles.Italic(), size});
}

void PdfReport::ApplyText(PangoLayout* layout, const RichText& text, bool header, size_t limit) const {
    size_t length = text.utf8.size();
    if (length > limit) {
        length = limit;
        while (length > 0 && (static_cast<unsigned char>(text.utf8[length]) & 0xC0) == 0x80) --length;
    }
    // Data is never hyphenated: a hyphen that pango inserts at a forced break would read as part of the value.
    if (text.spans.empty() && length <= kItemBytes) {
        // A short cell without styling shares one attribute list. When its layout already shows the same text
        // that way (the header row on every page, a value repeated down its column) it is kept as it is:
        // setting the text again would shape it anew.
        PangoAttrList* shared = header ? m_handles->headerAttributes : m_handles->plainAttributes;
        if (pango_layout_get_attributes(layout) == shared) {
            const char* current = pango_layout_get_text(layout);
            if (std::strlen(current) == length && std::memcmp(current, text.utf8.data(), length) == 0) return;
        }
        pango_layout_set_text(layout, text.utf8.data(), static_cast<int>(length));
        pango_layout_set_attributes(layout, shared);
        return;
    }
    pango_layout_set_text(layout, text.utf8.data(), static_cast<int>(length));
    PangoAttrList* list = pango_attr_list_new();
    pango_attr_list_insert(list, pango_attr_insert_hyphens_new(FALSE));
    // Pango sums the widths of the rest of a text run for every line it breaks, which is quadratic in the run's
    // length. Every other stretch of a long text carries an attribute that changes nothing (font fallback is on
    // anyway) but ends the run there; stretches end after a space, so no word is shaped in two parts.
    for (size_t start = 0, stretch = 0; start < length; ++stretch) {
        size_t end = std::min(length, start + kItemBytes);
        while (end < length && text.utf8[end - 1] != ' ') ++end;
        if (stretch % 2 == 1) {
            PangoAttribute* attribute = pango_attr_fallback_new(TRUE);
            attribute->start_index = static_cast<unsigned>(start);
            attribute->end_index = static_cast<unsigned>(end);
            pango_attr_list_insert(list, attribute);
        }
        start = end;
    }
    if (header) pango_attr_list_insert(list, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    for (const Span& span : text.spans) {
        auto add = [&](PangoAttribute* attribute) {
            attribute->start_index = span.start;
            attribute->end_index = span.end;
            pango_attr_list_insert(list, attribute);
        };
        if (span.bold) add(pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        if (span.italic) add(pango_attr_style_new(PANGO_STYLE_ITALIC));
        if (span.size > 0) add(pango_attr_size_new(span.size * PANGO_SCALE));
    }
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
}

void PdfReport::DrawParagraph(const RichText& text, int type, const std::string& link, double indent) {
    cairo_t* cr = m_handles->cr.get();
    PangoLayout* layout = m_handles->layout.get();
    const int level = type >= 1 && type <= 6 ? type : 0;
    pango_font_description_set_size(m_handles->font.get(),
                                    static_cast<int>(kHeadingPoints[level] * PANGO_SCALE));
    pango_font_description_set_weight(m_handles->font.get(),
                                      level > 0 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, m_handles->font.get());
    pango_font_description_set_size(m_handles->font.get(), kBodyPoints * PANGO_SCALE);
    pango_font_description_set_weight(m_handles->font.get(), PANGO_WEIGHT_NORMAL);
    const double width = m_pageWidth - 2 * m_margin - indent;
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    ApplyText(layout, text, false);

    const double before = level > 0 ? kHeadingPoints[level] * 0.6 : 2;
    const double bottom = m_pageHeight - m_margin - kFooterHeight;
    if (m_inTable) FlushGroup(0);  // rows of a banded table come before text in the middle of it
    if (m_rowHeld || m_groupCount > 0) {
        // Text after a table (its footer) does not stand alone at the top of a page: when it fits on a page
        // with the header row and the table's last row, that row moves to its page (in a banded table, to the
        // pages of its bands; FlushGroup judges the room there).
        int width = 0, height = 0;
        pango_layout_get_size(layout, &width, &height);
        const double need = 8 + before + ToPoints(height) + 3;
        double keep = need;
        if (m_rowHeld) {
            const double room = bottom - m_margin - RowHeight(m_heldRow, false) -
                                (m_hasHeader && !m_buffered.empty() ? RowHeight(m_buffered[0], true) : 0);
            keep = need <= room && !m_heldAfterHeader ? need : 0;
        }
        ReleaseHeldRow(keep);
    }
    EnsurePage();
    m_y += before;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    bool first = true;
    double shift = 0;  // layout y that sits at m_y of the current page
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const double top = ToPoints(logical.y), height = ToPoints(logical.height);
        // A heading stays with at least a few lines of what follows it.
        const double need = first && level > 0 ? height * 3 : height;
        if (m_y + (top - shift) + need > bottom && !(m_y <= m_margin && top - shift <= 0)) {
            NewPage();
            shift = top;
        }
        if (first) PlaceAnchors();
        first = false;
        const double baseline = ToPoints(pango_layout_iter_get_baseline(iter));
        SetRgb(cr, link.empty() ? 0x000000 : 0x1A0DAB);
        if (!link.empty()) cairo_tag_begin(cr, CAIRO_TAG_LINK, ("dest=" + TagString(link)).c_str());
        cairo_move_to(cr, m_margin + indent + ToPoints(logical.x), m_y + baseline - shift);
        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
        if (!link.empty()) cairo_tag_end(cr, CAIRO_TAG_LINK);
    } while (pango_layout_iter_next_line(iter));
    PangoRectangle all;
    pango_layout_get_extents(layout, nullptr, &all);
    pango_layout_iter_free(iter);
    m_y += ToPoints(all.y + all.height) - shift + (level > 0 ? 4 : 3);
}

void PdfReport::Text(std::wstring_view text, PARAGRAPH_TYPE type, std::wstring_view, int markup) {
    if (!m_open) return;
    std::wstring plain;
    if (markup) {
        plain = tw::report::PlainFromMarkup(text);
        text = plain;
    }
    if (m_inCell) {
        RowData& row = CurrentRow();
        CellData& cell = row.cells[static_cast<size_t>(row.used - 1)];
        AppendText(cell.text, text, false);
    } else if (m_inParagraph) {
        AppendText(m_paragraph, text, false);
    } else if (!m_inRow) {
        m_paragraph.Clear();
        AppendText(m_paragraph, text, false);
        if (m_inTable) FlushBuffered();
        DrawParagraph(m_paragraph, type, {}, 0);
        m_paragraph.Clear();
    }
}

void PdfReport::BeginSubDocument(std::wstring_view, std::wstring_view, std::wstring_view) {}
void PdfReport::EndSubDocument() {}

void PdfReport::Ancor(std::wstring_view name) {
    if (!m_open) return;
    // A held row belongs before the place the name marks.
    if (!m_inTable) ReleaseHeldRow(0);
    m_pendingAnchors.push_back(tw::WideToUtf8(name));
}

void PdfReport::EndOfLine() {
    if (!m_open) return;
    if (m_inCell) {
        RowData& row = CurrentRow();
        row.cells[static_cast<size_t>(row.used - 1)].text.utf8 += '\n';
    } else if (m_inParagraph) {
        m_paragraph.utf8 += '\n';
    }
}

void PdfReport::BeginStyle(int style, int size) { m_styles.Begin(style, size); }

void PdfReport::EndStyle(int style, int) { m_styles.End(style); }

void PdfReport::BeginParagraph(PARAGRAPH_TYPE type, std::wstring_view) {
    if (!m_open || m_inRow) return;
    if (m_inParagraph) EndParagraph(m_paragraphType);
    m_inParagraph = true;
    m_paragraphType = type;
    m_paragraph.Clear();
}

void PdfReport::EndParagraph(PARAGRAPH_TYPE) {
    if (!m_open || !m_inParagraph) return;
    m_inParagraph = false;
    if (m_inTable) FlushBuffered();
    DrawParagraph(m_paragraph, m_paragraphType, {}, 0);
    m_paragraph.Clear();
}

void PdfReport::BeginToc() {
    if (!m_open || m_inRow) return;
    m_paragraph.Clear();
    AppendText(m_paragraph, L"Contents", false);
    DrawParagraph(m_paragraph, 3, {}, 0);
    m_paragraph.Clear();
}

void PdfReport::TocItem(std::wstring_view anchor, std::wstring_view text, int level) {
    if (!m_open || m_inRow) return;
    OutlineEntry entry{tw::WideToUtf8(anchor), tw::WideToUtf8(text)};
    m_paragraph.Clear();
    AppendText(m_paragraph, text, false);
    DrawParagraph(m_paragraph, 0, entry.anchor, 14.0 * (1 + std::clamp(level, 0, 5)));
    m_paragraph.Clear();
    m_outline.push_back(std::move(entry));
}

void PdfReport::EndToc() {
    if (m_open) m_y += 6;
}
