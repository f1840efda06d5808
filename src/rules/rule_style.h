#pragma once
// The look of a cell, shared by column properties and value markers.

#include <string>

struct RuleStyle {
    int IsBold = 0;
    int IsItalic = 0;
    std::wstring BackgroundColor;
    std::wstring FontColor;
    std::wstring CSSClass;
    std::wstring Align;
    int FontSize = 0;  // -2 to +2
    std::wstring StyleName;  // given by each run ("Pr%d", "Mar%d"); never saved
};

// True when the saved look of a and b agree (StyleName is not compared).
bool SameStyle(const RuleStyle& a, const RuleStyle& b);

// The attribute text of a body cell for a report format (0 RTF "font;background", 1 and 4 HTML attributes,
// 5 PDF the background colour, others empty). HTML gets one style attribute holding every declaration, and
// its attribute values are escaped.
std::wstring StyleAttributes(const RuleStyle& style, int format);
// Same, written into out (its capacity reused: the per-cell path).
void StyleAttributes(const RuleStyle& style, int format, std::wstring& out);
// Appends the SpreadsheetML <Style> block of style under styleName to out; nothing when styleName is empty.
void ExcelStyle(std::wstring& out, const RuleStyle& style, const std::wstring& styleName);
