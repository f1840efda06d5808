#include "spreadsheet_value.h"

#include "fld_desc.h"
#include "markup.h"

namespace spreadsheet {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digits from pos on; returns how many.
size_t SkipDigits(std::wstring_view text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    return pos - start;
}

// -?digits(.digits)?, no needless leading zero; significant digits counted without the zeros that carry no
// value (leading zeros of 0.00x, trailing zeros of 12.50).
bool IsExactDecimal(std::wstring_view value, size_t& significant) {
    size_t pos = 0;
    if (pos < value.size() && value[pos] == L'-') ++pos;
    const size_t intStart = pos;
    const size_t intDigits = SkipDigits(value, pos);
    if (intDigits == 0 || (intDigits > 1 && value[intStart] == L'0')) return false;
    size_t fracStart = pos, fracDigits = 0;
    if (pos < value.size() && value[pos] == L'.') {
        fracStart = ++pos;
        fracDigits = SkipDigits(value, pos);
        if (fracDigits == 0) return false;
    }
    if (pos != value.size()) return false;
    std::wstring_view digits = value.substr(intStart, intDigits);
    std::wstring_view fraction = value.substr(fracStart, fracDigits);
    while (!fraction.empty() && fraction.back() == L'0') fraction.remove_suffix(1);
    if (digits == L"0") {
        digits = {};
        while (!fraction.empty() && fraction.front() == L'0') fraction.remove_prefix(1);
    }
    significant = digits.size() + fraction.size();
    return true;
}

// A finite floating-point text: -?digits(.digits)?([eE][+-]?digits)?
bool IsFloatText(std::wstring_view value) {
    size_t pos = 0;
    if (pos < value.size() && value[pos] == L'-') ++pos;
    if (SkipDigits(value, pos) == 0) return false;
    if (pos < value.size() && value[pos] == L'.') {
        ++pos;
        if (SkipDigits(value, pos) == 0) return false;
    }
    if (pos < value.size() && (value[pos] == L'e' || value[pos] == L'E')) {
        ++pos;
        if (pos < value.size() && (value[pos] == L'+' || value[pos] == L'-')) ++pos;
        if (SkipDigits(value, pos) == 0) return false;
    }
    return pos == value.size();
}

bool FixedDigits(std::wstring_view text, size_t pos, size_t count, int& number) {
    if (pos + count > text.size()) return false;
    number = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (!IsDigit(text[i])) return false;
        number = number * 10 + (text[i] - L'0');
    }
    return true;
}

// YYYY-MM-DD from 1900 (where spreadsheet dates begin) to 9999, a real day of the calendar.
bool IsIsoDay(std::wstring_view value) {
    int year = 0, month = 0, day = 0;
    if (value.size() < 10 || !FixedDigits(value, 0, 4, year) || value[4] != L'-' || !FixedDigits(value, 5, 2, month) ||
        value[7] != L'-' || !FixedDigits(value, 8, 2, day))
        return false;
    if (year < 1900 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// [ T]HH:MM[:SS[.fff]] after the day; at most three digits of a second's fraction, which a DateTime keeps.
bool IsIsoTimeOfDay(std::wstring_view value) {
    if (value.empty()) return true;
    int hour = 0, minute = 0, second = 0;
    if (value[0] != L' ' && value[0] != L'T') return false;
    if (!FixedDigits(value, 1, 2, hour) || value.size() < 6 || value[3] != L':' || !FixedDigits(value, 4, 2, minute))
        return false;
    if (hour > 23 || minute > 59) return false;
    size_t pos = 6;
    if (pos < value.size()) {
        if (value[pos] != L':' || !FixedDigits(value, pos + 1, 2, second) || second > 59) return false;
        pos += 3;
        if (pos < value.size()) {
            if (value[pos] != L'.') return false;
            ++pos;
            const size_t digits = SkipDigits(value, pos);
            if (digits == 0 || digits > 3) return false;
        }
    }
    return pos == value.size();
}

}  // namespace

CellKind Classify(std::wstring_view value, int type) {
    if (value.empty() || FLD_DESC::IsChar(type)) return CellKind::String;
    switch (type) {
        case TC_FLOAT:
        case TC_REAL:
        case TC_DOUBLE:
            return IsFloatText(value) ? CellKind::Number : CellKind::String;
        case TC_DATE:
            return value.size() == 10 && IsIsoDay(value) ? CellKind::Date : CellKind::String;
        case TC_TIMESTAMP:
            return IsIsoDay(value) && IsIsoTimeOfDay(value.substr(10)) ? CellKind::DateTime : CellKind::String;
        case 0:
            return markup::IsCanonicalNumber(value) ? CellKind::Number : CellKind::String;
        default:
            break;
    }
    size_t significant = 0;
    if (FLD_DESC::IsNumber(type) && IsExactDecimal(value, significant) && significant <= 15) return CellKind::Number;
    return CellKind::String;
}

std::string DateTimeText(std::wstring_view value) {
    std::string out = "0000-00-00T00:00:00.000";
    for (size_t i = 0; i < value.size() && i < out.size(); ++i)
        if (IsDigit(value[i])) out[i] = static_cast<char>(value[i]);
    return out;
}

bool HasFraction(std::wstring_view value) { return value.size() > 19 && value[19] == L'.'; }

}  // namespace spreadsheet
