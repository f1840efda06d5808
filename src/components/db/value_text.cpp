#include "value_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include "text.h"

namespace tw::db {

void AssignAscii(std::string_view bytes, std::wstring& out) {
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
}

void AssignAscii(std::string_view bytes, std::string& out) { out.assign(bytes); }
void AssignUtf8(std::string_view text, std::wstring& out) { tw::Utf8ToWide(text, out); }
void AssignUtf8(std::string_view text, std::string& out) { out.assign(text); }

namespace {

// NaN and the infinities as psql and spreadsheets spell them; false for a finite value.
template <class Text>
bool AssignNonFinite(double value, Text& out) {
    const char* spelled = nullptr;
    if (std::isnan(value)) {
        spelled = "NaN";
    } else if (std::isinf(value)) {
        spelled = value < 0 ? "-Infinity" : "Infinity";
    } else {
        return false;
    }
    out.assign(spelled, spelled + std::char_traits<char>::length(spelled));
    return true;
}

void AssignChars(const char* buffer, const std::to_chars_result& result, std::wstring& out) {
    AssignAscii(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), out);
}
void AssignChars(const char* buffer, const std::to_chars_result& result, std::string& out) {
    out.assign(buffer, static_cast<size_t>(result.ptr - buffer));
}

// %g's layout without an exponent (for exponents from -4 to 14) of count significant digits, the first of them
// at the decimal exponent given: "0.000123", "123.45", "12300". Writes at p and returns the end.
char* LayOutPlain(char* p, bool negative, const char* digits, size_t count, int exponent) {
    if (negative) *p++ = '-';
    if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > exponent; --i) *p++ = '0';
        std::memcpy(p, digits, count);
        return p + count;
    }
    const auto whole = static_cast<size_t>(exponent) + 1;
    for (size_t i = 0; i < whole; ++i) *p++ = i < count ? digits[i] : '0';
    if (count > whole) {
        *p++ = '.';
        std::memcpy(p, digits + whole, count - whole);
        p += count - whole;
    }
    return p;
}

// %.15g from the shortest digits that read back as value, when there are at most 15 of them: the double is
// then within half a unit of the 15th digit of those digits, so rounding it to 15 digits gives them again.
// Writes into buffer (64 bytes) and returns the end; nullptr when the shortest form has more digits (the slow
// path).
char* ShortDouble15g(double value, char* buffer) {
    // A subnormal carries fewer bits than that argument needs.
    if (value != 0 && std::fabs(value) < std::numeric_limits<double>::min()) return nullptr;
    char shortest[40];
    const auto result =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    const std::string_view text(shortest, static_cast<size_t>(result.ptr - shortest));
    const size_t mark = text.find('e');
    const size_t start = text[0] == '-' ? 1 : 0;
    char digits[20];
    size_t count = 0;
    for (size_t i = start; i < mark; ++i) {
        if (text[i] == '.') continue;
        if (count == 15) return nullptr;
        digits[count++] = text[i];
    }
    int exponent = 0;
    for (size_t i = mark + 2; i < text.size(); ++i) exponent = exponent * 10 + (text[i] - '0');
    if (text[mark + 1] == '-') exponent = -exponent;
    char* p = buffer;
    if (exponent < -4 || exponent >= 15) {  // %g's scientific form: the shortest form's own layout
        std::memcpy(p, text.data(), text.size());
        return p + text.size();
    }
    return LayOutPlain(p, start != 0, digits, count, exponent);
}

// %.15g for the values tables mostly hold (from 1e-4 up to 1e15, printed without an exponent), by scaling the
// value to 15 whole digits in long double: its 64-bit mantissa puts the product within 1e-4 of the exact one,
// which decides the rounding unless the exact digits end very near a half. Those, and everything out of the
// range, return nullptr for the general paths. Writes into buffer (64 bytes) and returns the end.
char* ScaledDouble15g(double value, char* buffer) {
    static constexpr long double kPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
                                              1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L};
    // Where long double is no wider than double, the product is not exact enough: the general paths only.
    if constexpr (std::numeric_limits<long double>::digits < 64) return nullptr;
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) return nullptr;
    // The decimal exponent from the binary one (log10(2) = 0.30103), then made exact by the scaled value itself:
    // 15 digits means a scaled value from 1e14 up to 1e15.
    int binary = 0;
    std::frexp(magnitude, &binary);
    int exponent = (binary * 30103) / 100000 - (binary < 0 ? 1 : 0);
    long double scaled = 0;
    for (int attempt = 0;; ++attempt) {
        const int shift = 14 - exponent;
        if (attempt == 3 || shift < 0 || shift >= 20) return nullptr;
        scaled = static_cast<long double>(magnitude) * kPowers[shift];
        if (scaled < 1e14L) {
            --exponent;
        } else if (scaled >= 1e15L) {
            ++exponent;
        } else {
            break;
        }
    }
    auto digits = static_cast<std::uint64_t>(scaled);
    const long double fraction = scaled - static_cast<long double>(digits);
    if (std::fabs(fraction - 0.5L) < 1e-3L) return nullptr;  // too near a half to decide here
    if (fraction > 0.5L) ++digits;
    if (digits >= 1000000000000000ULL) return nullptr;  // rounded up to 16 digits: the next exponent's layout
    char text[15];
    for (int i = 14; i >= 0; --i) {
        text[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    size_t count = 15;
    while (count > 1 && text[count - 1] == '0') --count;
    return LayOutPlain(buffer, value < 0, text, count, exponent);
}

// printf's %.15g: 15 digits is all a double holds for certain, so sums such as 0.1 + 0.2 read 0.3.
template <class Text>
void AssignDoubleTo(double value, Text& out) {
    if (AssignNonFinite(value, out)) return;
    char buffer[64];
    if (char* end = ScaledDouble15g(value, buffer)) {
        AssignChars(buffer, std::to_chars_result{end, std::errc()}, out);
        return;
    }
    if (char* end = ShortDouble15g(value, buffer)) {
        AssignChars(buffer, std::to_chars_result{end, std::errc()}, out);
        return;
    }
    AssignChars(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15), out);
}

template <class Text>
void AssignHexTo(const void* bytes, size_t size, Text& out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(bytes);
    out.resize(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = kDigits[p[i] >> 4];
        out[2 * i + 1] = kDigits[p[i] & 0x0F];
    }
}

}  // namespace

void AssignDouble(double value, std::wstring& out) { AssignDoubleTo(value, out); }
void AssignDouble(double value, std::string& out) { AssignDoubleTo(value, out); }

namespace {

template <class Text>
void AssignFloatTo(float value, Text& out) {
    if (AssignNonFinite(value, out)) return;
    // The fewest digits that read back as the same float, laid out as %g does with float's 6 digits: plain
    // from 1e-4 up to 1e6, with an exponent outside (123456792 gives "1.2345679e+08", as psql prints it).
    char buffer[64];
    const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<size_t>(scientific.ptr - buffer));
    const size_t mark = text.find('e');
    int exponent = 0;
    for (size_t i = mark + 2; i < text.size(); ++i) exponent = exponent * 10 + (text[i] - '0');
    if (text[mark + 1] == '-') exponent = -exponent;
    if (exponent < -4 || exponent >= 6) return AssignAscii(text, out);
    AssignChars(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed), out);
}

template <class Text>
void AssignDoubleTextTo(std::string_view text, bool singlePrecision, Text& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    if (singlePrecision) {
        float value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc() && result.ptr == last) return AssignFloatTo(value, out);
    } else {
        double value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc() && result.ptr == last) return AssignDoubleTo(value, out);
    }
    AssignAscii(text, out);
}

}  // namespace

void AssignFloat(float value, std::wstring& out) { AssignFloatTo(value, out); }
void AssignDoubleText(std::string_view text, bool singlePrecision, std::wstring& out) {
    AssignDoubleTextTo(text, singlePrecision, out);
}
void AssignDoubleText(std::string_view text, bool singlePrecision, std::string& out) {
    AssignDoubleTextTo(text, singlePrecision, out);
}

void AssignHex(const void* bytes, size_t size, std::wstring& out) { AssignHexTo(bytes, size, out); }
void AssignHex(const void* bytes, size_t size, std::string& out) { AssignHexTo(bytes, size, out); }

std::string_view TrimTimeFraction(std::string_view text) {
    const size_t dot = text.rfind('.');
    if (dot == std::string_view::npos) return text;
    size_t end = dot + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    // Only a fraction that ends the text (or precedes a zone offset) is trimmed.
    size_t cut = end;
    while (cut > dot + 1 && text[cut - 1] == '0') --cut;
    if (cut == dot + 1) cut = dot;
    if (cut == end) return text;
    if (end != text.size()) return text;
    return text.substr(0, cut);
}

void AssignTimeText(std::string_view text, std::wstring& out) { AssignAscii(TrimTimeFraction(text), out); }
void AssignTimeText(std::string_view text, std::string& out) { out.assign(TrimTimeFraction(text)); }

void AssignUtf16(const char16_t* units, size_t count, std::wstring& out) {
    out.clear();
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(L'\uFFFD');
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
}

}  // namespace tw::db
