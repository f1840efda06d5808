#include "cparse.h"

#include <string_view>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }

bool IsIdentStart(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c > 127; }

bool IsIdentChar(wchar_t c) { return IsIdentStart(c) || (c >= L'0' && c <= L'9') || c == L'$'; }

// Length of a dollar-quote delimiter ($$ or $tag$) starting at pos, 0 when there is none. A "$" inside an
// identifier (PostgreSQL allows a$b) or followed by a digit ($1, a parameter) does not open a quote.
size_t DollarTag(std::wstring_view text, size_t pos) {
    if (pos > 0 && IsIdentChar(text[pos - 1])) return 0;
    size_t end = pos + 1;
    if (end < text.size() && text[end] != L'$') {
        if (!IsIdentStart(text[end])) return 0;
        while (end < text.size() && text[end] != L'$') {
            if (!IsIdentChar(text[end])) return 0;
            ++end;
        }
    }
    if (end >= text.size()) return 0;
    return end - pos + 1;
}

// Position just past the quoted part that starts at pos with the quote character; a doubled closing quote is
// part of the text ('it''s'). With backslashEscapes (PostgreSQL's E'...') a backslash takes the next character.
size_t SkipQuoted(std::wstring_view text, size_t pos, wchar_t close, bool backslashEscapes) {
    size_t i = pos + 1;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (backslashEscapes && c == L'\\') {
            i += 2;
            continue;
        }
        if (c == close) {
            if (close != L']' && i + 1 < text.size() && text[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return text.size();
}

std::wstring_view Trim(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

int CParse::Parse(const std::wstring& script, int) {
    m_statements.clear();
    const std::wstring_view text(script);
    size_t start = 0;
    // Whether the current statement holds anything but blanks and comments.
    bool hasCode = false;
    auto finish = [&](size_t end) {
        if (hasCode) m_statements.emplace_back(Trim(text.substr(start, end - start)));
        hasCode = false;
    };

    size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        if (c == L'-' && next == L'-') {
            const size_t eol = text.find(L'\n', i);
            i = eol == std::wstring_view::npos ? text.size() : eol + 1;
        } else if (c == L'/' && next == L'*') {
            const size_t close = text.find(L"*/", i + 2);
            i = close == std::wstring_view::npos ? text.size() : close + 2;
        } else if (c == L';') {
            finish(i);
            start = ++i;
        } else if (c == L'\'' || c == L'"' || c == L'`' || c == L'[') {
            const bool escapes = c == L'\'' && i > 0 && (text[i - 1] == L'E' || text[i - 1] == L'e') &&
                                 (i < 2 || !IsIdentChar(text[i - 2]));
            i = SkipQuoted(text, i, c == L'[' ? L']' : c, escapes);
            hasCode = true;
        } else if (c == L'$') {
            hasCode = true;
            const size_t tagLength = DollarTag(text, i);
            if (tagLength == 0) {
                ++i;
                continue;
            }
            const std::wstring_view tag = text.substr(i, tagLength);
            const size_t close = text.find(tag, i + tagLength);
            i = close == std::wstring_view::npos ? text.size() : close + tagLength;
        } else {
            if (!IsBlank(c)) hasCode = true;
            ++i;
        }
    }
    finish(text.size());
    return Count();
}
