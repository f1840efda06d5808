#include "markup.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cwctype>

#include "plain_decimal.h"
#include "text.h"

namespace markup {

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

void AppendCharRef(std::string& out, char32_t c) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<unsigned long>(c));
    out.append("&#");
    out.append(digits, result.ptr);
    out.push_back(';');
}

// The entity for an ASCII character that must be escaped, or null.
inline const char* EntityFor(char32_t c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        case '\'': return "&#39;";
        default: return nullptr;
    }
}

// The same with its length, for the per-byte paths.
inline std::string_view EntityView(unsigned char c) {
    using namespace std::string_view_literals;
    switch (c) {
        case '&': return "&amp;"sv;
        case '<': return "&lt;"sv;
        case '>': return "&gt;"sv;
        case '"': return "&quot;"sv;
        case '\'': return "&#39;"sv;
        default: return {};
    }
}

// The Windows-1252 byte of a character in its 0x80-0x9F block, or 0.
unsigned char Windows1252Byte(char32_t c) {
    switch (c) {
        case 0x20AC: return 0x80;
        case 0x201A: return 0x82;
        case 0x0192: return 0x83;
        case 0x201E: return 0x84;
        case 0x2026: return 0x85;
        case 0x2020: return 0x86;
        case 0x2021: return 0x87;
        case 0x02C6: return 0x88;
        case 0x2030: return 0x89;
        case 0x0160: return 0x8A;
        case 0x2039: return 0x8B;
        case 0x0152: return 0x8C;
        case 0x017D: return 0x8E;
        case 0x2018: return 0x91;
        case 0x2019: return 0x92;
        case 0x201C: return 0x93;
        case 0x201D: return 0x94;
        case 0x2022: return 0x95;
        case 0x2013: return 0x96;
        case 0x2014: return 0x97;
        case 0x02DC: return 0x98;
        case 0x2122: return 0x99;
        case 0x0161: return 0x9A;
        case 0x203A: return 0x9B;
        case 0x0153: return 0x9C;
        case 0x017E: return 0x9E;
        case 0x0178: return 0x9F;
        default: return 0;
    }
}

// Which ASCII characters are written as they stand: printable ones and tab, line feed and carriage return; when
// escaping, not the five that have entities.
using PlainTable = std::array<bool, 128>;
constexpr PlainTable MakePlainTable(bool escape) {
    PlainTable table{};
    for (size_t c = 0x20; c < 0x7F; ++c) table[c] = true;
    table['\t'] = table['\n'] = table['\r'] = true;
    if (escape) table['&'] = table['<'] = table['>'] = table['"'] = table['\''] = false;
    return table;
}
constexpr PlainTable kPlainEscaped = MakePlainTable(true);
constexpr PlainTable kPlainMarkup = MakePlainTable(false);

// The same by byte, for UTF-8 text: no byte from 0x80 up is plain.
using PlainByteTable = std::array<bool, 256>;
constexpr PlainByteTable MakePlainByteTable(bool escape) {
    const PlainTable ascii = MakePlainTable(escape);
    PlainByteTable table{};
    for (size_t c = 0; c < ascii.size(); ++c) table[c] = ascii[c];
    return table;
}
constexpr PlainByteTable kPlainEscapedBytes = MakePlainByteTable(true);
constexpr PlainByteTable kPlainMarkupBytes = MakePlainByteTable(false);

// Appends a run of ASCII characters as their bytes.
inline void AppendAsciiRun(std::string& out, const wchar_t* begin, const wchar_t* end) {
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(end - begin));
    char* target = out.data() + start;
    while (begin != end) *target++ = static_cast<char>(*begin++);
}

std::wstring Normalized(std::wstring_view name) {
    while (!name.empty() && std::iswspace(name.front())) name.remove_prefix(1);
    while (!name.empty() && std::iswspace(name.back())) name.remove_suffix(1);
    std::wstring lower(name);
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

}  // namespace

namespace {

template <bool attribute>
void AppendXml(std::string& out, std::wstring_view text) {
    for (const wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (c < 0x80) {
            if (const char* entity = EntityFor(c)) {
                out.append(entity);
                continue;
            }
            if (c == '\r') {
                out.append("&#13;");
                continue;
            }
            if (attribute && (c == '\t' || c == '\n')) {
                out.append(c == '\t' ? "&#9;" : "&#10;");
                continue;
            }
        }
        if (IsUnsafeChar(c)) c = 0xFFFD;
        tw::AppendUtf8Char(out, c);
    }
}

}  // namespace

void AppendXmlEscaped(std::string& out, std::wstring_view text) { AppendXml<false>(out, text); }

void AppendXmlAttributeEscaped(std::string& out, std::wstring_view text) { AppendXml<true>(out, text); }

void AppendXmlEscapedUtf8(std::string& out, std::string_view text) {
    // Plain: printable ASCII without the entities, tab and line feed (a carriage return becomes &#13;).
    static constexpr PlainByteTable kPlain = [] {
        PlainByteTable table = MakePlainByteTable(true);
        table['\r'] = false;
        return table;
    }();
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const char* const run = p;
        while (p != end && kPlain[static_cast<unsigned char>(*p)]) ++p;
        if (p != run) out.append(run, p);
        if (p == end) break;
        char32_t c;
        bool valid;
        const size_t length = tw::DecodeUtf8Char(std::string_view(p, static_cast<size_t>(end - p)), c, &valid);
        if (c < 0x80) {
            if (const std::string_view entity = EntityView(static_cast<unsigned char>(c)); !entity.empty()) {
                out.append(entity);
            } else if (c == '\r') {
                out.append("&#13;");
            } else {
                tw::AppendUtf8Char(out, IsUnsafeChar(c) ? 0xFFFD : c);
            }
        } else if (valid && !IsUnsafeChar(c)) {
            out.append(p, length);
        } else {
            tw::AppendUtf8Char(out, IsUnsafeChar(c) ? 0xFFFD : c);
        }
        p += length;
    }
}

bool IsCanonicalNumber(std::wstring_view value) {
    tw::PlainDecimal parts;
    if (!tw::ScanPlainDecimal(value, parts)) return false;
    if (parts.fracDigits > 0 && value.back() == L'0') return false;
    const bool zeroInt = parts.intDigits == 1 && value[parts.intStart] == L'0';
    if (zeroInt && parts.fracDigits == 0 && parts.intStart > 0) return false;  // "-0"
    size_t significant = zeroInt ? 0 : parts.intDigits;
    if (parts.fracDigits > 0) {
        size_t fracPos = parts.intStart + parts.intDigits + 1;
        if (zeroInt)
            while (value[fracPos] == L'0') ++fracPos;  // leading zeros of 0.00x do not count
        significant += value.size() - fracPos;
    }
    return significant <= 15;
}

HtmlEncoder::HtmlEncoder() = default;

HtmlEncoder::~HtmlEncoder() {
    if (m_iconv != kNoIconv) iconv_close(m_iconv);
}

bool HtmlEncoder::SetCharset(std::wstring_view name) {
    if (m_iconv != kNoIconv) {
        iconv_close(m_iconv);
        m_iconv = kNoIconv;
    }
    m_mode = Mode::Utf8;
    m_charset = L"utf-8";
    const std::wstring key = Normalized(name);
    if (key == L"utf-8" || key == L"utf8") return true;
    if (key == L"iso-8859-1" || key == L"iso8859-1" || key == L"iso_8859-1" || key == L"latin1" ||
        key == L"latin-1") {
        m_mode = Mode::Latin1;
    } else if (key == L"windows-1252" || key == L"cp1252") {
        m_mode = Mode::Windows1252;
    } else if (key == L"us-ascii" || key == L"ascii") {
        m_mode = Mode::Ascii;
    } else {
        // Sets whose units are wider than a byte cannot be declared in a page, and iconv would add a byte
        // order mark to every piece.
        if (key.empty() || key.starts_with(L"utf-16") || key.starts_with(L"utf-32") || key.starts_with(L"ucs") ||
            key.starts_with(L"utf16") || key.starts_with(L"utf32") || key.starts_with(L"utf-7"))
            return false;
        std::string narrow;
        for (const wchar_t c : key) {
            if (c < 0x21 || c > 0x7E) return false;
            narrow.push_back(static_cast<char>(c));
        }
        m_iconv = iconv_open(narrow.c_str(), "WCHAR_T");
        if (m_iconv == kNoIconv) return false;
        m_mode = Mode::Iconv;
        // Tags are written as plain ASCII bytes beside the encoded text, so the set must keep ASCII as it is.
        std::string probe;
        AppendIconv(probe, L"<a href=\"#x\">Az09;&</a>", false);
        if (probe != "<a href=\"#x\">Az09;&</a>") {
            iconv_close(m_iconv);
            m_iconv = kNoIconv;
            m_mode = Mode::Utf8;
            return false;
        }
    }
    m_charset = std::wstring(key);
    return true;
}

void HtmlEncoder::Append(std::string& out, std::wstring_view text, bool escape) {
    if (m_mode == Mode::Iconv) {
        AppendIconv(out, text, escape);
        return;
    }
    // Most text is runs of ASCII that every supported set writes as the same bytes: each run is found with a
    // table and copied in one step; only the characters between runs take the slow path.
    const PlainTable& plain = escape ? kPlainEscaped : kPlainMarkup;
    const wchar_t* p = text.data();
    const wchar_t* const end = p + text.size();
    while (p != end) {
        const wchar_t* const run = p;
        while (p != end && static_cast<char32_t>(*p) < 0x80 && plain[static_cast<size_t>(*p)]) ++p;
        if (p != run) AppendAsciiRun(out, run, p);
        if (p == end) break;
        AppendOther(out, static_cast<char32_t>(*p++), escape);
    }
}

void HtmlEncoder::AppendUtf8(std::string& out, std::string_view text, bool escape) {
    if (m_mode == Mode::Iconv) {
        tw::Utf8ToWide(text, m_decoded);
        AppendIconv(out, m_decoded, escape);
        return;
    }
    // As Append: ASCII runs copied in one step; in a UTF-8 page a valid sequence of a safe character is its own
    // encoding, so only entities, stray bytes and unsafe characters are rewritten.
    const PlainByteTable& plain = escape ? kPlainEscapedBytes : kPlainMarkupBytes;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const char* const run = p;
        while (p != end && plain[static_cast<unsigned char>(*p)]) ++p;
        if (p != run) out.append(run, p);
        if (p == end) break;
        if (static_cast<unsigned char>(*p) < 0x80) {
            const std::string_view entity = escape ? EntityView(static_cast<unsigned char>(*p)) : std::string_view();
            if (!entity.empty()) {
                out.append(entity);
            } else {
                AppendOther(out, static_cast<unsigned char>(*p), escape);
            }
            ++p;
            continue;
        }
        char32_t c;
        bool valid;
        const size_t length = tw::DecodeUtf8Char(std::string_view(p, static_cast<size_t>(end - p)), c, &valid);
        if (m_mode == Mode::Utf8 && valid && !IsUnsafeChar(c)) {
            out.append(p, length);
        } else {
            AppendOther(out, c, escape);
        }
        p += length;
    }
}

void HtmlEncoder::AppendOther(std::string& out, char32_t c, bool escape) const {
    if (c < 0x80) {
        if (escape) {
            if (const char* entity = EntityFor(c)) {
                out.append(entity);
                return;
            }
        }
        if (!IsUnsafeChar(c)) {
            out.push_back(static_cast<char>(c));
            return;
        }
    }
    if (IsUnsafeChar(c)) c = 0xFFFD;
    switch (m_mode) {
        case Mode::Utf8: tw::AppendUtf8Char(out, c); break;
        case Mode::Latin1:
            if (c <= 0xFF)
                out.push_back(static_cast<char>(c));
            else
                AppendCharRef(out, c);
            break;
        case Mode::Windows1252:
            if (c >= 0xA0 && c <= 0xFF) {
                out.push_back(static_cast<char>(c));
            } else if (const unsigned char byte = Windows1252Byte(c)) {
                out.push_back(static_cast<char>(byte));
            } else {
                AppendCharRef(out, c);
            }
            break;
        default: AppendCharRef(out, c); break;
    }
}

bool HtmlEncoder::MapsOntoAscii(char32_t c) {
    wchar_t unit = static_cast<wchar_t>(c);
    char* in = reinterpret_cast<char*>(&unit);
    size_t inLeft = sizeof unit;
    char bytes[16];
    char* outPtr = bytes;
    size_t outLeft = sizeof bytes;
    const size_t result = iconv(m_iconv, &in, &inLeft, &outPtr, &outLeft);
    iconv(m_iconv, nullptr, nullptr, &outPtr, &outLeft);
    const size_t length = sizeof bytes - outLeft;
    return result != static_cast<size_t>(-1) && length == 1 && static_cast<unsigned char>(bytes[0]) < 0x80;
}

void HtmlEncoder::AppendIconv(std::string& out, std::wstring_view text, bool escape) {
    m_scratch.clear();
    for (const wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (escape && c < 0x80) {
            if (const char* entity = EntityFor(c)) {
                for (const char* p = entity; *p; ++p) m_scratch.push_back(static_cast<wchar_t>(*p));
                continue;
            }
        }
        if (IsUnsafeChar(c)) c = 0xFFFD;
        if ((c >= 0xE0000 && c <= 0xE007F) || (c >= 0x80 && MapsOntoAscii(c))) {
            // glibc's iconv drops the tag characters without a word, and sets such as EUC-JP write the yen sign
            // as the byte of a backslash, which every reader takes for one: they go as references.
            std::string reference;
            AppendCharRef(reference, c);
            m_scratch.append(reference.begin(), reference.end());
            continue;
        }
        m_scratch.push_back(static_cast<wchar_t>(c));
    }
    char* in = reinterpret_cast<char*>(m_scratch.data());
    size_t inLeft = m_scratch.size() * sizeof(wchar_t);
    while (inLeft > 0) {
        const size_t start = out.size();
        const size_t room = inLeft + 16;
        out.resize(start + room);
        char* outPtr = out.data() + start;
        size_t outLeft = room;
        const size_t result = iconv(m_iconv, &in, &inLeft, &outPtr, &outLeft);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        out.resize(start + (room - outLeft));
        if (error == EILSEQ || error == EINVAL) {
            wchar_t c;
            std::memcpy(&c, in, sizeof c);
            AppendCharRef(out, static_cast<char32_t>(c));
            in += sizeof(wchar_t);
            inLeft -= sizeof(wchar_t);
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
    // Ends any shift state, so that every piece stands on its own between the ASCII tags.
    const size_t start = out.size();
    out.resize(start + 16);
    char* outPtr = out.data() + start;
    size_t outLeft = 16;
    iconv(m_iconv, nullptr, nullptr, &outPtr, &outLeft);
    out.resize(start + (16 - outLeft));
}

}  // namespace markup
