// The step budget of regular-expression converters: backtracking that would run for minutes ends the value with
// a message, on both matchers, while ordinary expressions on long values keep working.

#include <gtest/gtest.h>

#include <string>

#include "../support/box_host.h"
#include "converter.h"
#include "fld_desc.h"
#include "simple_regex.h"

namespace {

class RegexBudgetTest : public testing::Test {
  protected:
    void SetUp() override { SetHost(&host); }
    void TearDown() override { SetHost(nullptr); }

    // The converter's result for value; failed tells whether it gave up.
    std::wstring Apply(const std::wstring& from, const std::wstring& to, const std::wstring& value, int& failed) {
        Converter converter;
        converter.Column = L"code";
        converter.RegexFrom = from;
        converter.RegexTo = to;
        return ApplyConverter(converter, value, TC_VARCHAR, failed);
    }
    BoxHost host;
};

TEST_F(RegexBudgetTest, CatastrophicBacktrackingEndsWithAMessageNamingTheConverter) {
    struct Case {
        const char* name;
        std::wstring from;
        std::wstring value;
        bool fastMatcher;  // the expression lies in the fast matcher's subset
    };
    std::wstring emptyChoices;  // forty empty alternatives: 2^40 ways, none reading a character at the end
    for (int i = 0; i < 40; ++i) emptyChoices += L"(?:|)";
    const Case cases[] = {
        {"nested repetition", L"^(a+)+$", std::wstring(34, L'a') + L"!", false},
        {"repeated alternatives", L"^(a|a)*$", std::wstring(34, L'a') + L"!", true},
        {"empty paths at the end", emptyChoices + L"(?=x)", L"", false},
        {"empty paths on a character", emptyChoices + L"(?=x)", L"y", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(rules::SimpleRegex::Compile(c.from) != nullptr, c.fastMatcher);
        host.boxes.clear();
        int failed = 0;
        EXPECT_EQ(Apply(c.from, L"x", c.value, failed), L"");
        EXPECT_EQ(failed, 1);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_NE(host.boxes[0].find(L"Error: "), std::wstring::npos);
        EXPECT_NE(host.boxes[0].find(L"column 'code'"), std::wstring::npos);
        EXPECT_NE(host.boxes[0].find(L"too complex for the value"), std::wstring::npos);
    }
}

// The budget grows with the value: ordinary expressions on a value of a million characters are not cut short.
TEST_F(RegexBudgetTest, OrdinaryExpressionsOnLongValuesKeepWorking) {
    std::wstring pairs, expected;
    while (pairs.size() < 1'000'000) {
        pairs += L"12-345 ";
        expected += L"345/12 ";
    }
    struct Case {
        const char* name;
        std::wstring from, to, value, expected;
    };
    const Case cases[] = {
        {"fast matcher", L"(\\d+)-(\\d+)", L"$2/$1", pairs, expected},
        {"standard matcher", L"(\\d+)-(\\d+)\\b", L"$2/$1", pairs, expected},
        {"no match", L"y+", L"z", std::wstring(1'000'000, L'x'), std::wstring(1'000'000, L'x')},
        {"trailing blanks", L"\\s+$", L".", pairs + L"  ", pairs.substr(0, pairs.size() - 1) + L"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int failed = 0;
        const std::wstring result = Apply(c.from, c.to, c.value, failed);
        EXPECT_EQ(failed, 0);
        EXPECT_TRUE(result == c.expected);
        EXPECT_TRUE(host.boxes.empty());
    }
}

// A pattern without backtracking still scans: a run that nothing can follow up makes a search quadratic.
TEST(SimpleRegexBudget, QuadraticScansSpendTheBudgetToo) {
    const auto regex = rules::SimpleRegex::Compile(L"a*b");
    ASSERT_NE(regex, nullptr);
    ASSERT_TRUE(regex->IsStraight());
    rules::RegexScratch scratch;
    const std::wstring value(100'000, L'a');
    rules::RegexMatches matches(*regex, value, scratch);
    EXPECT_EQ(matches.Next(), rules::RegexResult::TooComplex);
    EXPECT_EQ(matches.Next(), rules::RegexResult::NotFound);

    const std::wstring shortValue = std::wstring(1000, L'a') + L"b";
    rules::RegexMatches shortMatches(*regex, shortValue, scratch);
    EXPECT_EQ(shortMatches.Next(), rules::RegexResult::Found);
}

}  // namespace
