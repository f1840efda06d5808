#include "value_marker.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fld_desc.h"
#include "number_text.h"
#include "text.h"

namespace {

MarkerKind KindOf(int type) {
    if (FLD_DESC::IsInteger(type)) return MK_INTEGER;
    if (FLD_DESC::IsNumber(type)) return MK_NUMBER;
    return MK_TEXT;
}

// Reads the operand (or both bounds of a range) once, in the form the marker's kind compares.
void ReadOperands(ValueMarker& marker) {
    const std::wstring& operand = marker.ConditionOperand;
    std::wstring_view low = operand, high = operand;
    marker.rangeHasHigh = !operand.empty();
    if (marker.operation == MO_IN_RANGE) {
        const size_t separator = operand.find(L';');
        if (separator != std::wstring::npos) {
            low = std::wstring_view(operand).substr(0, separator);
            high = std::wstring_view(operand).substr(separator + 1);
            marker.rangeHasHigh = separator + 1 < operand.size();
        }
    }
    marker.operandLow = rules::ReadInteger(low);
    marker.operandHigh = rules::ReadInteger(high);
    marker.numberLow = rules::ReadNumber(low);
    marker.numberHigh = rules::ReadNumber(high);
    marker.textLow.assign(low);
    marker.textHigh.assign(high);
}

template <typename T>
bool Compare(MarkerOperation operation, T value, T low, T high) {
    switch (operation) {
    case MO_GREATER: return value > low;
    case MO_LESS: return value < low;
    case MO_EQUAL: return value == low;
    case MO_NOT_EQUAL: return value != low;
    case MO_GREATER_EQUAL: return value >= low;
    case MO_LESS_EQUAL: return value <= low;
    case MO_IN_RANGE: return low <= value && value <= high;
    default: return false;
    }
}

// A text ordering from the value's comparison with the low operand (negative, zero or positive) and, for a
// range only, with the high one.
template <typename CompareHigh>
bool OrderHolds(const ValueMarker& marker, int low, CompareHigh high) {
    if (marker.operation == MO_IN_RANGE && !marker.rangeHasHigh) return false;
    switch (marker.operation) {
    case MO_GREATER: return low > 0;
    case MO_LESS: return low < 0;
    case MO_GREATER_EQUAL: return low >= 0;
    case MO_LESS_EQUAL: return low <= 0;
    case MO_IN_RANGE: return low >= 0 && high() <= 0;
    default: return false;
    }
}

bool CompareText(const ValueMarker& marker, std::wstring_view value) {
    if (marker.operation == MO_EQUAL) return value == marker.textLow;
    if (marker.operation == MO_NOT_EQUAL) return value != marker.textLow;
    return OrderHolds(marker, rules::CompareOrdinal(value, marker.textLow),
                      [&] { return rules::CompareOrdinal(value, marker.textHigh); });
}

// What the bytes of a value allow: valid UTF-8 stands for the text it decodes to. Valid UTF-8 orders byte by
// byte as its code points do; texts order as their UTF-16 code units, which puts U+E000..U+FFFF after the
// supplementary characters, so both orders agree unless a character from U+E000 up is compared.
struct Utf8Scan {
    bool valid = true;
    bool ordersAsBytes = true;
};

Utf8Scan ScanUtf8(std::string_view value) {
    Utf8Scan scan;
    size_t at = 0;
    // Eight ASCII bytes a step: most values are plain ASCII.
    for (std::uint64_t word; at + 8 <= value.size(); at += 8) {
        std::memcpy(&word, value.data() + at, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (at < value.size()) {
        if (static_cast<unsigned char>(value[at]) < 0x80) {
            ++at;
            continue;
        }
        char32_t c;
        bool valid;
        at += tw::DecodeUtf8Char(value.substr(at), c, &valid);
        if (!valid) return {false, false};
        if (c >= 0xE000) scan.ordersAsBytes = false;
    }
    return scan;
}

bool ValidUtf8(std::string_view value) { return ScanUtf8(value).valid; }

// An operand the bytes can order by: its UTF-8 holds no character from U+E000 up (no byte from 0xEE up).
bool OrdersAsBytes(std::string_view value) {
    return std::ranges::none_of(value, [](char c) { return static_cast<unsigned char>(c) >= 0xEE; });
}

}  // namespace

void ParseOperation(ValueMarker& marker) {
    const std::wstring& text = marker.ConditionOperation;
    if (text.empty()) return;
    switch (text[0]) {
    case L'!': marker.operation = MO_NOT_EQUAL; break;
    case L'<': marker.operation = text == L"<=" ? MO_LESS_EQUAL : MO_LESS; break;
    case L'=': marker.operation = MO_EQUAL; break;
    case L'>': marker.operation = text == L">=" ? MO_GREATER_EQUAL : MO_GREATER; break;
    case L'C': marker.operation = MO_CONTAINS; break;
    case L'I': marker.operation = MO_IN_RANGE; break;
    case L'S': marker.operation = MO_STARTS_WITH; break;
    default: break;
    }
}

bool SameMarker(const ValueMarker& a, const ValueMarker& b) {
    return a.Column == b.Column && a.IsWholeRow == b.IsWholeRow && a.ConditionColumn == b.ConditionColumn &&
           a.ConditionOperation == b.ConditionOperation && a.ConditionOperand == b.ConditionOperand &&
           SameStyle(a.style, b.style);
}

ValueMarker* FindMarker(std::vector<ValueMarker>& markers, std::wstring_view name) {
    for (ValueMarker& marker : markers) {
        if (marker.Column == name || (marker.IsWholeRow != 0 && marker.ConditionColumn == name)) return &marker;
    }
    return nullptr;
}

void PrepareMarker(ValueMarker& marker, const std::vector<std::wstring>& names, const std::vector<int>& types) {
    marker.conditionPosition = -1;
    marker.conditionType = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == marker.ConditionColumn) {
            marker.conditionPosition = static_cast<int>(i);
            marker.conditionType = i < types.size() ? types[i] : -1;
            break;
        }
    }
    marker.kind = KindOf(marker.conditionType);
    if (marker.conditionPosition >= 0) ParseOperation(marker);
    ReadOperands(marker);
    // Valid UTF-8 decodes one way only, and a valid sequence never begins inside another, so on valid bytes
    // equality, prefixes and containment of the operand's UTF-8 are those of the texts, when the operand has a
    // UTF-8 form of its own (no lone surrogate). "Contains" and "Starts with" compare text whatever the kind.
    // Text ordering too: see OrdersAsBytes.
    marker.textLowUtf8 = tw::WideToUtf8(marker.textLow);
    marker.textHighUtf8 = tw::WideToUtf8(marker.textHigh);
    const bool ordering = marker.operation == MO_GREATER || marker.operation == MO_LESS ||
                          marker.operation == MO_GREATER_EQUAL || marker.operation == MO_LESS_EQUAL ||
                          marker.operation == MO_IN_RANGE;
    const bool textOperation =
        marker.operation == MO_CONTAINS || marker.operation == MO_STARTS_WITH ||
        (marker.kind == MK_TEXT && (marker.operation == MO_EQUAL || marker.operation == MO_NOT_EQUAL)) ||
        (marker.kind == MK_TEXT && ordering && OrdersAsBytes(marker.textLowUtf8) &&
         OrdersAsBytes(marker.textHighUtf8) && tw::Utf8ToWide(marker.textHighUtf8) == marker.textHigh);
    marker.testsBytes = textOperation && tw::Utf8ToWide(marker.textLowUtf8) == marker.textLow;
    marker.operandAscii = std::ranges::all_of(marker.textLowUtf8, [](char c) { return (c & 0x80) == 0; });
}

int TestMarkerUtf8(const ValueMarker& marker, std::string_view value) {
    const std::string_view operand = marker.textLowUtf8;
    // A stray byte decodes to a character of its own, which an operand beyond ASCII might spell: the bytes
    // decide only when they are valid UTF-8 or the operand is ASCII.
    switch (marker.operation) {
    case MO_CONTAINS:
        if (!marker.operandAscii && !ValidUtf8(value)) return -1;
        return value.find(operand) != std::string_view::npos ? 1 : 0;
    case MO_STARTS_WITH:
        if (!marker.operandAscii && !ValidUtf8(value)) return -1;
        return value.starts_with(operand) ? 1 : 0;
    default:
        break;
    }
    if (marker.operation == MO_EQUAL || marker.operation == MO_NOT_EQUAL) {
        const int holds = marker.operation == MO_EQUAL ? 1 : 0;
        if (value == operand) return holds;  // the operand's own bytes, valid UTF-8
        return marker.operandAscii || ValidUtf8(value) ? 1 - holds : -1;
    }
    // Text ordering, as CompareText orders the decoded texts.
    if (!ScanUtf8(value).ordersAsBytes) return -1;
    return OrderHolds(marker, value.compare(operand), [&] { return value.compare(marker.textHighUtf8); }) ? 1 : 0;
}

bool TestMarker(const ValueMarker& marker, const rules::CellValue& cell) {
    if (marker.testsBytes && cell.HasBytes()) {
        const int answer = TestMarkerUtf8(marker, cell.Bytes());
        if (answer >= 0) return answer == 1;
    }
    // The text is decoded only here, for a cell read as UTF-8: numbers are read from its bytes.
    switch (marker.operation) {
    case MO_CONTAINS: return cell.Text().find(marker.ConditionOperand) != std::wstring_view::npos;
    case MO_STARTS_WITH: return cell.Text().starts_with(marker.ConditionOperand);
    case MO_NONE: return false;
    default: break;
    }
    switch (marker.kind) {
    case MK_INTEGER: return Compare(marker.operation, cell.Integer(), marker.operandLow, marker.operandHigh);
    case MK_NUMBER: return Compare(marker.operation, cell.Number(), marker.numberLow, marker.numberHigh);
    default: return CompareText(marker, cell.Text());
    }
}

bool TestMarker(const ValueMarker& marker, std::wstring_view value) {
    rules::CellValue cell;
    cell.Reset(value);
    return TestMarker(marker, cell);
}

bool MarkerHolds(const ValueMarker& marker, const std::vector<std::wstring>& rowValues) {
    const int position = marker.conditionPosition;
    return position >= 0 && static_cast<size_t>(position) < rowValues.size() &&
           TestMarker(marker, rowValues[static_cast<size_t>(position)]);
}

bool MarkerHoldsInRow(const ValueMarker& marker, const std::vector<rules::CellValue>& row) {
    const int position = marker.conditionPosition;
    return position >= 0 && static_cast<size_t>(position) < row.size() &&
           TestMarker(marker, row[static_cast<size_t>(position)]);
}

const ValueMarker* RowMarker(const std::vector<const ValueMarker*>& columnMarkers,
                             const std::vector<std::wstring>& rowValues) {
    for (const ValueMarker* marker : columnMarkers) {
        if (marker != nullptr && marker->IsWholeRow != 0 && MarkerHolds(*marker, rowValues)) return marker;
    }
    return nullptr;
}

const ValueMarker* CellMarker(const ValueMarker* own, const ValueMarker* rowMarker,
                              const std::vector<std::wstring>& rowValues) {
    if (own != nullptr && MarkerHolds(*own, rowValues)) return own;
    return rowMarker;
}
