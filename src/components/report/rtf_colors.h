#pragma once
// Colour texts of the column rules and plain text from markup, shared by the RTF and PDF writers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::report {

// One named colour of the rule pages.
struct NamedColour {
    std::wstring_view name;
    std::uint32_t rgb;
};

// The colours the rule pages offer (besides "Default", which means none), plus common spellings.
inline constexpr NamedColour kNamedColours[] = {
    {L"blue", 0x0000FF},  {L"cyan", 0x00FFFF},      {L"darkgrey", 0xA9A9A9}, {L"green", 0x008000},
    {L"grey", 0x808080},  {L"lightgrey", 0xD3D3D3}, {L"magenta", 0xFF00FF},  {L"red", 0xFF0000},
    {L"white", 0xFFFFFF}, {L"yellow", 0xFFFF00},    {L"black", 0x000000},    {L"darkgray", 0xA9A9A9},
    {L"gray", 0x808080},  {L"lightgray", 0xD3D3D3},
};

inline bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

inline int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// 0xRRGGBB for a colour name or "#RRGGBB"/"#RGB"; none for "Default", empty and anything unknown.
inline std::optional<std::uint32_t> ParseColour(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    if (text.front() == L'#') {
        text.remove_prefix(1);
        if (text.size() != 6 && text.size() != 3) return std::nullopt;
        std::uint32_t rgb = 0;
        for (wchar_t c : text) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
            if (text.size() == 3) rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
        }
        return rgb;
    }
    for (const NamedColour& colour : kNamedColours)
        if (EqualsNoCase(text, colour.name)) return colour.rgb;
    return std::nullopt;
}

// Title, header and footer may carry HTML; formats that cannot show it get the text without tags, with <br>
// and
// </p> as line breaks and the common entities decoded.
inline std::wstring PlainFromMarkup(std::wstring_view html) {
    std::wstring out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const wchar_t c = html[i];
        if (c == L'<') {
            const size_t close = html.find(L'>', i);
            if (close == std::wstring_view::npos) {  // a lone '<' is text
                out.push_back(c);
                ++i;
                continue;
            }
            std::wstring_view tag = html.substr(i + 1, close - i - 1);
            size_t nameEnd = 0;
            if (!tag.empty() && tag.front() == L'/') nameEnd = 1;
            while (nameEnd < tag.size() && tag[nameEnd] != L' ' && tag[nameEnd] != L'/' &&
                   tag[nameEnd] != L'>')
                ++nameEnd;
            const std::wstring_view name = tag.substr(0, nameEnd);
            if (EqualsNoCase(name, L"br") || EqualsNoCase(name, L"/p") || EqualsNoCase(name, L"/div"))
                out.push_back(L'\n');
            i = close + 1;
            continue;
        }
        if (c == L'&') {
            const size_t semi = html.find(L';', i);
            if (semi != std::wstring_view::npos && semi - i <= 10) {
                const std::wstring_view entity = html.substr(i + 1, semi - i - 1);
                wchar_t decoded = 0;
                if (entity == L"amp")
                    decoded = L'&';
                else if (entity == L"lt")
                    decoded = L'<';
                else if (entity == L"gt")
                    decoded = L'>';
                else if (entity == L"quot")
                    decoded = L'"';
                else if (entity == L"apos")
                    decoded = L'\'';
                else if (entity == L"nbsp")
                    decoded = 0xA0;
                else if (entity.size() > 1 && entity.front() == L'#') {
                    unsigned long value = 0;
                    bool ok = true;
                    const bool hex = entity[1] == L'x' || entity[1] == L'X';
                    for (size_t k = hex ? 2 : 1; k < entity.size() && ok; ++k) {
                        const int digit =
                            hex ? HexDigit(entity[k])
                                : (entity[k] >= L'0' && entity[k] <= L'9' ? entity[k] - L'0' : -1);
                        ok = digit >= 0 && value < 0x110000;
                        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
                    }
                    if (ok && value > 0 && value < 0x110000) decoded = static_cast<wchar_t>(value);
                }
                if (decoded != 0) {
                    out.push_back(decoded);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

}  // namespace tw::report
