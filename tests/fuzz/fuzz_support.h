#pragma once
// Shared by the fuzz harnesses: taking an input apart into texts and numbers, and failing loudly.
//
// Every harness defines LLVMFuzzerTestOneInput (and may define LLVMFuzzerInitialize). The fuzz build links it
// with libFuzzer; the normal build links the same source with replay_main.cpp, which feeds saved inputs through
// it, so a regression input fails the normal test run exactly as it failed the fuzzer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text.h"

namespace fuzz {

// An input read front to back. Texts are separated by the byte 0xFF, which UTF-8 never holds, so a seed file
// of several texts stays readable: "pattern\xFFvalue\xFFreplacement".
class Input {
  public:
    Input(const uint8_t* data, size_t size) : m_text(reinterpret_cast<const char*>(data), size) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    // The bytes up to the next 0xFF (or the end); the 0xFF is consumed.
    std::string_view Bytes() {
        if (m_pos >= m_text.size()) return {};
        const size_t end = m_text.find('\xFF', m_pos);
        const size_t stop = end == std::string_view::npos ? m_text.size() : end;
        const std::string_view part = m_text.substr(m_pos, stop - m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        return part;
    }
    // The next part as the program reads text from files and databases: UTF-8, else Windows-1252.
    std::wstring Text() { return tw::Utf8ToWide(Bytes()); }
    // Everything not read yet.
    std::string_view Rest() {
        const std::string_view rest = m_pos < m_text.size() ? m_text.substr(m_pos) : std::string_view();
        m_pos = m_text.size();
        return rest;
    }
    // One byte (0 at the end), not a separator.
    uint8_t Byte() { return m_pos < m_text.size() ? static_cast<uint8_t>(m_text[m_pos++]) : 0; }

  private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// A text shown in a failure message: UTF-8, control characters as \xNN.
inline std::string Shown(std::wstring_view text) {
    std::string shown;
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\x{%X}", static_cast<unsigned>(c));
            shown += buffer;
        } else {
            tw::AppendUtf8Char(shown, static_cast<char32_t>(c));
        }
    }
    return shown;
}
inline std::string Shown(std::string_view bytes) { return Shown(std::wstring_view(tw::Utf8ToWide(bytes))); }

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzz

// Aborts (a finding for libFuzzer, a failed test in the replay) when condition is false; detail is a
// std::string expression evaluated only then.
#define FUZZ_CHECK(condition, detail)                                               \
    do {                                                                            \
        if (!(condition)) ::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));   \
    } while (0)
