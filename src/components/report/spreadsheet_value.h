#pragma once
// How a value becomes a typed spreadsheet cell: a number the spreadsheet keeps exactly, a date, or text.

#include <string>
#include <string_view>

namespace spreadsheet {

enum class CellKind { String, Number, Date, DateTime };

// The kind of cell for value of a column of type code type (the database's ODBC type code; 0 when unknown).
//   - Floating-point columns: every finite number is a Number (the database already rounded it).
//   - Exact numbers (integers, NUMERIC, DECIMAL): a Number when it has at most 15 significant digits, the
//     most a spreadsheet keeps exactly; longer ones (a 20-digit id) stay String so that no digit changes.
//   - DATE and TIMESTAMP columns: a Date or DateTime for an ISO value from 1900 to 9999 whose fraction of a
//     second fits in milliseconds; anything else (an offset, BC, a converted value) stays String.
//   - Texts are String whatever they look like; an unknown type is a Number only in canonical form.
CellKind Classify(std::wstring_view value, int type);

// The SpreadsheetML DateTime text ("2024-01-02T13:45:00.000") of a value Classify found to be a date.
std::string DateTimeText(std::wstring_view value);

// True when a DateTime value carries a fraction of a second (shown with milliseconds).
bool HasFraction(std::wstring_view value);

}  // namespace spreadsheet
