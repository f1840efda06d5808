#include "dates.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <limits>

#include "text.h"

namespace {

// Tokens are tried longest first at each position, so YYYY is never read as two YY.
enum class Token { None, Year4, Year2, Day, Month, Hour, Minute, Second };

struct TokenText {
    std::wstring_view text;
    Token token;
};

constexpr TokenText kDateTokens[] = {
    {L"YYYY", Token::Year4}, {L"YY", Token::Year2}, {L"DD", Token::Day}, {L"MM", Token::Month}};
constexpr TokenText kTimeTokens[] = {{L"HH", Token::Hour}, {L"MM", Token::Minute}, {L"SS", Token::Second}};

template <size_t N>
Token TokenAt(std::wstring_view format, size_t position, const TokenText (&tokens)[N], size_t& length) {
    for (const auto& candidate : tokens) {
        if (format.substr(position, candidate.text.size()) == candidate.text) {
            length = candidate.text.size();
            return candidate.token;
        }
    }
    length = 1;
    return Token::None;
}

void AppendNumber(std::wstring& out, int value, int width) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%0*d", width, value);
    out += buffer;
}

template <size_t N>
std::wstring Format(std::wstring_view format, const std::tm& now, const TokenText (&tokens)[N]) {
    std::wstring out;
    out.reserve(format.size() + 4);
    for (size_t i = 0; i < format.size();) {
        size_t length;
        switch (TokenAt(format, i, tokens, length)) {
            case Token::Year4:
                AppendNumber(out, now.tm_year + 1900, 4);
                break;
            case Token::Year2:
                AppendNumber(out, ((now.tm_year + 1900) % 100 + 100) % 100, 2);
                break;
            case Token::Day:
                AppendNumber(out, now.tm_mday, 2);
                break;
            case Token::Month:
                AppendNumber(out, now.tm_mon + 1, 2);
                break;
            case Token::Hour:
                AppendNumber(out, now.tm_hour, 2);
                break;
            case Token::Minute:
                AppendNumber(out, now.tm_min, 2);
                break;
            case Token::Second:
                AppendNumber(out, now.tm_sec, 2);
                break;
            case Token::None:
                out.push_back(format[i]);
                break;
        }
        i += length;
    }
    return out;
}

// Reads between minDigits and maxDigits ASCII digits at position; false when there are fewer than minDigits.
template <typename Char>
bool ReadDigits(std::basic_string_view<Char> value, size_t& position, size_t minDigits, size_t maxDigits,
                int& number) {
    number = 0;
    size_t count = 0;
    while (count < maxDigits && position < value.size() && value[position] >= '0' && value[position] <= '9') {
        number = number * 10 + (value[position] - '0');
        ++position;
        ++count;
    }
    return count >= minDigits;
}

}  // namespace

std::wstring FormatDate(std::wstring_view format, const std::tm& now) {
    return Format(format, now, kDateTokens);
}

std::wstring FormatTime(std::wstring_view format, const std::tm& now) {
    return Format(format, now, kTimeTokens);
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::wstring DateAndTimeMacros(std::wstring_view text, std::wstring_view dateFormat,
                               std::wstring_view timeFormat, const std::tm& now) {
    std::wstring out(text);
    if (out.find(L'$') == std::wstring::npos) return out;
    if (out.find(L"$DATE$") != std::wstring::npos) tw::ReplaceAll(out, L"$DATE$", FormatDate(dateFormat, now));
    if (out.find(L"$TIME$") != std::wstring::npos) tw::ReplaceAll(out, L"$TIME$", FormatTime(timeFormat, now));
    return out;
}

std::wstring DateAndTimeMacros(std::wstring_view text, std::wstring_view dateFormat,
                               std::wstring_view timeFormat) {
    return DateAndTimeMacros(text, dateFormat, timeFormat, LocalNow());
}

namespace {

DatePattern::Part PartOf(Token token) {
    switch (token) {
        case Token::Year4:
            return DatePattern::Part::Year4;
        case Token::Year2:
            return DatePattern::Part::Year2;
        case Token::Day:
            return DatePattern::Part::Day;
        case Token::Month:
            return DatePattern::Part::Month;
        default:
            return DatePattern::Part::Literal;
    }
}

wchar_t CodeUnit(wchar_t c) { return c; }
// A byte from 0x80 up is no character of its own: it matches no literal (callers give ASCII bytes).
wchar_t CodeUnit(char c) { return static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : WCHAR_MAX; }

// The scan over a sequence of pattern items; next(item) yields the items in order and false at the end.
template <typename Char, typename Next>
int ScanDate(std::basic_string_view<Char> value, int& day, int& month, int& year, int mode, Next next, int minYear,
             int maxYear) {
    // Mode 0 also accepts one-digit days and months; any other mode wants every field at its full width.
    const size_t shortest = mode == 0 ? 1 : 2;
    int foundDay = 0, foundMonth = 0, foundYear = 0;
    bool hasYear = false;
    size_t position = 0;
    auto noMatch = [&] {
        day = month = 0;
        return 0;
    };
    DatePattern::Item item{};
    while (next(item)) {
        int number = 0;
        switch (item.part) {
            case DatePattern::Part::Year4:
                if (!ReadDigits(value, position, 4, 4, number)) return noMatch();
                foundYear = number, hasYear = true;
                break;
            case DatePattern::Part::Year2:
                if (!ReadDigits(value, position, 2, 2, number)) return noMatch();
                // The POSIX rule for two-digit years: 69-99 are 1969-1999, 00-68 are 2000-2068.
                foundYear = number >= 69 ? 1900 + number : 2000 + number, hasYear = true;
                break;
            case DatePattern::Part::Day:
                if (!ReadDigits(value, position, shortest, 2, number) || number < 1 || number > 31)
                    return noMatch();
                foundDay = number;
                break;
            case DatePattern::Part::Month:
                if (!ReadDigits(value, position, shortest, 2, number) || number < 1 || number > 12)
                    return noMatch();
                foundMonth = number;
                break;
            case DatePattern::Part::Literal:
                if (position >= value.size() || CodeUnit(value[position]) != item.literal) return noMatch();
                ++position;
        }
    }
    if (hasYear && (foundYear < minYear || foundYear > maxYear)) return noMatch();
    day = foundDay;
    month = foundMonth;
    if (hasYear) year = foundYear;
    return static_cast<int>(position);
}

}  // namespace

int DateScanLowLevel(std::wstring_view value, int& day, int& month, int& year, int mode,
                     std::wstring_view pattern, int minYear, int maxYear) {
    size_t i = 0;
    auto next = [&](DatePattern::Item& item) {
        if (i >= pattern.size()) return false;
        size_t length;
        item.part = PartOf(TokenAt(pattern, i, kDateTokens, length));
        item.literal = pattern[i];
        i += length;
        return true;
    };
    return ScanDate(value, day, month, year, mode, next, minYear, maxYear);
}

DatePattern PrepareDatePattern(std::wstring_view pattern) {
    DatePattern prepared;
    for (size_t i = 0; i < pattern.size();) {
        size_t length;
        prepared.items.push_back({PartOf(TokenAt(pattern, i, kDateTokens, length)), pattern[i]});
        i += length;
    }
    return prepared;
}

namespace {

template <typename Char>
int ScanPrepared(std::basic_string_view<Char> value, int& day, int& month, int& year, int mode,
                 const DatePattern& pattern, int minYear, int maxYear) {
    auto item = pattern.items.begin();
    auto next = [&](DatePattern::Item& out) {
        if (item == pattern.items.end()) return false;
        out = *item++;
        return true;
    };
    return ScanDate(value, day, month, year, mode, next, minYear, maxYear);
}

}  // namespace

int DateScanPrepared(std::wstring_view value, int& day, int& month, int& year, int mode, const DatePattern& pattern,
                     int minYear, int maxYear) {
    return ScanPrepared(value, day, month, year, mode, pattern, minYear, maxYear);
}

int DateScanPrepared(std::string_view value, int& day, int& month, int& year, int mode, const DatePattern& pattern,
                     int minYear, int maxYear) {
    return ScanPrepared(value, day, month, year, mode, pattern, minYear, maxYear);
}

namespace FMT {

std::wstring FormatInteger(long long value) {
    // The magnitude as unsigned, so that LLONG_MIN has one.
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    wchar_t buffer[32];
    size_t position = sizeof buffer / sizeof buffer[0];
    int digits = 0;
    do {
        if (digits && digits % 3 == 0) buffer[--position] = L',';
        buffer[--position] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude);
    if (value < 0) buffer[--position] = L'-';
    return std::wstring(buffer + position, sizeof buffer / sizeof buffer[0] - position);
}

}  // namespace FMT

void _TimeCounter::Start() {
    m_start = m_stop = std::chrono::steady_clock::now();
    m_running = true;
}

void _TimeCounter::Stop() {
    if (!m_running) return;
    m_stop = std::chrono::steady_clock::now();
    m_running = false;
}

double _TimeCounter::Seconds() const {
    const auto end = m_running ? std::chrono::steady_clock::now() : m_stop;
    return std::chrono::duration<double>(end - m_start).count();
}

std::wstring _TimeCounter::PerSecond(long long rows) const {
    const double seconds = Seconds();
    if (!(seconds > 0) || rows <= 0) return L"0";
    const double rate = std::round(static_cast<double>(rows) / seconds);
    // A huge rate over a tiny interval is capped rather than overflowing the conversion.
    if (!(rate < 9.2e18)) return FMT::FormatInteger(std::numeric_limits<long long>::max());
    return FMT::FormatInteger(static_cast<long long>(rate));
}
