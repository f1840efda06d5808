#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "converter.h"
#include "dates.h"
#include "fld_desc.h"
#include "host.h"
#include "text.h"

namespace {

class RecordingHost : public IHost {
public:
    std::vector<std::pair<std::wstring, std::wstring>> boxes;  // text, caption
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) override {
        EXPECT_EQ(icon, MessageIcon::Error);
        boxes.emplace_back(text, caption);
    }
};

class ConverterTest : public testing::Test {
protected:
    void SetUp() override { SetHost(&host); }
    void TearDown() override { SetHost(nullptr); }
    RecordingHost host;
};

Converter Make(const wchar_t* regexFrom, const wchar_t* regexTo, int group = 0, int digits = -1, int pres = -1,
               const wchar_t* dateFrom = L"", const wchar_t* dateTo = L"", const wchar_t* prefix = L"",
               const wchar_t* suffix = L"") {
    Converter converter;
    converter.RegexFrom = regexFrom;
    converter.RegexTo = regexTo;
    converter.Group = group;
    converter.Digits = digits;
    converter.Pres = pres;
    converter.DateFrom = dateFrom;
    converter.DateTo = dateTo;
    converter.Prefix = prefix;
    converter.Suffix = suffix;
    return converter;
}
Converter Fixed(int digits, int pres) { return Make(L"", L"", 0, digits, pres); }
Converter Dates(const wchar_t* from, const wchar_t* to, const wchar_t* prefix = L"", const wchar_t* suffix = L"") {
    return Make(L"", L"", 0, -1, -1, from, to, prefix, suffix);
}

struct Case {
    Converter converter;
    int type;
    std::wstring value, expected;
};

// ConvertValueUtf8 on value's bytes, read back as a writer reads them (a stray byte as Windows-1252).
// "(text)" when the value needs its text.
std::wstring ConvertedBytes(Converter& converter, const std::string& value, int type) {
    std::wstring decoded;
    rules::CellValue cell;
    cell.ResetUtf8(value, decoded);
    std::string scratch;
    std::string_view converted;
    if (!ConvertValueUtf8(converter, cell, type, scratch, converted)) return L"(text)";
    return tw::Utf8ToWide(converted);
}

// Every case through ApplyConverter, and through the UTF-8 path as well where it serves the converter.
void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Converter converter = c.converter;
        int failed = -1;
        std::wstring out = L"left over";
        ApplyConverter(converter, c.value, c.type, failed, out);
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(out, c.expected) << testing::PrintToString(c.value);
        const std::wstring bytes = ConvertedBytes(converter, tw::WideToUtf8(c.value), c.type);
        if (ConverterConvertsBytes(converter) && bytes != L"(text)") {
            EXPECT_EQ(converter.Prefix + bytes + converter.Suffix, c.expected) << testing::PrintToString(c.value);
        }
    }
}

TEST_F(ConverterTest, RegularExpressionsWithEcmaScriptSubstitution) {
    Check({
        {Make(L"(\\d+)-(\\d+)", L"$2/$1"), TC_VARCHAR, L"12-34 and 5-6", L"34/12 and 6/5"},
        {Make(L"(\\d+)-(\\d+)", L"$2/$1", 0, -1, -1, L"", L"", L"[", L"]"), TC_VARCHAR, L"12-34 and 5-6",
         L"[34/12 and 6/5]"},
        {Make(L"^", L"#"), TC_INTEGER, L"1234567", L"#1234567"},               // every type
        {Make(L"\\d", L"", 1), TC_INTEGER, L"1234567", L"1,234,567"},           // empty RegexTo: next steps
        {Make(L"x*", L"-"), TC_VARCHAR, L"abc", L"-a-b-c-"},                    // empty matches
        {Make(L"\\d+", L"<$&>"), TC_VARCHAR, L"a1b22", L"a<1>b<22>"},
        {Make(L"b", L"[$`|$']"), TC_VARCHAR, L"abc", L"a[a|c]c"},
        {Make(L"b", L"$$"), TC_VARCHAR, L"abc", L"a$c"},
        {Make(L"b", L"$0"), TC_VARCHAR, L"abc", L"a$0c"},
        {Make(L"(b)", L"$00"), TC_VARCHAR, L"abc", L"a$00c"},
        {Make(L"(b)", L"<$01>"), TC_VARCHAR, L"abc", L"a<b>c"},
        {Make(L"(b)", L"$10"), TC_VARCHAR, L"abc", L"ab0c"},                    // group 1, then a literal 0
        {Make(L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)", L"$12$1"), TC_VARCHAR, L"abcdefghijkl", L"la"},
        {Make(L"(b)", L"$2"), TC_VARCHAR, L"abc", L"a$2c"},                     // beyond the group count
        {Make(L"b(x)?", L"[$1]"), TC_VARCHAR, L"abc", L"a[]c"},                 // unmatched group
        {Make(L"b", L"$"), TC_VARCHAR, L"abc", L"a$c"},                         // lone dollar
        {Make(L"b", L"$x\\1&"), TC_VARCHAR, L"abc", L"a$x\\1&c"},
        {Make(L"ü", L"ue"), TC_VARCHAR, L"Müller \U0001F600", L"Mueller \U0001F600"},
    });
    // The matcher recurses per character: long values must neither overflow the stack nor change the result.
    const std::wstring longValue(200000, L'a');
    Check({{Make(L".*", L"x"), TC_LONGVARCHAR, longValue, L"xx"},
           {Make(L"((a)|(b))*c?", L"[$2]"), TC_LONGVARCHAR, longValue, L"[a][]"}});
    EXPECT_TRUE(host.boxes.empty());
}

// Numbers of more than nine digits as a backreference, and counts that no expression of the standard matcher can
// hold, are refused before it sees them; ordinary numbers and long literal digit runs still compile. An expression
// that needs too many states otherwise is refused with a text of our own, not the library's.
TEST_F(ConverterTest, HugeGroupNumbersAndCountsAreRefused) {
    for (const wchar_t* pattern :
         {L"(a)\\12345678901", L"a{12345678901}", L"a{1,99999999999}", L"[a-z]{2222223,}", L"a{100001}"}) {
        Converter converter = Make(pattern, L"x");
        EXPECT_FALSE(PrepareConverter(converter)) << tw::WideToUtf8(pattern);
        EXPECT_NE(converter.compileError.find(L"too large"), std::wstring::npos);
    }
    for (const wchar_t* pattern : {L"(a)\\1", L"a{2,1000}", L"12345678901234", L"[\\d,]{3}"}) {
        Converter converter = Make(pattern, L"x");
        EXPECT_TRUE(PrepareConverter(converter)) << tw::WideToUtf8(pattern);
    }
    Converter nested = Make(L"((a{99}){99}){99}", L"x");
    EXPECT_FALSE(PrepareConverter(nested));
    EXPECT_EQ(nested.compileError,
              L"The regular expression is too large: its counts and groups would need too many states.");
}

TEST_F(ConverterTest, InvalidExpressionFailsAndIsReportedOncePerRun) {
    Converter converter = Make(L"(", L"x", 0, -1, -1, L"", L"", L"[", L"]");
    EXPECT_FALSE(PrepareConverter(converter));
    EXPECT_TRUE(host.boxes.empty());  // preparing reports nothing by itself

    std::wstring out;
    int failed = 0;
    for (int row = 0; row < 100; ++row) {
        out = L"stale";
        ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
        ASSERT_EQ(failed, 1);
        ASSERT_EQ(out, L"");
    }
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].first, converter.compileError);
    EXPECT_FALSE(converter.compileError.empty());
    EXPECT_EQ(host.boxes[0].second, L"Error");

    PrepareConverter(converter);  // a second result set of the same run stays quiet
    ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
    EXPECT_EQ(host.boxes.size(), 1u);
    BeginConverterRun(converter);  // the next run reports again
    ApplyConverter(converter, L"value", TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(host.boxes.size(), 2u);
}

TEST_F(ConverterTest, ExpressionIsCompiledOnceAndFollowsEdits) {
    Converter converter = Make(L"a", L"b");
    ASSERT_TRUE(PrepareConverter(converter));
    const std::wregex* compiled = converter.compiled.get();
    std::wstring out;
    int failed = 0;
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    PrepareConverter(converter);
    EXPECT_EQ(converter.compiled.get(), compiled);
    EXPECT_EQ(out, L"bbnbnb");

    converter.RegexFrom = L"n";  // edited between runs: the old compile no longer applies
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(out, L"bababa");

    // The replacement is read once too, and again when it or the expression's groups change.
    converter.RegexTo = L"<$&$1>";
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(out, L"ba<n$1>a<n$1>a");
    converter.RegexFrom = L"(n)";
    ApplyConverter(converter, L"banana", TC_VARCHAR, failed, out);
    EXPECT_EQ(out, L"ba<nn>a<nn>a");
}

TEST_F(ConverterTest, Numbers) {
    Check({
        {Make(L"", L"", 1), TC_INTEGER, L"1234567", FMT::FormatInteger(1234567)},
        {Make(L"", L"", 1), TC_BIGINT, L"-42", L"-42"},
        {Make(L"", L"", 1), TC_BIGINT, L"-9223372036854775808", FMT::FormatInteger(LLONG_MIN)},
        {Make(L"", L"", 1), TC_BIGINT, L"99999999999999999999", FMT::FormatInteger(LLONG_MAX)},
        {Make(L"", L"", 1), TC_INTEGER, L"", L"0"},
        {Make(L"", L"", 1), TC_INTEGER, L" 12345abc", L"12,345"},
        {Make(L"", L"", 0), TC_INTEGER, L" 1234567 ", L" 1234567 "},
        {Make(L"", L"", 1), TC_INTEGER, L"12.5", L"12.5"},       // a point: not grouped, not a float type
        {Make(L"", L"", 1), TC_DOUBLE, L"12345", L"12,345"},      // floating type without a point: step 3
        {Fixed(10, 2), TC_DOUBLE, L"12", L"12"},
        {Fixed(-1, 2), TC_DECIMAL, L"3.14159", L"3.14"},
        {Fixed(-1, 0), TC_REAL, L"3.5", L"3.500000"},             // Pres 0 is six decimals
        {Fixed(-1, 2), TC_DOUBLE, L"n.a.", L"0.00"},
        {Fixed(-1, 400), TC_DOUBLE, L"0.5", L"0.5" + std::wstring(399, L'0')},
        {Make(L"", L"", 0, 8, 2, L"", L"", L"$", L" net"), TC_DOUBLE, L"2.5", L"$    2.50 net"},
    });
}

TEST_F(ConverterTest, FixedFormatMatchesPrintf) {
    for (int pres : {-1, 0, 1, 2, 10, 100}) {
        for (double value : {-0.0, 0.125, 2.675, 1.005, 123456.789, 1e-7, 9.999999e15, -1.7976931348623157e308}) {
            char expected[512], text[64];
            std::snprintf(expected, sizeof expected, "%9.*f", pres > 0 ? pres : 6, value);
            std::snprintf(text, sizeof text, "%.17e", value);  // always with a point
            const std::string input(text), output(expected);
            Check({{Fixed(9, pres), TC_DOUBLE, {input.begin(), input.end()}, {output.begin(), output.end()}}});
        }
    }
}

// Plain decimal texts take a path that never reads a double; it must agree with printf on what the text holds,
// and leave every other text to the full path.
TEST_F(ConverterTest, FixedFormatFromTheTextMatchesPrintf) {
    std::mt19937 random(5);
    std::vector<Case> cases;
    for (int i = 0; i < 20000; ++i) {
        const int pres = 1 + static_cast<int>(random() % 8);
        std::string text = random() % 4 == 0 ? "-" : "";
        const int intDigits = 1 + static_cast<int>(random() % 16);
        for (int d = 0; d < intDigits; ++d) text += static_cast<char>('0' + random() % 10);
        // Always a point: a double column's value without one is passed through as it is.
        const int fracDigits = 1 + static_cast<int>(random() % 9);
        text += '.';
        for (int d = 0; d < fracDigits; ++d) text += static_cast<char>('0' + random() % 10);
        char expected[512];
        std::snprintf(expected, sizeof expected, "%12.*f", pres, std::strtod(text.c_str(), nullptr));
        const std::string output(expected);
        cases.push_back({Fixed(12, pres), TC_DOUBLE, {text.begin(), text.end()}, {output.begin(), output.end()}});
    }
    Check(cases);
    // Texts the shortcut must leave alone: leading zeros, a sign, a bare point, a tail.
    Check({{Fixed(0, 2), TC_DOUBLE, L"007.5", L"7.50"},
           {Fixed(0, 2), TC_DOUBLE, L"+1.5", L"1.50"},
           {Fixed(0, 2), TC_DOUBLE, L"5.", L"5.00"},
           {Fixed(0, 2), TC_DOUBLE, L"1.5kg", L"1.50"},
           {Fixed(0, 2), TC_DOUBLE, L"-0.0", L"-0.00"},
           {Fixed(0, 2), TC_DOUBLE, L"0.125", L"0.12"},
           {Fixed(6, 1), TC_DOUBLE, L"1.25", L"   1.2"}});
}

// The UTF-8 path agrees with the text path on any bytes, stray ones included, for every converter it serves,
// or leaves the value to the text path; date values of plain ASCII never need their text.
TEST_F(ConverterTest, Utf8PathAgreesWithTheTextOnAnyBytes) {
    std::mt19937 random(9);
    const char alphabet[] = {'1', '0', '5', '.', '-', '+', 'e', ' ', '\xc3', '\xa9', '\x80', '\xff', ',', 'M'};
    const std::vector<Converter> converters = {
        Make(L"", L"", 1),          Make(L"", L"", 0),          Fixed(8, 2), Fixed(-1, 0),
        Dates(L"YYYY", L"DD"),      Dates(L"DD.MM", L"MON \u00e9 MM/DD"),
        Dates(L"YY-M", L"YYYY"),    Dates(L"\u00e9DD", L"DD\xD800")};
    int byText = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string value(random() % 10, ' ');
        for (char& c : value) c = alphabet[random() % sizeof alphabet];
        if (i % 3 == 0) value = std::to_string(10 + random() % 20) + (random() % 2 ? "." : "-") + value;
        for (const Converter& base : converters) {
            for (const int type : {TC_INTEGER, TC_BIGINT, TC_DOUBLE, TC_DECIMAL, TC_VARCHAR, TC_DATE, TC_TIMESTAMP}) {
                Converter converter = base;
                ASSERT_TRUE(ConverterConvertsBytes(converter));
                std::wstring scratch;
                const std::wstring text = tw::Utf8ToWide(value);
                rules::CellValue cell;
                cell.Reset(text);
                int failed = -1;
                const std::wstring expected(ConvertValue(converter, cell, type, failed, scratch));
                const std::wstring bytes = ConvertedBytes(converter, value, type);
                if (bytes == L"(text)") {
                    ++byText;
                    EXPECT_TRUE(FLD_DESC::IsDate(type)) << value;
                    continue;
                }
                EXPECT_EQ(bytes, expected) << value;
            }
        }
    }
    EXPECT_GT(byText, 0);
    Converter dates = Dates(L"YYYY-MM-DD", L"DD.MM.YYYY");
    EXPECT_EQ(ConvertedBytes(dates, "2021-03-04 10:00", TC_DATE), L"04.03.2021 10:00");
    EXPECT_EQ(ConvertedBytes(dates, "2021-03-04 MON", TC_DATE), L"(text)");  // token letters in the tail
    EXPECT_EQ(ConvertedBytes(dates, "2021-03-\xc3\xa9", TC_DATE), L"(text)");
    EXPECT_EQ(ConvertedBytes(dates, "2021-03-04 \xc3\xa9", TC_DATE), L"04.03.2021 \u00e9");
    EXPECT_EQ(ConvertedBytes(dates, "no date", TC_DATE), L"no date");
    EXPECT_FALSE(ConverterConvertsBytes(Make(L"a", L"b")));
    EXPECT_TRUE(ConverterConvertsBytes(Make(L"a", L"")));
}

TEST_F(ConverterTest, Dates) {
    const wchar_t* const iso = L"YYYY-MM-DD";
    Check({
        {Dates(iso, L"DD MON YYYY"), TC_TIMESTAMP, L"2019-03-05 10:20:30", L"05 MAR 2019 10:20:30"},
        {Dates(iso, L"DD.MM.YY"), TC_TIMESTAMP, L"2019-03-05 10:20:30", L"05.03.19 10:20:30"},
        {Dates(iso, L"YYYY/YYYY"), TC_DATE, L"2019-03-05", L"2019/2019"},
        {Dates(iso, L"YYYYYY"), TC_DATE, L"2019-03-05", L"20192019"},
        {Dates(iso, L"YY MON"), TC_DATE, L"2000-12-31", L"00 DEC"},
        {Dates(iso, L"MM/DD"), TC_DATE, L"2019-03-05 DD", L"03/05 05"},  // tokens in the tail too
        {Dates(L"DD.MM.YYYY", iso), TC_DATE, L"05.03.2019", L"2019-03-05"},
        {Dates(iso, L"DD", L"<", L">"), TC_DATE, L"yesterday", L"<yesterday>"},
        {Dates(iso, L"DD", L"<", L">"), TC_DATE, L"", L"<>"},
        {Dates(iso, L"DD", L"<", L">"), TC_DATE, L"2019-03-05", L"<05>"},
        {Dates(iso, L"DD"), TC_VARCHAR, L"2019-03-05", L"2019-03-05"},
        {Dates(iso, L"DD"), TC_TIME, L"2019-03-05", L"2019-03-05"},
        {Dates(iso, L"", L"(", L")"), TC_DATE, L"2019-03-05", L"(2019-03-05)"},
        {Dates(L"", L"DD"), TC_DATE, L"2019-03-05", L"2019-03-05"},
        // A token across the end of the pattern and the tail; a placeholder-like character kept as it is.
        {Dates(iso, L"DD.Y"), TC_DATE, L"2019-03-05YYY", L"05.19"},
        {Dates(iso, L"DD\uE000MM"), TC_DATE, L"2019-03-05", L"05\uE00003"},
        {Make(L"", L"", 0, -1, -1, L"", L"", L"«", L"»"), TC_VARCHAR, L"", L"«»"},
    });
}

TEST_F(ConverterTest, DatePatternsChangedBetweenValuesAreUsed) {
    Converter converter = Dates(L"YYYY-MM-DD", L"DD.MM.YYYY");
    int failed = 0;
    EXPECT_EQ(ApplyConverter(converter, L"2019-03-05", TC_DATE, failed), L"05.03.2019");
    converter.DateTo = L"MM/DD";
    EXPECT_EQ(ApplyConverter(converter, L"2019-03-05", TC_DATE, failed), L"03/05");
    converter.DateFrom = L"DD.MM.YYYY";
    EXPECT_EQ(ApplyConverter(converter, L"05.03.2019", TC_DATE, failed), L"03/05");
}

TEST(SameConverter, EverySavedFieldButNotTheRunState) {
    Converter base = Make(L"a", L"b");
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

    EXPECT_EQ(FindConverter(changed, L"C"), &changed[0]);
    EXPECT_EQ(FindConverter(changed, L""), &changed[1]);
    EXPECT_EQ(FindConverter(changed, L"c"), nullptr);
}

}  // namespace
