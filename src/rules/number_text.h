#pragma once
// Reading numbers from the leading part of a value text, as markers and converters do. Locale-independent: "."
// is always the decimal point, whatever LC_NUMERIC the GUI has set.

#include <cstddef>
#include <string>
#include <string_view>

namespace rules {

// Leading blanks skipped, an optional sign, then decimal digits up to the first other character; 0 when there are
// no digits. Values beyond the 64-bit range saturate instead of wrapping.
long long ReadInteger(std::wstring_view text);
// The same on a value's UTF-8 bytes: the readers look at ASCII only, so the bytes read as their decoded text.
long long ReadInteger(std::string_view text);

// The longest leading part that forms a decimal number (blanks skipped, optional sign, digits with "." as the
// decimal point, optional exponent); 0 when there is none. Overflow gives an infinity, underflow zero.
double ReadNumber(std::wstring_view text);
double ReadNumber(std::string_view text);

// A cell's text with its integer and decimal readings made at most once each: a marker and a converter on one
// column read the same value. A value read as UTF-8 keeps its bytes and is decoded only when a rule asks for its
// text; the number readings come from the bytes.
class CellValue {
public:
    void Reset(std::wstring_view text) {
        m_text = text;
        m_bytes = {};
        m_read = kDecoded;
    }
    // bytes decode as tw::Utf8ToWide reads them, into decoded, on the first call of Text.
    void ResetUtf8(std::string_view bytes, std::wstring& decoded) {
        m_bytes = bytes;
        m_decoded = &decoded;
        m_read = kHasBytes;
    }
    bool HasBytes() const { return (m_read & kHasBytes) != 0; }
    std::string_view Bytes() const { return m_bytes; }
    std::wstring_view Text() const {
        if (!(m_read & kDecoded)) Decode();
        return m_text;
    }
    long long Integer() const {
        if (!(m_read & kInteger)) {
            m_integer = HasBytes() ? ReadInteger(m_bytes) : ReadInteger(m_text);
            m_read |= kInteger;
        }
        return m_integer;
    }
    double Number() const {
        if (!(m_read & kNumber)) {
            m_number = HasBytes() ? ReadNumber(m_bytes) : ReadNumber(m_text);
            m_read |= kNumber;
        }
        return m_number;
    }

private:
    static constexpr unsigned kInteger = 1, kNumber = 2, kHasBytes = 4, kDecoded = 8;
    void Decode() const;
    mutable std::wstring_view m_text;
    std::string_view m_bytes;
    std::wstring* m_decoded = nullptr;
    mutable unsigned m_read = kDecoded;
    mutable long long m_integer = 0;
    mutable double m_number = 0;
};

// value with precision decimals, as printf's "%.<precision>f" and std::to_chars(fixed) write it (the exact
// binary value rounded half to even), into out (room for 32 characters). Returns the length, or 0 when the
// value lies outside the quick path (not finite, precision above 17, or more than 18 digits in all); the caller
// then formats it the general way.
size_t FormatFixedQuick(double value, int precision, char* out);

// Ordinal comparison as UTF-16 code units would order the texts, case-sensitive, a proper prefix first:
// negative, zero or positive.
int CompareOrdinal(std::wstring_view a, std::wstring_view b);

}  // namespace rules
