// What the rule pages do to a project's rule lists, and the checks of a converter's fields.

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/test_folder.h"
#include "ctw_doc.h"
#include "rule_edit.h"

namespace {

TEST(RuleEdit, ExistingRuleOfAColumn) {
    CtwDoc project;
    ValueMarker whole;
    whole.IsWholeRow = 1;
    whole.Column = L"amount";  // a whole-row marker is for no column of its own
    ValueMarker own;
    own.Column = L"amount";
    project.m_markers = {whole, own};
    EXPECT_EQ(rule_edit::ExistingMarkerFor(project, L"amount"), 1);
    EXPECT_EQ(rule_edit::ExistingMarkerFor(project, L"Amount"), -1);
    EXPECT_EQ(rule_edit::ExistingMarkerFor(project, L""), -1);
    project.m_columnProperties.push_back({L"total", {}, false});
    EXPECT_EQ(rule_edit::ExistingPropertyFor(project, L"total"), 0);
    Converter unnamed;
    project.m_converters.push_back(unnamed);
    EXPECT_EQ(rule_edit::ExistingConverterFor(project, L""), -1);  // unnamed converters may repeat
}

TEST(RuleEdit, SelectionAfterRemove) {
    EXPECT_EQ(rule_edit::SelectionAfterRemove(0, 2), 0);  // the next row moved up
    EXPECT_EQ(rule_edit::SelectionAfterRemove(2, 2), 1);  // the last row went: the new last one
    EXPECT_EQ(rule_edit::SelectionAfterRemove(0, 0), -1);
}

TEST(RuleEdit, SaveMarksModifiedOnlyOnAChange) {
    CtwDoc project;
    ValueMarker marker;
    marker.Column = L"amount";
    marker.ConditionOperand = L"10";
    project.m_markers.push_back(marker);
    project.SetModified(false);
    int changes = 0;
    project.m_onFieldChanged = [&changes](ProjectField) { ++changes; };
    ValueMarker same = marker;
    same.style.StyleName = L"Mar0";  // run-time only
    EXPECT_FALSE(rule_edit::SaveMarker(project, 0, same));
    EXPECT_FALSE(project.IsModified());
    EXPECT_FALSE(rule_edit::SaveMarker(project, 1, marker));  // outside the list
    ValueMarker operand = marker;
    operand.ConditionOperand = L"11";
    EXPECT_TRUE(rule_edit::SaveMarker(project, 0, operand));
    EXPECT_TRUE(project.IsModified());
    EXPECT_EQ(project.m_markers[0].ConditionOperand, L"11");
    EXPECT_EQ(changes, 1);

    Converter converter;
    project.m_converters.push_back(converter);
    project.SetModified(false);
    EXPECT_FALSE(rule_edit::SaveConverter(project, 0, converter));
    converter.Digits = 0;
    EXPECT_TRUE(rule_edit::SaveConverter(project, 0, converter));
    EXPECT_TRUE(project.IsModified());
}

TEST(RuleEdit, FormatDigitsField) {
    int value = 7;
    EXPECT_TRUE(rule_edit::ParseFormatDigits(L"", value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(rule_edit::ParseFormatDigits(L"0", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(rule_edit::ParseFormatDigits(L"12", value));
    EXPECT_EQ(value, 12);
    EXPECT_FALSE(rule_edit::ParseFormatDigits(L"-1", value));
    EXPECT_FALSE(rule_edit::ParseFormatDigits(L"1 ", value));
    EXPECT_FALSE(rule_edit::ParseFormatDigits(L"99999999999999999999", value));  // no overflow
}

TEST(RuleEdit, RegexErrorAndSample) {
    EXPECT_EQ(rule_edit::RegexError(L""), L"");
    EXPECT_EQ(rule_edit::RegexError(L"(a+)b"), L"");
    EXPECT_FALSE(rule_edit::RegexError(L"(a").empty());
    EXPECT_FALSE(rule_edit::RegexError(L"a)").empty());

    Converter converter;
    converter.RegexFrom = L"(\\d+)-(\\d+)";
    converter.RegexTo = L"$2/$1";
    converter.Prefix = L"<";
    converter.Suffix = L">";
    bool failed = true;
    EXPECT_EQ(rule_edit::SampleAfter(converter, L"12-34", 0, failed), L"<34/12>");
    EXPECT_FALSE(failed);
    converter.RegexFrom = L"(";
    rule_edit::SampleAfter(converter, L"12-34", 0, failed);  // shows no message box
    EXPECT_TRUE(failed);
}

TEST(RuleEdit, CreateEmptyFile) {
    TestFolder folder;
    const std::wstring path = (folder.Path() / "values.txt").wstring();
    ASSERT_TRUE(rule_edit::CreateEmptyFile(path));
    EXPECT_EQ(std::filesystem::file_size(folder.Path() / "values.txt"), 0u);
    folder.Write("kept.txt", "?1=x\n");
    EXPECT_TRUE(rule_edit::CreateEmptyFile((folder.Path() / "kept.txt").wstring()));
    EXPECT_EQ(std::filesystem::file_size(folder.Path() / "kept.txt"), 5u);
    EXPECT_FALSE(rule_edit::CreateEmptyFile((folder.Path() / "missing" / "values.txt").wstring()));
}

}  // namespace
