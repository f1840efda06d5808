#include <gtest/gtest.h>

#include "column_property.h"
#include "rule_style.h"

namespace {

RuleStyle Style(std::wstring align, std::wstring background, std::wstring font, int size, std::wstring css) {
    RuleStyle style;
    style.Align = std::move(align);
    style.BackgroundColor = std::move(background);
    style.FontColor = std::move(font);
    style.FontSize = size;
    style.CSSClass = std::move(css);
    return style;
}

struct AttributeCase {
    const char* name;
    RuleStyle style;
    int format;
    std::wstring expected;
};

TEST(StyleAttributes, ByFormatAndField) {
    const RuleStyle pageDefault = Style(L"Left", L"Default", L"Default", 0, L"");
    const RuleStyle full = Style(L"Right", L"yellow", L"red", -1, L"num");
    const AttributeCase cases[] = {
        {"new record gives an empty align", RuleStyle{}, 1, L" align=\"\""},
        {"page default chm", pageDefault, 4, L" style=\"background-color: Default; color: Default;\""},
        {"page default rtf", pageDefault, 0, L"Default;Default"},
        {"page default pdf", pageDefault, 5, L"Default"},
        {"xml", full, 2, L""},
        {"text", full, 3, L""},
        {"excel", full, 6, L""},
        {"all pieces in order, one style attribute", full, 1,
         L" align=\"Right\" style=\"background-color: yellow; color: red; font-size: 80%; text-align: right;\" "
         L"class=\"num\""},
        {"alignment wins over a template's td rule", Style(L"CENTER", L"", L"", 0, L""), 4,
         L" align=\"CENTER\" style=\"text-align: center;\""},
        {"rtf puts the text colour first", full, 0, L"red;yellow"},
        {"pdf takes the background alone", full, 5, L"yellow"},
        {"lower-case left is not Left", Style(L"left", L"", L"", 0, L""), 1,
         L" align=\"left\" style=\"text-align: left;\""},
        {"colour alone", Style(L"Left", L"", L"red", 0, L""), 1, L" style=\"color: red;\""},
        {"size -2", Style(L"Left", L"", L"", -2, L""), 1, L" style=\"font-size: 60%;\""},
        {"size +2", Style(L"Left", L"", L"", 2, L""), 1, L" style=\"font-size: 140%;\""},
        {"size from a file does not overflow", Style(L"Left", L"", L"", 2147483647, L""), 1,
         L" style=\"font-size: 42949673040%;\""},
        {"values cannot leave their attribute",
         Style(L"x\"y", L"red\" onclick=\"z", L"<b>", 0, L"a&b"), 1,
         L" align=\"x&quot;y\" style=\"background-color: red&quot; onclick=&quot;z; color: &lt;b&gt;;\" "
         L"class=\"a&amp;b\""},
    };
    for (const AttributeCase& c : cases) {
        EXPECT_EQ(StyleAttributes(c.style, c.format), c.expected) << c.name;
        std::wstring out = L"left over from the last cell";  // the per-cell form replaces, never appends
        StyleAttributes(c.style, c.format, out);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(ExcelStyle, Blocks) {
    RuleStyle marked = Style(L"Right", L"yellow", L"red", -2, L"num");
    marked.IsBold = marked.IsItalic = 1;
    const std::wstring plainFont = L"<Font ss:Bold=\"0\" ss:Italic=\"0\" ss:Color=\"black\" ss:Size=\"10\"/>";
    const struct {
        RuleStyle style;
        const wchar_t* name;
        std::wstring expected;
    } cases[] = {
        {Style(L"Left", L"Default", L"Default", 0, L""), L"Pr0", L"<Style ss:ID=\"Pr0\">" + plainFont + L"</Style>\n"},
        {marked, L"Mar3", L"<Style ss:ID=\"Mar3\"><Interior ss:Color=\"yellow\" ss:Pattern=\"Solid\"/><Font "
                          L"ss:Bold=\"1\" ss:Italic=\"1\" ss:Color=\"red\" ss:Size=\"6\"/></Style>\n"},
        {marked, L"", L""},
        // Empty colours (a record saved without them) must not give ss:Color="".
        {RuleStyle{}, L"Pr1", L"<Style ss:ID=\"Pr1\">" + plainFont + L"</Style>\n"},
        {Style(L"", L"#F00\"/><x a=\"", L"a&b", 1, L""), L"P\"",
         L"<Style ss:ID=\"P&quot;\"><Interior ss:Color=\"#F00&quot;/&gt;&lt;x a=&quot;\" ss:Pattern=\"Solid\"/>"
         L"<Font ss:Bold=\"0\" ss:Italic=\"0\" ss:Color=\"a&amp;b\" ss:Size=\"12\"/></Style>\n"},
    };
    for (const auto& c : cases) {
        std::wstring out = L"<kept/>";
        ExcelStyle(out, c.style, c.name);
        EXPECT_EQ(out, L"<kept/>" + c.expected);
    }
}

TEST(SameStyleAndColumnProperty, EverySavedFieldButNotTheNameAndFirstExactMatch) {
    const RuleStyle base = Style(L"Right", L"yellow", L"red", 1, L"num");
    RuleStyle renamed = base;
    renamed.StyleName = L"Pr7";
    EXPECT_TRUE(SameStyle(base, renamed));
    std::vector<RuleStyle> changed(7, base);
    changed[0].Align = L"right";
    changed[1].BackgroundColor = L"Yellow";
    changed[2].FontColor = L"blue";
    changed[3].FontSize = -1;
    changed[4].CSSClass = L"num ";
    changed[5].IsBold = 1;
    changed[6].IsItalic = 1;
    for (size_t i = 0; i < changed.size(); ++i) EXPECT_FALSE(SameStyle(base, changed[i])) << i;

    const ColumnProperty property{L"Amount", renamed, false};
    EXPECT_TRUE(SameColumnProperty(property, {L"Amount", base, false}));
    EXPECT_FALSE(SameColumnProperty(property, {L"Amount", base, true}));
    EXPECT_FALSE(SameColumnProperty(property, {L"AMOUNT", base, false}));

    std::vector<ColumnProperty> list = {{L"Amount", {}, false}, {L"Amount", {}, true}, {L"Name", {}, true}};
    EXPECT_EQ(FindColumnProperty(list, L"Amount"), &list[0]);
    EXPECT_EQ(FindColumnProperty(list, L"AMOUNT"), nullptr);
    EXPECT_EQ(FindColumnProperty(list, L"Name"), &list[2]);
}

}  // namespace
