// The number reader against the C library: ReadNumber must give what strtod gives for the same leading text,
// bit for bit, and ReadInteger what strtoll gives (both saturate the same way).
//
// Deliberate differences, checked here as such: ReadNumber reads decimal notation only, so where strtod takes
// a hexadecimal number ("0x1p3"), an infinity or a NaN, ReadNumber stops where decimal notation stops ("0x1p3"
// gives 0, "inf" gives 0). Characters outside ASCII never belong to a number for either.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "number_text.h"
#include "plain_decimal.h"

namespace {

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Hex(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a (%.17g)", value, value);
    return buffer;
}

// What ReadNumber should give for text: strtod on the same characters, with the forms strtod reads beyond
// decimal notation cut back to their decimal part.
double ExpectedNumber(const std::string& narrow) {
    const char* begin = narrow.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    const std::string_view used(begin, static_cast<size_t>(end - begin));
    if (used.find_first_of("xX") != std::string_view::npos) {
        // "0x...": the decimal part is the "0" before the x.
        const size_t sign = used.find_first_not_of(" \t\n\v\f\r");
        return sign != std::string_view::npos && used[sign] == '-' ? -0.0 : 0.0;
    }
    if (used.find_first_of("iInN") != std::string_view::npos) return 0.0;  // inf, infinity, nan: no digits
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::wstring text = tw::Utf8ToWide(input.Rest());
    // The C functions stop at the first NUL and know nothing of wide characters: everything that cannot be part
    // of a number is the same to them as to the reader, so it is narrowed to a byte that ends a number.
    std::string narrow;
    for (const wchar_t c : text) narrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '\x01');

    const double number = rules::ReadNumber(text);
    const double expected = ExpectedNumber(narrow);
    FUZZ_CHECK(SameDouble(number, expected),
               "text '" + fuzz::Shown(text) + "': ReadNumber " + Hex(number) + ", strtod " + Hex(expected));

    errno = 0;
    const long long integer = rules::ReadInteger(text);
    const long long expectedInteger = std::strtoll(narrow.c_str(), nullptr, 10);
    FUZZ_CHECK(integer == expectedInteger, "text '" + fuzz::Shown(text) + "': ReadInteger " +
                                               std::to_string(integer) + ", strtoll " +
                                               std::to_string(expectedInteger));

    // A plain decimal is exactly what both read whole.
    tw::PlainDecimal parts;
    if (tw::ScanPlainDecimal(text, parts)) {
        char* end = nullptr;
        std::strtod(narrow.c_str(), &end);
        FUZZ_CHECK(static_cast<size_t>(end - narrow.c_str()) == text.size(),
                   "plain decimal '" + fuzz::Shown(text) + "' not read whole by strtod");
        FUZZ_CHECK(parts.intStart + parts.intDigits + (parts.fracDigits ? parts.fracDigits + 1 : 0) == text.size(),
                   "plain decimal '" + fuzz::Shown(text) + "': parts do not cover the text");
    }
    return 0;
}
