#pragma once
// The one scan of a plain decimal text ("-12.5"), shared by the writers that tell numbers from texts and the
// converters that print a number straight from its text. Header-only: it runs once per cell.

#include <cstddef>
#include <string_view>

namespace tw {

// Where the parts of a plain decimal lie in its text.
struct PlainDecimal {
    size_t intStart = 0;    // 1 after a "-", else 0
    size_t intDigits = 0;   // digits before the point
    size_t fracDigits = 0;  // digits after the point; 0 without a point
};

// Whether text is a plain decimal: an optional "-", digits without a leading zero (a lone "0" is fine), and
// optionally "." with at least one digit, nothing else (no "+", blanks or exponent). Fills parts when it is.
// Wide text or UTF-8 bytes alike: it looks at ASCII characters only.
template <typename Char>
bool ScanPlainDecimalOf(std::basic_string_view<Char> text, PlainDecimal& parts) {
    size_t pos = text.starts_with(Char('-')) ? 1 : 0;
    const size_t intStart = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    const size_t intDigits = pos - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0')) return false;
    size_t fracDigits = 0;
    if (pos < text.size() && text[pos] == '.') {
        const size_t fracStart = ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        fracDigits = pos - fracStart;
        if (fracDigits == 0) return false;
    }
    if (pos != text.size()) return false;
    parts = {intStart, intDigits, fracDigits};
    return true;
}
inline bool ScanPlainDecimal(std::wstring_view text, PlainDecimal& parts) { return ScanPlainDecimalOf(text, parts); }
inline bool ScanPlainDecimal(std::string_view text, PlainDecimal& parts) { return ScanPlainDecimalOf(text, parts); }

}  // namespace tw
