#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "converter.h"
#include "dates.h"
#include "fld_desc.h"
#include "host.h"

namespace {

class RecordingHost : public IHost {
public:
    struct Box {
        std::wstring text, caption;
        MessageIcon icon;
    };
    std::vector<Box> boxes;
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) override {
        boxes.push_back({std::wstring(text), std::wstring(caption), icon});
    }
};

class ConverterTest : public testing::Test {
protected:
    void SetUp() override { SetHost(&host); }
    void TearDown() override { SetHost(nullptr); }
    RecordingHost host;
};

std::wstring Convert(Converter converter, std::wstring_view value, int type) {
    int failed = -1;
    std::wstring out = ApplyConverter(converter, value, type, failed);
    EXPECT_EQ(failed, 0);
    return out;
}

Converter Regex(const wchar_t* from, const wchar_t* to) {
    Converter converter;
    converter.RegexFrom = from;
    converter.RegexTo = to;
    return converter;
}

struct Case {
    const char* name;
    Converter converter;
    int type;
    const wchar_t* value;
    std::wstring expected;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Convert(c.converter, c.value, c.type), c.expected) << c.name;
}

TEST_F(ConverterTest, RegularExpressions) {
    Converter bracketed = Regex(L"(\\d+)-(\\d+)", L"$2/$1");
    bracketed.Prefix = L"[";
    bracketed.Suffix = L"]";
    Converter noReplacement = Regex(L"\\d", L"");
    noReplacement.Group = 1;
    RunCases({
        {"groups swapped", Regex(L"(\\d+)-(\\d+)", L"$2/$1"), TC_VARCHAR, L"12-34 and 5-6", L"34/12 and 6/5"},
        {"with prefix and suffix", bracketed, TC_VARCHAR, L"12-34 and 5-6", L"[34/12 and 6/5]"},
        {"applies to numbers too", Regex(L"^", L"#"), TC_INTEGER, L"1234567", L"#1234567"},
        {"empty replacement does nothing, grouping still applies", noReplacement, TC_INTEGER, L"1234567",
         L"1,234,567"},
        {"no match", Regex(L"z", L"y"), TC_VARCHAR, L"abc", L"abc"},
        {"empty matches between characters", Regex(L"x*", L"-"), TC_VARCHAR, L"abc", L"-a-b-c-"},
        {"case-sensitive", Regex(L"a", L"b"), TC_VARCHAR, L"aA", L"bA"},
        {"whole match", Regex(L"\\d+", L"<$&>"), TC_VARCHAR, L"a1b22", L"a<1>b<22>"},
        {"before and after", Regex(L"b", L"[$`|$']"), TC_VARCHAR, L"abc", L"a[a|c]c"},
        {"dollar sign", Regex(L"b", L"$$"), TC_VARCHAR, L"abc", L"a$c"},
        {"$0 is literal", Regex(L"b", L"$0"), TC_VARCHAR, L"abc", L"a$0c"},
        {"$00 is literal", Regex(L"(b)", L"$00"), TC_VARCHAR, L"abc", L"a$00c"},
        {"$01 is group 1", Regex(L"(b)", L"<$01>"), TC_VARCHAR, L"abc", L"a<b>c"},
        {"$10 with one group is $1 then 0", Regex(L"(b)", L"$10"), TC_VARCHAR, L"abc", L"ab0c"},
        {"$12 with twelve groups", Regex(L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", L"$12$11$1"), TC_VARCHAR,
         L"abcdefghijkl", L"lka"},
        {"group beyond the count is literal", Regex(L"(b)", L"$2"), TC_VARCHAR, L"abc", L"a$2c"},
        {"unmatched group is empty", Regex(L"b(x)?", L"[$1]"), TC_VARCHAR, L"abc", L"a[]c"},
        {"lone dollar at the end", Regex(L"b", L"$"), TC_VARCHAR, L"abc", L"a$c"},
        {"dollar before another character", Regex(L"b", L"$x$<n>"), TC_VARCHAR, L"abc", L"a$x$<n>c"},
        {"backslashes and ampersands are literal", Regex(L"b", L"\\1&"), TC_VARCHAR, L"abc", L"a\\1&c"},
        {"non-ASCII", Regex(L"ü", L"ue"), TC_VARCHAR, L"Müller \U0001F600", L"Mueller \U0001F600"},
    });
}

// The matcher recurses per character: long values must neither overflow the stack nor change the result.
TEST_F(ConverterTest, LongValues) {
    const struct {
        const wchar_t* from;
        const wchar_t* to;
    } expressions[] = {{L".*", L"x"}, {L"(a|b)*", L"<$1>"}, {L"((a)|(b))*c?", L"[$2]"}, {L"a", L"b"}};
    for (size_t length : {size_t{900}, size_t{4000}, size_t{200000}}) {
        const std::wstring value(length, L'a');
        const std::wstring expected[] = {L"xx", L"<a><>", L"[a][]", std::wstring(length, L'b')};
        for (size_t i = 0; i < std::size(expressions); ++i) {
            EXPECT_EQ(Convert(Regex(expressions[i].from, expressions[i].to), value, TC_LONGVARCHAR), expected[i])
                << testing::PrintToString(std::wstring(expressions[i].from)) << " on " << length;
        }
    }
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ConverterTest, InvalidExpressionFailsAndIsReportedOncePerRun) {
    Converter converter = Regex(L"(", L"x");
    converter.Prefix = L"[";
    converter.Suffix = L"]";
    EXPECT_FALSE(PrepareConverter(converter));
    EXPECT_FALSE(converter.compileError.empty());
    EXPECT_TRUE(host.boxes.empty());  // preparing reports nothing by itself

    std::wstring out = L"stale";
    for (int row = 0; row < 100; ++row) {
        int failed = 0;
        ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(out, L"");
    }
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, L"Error");
    EXPECT_EQ(host.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(host.boxes[0].text, converter.compileError);

    // A second result set of the same run stays quiet; the next run reports again.
    PrepareConverter(converter);
    int failed = 0;
    ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
    EXPECT_EQ(host.boxes.size(), 1u);
    BeginConverterRun(converter);
    PrepareConverter(converter);
    ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(host.boxes.size(), 2u);

    // Without PrepareConverter the expression is compiled (and found invalid) on first use.
    Converter lazy = Regex(L"[a-", L"x");
    ApplyConverter(lazy, L"value", TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(host.boxes.size(), 3u);
}

TEST_F(ConverterTest, ExpressionIsCompiledOnceAndFollowsEdits) {
    Converter converter = Regex(L"a", L"b");
    ASSERT_TRUE(PrepareConverter(converter));
    const std::wregex* compiled = converter.compiled.get();
    std::wstring out;
    int failed = 0;
    for (int row = 0; row < 3; ++row) {
        ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
        EXPECT_EQ(out, L"bbnbnb");
    }
    PrepareConverter(converter);
    EXPECT_EQ(converter.compiled.get(), compiled);

    converter.RegexFrom = L"n";  // the page changed the expression: the old compile no longer applies
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(out, L"bababa");

    converter.RegexFrom = L"(";
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 1);
    converter.RegexFrom = L"b";
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(out, L"banana");
}

Converter Grouping(int group) {
    Converter converter;
    converter.Group = group;
    return converter;
}

Converter Fixed(int digits, int pres) {
    Converter converter;
    converter.Digits = digits;
    converter.Pres = pres;
    return converter;
}

TEST_F(ConverterTest, Numbers) {
    Converter withAffixes = Fixed(8, 2);
    withAffixes.Prefix = L"$";
    withAffixes.Suffix = L" net";
    RunCases({
        {"grouped", Grouping(1), TC_INTEGER, L"1234567", FMT::FormatInteger(1234567)},
        {"sign kept", Grouping(1), TC_BIGINT, L"-42", L"-42"},
        {"negative grouped", Grouping(1), TC_BIGINT, L"-1234", FMT::FormatInteger(-1234)},
        {"64-bit minimum", Grouping(1), TC_BIGINT, L"-9223372036854775808", FMT::FormatInteger(LLONG_MIN)},
        {"beyond 64 bits saturates", Grouping(1), TC_BIGINT, L"99999999999999999999",
         FMT::FormatInteger(LLONG_MAX)},
        {"empty reads as 0", Grouping(1), TC_INTEGER, L"", L"0"},
        {"non-numeric reads as 0", Grouping(1), TC_INTEGER, L"n/a", L"0"},
        {"digits up to the first other character", Grouping(1), TC_INTEGER, L" 12345abc", L"12,345"},
        {"not grouped: unchanged", Grouping(0), TC_INTEGER, L" 1234567 ", L" 1234567 "},
        {"integer type with a point is left alone", Grouping(1), TC_INTEGER, L"12.5", L"12.5"},
        {"floating value without a point is step 3", Fixed(10, 2), TC_DOUBLE, L"12", L"12"},
        {"floating value without a point, grouped", Grouping(1), TC_DOUBLE, L"12345", L"12,345"},
        {"width and precision", Fixed(8, 2), TC_DOUBLE, L"3.14159", L"    3.14"},
        {"width 10", Fixed(10, 2), TC_NUMERIC, L"3.14159", L"      3.14"},
        {"precision alone", Fixed(-1, 2), TC_DECIMAL, L"3.14159", L"3.14"},
        {"Pres 0 is six decimals", Fixed(-1, 0), TC_REAL, L"3.5", L"3.500000"},
        {"Pres 0 with a width", Fixed(12, 0), TC_REAL, L"3.5", L"    3.500000"},
        {"neither set", Fixed(-1, -1), TC_FLOAT, L"0.25", L"0.250000"},
        {"text shorter than the width only", Fixed(2, 3), TC_DOUBLE, L"-1234.5", L"-1234.500"},
        {"rounds to nearest", Fixed(0, 1), TC_DOUBLE, L"0.96", L"1.0"},
        {"non-numeric float is 0", Fixed(-1, 2), TC_DOUBLE, L"n.a.", L"0.00"},
        {"exponent", Fixed(-1, 1), TC_DOUBLE, L"1.5e3", L"1500.0"},
        {"huge precision", Fixed(-1, 400), TC_DOUBLE, L"0.5", L"0.5" + std::wstring(399, L'0')},
        {"large exact value", Fixed(-1, 1), TC_DOUBLE, L"1.0e22", L"1" + std::wstring(22, L'0') + L".0"},
        {"prefix and suffix around a number", withAffixes, TC_DOUBLE, L"2.5", L"$    2.50 net"},
    });
}

TEST_F(ConverterTest, FixedFormatMatchesPrintf) {
    const double values[] = {0.0, -0.0, 0.125, 2.675, 1.005, -3.14159, 123456.789, 1e-7, 9.999999e15,
                             -1.7976931348623157e308};
    for (int pres : {-1, 1, 2, 3, 10, 100}) {
        for (double value : values) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%9.*f", pres > 0 ? pres : 6, value);
            char text[64];
            std::snprintf(text, sizeof text, "%.17e", value);  // always with a point
            const std::wstring input(text, text + std::char_traits<char>::length(text));
            const std::string narrowExpected(expected);
            EXPECT_EQ(Convert(Fixed(9, pres), input, TC_DOUBLE),
                      std::wstring(narrowExpected.begin(), narrowExpected.end()))
                << text << " pres " << pres;
        }
    }
}

TEST_F(ConverterTest, GroupingMatchesTheFoundation) {
    for (long long value : {0LL, 7LL, -7LL, 999LL, 1000LL, -1000LL, 999999LL, 1000000LL, 123456789012LL,
                            LLONG_MAX, LLONG_MIN + 1}) {
        const std::wstring text = std::to_wstring(value);
        EXPECT_EQ(Convert(Grouping(1), text, TC_BIGINT), FMT::FormatInteger(value)) << value;
    }
}

Converter Dates(const wchar_t* from, const wchar_t* to) {
    Converter converter;
    converter.DateFrom = from;
    converter.DateTo = to;
    return converter;
}

TEST_F(ConverterTest, Dates) {
    Converter affixed = Dates(L"YYYY-MM-DD", L"DD.MM.YYYY");
    affixed.Prefix = L"<";
    affixed.Suffix = L">";
    Converter onlyFrom = Dates(L"YYYY-MM-DD", L"");
    onlyFrom.Prefix = L"(";
    onlyFrom.Suffix = L")";
    RunCases({
        {"tail carried", Dates(L"YYYY-MM-DD", L"DD MON YYYY"), TC_TIMESTAMP, L"2019-03-05 10:20:30",
         L"05 MAR 2019 10:20:30"},
        {"two-digit year", Dates(L"YYYY-MM-DD", L"DD.MM.YY"), TC_TIMESTAMP, L"2019-03-05 10:20:30",
         L"05.03.19 10:20:30"},
        {"no tail", Dates(L"YYYY-MM-DD", L"MM/DD/YYYY"), TC_DATE, L"2019-03-05", L"03/05/2019"},
        {"YYYY twice", Dates(L"YYYY-MM-DD", L"YYYY/YYYY"), TC_DATE, L"2019-03-05", L"2019/2019"},
        {"YYYYYY is YYYY then YY with the same text", Dates(L"YYYY-MM-DD", L"YYYYYY"), TC_DATE, L"2019-03-05",
         L"20192019"},
        {"year 2000 as two digits", Dates(L"YYYY-MM-DD", L"YY"), TC_DATE, L"2000-12-31", L"00"},
        {"December", Dates(L"YYYY-MM-DD", L"MON"), TC_DATE, L"2019-12-31", L"DEC"},
        {"tokens in the tail are replaced", Dates(L"YYYY-MM-DD", L"MM/DD"), TC_DATE, L"2019-03-05 DD",
         L"03/05 05"},
        {"day-first source", Dates(L"DD.MM.YYYY", L"YYYY-MM-DD"), TC_DATE, L"05.03.2019", L"2019-03-05"},
        {"not accepted: unchanged, affixes kept", affixed, TC_DATE, L"yesterday", L"<yesterday>"},
        {"empty date value", affixed, TC_DATE, L"", L"<>"},
        {"accepted with affixes", affixed, TC_DATE, L"2019-03-05", L"<05.03.2019>"},
        {"text column is not rewritten", Dates(L"YYYY-MM-DD", L"DD.MM.YYYY"), TC_VARCHAR, L"2019-03-05",
         L"2019-03-05"},
        {"time column is not rewritten", Dates(L"YYYY-MM-DD", L"DD.MM.YYYY"), TC_TIME, L"2019-03-05",
         L"2019-03-05"},
        {"only DateFrom", onlyFrom, TC_DATE, L"2019-03-05", L"(2019-03-05)"},
        {"only DateTo", Dates(L"", L"DD"), TC_DATE, L"2019-03-05", L"2019-03-05"},
    });
}

TEST_F(ConverterTest, AffixesAndOutputReuse) {
    Converter converter;
    converter.Prefix = L"«";
    converter.Suffix = L"»";
    RunCases({
        {"empty value", converter, TC_VARCHAR, L"", L"«»"},
        {"text value", converter, TC_WVARCHAR, L"x", L"«x»"},
        {"nothing set", Converter{}, TC_VARCHAR, L"as is", L"as is"},
    });

    std::wstring out(64, L'#');
    int failed = 0;
    ApplyConverter(converter, L"a", TC_VARCHAR, failed, out);
    EXPECT_EQ(out, L"«a»");
}

TEST(SameConverter, EverySavedFieldButNotTheRunState) {
    Converter base = Regex(L"a", L"b");
    base.Column = L"c";
    Converter compiled = base;
    PrepareConverter(compiled);
    compiled.errorReported = true;
    EXPECT_TRUE(SameConverter(base, compiled));

    std::vector<Converter> changed(10, base);
    changed[0].Column = L"C";
    changed[1].Prefix = L"p";
    changed[2].Suffix = L"s";
    changed[3].DateFrom = L"DD";
    changed[4].DateTo = L"DD";
    changed[5].RegexFrom = L"A";
    changed[6].RegexTo = L"B";
    changed[7].Digits = 3;
    changed[8].Pres = 3;
    changed[9].Group = 1;
    for (size_t i = 0; i < changed.size(); ++i) EXPECT_FALSE(SameConverter(base, changed[i])) << i;

    std::vector<Converter> list(3, base);
    list[2].Column = L"d";
    EXPECT_EQ(FindConverter(list, L"c"), &list[0]);
    EXPECT_EQ(FindConverter(list, L"d"), &list[2]);
    EXPECT_EQ(FindConverter(list, L"C"), nullptr);
}

}  // namespace
