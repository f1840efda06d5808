#pragma once
// What the spreadsheet writers (SpreadsheetML and .xlsx) share about a cell's look: the colour names the rule
// pages offer, and how wide a text shows.

#include <cstddef>
#include <string_view>

namespace spreadsheet {

// The #RRGGBB of a colour name the rule pages offer (any case), or null for another name.
const wchar_t* ColourValue(std::wstring_view name);

// Display length of the longest line of text, in average characters; wide (East Asian) characters and emoji
// count twice.
size_t LongestLine(std::wstring_view text);

}  // namespace spreadsheet
