#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>

#include "number_text.h"

namespace {

TEST(ReadInteger, BoundsAndForms) {
    const struct {
        const wchar_t* text;
        long long expected;
    } cases[] = {
        {L"9223372036854775807", LLONG_MAX},  {L"9223372036854775808", LLONG_MAX},
        {L"-9223372036854775808", LLONG_MIN}, {L"-9223372036854775809", LLONG_MIN},
        {L"-000000000000000000000000012", -12}, {L"\t\r\n +5", 5},
        {L"+-5", 0},                          {L"１２", 0},  // full-width digits are not decimal digits
    };
    for (const auto& c : cases) EXPECT_EQ(rules::ReadInteger(c.text), c.expected) << c.expected;
}

// The quick path for short decimals must agree with a full conversion to the last bit.
TEST(ReadNumber, AgreesWithStrtod) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 19);
        std::string text = (random() & 1) ? "-" : "";
        for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
        const size_t point = text.size() - static_cast<size_t>(random() % (static_cast<unsigned>(digits) + 1));
        text.insert(point, ".");
        const std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(rules::ReadNumber(wide), std::strtod(text.c_str(), nullptr)) << text;
    }
}

TEST(CompareOrdinal, Utf16Order) {
    EXPECT_LT(rules::CompareOrdinal(L"ab", L"abc"), 0);
    EXPECT_GT(rules::CompareOrdinal(L"b", L"abc"), 0);
    EXPECT_EQ(rules::CompareOrdinal(L"", L""), 0);
    EXPECT_LT(rules::CompareOrdinal(L"Z", L"a"), 0);
    EXPECT_LT(rules::CompareOrdinal(L"\U00010000", L"\uE000"), 0);
    EXPECT_GT(rules::CompareOrdinal(L"\U00010000", L"\uD7FF"), 0);
    EXPECT_LT(rules::CompareOrdinal(L"\uE000", L"\uFFFF"), 0);
}

}  // namespace
