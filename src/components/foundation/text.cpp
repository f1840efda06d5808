#include "text.h"

namespace tw {
namespace {

// Windows-1252 code points for bytes 0x80..0x9F; the rest of the high half equals Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t Cp1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return static_cast<wchar_t>(kCp1252High[byte - 0x80]);
    return static_cast<wchar_t>(byte);
}

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is not valid.
size_t ValidSequence(const unsigned char* p, size_t left, char32_t& cp) {
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

}  // namespace

void Utf8ToWide(std::string_view bytes, std::wstring& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    // Never more characters than bytes: written through a pointer, then cut to what was written.
    out.resize(n);
    wchar_t* const first = out.data();
    wchar_t* target = first;
    size_t i = 0;
    while (i < n) {
        while (i < n && p[i] < 0x80) *target++ = static_cast<wchar_t>(p[i++]);
        if (i >= n) break;
        char32_t cp;
        const size_t len = ValidSequence(p + i, n - i, cp);
        if (len == 0) {
            *target++ = Cp1252(p[i]);
            ++i;
        } else {
            *target++ = static_cast<wchar_t>(cp);
            i += len;
        }
    }
    out.resize(static_cast<size_t>(target - first));
}

std::wstring Utf8ToWide(std::string_view bytes) {
    std::wstring out;
    Utf8ToWide(bytes, out);
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
    for (const wchar_t wc : text) AppendUtf8Char(out, static_cast<char32_t>(wc));
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

std::filesystem::path ToPath(std::wstring_view text) { return std::filesystem::path(WideToUtf8(text)); }

std::wstring FromPath(const std::filesystem::path& path) { return Utf8ToWide(path.native()); }

void ReplaceAll(std::wstring& text, std::wstring_view token, std::wstring_view value) {
    size_t at = text.find(token);
    if (at == std::wstring::npos) return;
    std::wstring replaced;
    replaced.reserve(text.size());
    size_t copied = 0;
    for (; at != std::wstring::npos; at = text.find(token, copied)) {
        replaced.append(text, copied, at - copied).append(value);
        copied = at + token.size();
    }
    replaced.append(text, copied);
    text.swap(replaced);
}

}  // namespace tw
