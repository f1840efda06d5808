#pragma once
// A look applied to a cell, or a whole row, where a condition on a column's value holds.

#include <string>
#include <string_view>
#include <vector>

#include "number_text.h"
#include "rule_style.h"

enum MarkerOperation {
    MO_NONE = 0, MO_GREATER = 1, MO_LESS = 2, MO_EQUAL = 3, MO_NOT_EQUAL = 4, MO_GREATER_EQUAL = 5,
    MO_LESS_EQUAL = 6, MO_CONTAINS = 7, MO_STARTS_WITH = 8, MO_IN_RANGE = 9
};

// How the condition column's values compare: from its type code.
enum MarkerKind { MK_TEXT = 0, MK_INTEGER = 1, MK_NUMBER = 2 };

struct ValueMarker {
    std::wstring Column;
    int IsWholeRow = 0;
    int conditionPosition = -1;  // bound by PrepareMarker; never saved
    int conditionType = -1;      // bound by PrepareMarker; never saved
    std::wstring ConditionColumn;
    std::wstring ConditionOperation = L"=";
    std::wstring ConditionOperand;
    MarkerOperation operation = MO_NONE;  // from ConditionOperation; never saved
    RuleStyle style;
    // Operands read once per result set by PrepareMarker (never saved).
    long long operandLow = 0, operandHigh = 0;
    double numberLow = 0, numberHigh = 0;
    std::wstring textLow, textHigh;
    bool rangeHasHigh = false;  // text "In Range": something follows the separator
    MarkerKind kind = MK_TEXT;  // from conditionType
    // A text comparison, or a "Contains" or "Starts with" of any kind: TestMarkerUtf8 answers it on the value's
    // UTF-8 bytes, against the UTF-8 of textLow and textHigh here.
    bool testsBytes = false;
    std::string textLowUtf8, textHighUtf8;
    // textLow is plain ASCII: the bytes answer alone, stray bytes or not (every byte from 0x80 up decodes to a
    // character beyond ASCII, and ASCII bytes always stand for themselves).
    bool operandAscii = false;
};

// Same saved fields (column, whole-row flag, condition and look).
bool SameMarker(const ValueMarker& a, const ValueMarker& b);
// The first marker of a column (its Column, or a whole-row marker testing it); null when none.
ValueMarker* FindMarker(std::vector<ValueMarker>& markers, std::wstring_view name);
// Binds marker to the result set whose column names and type codes are given, parses its operation and reads
// its operands. TestMarker relies on it having been called for the current result set.
void PrepareMarker(ValueMarker& marker, const std::vector<std::wstring>& names, const std::vector<int>& types);
// Sets operation from ConditionOperation by its first character.
void ParseOperation(ValueMarker& marker);
// Whether the condition holds for the value of the condition column.
bool TestMarker(const ValueMarker& marker, std::wstring_view value);
bool TestMarker(const ValueMarker& marker, const rules::CellValue& value);
// TestMarker for a testsBytes marker on the value as UTF-8 bytes, without widening it: 1 holds, 0 does not,
// -1 when the bytes are not all valid UTF-8 (a stray byte reads as Windows-1252) and TestMarker must decide.
// TestMarker on a cell read as UTF-8 asks it first.
int TestMarkerUtf8(const ValueMarker& marker, std::string_view value);
// Whether the marker holds for a row (its condition position inside the row and TestMarker true).
bool MarkerHolds(const ValueMarker& marker, const std::vector<std::wstring>& rowValues);
// The same over a row whose number readings are shared with the converters.
bool MarkerHoldsInRow(const ValueMarker& marker, const std::vector<rules::CellValue>& row);
// The row marker: the first column's whole-row marker, in column order, that holds; null when none.
// columnMarkers has one entry (or null) per column.
const ValueMarker* RowMarker(const std::vector<const ValueMarker*>& columnMarkers,
                             const std::vector<std::wstring>& rowValues);
// The marker of one cell: the column's own marker when it holds, else the row marker.
const ValueMarker* CellMarker(const ValueMarker* own, const ValueMarker* rowMarker,
                              const std::vector<std::wstring>& rowValues);
