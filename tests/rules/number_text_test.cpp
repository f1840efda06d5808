#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <string>

#include "number_text.h"

namespace {

TEST(ReadInteger, SixtyFourBitBounds) {
    EXPECT_EQ(rules::ReadInteger(L"9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(rules::ReadInteger(L"9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(rules::ReadInteger(L"-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(rules::ReadInteger(L"-9223372036854775809"), LLONG_MIN);
    EXPECT_EQ(rules::ReadInteger(L"+-5"), 0);
}

// The quick path for short decimals must agree with a full conversion to the last bit.
TEST(ReadNumber, AgreesWithStrtod) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        // Up to 24 digits: across the 2^53 mantissa bound and the 22-decimal bound of the quick path.
        const int digits = 1 + static_cast<int>(random() % 24);
        std::string text = (random() & 1) ? "-" : "";
        for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
        text.insert(text.size() - static_cast<size_t>(random() % (static_cast<unsigned>(digits) + 1)), ".");
        EXPECT_EQ(rules::ReadNumber(std::wstring(text.begin(), text.end())), std::strtod(text.c_str(), nullptr))
            << text;
    }
}

}  // namespace
