#pragma once
// Reading numbers from the leading part of a value text, as markers and converters do. Locale-independent: "."
// is always the decimal point, whatever LC_NUMERIC the GUI has set.

#include <string_view>

namespace rules {

// Leading blanks skipped, an optional sign, then decimal digits up to the first other character; 0 when there are
// no digits. Values beyond the 64-bit range saturate instead of wrapping.
long long ReadInteger(std::wstring_view text);

// The longest leading part that forms a decimal number (blanks skipped, optional sign, digits with "." as the
// decimal point, optional exponent); 0 when there is none. Overflow gives an infinity, underflow zero.
double ReadNumber(std::wstring_view text);

// Ordinal comparison as UTF-16 code units would order the texts, case-sensitive, a proper prefix first:
// negative, zero or positive.
int CompareOrdinal(std::wstring_view a, std::wstring_view b);

}  // namespace rules
