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

namespace detail {

// Windows-1252 code points for bytes 0x80..0x9F; the rest of the high half equals Latin-1.
inline constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char32_t Cp1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
}

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is not valid.
inline size_t ValidSequence(const unsigned char* p, size_t left, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < len) return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace detail

// The character at the start of bytes as Utf8ToWide reads it, for code that works on the UTF-8 bytes themselves:
// returns how many bytes it took (1 to 4; at least 1 for a non-empty text) and its code point in cp. *valid is
// false when the byte began no valid sequence and was read as Windows-1252. bytes must not be empty. Inline: the
// writers call it for every character that is not plain ASCII.
inline size_t DecodeUtf8Char(std::string_view bytes, char32_t& cp, bool* valid = nullptr) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t len = detail::ValidSequence(p, bytes.size(), cp);
    if (valid) *valid = len != 0;
    if (len == 0) {
        cp = detail::Cp1252(p[0]);
        len = 1;
    }
    return len;
}

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
