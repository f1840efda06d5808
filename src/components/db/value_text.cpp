#include "value_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

namespace tw::db {

void AssignAscii(std::string_view bytes, std::wstring& out) {
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
}

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
    if (start) *p++ = '-';
    if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > exponent; --i) *p++ = '0';
        std::memcpy(p, digits, count);
        return p + count;
    }
    const size_t whole = static_cast<size_t>(exponent) + 1;
    for (size_t i = 0; i < whole; ++i) *p++ = i < count ? digits[i] : '0';
    if (count > whole) {
        *p++ = '.';
        std::memcpy(p, digits + whole, count - whole);
        p += count - whole;
    }
    return p;
}

// printf's %.15g: 15 digits is all a double holds for certain, so sums such as 0.1 + 0.2 read 0.3.
template <class Text>
void AssignDoubleTo(double value, Text& out) {
    if (AssignNonFinite(value, out)) return;
    char buffer[64];
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

void AssignFloat(float value, std::wstring& out) {
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

void AssignDoubleText(std::string_view text, bool singlePrecision, std::wstring& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    if (singlePrecision) {
        float value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc() && result.ptr == last) return AssignFloat(value, out);
    } else {
        double value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc() && result.ptr == last) return AssignDouble(value, out);
    }
    AssignAscii(text, out);
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
