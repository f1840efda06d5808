#include "spreadsheet_look.h"

#include <algorithm>
#include <cwctype>
#include <string>

namespace spreadsheet {

const wchar_t* ColourValue(std::wstring_view name) {
    struct Colour {
        const wchar_t* name;
        const wchar_t* value;
    };
    static const Colour colours[] = {
        {L"black", L"#000000"},    {L"blue", L"#0000FF"},      {L"cyan", L"#00FFFF"},  {L"darkgrey", L"#808080"},
        {L"green", L"#008000"},    {L"grey", L"#C0C0C0"},      {L"gray", L"#C0C0C0"},  {L"lightgrey", L"#E0E0E0"},
        {L"magenta", L"#FF00FF"},  {L"red", L"#FF0000"},       {L"white", L"#FFFFFF"}, {L"yellow", L"#FFFF00"},
        {L"darkgray", L"#808080"}, {L"lightgray", L"#E0E0E0"},
    };
    std::wstring lower(name);
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    for (const auto& colour : colours)
        if (lower == colour.name) return colour.value;
    return nullptr;
}

size_t LongestLine(std::wstring_view text) {
    size_t longest = 0, line = 0;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            longest = std::max(longest, line);
            line = 0;
        } else if (c != L'\r') {
            line += (c >= 0x1100 && (c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                                     (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) || c >= 0x1F300))
                        ? 2
                        : 1;
        }
    }
    return std::max(longest, line);
}

}  // namespace spreadsheet
