#include "number_text.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "text.h"

namespace rules {
namespace {

// The readers look at ASCII characters only, so UTF-8 bytes read exactly as their decoded text does: every byte
// of a multi-byte sequence, and every stray byte (a Windows-1252 character once decoded), is neither a blank nor
// a digit, a sign, a point or an exponent.
template <typename Char>
bool IsBlank(Char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
template <typename Char>
bool IsDigit(Char c) { return c >= '0' && c <= '9'; }

template <typename Char>
size_t SkipBlanks(std::basic_string_view<Char> text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
}

// Adds the run of decimal digits at text[pos] to mantissa (which wraps beyond 19 digits: callers count) and moves
// pos past it; returns the number of digits. Four digits a step, so that the chain of multiplications is short.
template <typename Char>
[[gnu::always_inline]] inline size_t AccumulateDigits(std::basic_string_view<Char> text, size_t& pos,
                                                      unsigned long long& mantissa) {
    const size_t start = pos;
    while (pos + 4 <= text.size() && IsDigit(text[pos]) && IsDigit(text[pos + 1]) && IsDigit(text[pos + 2]) &&
           IsDigit(text[pos + 3])) {
        const auto group = static_cast<unsigned>((text[pos] - '0') * 1000 + (text[pos + 1] - '0') * 100 +
                                                 (text[pos + 2] - '0') * 10 + (text[pos + 3] - '0'));
        mantissa = mantissa * 10000 + group;
        pos += 4;
    }
    while (pos < text.size() && IsDigit(text[pos])) {
        mantissa = mantissa * 10 + static_cast<unsigned>(text[pos++] - '0');
    }
    return pos - start;
}

// UTF-16 orders code points U+E000..U+FFFF after every supplementary character (whose lead surrogates are
// D800..DBFF); lifting them above U+10FFFF reproduces that order on UTF-32 text.
unsigned long Utf16Key(wchar_t c) {
    auto code = static_cast<unsigned long>(static_cast<char32_t>(c));
    return (code >= 0xE000 && code <= 0xFFFF) ? code + 0x110000 : code;
}

// Whether a decimal number that lies outside the range of a double lies below it (rather than above): where its
// first non-zero digit stands, moved by the exponent, is then below the units. "0.000...1" without an exponent
// and "100e-400" both underflow.
bool Underflows(std::string_view number) {
    long long position = 0;  // power of ten of the first non-zero digit
    bool found = false, afterPoint = false;
    long long intDigits = 0, zerosAfterPoint = 0;
    size_t i = 0;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
        const char c = number[i];
        if (c == '.') {
            afterPoint = true;
        } else if (!found && c == '0') {
            if (afterPoint) ++zerosAfterPoint;
        } else if (!found) {
            found = true;
            position = afterPoint ? -(zerosAfterPoint + 1) : 0;
            if (!afterPoint) intDigits = 1;
        } else if (!afterPoint) {
            ++intDigits;
        }
    }
    if (found && intDigits > 0) position = intDigits - 1;
    long long exponent = 0;
    bool negative = false;
    if (i < number.size()) {
        ++i;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
        for (; i < number.size(); ++i) {
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
        }
    }
    return position + (negative ? -exponent : exponent) < 0;
}

template <typename Char>
long long ReadIntegerOf(std::basic_string_view<Char> text) {
    size_t pos = SkipBlanks(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    // Accumulate as a negative number so that LLONG_MIN is representable.
    constexpr long long kLimit = LLONG_MIN / 10;           // -922337203685477580
    constexpr int kLastDigit = -static_cast<int>(LLONG_MIN % 10);  // 8
    long long value = 0;
    bool saturated = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
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

template <typename Char>
double ReadNumberOf(std::basic_string_view<Char> text) {
    size_t pos = SkipBlanks(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    const size_t start = pos;
    // The digits are gathered into a mantissa while they are scanned (the first 19 fit in 64 bits).
    unsigned long long mantissa = 0;
    const size_t intDigits = AccumulateDigits(text, pos, mantissa);
    size_t fracDigits = 0;
    if (pos < text.size() && text[pos] == '.') {
        size_t after = pos + 1;
        fracDigits = AccumulateDigits(text, after, mantissa);
        if (intDigits + fracDigits > 0) pos = after;
    }
    if (intDigits + fracDigits == 0) return 0.0;
    bool hasExponent = false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t after = pos + 1;
        if (after < text.size() && (text[after] == '+' || text[after] == '-')) ++after;
        if (after < text.size() && IsDigit(text[after])) {
            while (after < text.size() && IsDigit(text[after])) ++after;
            pos = after;
            hasExponent = true;
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
    char small[128] = {};
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
        value = Underflows(std::string_view(buffer, length)) ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

}  // namespace

void CellValue::Decode() const {
    tw::Utf8ToWide(m_bytes, *m_decoded);
    m_text = *m_decoded;
    m_read |= kDecoded;
}

long long ReadInteger(std::wstring_view text) { return ReadIntegerOf(text); }
long long ReadInteger(std::string_view text) { return ReadIntegerOf(text); }
double ReadNumber(std::wstring_view text) { return ReadNumberOf(text); }
double ReadNumber(std::string_view text) { return ReadNumberOf(text); }

// GCC and Clang's 128-bit integer; __extension__ keeps -Wpedantic quiet about it.
__extension__ typedef unsigned __int128 Uint128;

size_t FormatFixedQuick(double value, int precision, char* out) {
    static constexpr std::uint64_t kPowers[] = {1ULL,
                                                10ULL,
                                                100ULL,
                                                1000ULL,
                                                10000ULL,
                                                100000ULL,
                                                1000000ULL,
                                                10000000ULL,
                                                100000000ULL,
                                                1000000000ULL,
                                                10000000000ULL,
                                                100000000000ULL,
                                                1000000000000ULL,
                                                10000000000000ULL,
                                                100000000000000ULL,
                                                1000000000000000ULL,
                                                10000000000000000ULL,
                                                100000000000000000ULL};
    if (!std::isfinite(value) || precision < 0 || precision > 17) return 0;
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    // The rounded result times 10^precision must stay below 10^18 (18 digits, well within 64 bits).
    static constexpr double kLimits[] = {1e18, 1e17, 1e16, 1e15, 1e14, 1e13, 1e12, 1e11, 1e10,
                                         1e9,  1e8,  1e7,  1e6,  1e5,  1e4,  1e3,  1e2,  1e1};
    if (magnitude >= kLimits[precision]) return 0;

    // magnitude = mantissa * 2^exponent exactly; the scaled value mantissa * 10^precision fits in 128 bits.
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int exponent = biased == 0 ? -1074 : biased - 1075;
    std::uint64_t rounded;
    if (exponent >= 0) {
        // An integer below 10^18: the exponent is small.
        rounded = (mantissa << exponent) * kPowers[precision];
    } else if (-exponent >= 128) {
        rounded = 0;  // below 2^-1074+110: far under half a unit of the last decimal
    } else {
        // mantissa * 10^precision fits in 128 bits.
        const Uint128 scaled = static_cast<Uint128>(mantissa) * kPowers[precision];
        const int shift = -exponent;
        const Uint128 one = 1;
        const Uint128 remainder = scaled & ((one << shift) - 1);
        const Uint128 half = one << (shift - 1);
        rounded = static_cast<std::uint64_t>(scaled >> shift);
        if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
    }

    // The digits, at least precision + 1 of them, with the point before the last precision.
    // Two digits per division, lowest first.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[24];
    int count = 0;
    while (rounded >= 100) {
        const auto pair = static_cast<size_t>(rounded % 100) * 2;
        rounded /= 100;
        digits[count++] = kPairs[pair + 1];
        digits[count++] = kPairs[pair];
    }
    if (rounded >= 10) {
        const auto pair = static_cast<size_t>(rounded) * 2;
        digits[count++] = kPairs[pair + 1];
        digits[count++] = kPairs[pair];
    } else {
        digits[count++] = static_cast<char>('0' + rounded);
    }
    while (count < precision + 1) digits[count++] = '0';
    size_t length = 0;
    if (negative) out[length++] = '-';
    for (int i = count - 1; i >= 0; --i) {
        out[length++] = digits[i];
        if (i == precision && precision > 0) out[length++] = '.';
    }
    return length;
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
