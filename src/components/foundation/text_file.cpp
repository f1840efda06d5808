#include "text_file.h"

#include "atomic_file.h"
#include "text.h"

namespace JSON {
namespace {

// UTF-16 code units to wide text; surrogate pairs are joined, a lone surrogate or an odd last byte is U+FFFD.
std::wstring Utf16ToWide(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (char32_t{first} << 8 | second) : (char32_t{second} << 8 | first);
    };
    std::wstring text;
    text.reserve(bytes.size() / 2);
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const char32_t code = unit(2 * i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units) {
            const char32_t low = unit(2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                text.push_back(static_cast<wchar_t>(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)));
                ++i;
                continue;
            }
        }
        text.push_back(code >= 0xD800 && code <= 0xDFFF ? L'\xFFFD' : static_cast<wchar_t>(code));
    }
    if (bytes.size() % 2) text.push_back(L'\xFFFD');
    return text;
}

}  // namespace

bool LoadFile(const std::wstring& path, std::wstring& text) {
    text.clear();
    std::string bytes;
    std::wstring error;
    if (tw::ReadWholeFile(tw::ToPath(path), bytes, error) != tw::ReadResult::Ok) return false;
    const std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF"))
        tw::Utf8ToWide(view.substr(3), text);
    else if (view.starts_with("\xFF\xFE"))
        text = Utf16ToWide(view.substr(2), false);
    else if (view.starts_with("\xFE\xFF"))
        text = Utf16ToWide(view.substr(2), true);
    else
        tw::Utf8ToWide(view, text);
    return true;
}

std::wstring LoadFile(const std::wstring& path, int) {
    std::wstring text;
    LoadFile(path, text);
    return text;
}

}  // namespace JSON
