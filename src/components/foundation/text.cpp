#include "text.h"

namespace tw {

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
        const size_t len = detail::ValidSequence(p + i, n - i, cp);
        if (len == 0) {
            *target++ = static_cast<wchar_t>(detail::Cp1252(p[i]));
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
