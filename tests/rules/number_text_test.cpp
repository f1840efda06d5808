#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "number_text.h"
#include "text.h"

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

// A value read as UTF-8 bytes gives the readings of its decoded text, stray bytes, signs, blanks and exponents
// among the digits included.
TEST(CellValue, BytesReadAsTheirDecodedText) {
    std::mt19937 random(5);
    const char alphabet[] = {'1', '9', '0', '.', '-', '+', 'e', ' ', '\t', '\xc2', '\xa0', '\x80', '\xe2', '7'};
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(random() % 12, ' ');
        for (char& c : bytes) c = alphabet[random() % sizeof alphabet];
        if (i == 0) bytes = std::string(25, '9');  // saturates
        std::wstring scratch;
        rules::CellValue cell;
        cell.ResetUtf8(bytes, scratch);
        const std::wstring text = tw::Utf8ToWide(bytes);
        EXPECT_EQ(cell.Integer(), rules::ReadInteger(text)) << bytes;
        const double number = cell.Number(), expected = rules::ReadNumber(text);
        EXPECT_TRUE(number == expected || (std::isnan(number) && std::isnan(expected))) << bytes;
        EXPECT_EQ(cell.Text(), text) << bytes;
        EXPECT_EQ(cell.Bytes(), bytes);
    }
}

// Beyond the range of a double: a tiny value without an exponent is zero, not an infinity.
TEST(ReadNumber, UnderflowAndOverflowWithoutExponent) {
    const std::wstring tiny = L"0." + std::wstring(400, L'0') + L"1";
    EXPECT_EQ(rules::ReadNumber(tiny), 0.0);
    EXPECT_EQ(rules::ReadNumber(L"-" + tiny), 0.0);
    EXPECT_EQ(rules::ReadNumber(L"100e-400"), 0.0);
    EXPECT_EQ(rules::ReadNumber(L"1" + std::wstring(400, L'0')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(rules::ReadNumber(L"0.001e400"), std::numeric_limits<double>::infinity());
}

// The quick fixed format must write what to_chars writes, ties (0.125, 2.5) and values just off them (1.005)
// included; it declines what it cannot do exactly.
TEST(FormatFixedQuick, AgreesWithToChars) {
    const auto check = [](double value, int precision) -> bool {
        char quick[32], full[400];
        const size_t length = rules::FormatFixedQuick(value, precision, quick);
        const auto result = std::to_chars(full, full + sizeof full, value, std::chars_format::fixed, precision);
        EXPECT_EQ(result.ec, std::errc());
        if (length == 0 || result.ec != std::errc()) return false;
        EXPECT_EQ(std::string(quick, length), std::string(full, result.ptr)) << value << " %." << precision << "f";
        return true;
    };
    for (const double value : {0.0, -0.0, 0.125, 0.375, 2.5, 3.5, -2.5, 1.005, 0.045, 1e-300, 5e-324, -0.001, 0.5,
                               1.5, 123456789.125, 999999999999.995, 0.1, 1e17, 9.5}) {
        for (int precision = 0; precision <= 17; ++precision) check(value, precision);
    }
    std::mt19937_64 random(11);
    int quick = 0;
    for (int i = 0; i < 200000; ++i) {
        double value;
        switch (i % 3) {
            case 0: value = static_cast<double>(static_cast<long long>(random() % 20000000) - 10000000) / 8192.0; break;
            case 1: value = std::bit_cast<double>(random()); break;
            default: value = static_cast<double>(random() % 1000000) / 1000.0 + 0.0005; break;
        }
        if (!std::isfinite(value)) continue;
        quick += check(value, static_cast<int>(random() % 18)) ? 1 : 0;
    }
    EXPECT_GT(quick, 100000);
    char out[32];
    EXPECT_EQ(rules::FormatFixedQuick(1e300, 2, out), 0u);
    EXPECT_EQ(rules::FormatFixedQuick(std::numeric_limits<double>::quiet_NaN(), 2, out), 0u);
    EXPECT_EQ(rules::FormatFixedQuick(1.0, 18, out), 0u);
}

}  // namespace
