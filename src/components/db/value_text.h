#pragma once
// Shared by the backends: turning native values into the texts that GetValue hands out, so that the same value
// reads the same on every backend. Every function writes into out and reuses its capacity.

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::db {

// ASCII bytes (numbers, dates) widened one to one.
void AssignAscii(std::string_view bytes, std::wstring& out);
void AssignAscii(std::string_view bytes, std::string& out);
// A backend's UTF-8 text: decoded into wide text, or kept as its bytes.
void AssignUtf8(std::string_view text, std::wstring& out);
void AssignUtf8(std::string_view text, std::string& out);
// A double with at most 15 significant digits (printf's %.15g); NaN, Infinity and -Infinity spelled so.
void AssignDouble(double value, std::wstring& out);
// The same as UTF-8 (ASCII) bytes.
void AssignDouble(double value, std::string& out);
// A float in the shortest text that reads back to the same float, with an exponent below 1e-4 and from 1e6 on.
void AssignFloat(float value, std::wstring& out);
// A floating value printed by a server, reprinted as above; text that is no number stays as it is.
void AssignDoubleText(std::string_view text, bool singlePrecision, std::wstring& out);
void AssignDoubleText(std::string_view text, bool singlePrecision, std::string& out);
// Bytes as upper-case hexadecimal, two digits a byte.
void AssignHex(const void* bytes, size_t size, std::wstring& out);
void AssignHex(const void* bytes, size_t size, std::string& out);
// A time or timestamp text with trailing zeros of its fraction dropped ("12:00:00.500000" gives
// "12:00:00.5", "12:00:00.000" gives "12:00:00").
void AssignTimeText(std::string_view text, std::wstring& out);
void AssignTimeText(std::string_view text, std::string& out);
// UTF-16 code units (ODBC's SQLWCHAR) to wide text; unpaired surrogates become U+FFFD.
void AssignUtf16(const char16_t* units, size_t count, std::wstring& out);

// The fraction trimmed off a time text, as above, without the conversion.
std::string_view TrimTimeFraction(std::string_view text);

}  // namespace tw::db
