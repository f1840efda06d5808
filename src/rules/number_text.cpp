#include "number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace rules {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

size_t SkipBlanks(std::wstring_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
}

// UTF-16 orders code points U+E000..U+FFFF after every supplementary character (whose lead surrogates are
// D800..DBFF); lifting them above U+10FFFF reproduces that order on UTF-32 text.
unsigned long Utf16Key(wchar_t c) {
    auto code = static_cast<unsigned long>(static_cast<char32_t>(c));
    return (code >= 0xE000 && code <= 0xFFFF) ? code + 0x110000 : code;
}

}  // namespace

long long ReadInteger(std::wstring_view text) {
    size_t pos = SkipBlanks(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) negative = text[pos++] == L'-';
    // Accumulate as a negative number so that LLONG_MIN is representable.
    constexpr long long kLimit = LLONG_MIN / 10;           // -922337203685477580
    constexpr int kLastDigit = -static_cast<int>(LLONG_MIN % 10);  // 8
    long long value = 0;
    bool saturated = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const int digit = text[pos] - L'0';
        if (value < kLimit || (value == kLimit && digit > kLastDigit)) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated) return negative ? LLONG_MIN : LLONG_MAX;
    if (negative) return value;
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

double ReadNumber(std::wstring_view text) {
    size_t pos = SkipBlanks(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) negative = text[pos++] == L'-';
    const size_t start = pos;
    // The digits are gathered into a mantissa while they are scanned (the first 19 fit in 64 bits).
    size_t intDigits = 0, fracDigits = 0;
    unsigned long long mantissa = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        mantissa = mantissa * 10 + static_cast<unsigned>(text[pos++] - L'0');
        ++intDigits;
    }
    if (pos < text.size() && text[pos] == L'.') {
        size_t after = pos + 1;
        while (after < text.size() && IsDigit(text[after])) {
            mantissa = mantissa * 10 + static_cast<unsigned>(text[after++] - L'0');
            ++fracDigits;
        }
        if (intDigits + fracDigits > 0) pos = after;
    }
    if (intDigits + fracDigits == 0) return 0.0;
    bool negativeExponent = false, hasExponent = false;
    if (pos < text.size() && (text[pos] == L'e' || text[pos] == L'E')) {
        size_t after = pos + 1;
        if (after < text.size() && (text[after] == L'+' || text[after] == L'-')) {
            negativeExponent = text[after] == L'-';
            ++after;
        }
        if (after < text.size() && IsDigit(text[after])) {
            while (after < text.size() && IsDigit(text[after])) ++after;
            pos = after;
            hasExponent = true;
        } else {
            negativeExponent = false;
        }
    }
    // Without an exponent, a mantissa of at most 2^53 and at most 22 decimals, mantissa and power of ten are
    // exact doubles, so one correctly rounded division gives the same value as a full conversion. That covers
    // the 16-digit values that databases print for most doubles.
    if (!hasExponent && intDigits + fracDigits <= 19 && fracDigits <= 22 && mantissa <= (1ULL << 53)) {
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double value = static_cast<double>(mantissa) / kPowers[fracDigits];
        return negative ? -value : value;
    }
    // The scanned part is plain ASCII; narrow it for from_chars, on the stack unless it is unusually long.
    const size_t length = pos - start;
    char small[128];
    std::string large;
    char* buffer = small;
    if (length > sizeof small) {
        large.resize(length);
        buffer = large.data();
    }
    for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(text[start + i]);
    double value = 0.0;
    const auto result = std::from_chars(buffer, buffer + length, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

int CompareOrdinal(std::wstring_view a, std::wstring_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) return Utf16Key(a[i]) < Utf16Key(b[i]) ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace rules
