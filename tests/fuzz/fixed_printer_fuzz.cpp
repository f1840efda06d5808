// The fixed-point printer against printf: FormatFixedQuick must write what "%.<precision>f" writes for every
// value it takes, and may decline only the values its contract names (not finite, precision above 17, more
// than 18 digits). Database doubles' text (AssignDouble) must be printf's "%.15g" for every finite value. The
// integer grouping of converters is checked against printf's digits with commas.
//
// Input: a mode byte, a precision byte, then either the 8 bytes of a double or a number text for strtod (so
// that decimal values such as halves at the rounding edge are easy to reach).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dates.h"
#include "fuzz_support.h"
#include "number_text.h"
#include "value_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t mode = input.Byte();
    const int precision = input.Byte() % 24;
    double value = 0;
    if (mode & 1) {
        const std::string text(input.Rest());
        value = std::strtod(text.c_str(), nullptr);
    } else {
        unsigned char bits[sizeof(double)] = {};
        for (unsigned char& b : bits) b = input.Byte();
        std::memcpy(&value, bits, sizeof value);
    }

    char quick[32];
    const size_t length = rules::FormatFixedQuick(value, precision, quick);
    char expected[512];
    const int expectedLength = std::snprintf(expected, sizeof expected, "%.*f", precision, value);
    if (length == 0) {
        // Declining is allowed only outside the quick path.
        const int digits = std::isfinite(value) ? expectedLength - (std::signbit(value) ? 1 : 0) -
                                                      (precision > 0 ? 1 : 0)
                                                : 0;
        FUZZ_CHECK(!std::isfinite(value) || precision > 17 || digits >= 18,
                   std::string("declined ") + expected + " at precision " + std::to_string(precision));
    } else {
        FUZZ_CHECK(std::string(quick, length) == std::string(expected, static_cast<size_t>(expectedLength)),
                   "precision " + std::to_string(precision) + ": quick '" + std::string(quick, length) +
                       "', printf '" + expected + "'");
    }

    if (std::isfinite(value)) {
        char general[64];
        std::snprintf(general, sizeof general, "%.15g", value);
        std::string text;
        tw::db::AssignDouble(value, text);
        FUZZ_CHECK(text == general, "%.15g: '" + text + "', printf '" + general + "'");
    }

    // Digit grouping of an integer: printf's digits with a comma every three from the right.
    long long integer = 0;
    std::memcpy(&integer, &value, sizeof integer);
    char digits[32];
    const int count = std::snprintf(digits, sizeof digits, "%lld", integer);
    std::wstring grouped;
    const int sign = digits[0] == '-' ? 1 : 0;
    for (int i = 0; i < count; ++i) {
        if (i > sign && (count - i) % 3 == 0) grouped.push_back(L',');
        grouped.push_back(static_cast<wchar_t>(digits[i]));
    }
    FUZZ_CHECK(FMT::FormatInteger(integer) == grouped,
               std::string(digits) + ": FormatInteger '" + fuzz::Shown(FMT::FormatInteger(integer)) + "'");
    return 0;
}
