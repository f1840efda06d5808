// The text-file reader's charset detection on arbitrary bytes: a UTF-8 byte-order mark or none (UTF-8, bytes
// that are not valid UTF-8 read as Windows-1252 one by one), or a UTF-16 mark (little or big endian). Where the
// bytes are valid in the detected encoding the text is what iconv decodes; otherwise every character is still
// a valid code point (no surrogates), never more characters than bytes, and the text survives a UTF-8 round
// trip unchanged.
//
// Deliberate difference: glibc's iconv decodes four-byte sequences up to U+1FFFFF, which UTF-8 (RFC 3629) ends
// at U+10FFFF; the reader takes such bytes as Windows-1252, so iconv is no reference for them.

#include <iconv.h>

#include <cerrno>
#include <string>

#include "fuzz_files.h"
#include "fuzz_support.h"
#include "text_file.h"

namespace {

// The text iconv decodes from bytes in encoding, or nullopt when the bytes are not valid in it.
bool Decode(const char* encoding, std::string_view bytes, std::wstring& text) {
    iconv_t converter = iconv_open("WCHAR_T", encoding);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input(bytes);
    std::wstring output(bytes.size() + 4, L'\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = reinterpret_cast<char*>(output.data());
    size_t outLeft = output.size() * sizeof(wchar_t);
    const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return false;
    output.resize(output.size() - outLeft / sizeof(wchar_t));
    text = output;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Scratch::Get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path path = fuzz::Scratch::Get().Write("input.txt", bytes);
    std::wstring text;
    FUZZ_CHECK(JSON::LoadFile(tw::FromPath(path), text), "the file could not be read");
    const std::string where = "bytes '" + fuzz::Shown(bytes) + "', text '" + fuzz::Shown(text) + "'";

    for (const wchar_t c : text) {
        FUZZ_CHECK(static_cast<char32_t>(c) <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF),
                   where + ": not a valid code point");
    }
    FUZZ_CHECK(text.size() <= bytes.size(), where + ": more characters than bytes");
    FUZZ_CHECK(tw::Utf8ToWide(tw::WideToUtf8(text)) == text, where + ": changes through UTF-8");

    std::wstring expected;
    const char* encoding = "UTF-8";
    std::string_view body = bytes;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        body.remove_prefix(3);
    } else if (bytes.starts_with("\xFF\xFE")) {
        encoding = "UTF-16LE";
        body.remove_prefix(2);
    } else if (bytes.starts_with("\xFE\xFF")) {
        encoding = "UTF-16BE";
        body.remove_prefix(2);
    }
    bool beyondUnicode = false;
    if (Decode(encoding, body, expected)) {
        for (const wchar_t c : expected) beyondUnicode = beyondUnicode || static_cast<char32_t>(c) > 0x10FFFF;
    }
    if (!beyondUnicode && Decode(encoding, body, expected)) {
        FUZZ_CHECK(text == expected, where + ": iconv reads " + encoding + " as '" + fuzz::Shown(expected) + "'");
    }
    return 0;
}
