#pragma once
// Conversions between the core's wide texts and UTF-8 at the edges (files, databases, reports).

#include <filesystem>
#include <string>
#include <string_view>

namespace tw {

// UTF-8 to wide text. Byte sequences that are not valid UTF-8 are read as Windows-1252.
std::wstring Utf8ToWide(std::string_view bytes);
// Same, into an existing text whose capacity is reused (the per-cell path).
void Utf8ToWide(std::string_view bytes, std::wstring& out);

// Wide text to UTF-8; code points that UTF-8 cannot carry (surrogates, > U+10FFFF) become U+FFFD.
std::string WideToUtf8(std::wstring_view text);
// Appends the UTF-8 form of text to out (the per-cell path: no allocation beyond out's growth).
void AppendUtf8(std::string& out, std::wstring_view text);

// Appends the UTF-8 form of one code point; one that UTF-8 cannot carry becomes U+FFFD. Inline: the writers
// call it for every character that is not plain ASCII.
inline void AppendUtf8Char(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Replaces every occurrence of token (not empty) in text by value, left to right, in one pass over the text: an
// inserted value is never searched again, so a value holding the token cannot loop, and many occurrences in a
// long text cost no more than copying it once.
void ReplaceAll(std::wstring& text, std::wstring_view token, std::wstring_view value);

// A file-system path from a wide text, through UTF-8 whatever the C locale says.
std::filesystem::path ToPath(std::wstring_view text);
// The wide text of a path.
std::wstring FromPath(const std::filesystem::path& path);

}  // namespace tw
