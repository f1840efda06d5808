#include <gtest/gtest.h>

#include <string>

#include "converter.h"
#include "fld_desc.h"

namespace {

// standardOnly: std::wregex alone, as for an expression outside the fast matcher's subset.
std::wstring Convert(const std::wstring& from, const std::wstring& to, const std::wstring& value,
                     bool standardOnly = false) {
    Converter converter;
    converter.RegexFrom = from;
    converter.RegexTo = to;
    PrepareConverter(converter);
    if (standardOnly) converter.fastCompiled.reset();
    int failed = -1;
    std::wstring out;
    ApplyConverter(converter, value, TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 0) << testing::PrintToString(from);
    return out;
}

// An expression that opens with "^" is matched once from the start instead of being searched for at every
// position; wrapping it in a non-capturing group takes the general path, which must give the same text. Both
// matchers take that shortcut, each its own way.
TEST(ConverterAnchored, SameResultAsTheGeneralSearch) {
    const struct {
        const wchar_t* body;
        const wchar_t* replacement;
    } expressions[] = {
        {L"^([0-9]{4})-([0-9]{2})", L"$2/$1"},
        {L"^a", L"<$&>"},
        {L"^", L"#"},          // an empty match at the start
        {L"^x*", L"-"},        // empty or not, depending on the value
        {L"^x*?", L"-"},       // lazy: empty first, then a non-empty match at the same place
        {L"^a\\|b", L"-"},     // a literal bar: the general path is taken
        {L"^a|b", L"-"},       // an alternative without the anchor
        {L"^(a)?b", L"[$1|$`|$']"},
        {L"^\\d+$", L"n"},
    };
    const wchar_t* values[] = {L"", L"a", L"aaa", L"xxbx", L"2020-01-01 2020-02", L"ab\nab", L"b|b", L"123", L"x"};
    for (const auto& expression : expressions) {
        const std::wstring body = expression.body;
        const std::wstring general = L"(?:" + body + L")";
        for (const wchar_t* value : values) {
            const std::wstring expected = Convert(general, expression.replacement, value, true);
            EXPECT_EQ(Convert(body, expression.replacement, value, true), expected)
                << testing::PrintToString(body) << " on " << testing::PrintToString(std::wstring(value));
            EXPECT_EQ(Convert(body, expression.replacement, value), expected)
                << testing::PrintToString(body) << " on " << testing::PrintToString(std::wstring(value));
        }
    }
    EXPECT_EQ(Convert(L"^([0-9]{4})-([0-9]{2})", L"$2/$1", L"2020-01-01 2020-02"), L"01/2020-01 2020-02");
    EXPECT_EQ(Convert(L"^a", L"b", L"aaa"), L"baa");
}

}  // namespace
