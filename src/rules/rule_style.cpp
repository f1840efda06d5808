#include "rule_style.h"

#include <cwctype>
#include <string_view>

namespace {

// Attribute values come from project files: escaping keeps a colour or class text inside its attribute.
void AppendEscaped(std::wstring& out, std::wstring_view text) {
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'"': out += L"&quot;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        default: out += c;
        }
    }
}

// Sizes are computed in 64 bits: a FontSize read from a file may be far outside -2..2.
void AppendInt(std::wstring& out, long long value) {
    wchar_t digits[24];
    int count = 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out += L'-';
    while (count > 0) out += digits[--count];
}

// The CSS text-align of an Align text (any case), or null for a text that names no alignment.
const wchar_t* CssAlignment(std::wstring_view align) {
    static const wchar_t* const names[] = {L"left", L"right", L"center", L"justify"};
    for (const wchar_t* name : names) {
        const std::wstring_view candidate(name);
        if (candidate.size() != align.size()) continue;
        bool same = true;
        for (size_t i = 0; i < align.size() && same; ++i) same = static_cast<wchar_t>(std::towlower(align[i])) == candidate[i];
        if (same) return name;
    }
    return nullptr;
}

void AppendHtmlAttributes(std::wstring& out, const RuleStyle& style) {
    if (style.Align != L"Left") {
        out += L" align=\"";
        AppendEscaped(out, style.Align);
        out += L'"';
    }
    // Browsers honour only the first of several style attributes, so the declarations share one. The align
    // attribute alone loses to a template's td { text-align }, so the alignment is a declaration too.
    const wchar_t* textAlign = style.Align != L"Left" ? CssAlignment(style.Align) : nullptr;
    const bool hasBackground = !style.BackgroundColor.empty();
    const bool hasColor = !style.FontColor.empty();
    const bool hasSize = style.FontSize != 0;
    if (hasBackground || hasColor || hasSize || textAlign) {
        out += L" style=\"";
        bool first = true;
        auto declaration = [&](const wchar_t* name) {
            if (!first) out += L' ';
            first = false;
            out += name;
        };
        if (hasBackground) {
            declaration(L"background-color: ");
            AppendEscaped(out, style.BackgroundColor);
            out += L';';
        }
        if (hasColor) {
            declaration(L"color: ");
            AppendEscaped(out, style.FontColor);
            out += L';';
        }
        if (hasSize) {
            declaration(L"font-size: ");
            AppendInt(out, (static_cast<long long>(style.FontSize) + 5) * 20);
            out += L"%;";
        }
        if (textAlign) {
            declaration(L"text-align: ");
            out += textAlign;
            out += L';';
        }
        out += L'"';
    }
    if (!style.CSSClass.empty()) {
        out += L" class=\"";
        AppendEscaped(out, style.CSSClass);
        out += L'"';
    }
}

}  // namespace

bool SameStyle(const RuleStyle& a, const RuleStyle& b) {
    return a.Align == b.Align && a.BackgroundColor == b.BackgroundColor && a.CSSClass == b.CSSClass &&
           a.FontColor == b.FontColor && a.FontSize == b.FontSize && a.IsBold == b.IsBold &&
           a.IsItalic == b.IsItalic;
}

void StyleAttributes(const RuleStyle& style, int format, std::wstring& out) {
    out.clear();
    switch (format) {
    case 0:
        out += style.FontColor;
        out += L';';
        out += style.BackgroundColor;
        break;
    case 1:
    case 4: AppendHtmlAttributes(out, style); break;
    case 5: out += style.BackgroundColor; break;
    default: break;
    }
}

std::wstring StyleAttributes(const RuleStyle& style, int format) {
    std::wstring out;
    StyleAttributes(style, format, out);
    return out;
}

void ExcelStyle(std::wstring& out, const RuleStyle& style, const std::wstring& styleName) {
    if (styleName.empty()) return;
    out += L"<Style ss:ID=\"";
    AppendEscaped(out, styleName);
    out += L"\">";
    // An empty colour (a record without the key) means no colour, as "Default" does: ss:Color="" is invalid.
    if (style.BackgroundColor != L"Default" && !style.BackgroundColor.empty()) {
        out += L"<Interior ss:Color=\"";
        AppendEscaped(out, style.BackgroundColor);
        out += L"\" ss:Pattern=\"Solid\"/>";
    }
    out += L"<Font ss:Bold=\"";
    out += style.IsBold ? L'1' : L'0';
    out += L"\" ss:Italic=\"";
    out += style.IsItalic ? L'1' : L'0';
    out += L"\" ss:Color=\"";
    if (style.FontColor == L"Default" || style.FontColor.empty()) {
        out += L"black";
    } else {
        AppendEscaped(out, style.FontColor);
    }
    out += L"\" ss:Size=\"";
    AppendInt(out, 10 + 2 * static_cast<long long>(style.FontSize));
    out += L"\"/></Style>\n";
}
