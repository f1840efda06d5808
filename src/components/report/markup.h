#pragma once
// Escaping and character encoding shared by the markup writers (HTML, XML, SpreadsheetML). Every function
// appends straight into the caller's output buffer, so the per-cell path allocates nothing of its own.

#include <iconv.h>

#include <memory>
#include <string>
#include <string_view>

namespace markup {

// True for characters a markup file must not carry: C0 controls other than tab, line feed and carriage return,
// DEL and the C1 controls, surrogates, noncharacters and anything above U+10FFFF. XML 1.0 forbids most of them
// and HTML parsers report them all; they are written as U+FFFD instead.
inline bool IsUnsafeChar(char32_t c) {
    if (c < 0x20) return c != 0x09 && c != 0x0A && c != 0x0D;
    if (c < 0x7F) return false;
    if (c <= 0x9F) return true;
    if (c >= 0xD800 && c <= 0xDFFF) return true;
    if (c >= 0xFDD0 && c <= 0xFDEF) return true;
    if ((c & 0xFFFE) == 0xFFFE) return true;
    return c > 0x10FFFF;
}

// Appends text as UTF-8 XML character data or attribute value: & < > " ' escaped, a carriage return as &#13;
// (parsers would fold it into a line feed), unsafe characters as U+FFFD.
void AppendXmlEscaped(std::string& out, std::wstring_view text);
// The same for UTF-8 bytes as tw::Utf8ToWide reads them (a stray byte is its Windows-1252 character): valid
// sequences of safe characters are copied as they stand.
void AppendXmlEscapedUtf8(std::string& out, std::string_view text);
// The same for an attribute value, with tab and line feed also as character references: a parser turns them
// into spaces in an attribute (attribute-value normalization).
void AppendXmlAttributeEscaped(std::string& out, std::wstring_view text);

// True when value is a number written the canonical way: an optional minus, no leading zeros, no plus sign,
// no exponent, no trailing zeros after a decimal point, at most 15 significant digits (what a double keeps).
bool IsCanonicalNumber(std::wstring_view value);

// Encodes HTML text in a page's character set. Characters the set cannot hold become numeric character
// references, so nothing is lost whatever the set.
class HtmlEncoder {
public:
    HtmlEncoder();
    ~HtmlEncoder();
    HtmlEncoder(const HtmlEncoder&) = delete;
    HtmlEncoder& operator=(const HtmlEncoder&) = delete;

    // Chooses the character set by its name (any case): utf-8, iso-8859-1, windows-1252 and us-ascii are built
    // in, any other ASCII-compatible set goes through iconv. False when the name is unknown or unusable for a
    // page (UTF-16, EBCDIC); the encoder then stays on UTF-8.
    bool SetCharset(std::wstring_view name);
    // The name to declare in the page: the one given, or "utf-8".
    const std::wstring& Charset() const { return m_charset; }

    // True when each character's bytes depend on that character alone (every set but those through iconv), so
    // that a text may be encoded piece by piece.
    bool EncodesPieceByPiece() const { return m_mode != Mode::Iconv; }
    // Appends text; escape 1 escapes & < > " ' (text and attribute values), 0 passes markup through.
    void Append(std::string& out, std::wstring_view text, bool escape);
    // The same for UTF-8 bytes as tw::Utf8ToWide reads them (a stray byte is its Windows-1252 character), without
    // widening them first: in a UTF-8 page valid sequences are copied as they stand.
    void AppendUtf8(std::string& out, std::string_view text, bool escape);

private:
    enum class Mode { Utf8, Latin1, Windows1252, Ascii, Iconv };
    void AppendIconv(std::string& out, std::wstring_view text, bool escape);
    // True when iconv writes the non-ASCII character c as a single ASCII byte (the yen sign in EUC-JP).
    bool MapsOntoAscii(char32_t c);
    // One character outside a plain ASCII run: an entity, a non-ASCII or unsafe character.
    void AppendOther(std::string& out, char32_t c, bool escape) const;

    Mode m_mode = Mode::Utf8;
    std::wstring m_charset = L"utf-8";
    iconv_t m_iconv = reinterpret_cast<iconv_t>(-1);
    std::wstring m_scratch;  // escaped text waiting for iconv, reused
    std::wstring m_decoded;  // UTF-8 text decoded for iconv, reused
};

}  // namespace markup
