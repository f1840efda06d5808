#pragma once
// What the rule pages do to a project's rule lists, kept free of the window so that it can be tested alone:
// adding with the check for a column that already has a rule, removing with the row selected afterwards, saving
// that marks the project modified only on a real change, and the checks of a converter's fields.

#include <string>
#include <string_view>

#include "ctw_doc.h"

namespace rule_edit {

// The position of the first rule of the list that already applies to column; -1 when none. Only the first rule
// of a column takes effect in a run, so a second one would be silently ignored. A whole-row marker is for no
// column of its own and never counts; an empty column name never matches.
int ExistingPropertyFor(const CtwDoc& project, std::wstring_view column);
int ExistingMarkerFor(const CtwDoc& project, std::wstring_view column);
int ExistingConverterFor(const CtwDoc& project, std::wstring_view column);

// The text that refuses adding a rule for column, which has one at row position (0-based).
std::wstring AlreadyHasRuleText(std::wstring_view column, int position);

// The row to select after the row at removed left a list that now holds count rows: the row that took its
// place, else the new last row, else -1 when the list is empty.
int SelectionAfterRemove(int removed, int count);

// Saves marker at position when it differs in a saved field; whether the project changed.
bool SaveMarker(CtwDoc& project, int position, const ValueMarker& marker);
bool SaveProperty(CtwDoc& project, int position, const ColumnProperty& property);
bool SaveConverter(CtwDoc& project, int position, const Converter& converter);

// The width or precision field of a converter: -1 when empty (no format); its number otherwise. Digits only:
// false for anything else, or for a number above kMaxFormatDigits, which no number format can use.
inline constexpr int kMaxFormatDigits = 99;
bool ParseFormatDigits(std::wstring_view text, int& value);

// The matcher's message for an invalid regular expression; empty when the expression (or the empty text) is
// valid.
std::wstring RegexError(const std::wstring& pattern);

// A sample value of type code type after converter, as a run would write it. A failed conversion (an invalid
// expression, a failing match) gives failed true and no message box: the page shows why instead.
std::wstring SampleAfter(const Converter& converter, std::wstring_view value, int type, bool& failed);

// Creates path as an empty file when it does not exist; false when it could not be made (no such folder, no
// permission). An existing file is left as it is.
bool CreateEmptyFile(const std::wstring& path);

}  // namespace rule_edit
