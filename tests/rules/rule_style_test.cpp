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
        {"page default html", pageDefault, 1, L" style=\"background-color: Default; color: Default;\""},
        {"page default chm", pageDefault, 4, L" style=\"background-color: Default; color: Default;\""},
        {"page default rtf", pageDefault, 0, L"Default;Default"},
        {"page default pdf", pageDefault, 5, L"Default"},
        {"page default xml", pageDefault, 2, L""},
        {"page default text", pageDefault, 3, L""},
        {"page default excel", pageDefault, 6, L""},
        {"unknown format", full, 9, L""},
        {"all pieces in order, one style attribute", full, 1,
         L" align=\"Right\" style=\"background-color: yellow; color: red; font-size: 80%;\" class=\"num\""},
        {"rtf puts the text colour first", full, 0, L"red;yellow"},
        {"pdf takes the background alone", full, 5, L"yellow"},
        {"lower-case left is not Left", Style(L"left", L"", L"", 0, L""), 1, L" align=\"left\""},
        {"colour alone", Style(L"Left", L"", L"red", 0, L""), 1, L" style=\"color: red;\""},
        {"size -2", Style(L"Left", L"", L"", -2, L""), 1, L" style=\"font-size: 60%;\""},
        {"size +1", Style(L"Left", L"", L"", 1, L""), 1, L" style=\"font-size: 120%;\""},
        {"size +2", Style(L"Left", L"", L"", 2, L""), 1, L" style=\"font-size: 140%;\""},
        {"class alone", Style(L"Left", L"", L"", 0, L"hot"), 4, L" class=\"hot\""},
        {"values cannot leave their attribute",
         Style(L"x\"y", L"red\" onclick=\"z", L"<b>", 0, L"a&b"), 1,
         L" align=\"x&quot;y\" style=\"background-color: red&quot; onclick=&quot;z; color: &lt;b&gt;;\" "
         L"class=\"a&amp;b\""},
    };
    for (const AttributeCase& c : cases) {
        EXPECT_EQ(StyleAttributes(c.style, c.format), c.expected) << c.name;
    }
}

TEST(StyleAttributes, OutOfRangeSizeFromAFileIsSafe) {
    const RuleStyle huge = Style(L"Left", L"", L"", 2147483647, L"");
    EXPECT_EQ(StyleAttributes(huge, 1), L" style=\"font-size: 42949673040%;\"");
}

TEST(StyleAttributes, OutParameterIsOverwritten) {
    std::wstring out = L"left over from the last cell";
    StyleAttributes(Style(L"Left", L"", L"", 0, L"c"), 1, out);
    EXPECT_EQ(out, L" class=\"c\"");
    StyleAttributes(Style(L"Left", L"", L"", 0, L""), 1, out);
    EXPECT_EQ(out, L"");
}

TEST(ExcelStyle, Blocks) {
    std::wstring out = L"<Style ss:ID=\"before\"/>";
    ExcelStyle(out, Style(L"Left", L"Default", L"Default", 0, L""), L"Pr0");
    EXPECT_EQ(out, L"<Style ss:ID=\"before\"/><Style ss:ID=\"Pr0\"><Font ss:Bold=\"0\" ss:Italic=\"0\" "
                   L"ss:Color=\"black\" ss:Size=\"10\"/></Style>\n");

    RuleStyle marked = Style(L"Right", L"yellow", L"red", -2, L"num");
    marked.IsBold = 1;
    marked.IsItalic = 1;
    out.clear();
    ExcelStyle(out, marked, L"Mar3");
    EXPECT_EQ(out, L"<Style ss:ID=\"Mar3\"><Interior ss:Color=\"yellow\" ss:Pattern=\"Solid\"/>"
                   L"<Font ss:Bold=\"1\" ss:Italic=\"1\" ss:Color=\"red\" ss:Size=\"6\"/></Style>\n");

    out.clear();
    ExcelStyle(out, marked, L"");
    EXPECT_EQ(out, L"");

    // Empty colours (a record saved without them) must not give ss:Color="".
    out.clear();
    ExcelStyle(out, RuleStyle{}, L"Pr1");
    EXPECT_EQ(out, L"<Style ss:ID=\"Pr1\"><Font ss:Bold=\"0\" ss:Italic=\"0\" ss:Color=\"black\" "
                   L"ss:Size=\"10\"/></Style>\n");

    out.clear();
    ExcelStyle(out, Style(L"", L"#FF0000\"/><x a=\"", L"a&b", 1, L""), L"Pr2");
    EXPECT_EQ(out, L"<Style ss:ID=\"Pr2\"><Interior ss:Color=\"#FF0000&quot;/&gt;&lt;x a=&quot;\" "
                   L"ss:Pattern=\"Solid\"/><Font ss:Bold=\"0\" ss:Italic=\"0\" ss:Color=\"a&amp;b\" "
                   L"ss:Size=\"12\"/></Style>\n");
}

TEST(SameStyle, ComparesEverySavedFieldButNotTheName) {
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
}

TEST(ColumnProperty, SameAndFind) {
    ColumnProperty a{L"Amount", Style(L"Right", L"", L"", 0, L""), false};
    ColumnProperty b = a;
    b.style.StyleName = L"Pr1";
    EXPECT_TRUE(SameColumnProperty(a, b));
    b.IsHide = true;
    EXPECT_FALSE(SameColumnProperty(a, b));
    b = a;
    b.ColumnName = L"AMOUNT";
    EXPECT_FALSE(SameColumnProperty(a, b));

    std::vector<ColumnProperty> list = {a, a, {L"Name", {}, true}};
    list[1].style.Align = L"Center";
    EXPECT_EQ(FindColumnProperty(list, L"Amount"), &list[0]);
    EXPECT_EQ(FindColumnProperty(list, L"AMOUNT"), nullptr);
    EXPECT_EQ(FindColumnProperty(list, L"Name"), &list[2]);
    EXPECT_EQ(FindColumnProperty(list, L""), nullptr);
}

}  // namespace
