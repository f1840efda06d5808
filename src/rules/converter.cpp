#include "converter.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <iterator>
#include <new>

#include <pthread.h>

#include "dates.h"
#include "fld_desc.h"
#include "host.h"
#include "number_text.h"
#include "plain_decimal.h"
#include "text.h"

namespace {

using rules::BudgetIterator;
using MatchIterator = std::regex_iterator<BudgetIterator>;
using BudgetMatch = std::match_results<BudgetIterator>;

// Whether a number's text has a decimal point; a loop, since numbers are too short for a library search to pay.
template <typename Char>
bool HasPoint(std::basic_string_view<Char> value) {
    for (const Char c : value) {
        if (c == '.') return true;
    }
    return false;
}

// printf's "%0<width>d" into buffer (room for 16 characters).
template <typename Char>
std::basic_string_view<Char> FormatPadded(Char* buffer, int number, int width) {
    if (number >= 0 && number < 10000 && width <= 4) {
        // Days, months and years: at most four digits, written from the right with the zeros of the padding.
        const int count = number >= 1000 ? 4 : number >= 100 ? 3 : number >= 10 ? 2 : 1;
        const int length = count > width ? count : width;
        for (int i = length - 1; i >= 0; --i) {
            buffer[i] = static_cast<Char>('0' + number % 10);
            number /= 10;
        }
        return {buffer, static_cast<size_t>(length)};
    }
    Char digits[16];
    int count = 0;
    unsigned magnitude = number < 0 ? 0U - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        digits[count++] = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t length = 0;
    if (number < 0) buffer[length++] = '-';
    for (int pad = width - count - (number < 0 ? 1 : 0); pad > 0; --pad) buffer[length++] = '0';
    while (count > 0) buffer[length++] = digits[--count];
    return {buffer, length};
}

// The text FMT::FormatInteger gives ("," every three digits), written straight into out (wide text or UTF-8).
template <typename String>
void AppendGrouped(String& out, long long value) {
    using Char = typename String::value_type;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    Char text[32];
    Char* const end = text + std::size(text);
    Char* first = end;
    int count = 0;
    do {
        if (count++ == 3) {
            *--first = ',';
            count = 1;
        }
        *--first = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--first = '-';
    out.append(first, static_cast<size_t>(end - first));
}

// Appends the ASCII characters [first, last) to out, widened in place for wide text: append(first, last) of
// narrow characters would build a temporary string.
template <typename String>
void AppendAscii(String& out, size_t pad, const char* first, const char* last) {
    const size_t start = out.size();
    out.resize(start + pad + static_cast<size_t>(last - first));
    auto* target = out.data() + start;
    for (size_t i = 0; i < pad; ++i) *target++ = ' ';
    for (const char* c = first; c != last; ++c) *target++ = static_cast<typename String::value_type>(*c);
}

// printf's "%<Digits>.<Pres>f" with "." as the decimal point whatever the locale.
template <typename String>
void AppendFixed(String& out, double value, int digits, int pres) {
    const int precision = pres > 0 ? pres : 6;
    char quick[32];
    if (const size_t length = rules::FormatFixedQuick(value, precision, quick)) {
        const size_t pad = digits > static_cast<int>(length) ? static_cast<size_t>(digits) - length : 0;
        AppendAscii(out, pad, quick, quick + length);
        return;
    }
    char small[400];
    std::string large;
    char* begin = small;
    auto result = std::to_chars(small, small + sizeof small, value, std::chars_format::fixed, precision);
    if (result.ec != std::errc()) {
        // A huge value or precision: 310 integer digits at most, plus sign, point and decimals.
        large.resize(static_cast<size_t>(precision) + 320);
        begin = large.data();
        result = std::to_chars(begin, begin + large.size(), value, std::chars_format::fixed, precision);
    }
    const auto length = static_cast<int>(result.ptr - begin);
    AppendAscii(out, digits > length ? static_cast<size_t>(digits - length) : 0, begin, result.ptr);
}

// printf's "%<Digits>.<Pres>f" straight from the text, when the text is a plain decimal ("-12.5": no sign but
// "-", no leading zeros, nothing after the digits) with at most Pres decimals and at most 15 digits before the
// point plus Pres. The nearest double then lies within a quarter of a unit of the last decimal of the text
// (2^-52 relative, below 0.5 x 10^-Pres), so printing it rounds back to the text: the same result as the full
// path, without reading or printing a double. False (out untouched) for any other text.
template <typename String>
bool AppendFixedFromText(String& out, std::basic_string_view<typename String::value_type> value, int digits,
                         int pres) {
    const int precision = pres > 0 ? pres : 6;
    tw::PlainDecimal parts;
    if (!tw::ScanPlainDecimal(value, parts)) return false;
    const size_t fracDigits = parts.fracDigits;
    if (fracDigits > static_cast<size_t>(precision) || parts.intDigits + static_cast<size_t>(precision) > 15)
        return false;
    const size_t zeros = static_cast<size_t>(precision) - fracDigits;
    const size_t length = value.size() + (fracDigits == 0 ? 1 : 0) + zeros;
    const size_t pad = digits > static_cast<int>(length) ? static_cast<size_t>(digits) - length : 0;
    // One growth of out, then the characters through a pointer.
    const size_t start = out.size();
    out.resize(start + pad + length);
    auto* target = out.data() + start;
    for (size_t i = 0; i < pad; ++i) *target++ = ' ';
    for (const auto c : value) *target++ = c;
    if (fracDigits == 0) *target++ = '.';
    for (size_t i = 0; i < zeros; ++i) *target++ = '0';
    return true;
}

// Replaces every occurrence of token in out from position start on, left to right, without rescanning the
// inserted text.
void ReplaceToken(std::wstring& out, size_t start, std::wstring_view token, std::wstring_view text) {
    for (size_t pos = out.find(token, start); pos != std::wstring::npos; pos = out.find(token, pos + text.size())) {
        out.replace(pos, token.size(), text);
    }
}

constexpr std::wstring_view kMonthNames[] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                      L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};
constexpr std::string_view kMonthNamesUtf8[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Placeholders for the tokens of DateTo in its prepared template: private-use characters, which, like the
// digits they stand for, never form a token.
constexpr wchar_t kYearSlot = 0xE000, kMonthSlot = 0xE001, kDaySlot = 0xE002, kMonthNameSlot = 0xE003;

void PrepareDate(Converter& converter) {
    if (converter.datePrepared && converter.datePatternFrom == converter.DateFrom &&
        converter.dateTemplateTo == converter.DateTo) {
        return;
    }
    converter.datePattern = PrepareDatePattern(converter.DateFrom);
    converter.datePatternFrom = converter.DateFrom;
    converter.dateTemplateTo = converter.DateTo;
    converter.dateFullYear = converter.DateTo.find(L"YYYY") != std::wstring::npos;
    converter.dateTemplateUsable = true;
    for (const wchar_t c : converter.DateTo) {
        if (c >= kYearSlot && c <= kMonthNameSlot) converter.dateTemplateUsable = false;
    }
    std::wstring& pattern = converter.dateTemplate;
    pattern = converter.DateTo;
    // The same replacements, in the same order, as the per-value rewrite below.
    ReplaceToken(pattern, 0, L"YYYY", std::wstring_view(&kYearSlot, 1));
    ReplaceToken(pattern, 0, L"YY", std::wstring_view(&kYearSlot, 1));
    ReplaceToken(pattern, 0, L"MM", std::wstring_view(&kMonthSlot, 1));
    ReplaceToken(pattern, 0, L"DD", std::wstring_view(&kDaySlot, 1));
    ReplaceToken(pattern, 0, L"MON", std::wstring_view(&kMonthNameSlot, 1));
    converter.datePrepared = true;
}

bool AppendTemplateChar(std::wstring& out, wchar_t c) {
    out += c;
    return true;
}
bool AppendTemplateChar(std::string& out, wchar_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return false;  // no UTF-8 of its own: the writer's text path handles it
    } else {
        tw::AppendUtf8Char(out, static_cast<char32_t>(c));
    }
    return true;
}

// The prepared template of DateTo with the fields of a date, into out (wide text or UTF-8); false for UTF-8 at
// a character of DateTo that has none.
template <typename String>
bool FillDateTemplate(const Converter& converter, int day, int month, int year, String& out) {
    using Char = typename String::value_type;
    Char dayText[16], monthText[16], yearText[16];
    const bool fullYear = converter.dateFullYear;
    const auto dayView = FormatPadded(dayText, day, 2);
    const auto monthView = FormatPadded(monthText, month, 2);
    const auto yearView = FormatPadded(yearText, fullYear ? year : year % 100, fullYear ? 4 : 2);
    for (const wchar_t c : converter.dateTemplate) {
        switch (c) {
            case kYearSlot:
                out += yearView;
                break;
            case kMonthSlot:
                out += monthView;
                break;
            case kDaySlot:
                out += dayView;
                break;
            case kMonthNameSlot: {
                const std::string_view name = month >= 1 && month <= 12 ? kMonthNamesUtf8[month - 1] : "MON";
                AppendAscii(out, 0, name.data(), name.data() + name.size());
                break;
            }
            default:
                if (!AppendTemplateChar(out, c)) return false;
        }
    }
    return true;
}

// Whether text holds a letter that begins a token of DateTo.
template <typename Char>
bool HasTokenLetter(std::basic_string_view<Char> text) {
    for (const Char c : text) {
        if (c == 'Y' || c == 'M' || c == 'D' || c == 'O' || c == 'N') return true;
    }
    return false;
}

// The date rewrite; false when the scanner does not accept the value (it then stays as it is).
bool AppendDate(Converter& converter, std::wstring_view value, std::wstring& out) {
    PrepareDate(converter);
    int day = 0, month = 0, year = 0;
    DateScanPrepared(value, day, month, year, 1, converter.datePattern, 1900, 2100);
    if (day == 0 || month == 0) return false;
    // The tail after the pattern's length (a time part, say) is carried, and its tokens are replaced too.
    const std::wstring_view tail =
        value.size() > converter.DateFrom.size() ? value.substr(converter.DateFrom.size()) : std::wstring_view();
    // A tail without any token letter takes no part in the replacements, so the prepared template serves.
    if (converter.dateTemplateUsable && !HasTokenLetter(tail)) {
        FillDateTemplate(converter, day, month, year, out);
        out += tail;
        return true;
    }

    wchar_t dayText[16], monthText[16], yearText[16];
    const bool fullYear = converter.dateFullYear;
    const std::wstring_view dayView = FormatPadded(dayText, day, 2);
    const std::wstring_view monthView = FormatPadded(monthText, month, 2);
    const std::wstring_view yearView = FormatPadded(yearText, fullYear ? year : year % 100, fullYear ? 4 : 2);
    const size_t start = out.size();
    out += converter.DateTo;
    out += tail;
    ReplaceToken(out, start, L"YYYY", yearView);
    ReplaceToken(out, start, L"YY", yearView);
    ReplaceToken(out, start, L"MM", monthView);
    ReplaceToken(out, start, L"DD", dayView);
    if (month >= 1 && month <= 12) ReplaceToken(out, start, L"MON", kMonthNames[month - 1]);
    return true;
}

// AppendDate on UTF-8 bytes into UTF-8, for a value whose scanned part (as long as DateFrom) is ASCII and whose
// tail holds no token letter, with a usable template: false for any other value, which then needs its text.
// converted is the value itself when the scanner does not accept it, as AppendDate leaves it.
bool AppendDateUtf8(Converter& converter, std::string_view value, std::string& out, std::string_view& converted) {
    PrepareDate(converter);
    if (!converter.dateTemplateUsable) return false;
    const size_t patternLength = converter.DateFrom.size();
    const size_t scanned = value.size() < patternLength ? value.size() : patternLength;
    for (size_t i = 0; i < scanned; ++i) {
        if (static_cast<unsigned char>(value[i]) >= 0x80) return false;
    }
    // Past the ASCII part character and byte positions agree, so the tail is the text's tail, encoded.
    const std::string_view tail = value.size() > patternLength ? value.substr(patternLength) : std::string_view();
    if (HasTokenLetter(tail)) return false;
    int day = 0, month = 0, year = 0;
    DateScanPrepared(value, day, month, year, 1, converter.datePattern, 1900, 2100);
    if (day == 0 || month == 0) {
        converted = value;
        return true;
    }
    out.clear();
    if (!FillDateTemplate(converter, day, month, year, out)) return false;
    out += tail;
    converted = out;
    return true;
}

void ReportFailure(Converter& converter, std::wstring_view text) {
    if (converter.errorReported) return;
    converter.errorReported = true;
    converter.reportedText.assign(text);
    Host().MessageBox(text, L"Error", MessageIcon::Error);
}

enum class MatchOutcome { Done, Failed, TooComplex };

// The message when a value needs more matching steps than its budget allows.
std::wstring TooComplexText(const Converter& converter) {
    return L"The regular expression '" + converter.RegexFrom + L"' of the converter of column '" + converter.Column +
           L"' is too complex for the value: matching it would take too long.";
}

// Every non-overlapping match replaced, appended to out; the matcher's error text when it fails, TooComplex when
// the value's step budget ran out. Safe to run on a helper thread: it touches only its arguments (and the
// thread's own budget).
MatchOutcome AppendReplaced(const std::wregex& expression, std::wstring_view replacement, std::wstring_view value,
                            bool anchored, std::wstring& out, std::wstring& error) {
    const wchar_t* begin = value.data();
    const wchar_t* end = begin + value.size();
    BudgetIterator::SetBudget(rules::RegexStepBudget(value.size()));
    try {
        if (anchored) {
            // Only the search from the start can match; a non-empty match there is the only one, so the
            // searches from every later position that the iterator would try are skipped.
            BudgetMatch match;
            if (!std::regex_search(BudgetIterator(begin), BudgetIterator(end), match, expression)) {
                out.append(begin, end);
                return MatchOutcome::Done;
            }
            if (match[0].first.Pointer() != match[0].second.Pointer()) {
                out.append(begin, match[0].first.Pointer());
                AppendSubstitution(out, replacement, match, value);
                out.append(match[0].second.Pointer(), end);
                return MatchOutcome::Done;
            }
        }
        const wchar_t* copied = begin;
        for (MatchIterator it(BudgetIterator(begin), BudgetIterator(end), expression), last; it != last; ++it) {
            const auto& match = *it;
            out.append(copied, match[0].first.Pointer());
            AppendSubstitution(out, replacement, match, value);
            copied = match[0].second.Pointer();
        }
        out.append(copied, end);
    } catch (const rules::RegexBudgetExceeded&) {
        return MatchOutcome::TooComplex;
    } catch (const std::regex_error& exception) {
        error = tw::Utf8ToWide(exception.what());
        return MatchOutcome::Failed;
    } catch (const std::bad_alloc&) {
        error = L"Out of memory while matching the regular expression.";
        return MatchOutcome::Failed;
    }
    return MatchOutcome::Done;
}

// The standard library's matcher recurses once or more per character of the value, so a long value (some
// ten thousand characters for ".*") would overflow the stack of the run. Such values are matched on a helper
// thread whose stack is sized from the value and the expression. The estimate is generous (measured needs are
// 300 to 1,100 bytes per character for short expressions).
size_t StackEstimate(size_t valueLength, size_t expressionLength) {
    return valueLength * 2 * (200 + 150 * expressionLength) + (256u << 10);
}
constexpr size_t kInlineStack = 4u << 20;             // well within the 8 MiB a process's main thread has
constexpr size_t kMaxHelperStack = size_t{16} << 30;  // address space only: pages are touched as used

struct MatchJob {
    const std::wregex* expression;
    std::wstring_view replacement, value;
    bool anchored;
    std::wstring* out;
    std::wstring error;
    MatchOutcome outcome = MatchOutcome::Failed;
};

void* RunMatchJob(void* argument) {
    auto* job = static_cast<MatchJob*>(argument);
    try {
        job->outcome = AppendReplaced(*job->expression, job->replacement, job->value, job->anchored, *job->out,
                                      job->error);
    } catch (...) {
        job->outcome = MatchOutcome::Failed;
        job->error = L"The regular expression could not be matched.";
    }
    return nullptr;
}

MatchOutcome AppendReplacedOnHelper(const std::wregex& expression, std::wstring_view replacement,
                                    std::wstring_view value, bool anchored, size_t stackSize, std::wstring& out,
                                    std::wstring& error) {
    const wchar_t* const tooLong = L"The value is too long for the regular expression.";
    if (stackSize > kMaxHelperStack) {
        error = tooLong;
        return MatchOutcome::Failed;
    }
    MatchJob job{&expression, replacement, value, anchored, &out, {}, MatchOutcome::Failed};
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        error = tooLong;
        return MatchOutcome::Failed;
    }
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, stackSize) == 0 &&
                         pthread_create(&thread, &attributes, RunMatchJob, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        error = tooLong;
        return MatchOutcome::Failed;
    }
    pthread_join(thread, nullptr);
    if (job.outcome == MatchOutcome::Failed) error = std::move(job.error);
    return job.outcome;
}

// True when every match of expression must begin at the start of the value: it opens with "^" (which matches
// only there: the expression is not multiline), the "^" carries no quantifier and no alternative can do
// without it. Conservative: any "|", escaped or not, says no.
bool AnchoredAtStart(std::wstring_view expression) {
    if (expression.empty() || expression.front() != L'^') return false;
    if (expression.size() > 1 && std::wstring_view(L"*+?{").find(expression[1]) != std::wstring_view::npos) {
        return false;
    }
    return expression.find(L'|') == std::wstring_view::npos;
}

// The replacement applied to one match, given as offsets into subject; appendGroup(index) appends a group's text
// (nothing when it did not take part).
template <class AppendGroup>
void ApplyReplacement(std::wstring& out, const CompiledReplacement& replacement, size_t matchFirst,
                      size_t matchSecond, std::wstring_view subject, const AppendGroup& appendGroup) {
    using Kind = CompiledReplacement::Kind;
    for (const CompiledReplacement::Part& part : replacement.parts) {
        switch (part.kind) {
            case Kind::Literal: out.append(replacement.text, part.first, part.length); break;
            case Kind::Match: out.append(subject.data() + matchFirst, matchSecond - matchFirst); break;
            case Kind::Before: out.append(subject.data(), matchFirst); break;
            case Kind::After: out.append(subject.data() + matchSecond, subject.size() - matchSecond); break;
            case Kind::Group: appendGroup(part.first); break;
        }
    }
}

// The replacement of one match of the fast matcher.
void ApplyReplacement(std::wstring& out, const CompiledReplacement& replacement,
                      std::span<const rules::RegexCapture> captures, std::wstring_view subject) {
    ApplyReplacement(out, replacement, captures[0].first, captures[0].second, subject, [&](size_t index) {
        const rules::RegexCapture& capture = captures[index];
        if (capture.matched) out.append(subject.data() + capture.first, capture.second - capture.first);
    });
}

// Every match replaced by the fast matcher, appended to out; TooLong (out as it was) when the value is beyond
// the matcher's memory limit and the standard matcher must do the work; TooComplex when its step budget ran out.
rules::RegexResult AppendReplacedFast(const rules::SimpleRegex& expression, rules::RegexScratch& scratch,
                                      const CompiledReplacement& replacement, std::wstring_view value,
                                      std::wstring& out) {
    const size_t outStart = out.size();
    size_t copied = 0;
    rules::RegexMatches matches(expression, value, scratch);
    while (true) {
        const rules::RegexResult result = matches.Next();
        if (result == rules::RegexResult::TooLong || result == rules::RegexResult::TooComplex) {
            out.resize(outStart);
            return result;
        }
        if (result == rules::RegexResult::NotFound) break;
        const std::span<const rules::RegexCapture> captures = matches.Captures();
        out.append(value.data() + copied, captures[0].first - copied);
        ApplyReplacement(out, replacement, captures, value);
        copied = captures[0].second;
    }
    out.append(value.data() + copied, value.size() - copied);
    return rules::RegexResult::Found;
}

bool ReplaceMatches(Converter& converter, std::wstring_view value, std::wstring& out) {
    if (converter.fastCompiled != nullptr) {
        // RegexTo is read once a run (again only if it changed).
        const size_t groups = converter.fastCompiled->GroupCount();
        if (converter.replacement.groups != groups || converter.replacement.text != converter.RegexTo)
            CompileReplacement(converter.RegexTo, groups, converter.replacement);
        const rules::RegexResult result =
            AppendReplacedFast(*converter.fastCompiled, converter.fastScratch, converter.replacement, value, out);
        if (result == rules::RegexResult::TooComplex) {
            ReportFailure(converter, TooComplexText(converter));
            return false;
        }
        if (result != rules::RegexResult::TooLong) return true;
    }
    std::wstring error;
    const size_t stackSize = StackEstimate(value.size(), converter.RegexFrom.size());
    const bool anchored = AnchoredAtStart(converter.RegexFrom);
    const MatchOutcome outcome =
        stackSize <= kInlineStack
            ? AppendReplaced(*converter.compiled, converter.RegexTo, value, anchored, out, error)
            : AppendReplacedOnHelper(*converter.compiled, converter.RegexTo, value, anchored, stackSize, out, error);
    if (outcome == MatchOutcome::TooComplex) error = TooComplexText(converter);
    if (outcome != MatchOutcome::Done) ReportFailure(converter, error);
    return outcome == MatchOutcome::Done;
}

// The replacement rules over any form of match, the replacement read afresh (the slow paths and callers
// outside a run).
template <class AppendGroup>
void AppendSubstitutionWith(std::wstring& out, std::wstring_view replacement, size_t groups, size_t matchFirst,
                            size_t matchSecond, std::wstring_view subject, const AppendGroup& appendGroup) {
    thread_local CompiledReplacement compiled;
    CompileReplacement(replacement, groups, compiled);
    ApplyReplacement(out, compiled, matchFirst, matchSecond, subject, appendGroup);
}

}  // namespace

void CompileReplacement(std::wstring_view replacement, size_t groups, CompiledReplacement& out) {
    using Kind = CompiledReplacement::Kind;
    out.text.assign(replacement);
    out.groups = groups;
    out.parts.clear();
    const size_t length = replacement.size();
    const wchar_t* const text = replacement.data();
    const auto literal = [&](size_t first, size_t end) {
        if (end > first) out.parts.push_back({Kind::Literal, first, end - first});
    };
    // Text without a "$" that stands for something is one literal piece, from start up to the next one.
    size_t start = 0;
    size_t i = 0;
    while (true) {
        while (i < length && text[i] != L'$') ++i;
        if (i + 1 >= length) break;
        const wchar_t next = text[i + 1];
        size_t used = 1;  // characters after the "$" that it takes
        if (next == L'$') {
            literal(start, i + 1);  // one "$" of the two
        } else if (next == L'&') {
            literal(start, i);
            out.parts.push_back({Kind::Match, 0, 0});
        } else if (next == L'`') {
            literal(start, i);
            out.parts.push_back({Kind::Before, 0, 0});
        } else if (next == L'\'') {
            literal(start, i);
            out.parts.push_back({Kind::After, 0, 0});
        } else if (next >= L'0' && next <= L'9') {
            // Two digits when they name a group, else one digit followed by a literal one; "$0" and groups
            // beyond the count stay literal.
            size_t index = static_cast<size_t>(next - L'0');
            if (i + 2 < length && text[i + 2] >= L'0' && text[i + 2] <= L'9') {
                const size_t twoDigit = index * 10 + static_cast<size_t>(text[i + 2] - L'0');
                if (twoDigit >= 1 && twoDigit <= groups) {
                    index = twoDigit;
                    used = 2;
                } else if (twoDigit == 0) {
                    index = 0;
                    used = 2;
                }
            }
            if (index < 1 || index > groups) {
                i += used + 1;  // stays part of the literal text
                continue;
            }
            literal(start, i);
            out.parts.push_back({Kind::Group, index, 0});
        } else {
            ++i;  // a "$" standing for itself
            continue;
        }
        i += used + 1;
        start = i;
    }
    literal(start, length);
}

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Whether the expression holds a backreference number of more than nine digits or a repeat count above the
// standard matcher's limit of states. libstdc++ reads such numbers into a long without checking for overflow
// (undefined behaviour), and a count above its limit of 100,000 states can never compile, only after building
// states up to the limit first; either is refused before the standard matcher sees it.
bool HasHugeNumber(std::wstring_view pattern) {
    constexpr size_t kMostDigits = 9;
    constexpr unsigned long kMostCount = 100000;
    size_t i = 0;
    while (i < pattern.size()) {
        if (pattern[i] == L'\\') {
            size_t end = i + 1;
            while (end < pattern.size() && IsDigit(pattern[end])) ++end;
            if (end - (i + 1) > kMostDigits) return true;
            i = end == i + 1 ? i + 2 : end;  // past the escaped character or the digits
        } else if (pattern[i] == L'{') {
            size_t run = 0;
            unsigned long count = 0;
            for (++i; i < pattern.size() && (IsDigit(pattern[i]) || pattern[i] == L','); ++i) {
                run = IsDigit(pattern[i]) ? run + 1 : 0;
                count = IsDigit(pattern[i]) ? count * 10 + static_cast<unsigned long>(pattern[i] - L'0') : 0;
                if (run > kMostDigits || count > kMostCount) return true;
            }
        } else {
            ++i;
        }
    }
    return false;
}

}  // namespace

bool SameConverter(const Converter& a, const Converter& b) {
    return a.Column == b.Column && a.Prefix == b.Prefix && a.Suffix == b.Suffix && a.Group == b.Group &&
           a.Digits == b.Digits && a.Pres == b.Pres && a.DateFrom == b.DateFrom && a.DateTo == b.DateTo &&
           a.RegexFrom == b.RegexFrom && a.RegexTo == b.RegexTo;
}

Converter* FindConverter(std::vector<Converter>& converters, std::wstring_view name) {
    for (Converter& converter : converters) {
        if (converter.Column == name) return &converter;
    }
    return nullptr;
}

void BeginConverterRun(Converter& converter) {
    converter.compiled.reset();
    converter.fastCompiled.reset();
    converter.compiledFrom.clear();
    converter.compileError.clear();
    converter.errorReported = false;
    converter.reportedText.clear();
    converter.datePrepared = false;
}

bool PrepareConverter(Converter& converter) {
    if (converter.RegexFrom.empty() || converter.RegexTo.empty()) return true;
    const bool current = converter.compiledFrom == converter.RegexFrom &&
                         (converter.compiled != nullptr || !converter.compileError.empty());
    if (!current) {
        converter.compiled.reset();
        converter.fastCompiled.reset();
        converter.compileError.clear();
        converter.compiledFrom = converter.RegexFrom;
        if (HasHugeNumber(converter.RegexFrom)) {
            converter.compileError = L"The regular expression holds a number too large for a group or a count.";
            return false;
        }
        try {
            converter.compiled = std::make_shared<const std::wregex>(converter.RegexFrom, std::regex::ECMAScript);
            converter.fastCompiled = rules::SimpleRegex::Compile(converter.RegexFrom);
        } catch (const std::regex_error& error) {
            // The library's text for this one names a compile-time setting of its own.
            converter.compileError = error.code() == std::regex_constants::error_space
                                         ? L"The regular expression is too large: its counts and groups would "
                                           L"need too many states."
                                         : tw::Utf8ToWide(error.what());
            if (converter.compileError.empty()) converter.compileError = L"Invalid regular expression.";
        }
    }
    return converter.compiled != nullptr;
}

void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        const std::match_results<const wchar_t*>& match, std::wstring_view subject) {
    const auto offset = [&](const wchar_t* position) { return static_cast<size_t>(position - subject.data()); };
    AppendSubstitutionWith(out, replacement, match.size() - 1, offset(match[0].first), offset(match[0].second),
                           subject, [&](size_t index) {
                               if (match[index].matched) out.append(match[index].first, match[index].second);
                           });
}

void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        const std::match_results<rules::BudgetIterator>& match, std::wstring_view subject) {
    const auto offset = [&](rules::BudgetIterator position) {
        return static_cast<size_t>(position.Pointer() - subject.data());
    };
    AppendSubstitutionWith(out, replacement, match.size() - 1, offset(match[0].first), offset(match[0].second),
                           subject, [&](size_t index) {
                               if (match[index].matched) {
                                   out.append(match[index].first.Pointer(), match[index].second.Pointer());
                               }
                           });
}

void AppendSubstitution(std::wstring& out, std::wstring_view replacement,
                        std::span<const rules::RegexCapture> captures, std::wstring_view subject) {
    AppendSubstitutionWith(out, replacement, captures.size() - 1, captures[0].first, captures[0].second, subject,
                           [&](size_t index) {
                               const rules::RegexCapture& capture = captures[index];
                               if (capture.matched) {
                                   out.append(subject.data() + capture.first, capture.second - capture.first);
                               }
                           });
}

bool ConverterKeepsValues(const Converter& converter, int type) {
    // The cases of ConvertValue that can return something else than the value.
    if (!converter.RegexFrom.empty() && !converter.RegexTo.empty()) return false;
    if (FLD_DESC::IsDouble(type)) return false;
    if (FLD_DESC::IsNumber(type) && converter.Group != 0) return false;
    return !(FLD_DESC::IsDate(type) && !converter.DateFrom.empty() && !converter.DateTo.empty());
}

namespace {

// The date rewrite into scratch, as converted (the value itself when the scanner does not accept it): always done
// on wide text; false on UTF-8 for a value that needs its text (AppendDateUtf8).
bool ConvertDate(Converter& converter, std::wstring_view value, std::wstring& scratch,
                 std::wstring_view& converted) {
    scratch.clear();
    converted = AppendDate(converter, value, scratch) ? std::wstring_view(scratch) : value;
    return true;
}
bool ConvertDate(Converter& converter, std::string_view value, std::string& scratch, std::string_view& converted) {
    return AppendDateUtf8(converter, value, scratch, converted);
}

// ConvertValue's cases after the regular expression, on the cell's text or its UTF-8 bytes (value): the result in
// converted, a view of value or of scratch; false when UTF-8 needs the text after all.
template <typename String>
bool ConvertWithoutExpression(Converter& converter, const rules::CellValue& cell,
                              std::basic_string_view<typename String::value_type> value, int type, String& scratch,
                              std::basic_string_view<typename String::value_type>& converted) {
    converted = value;
    if (FLD_DESC::IsNumber(type) && !HasPoint(value)) {
        if (converter.Group == 0) return true;
        scratch.clear();
        AppendGrouped(scratch, cell.Integer());
        converted = scratch;
        return true;
    }
    if (FLD_DESC::IsDouble(type)) {
        scratch.clear();
        if (!AppendFixedFromText(scratch, value, converter.Digits, converter.Pres)) {
            AppendFixed(scratch, cell.Number(), converter.Digits, converter.Pres);
        }
        converted = scratch;
        return true;
    }
    if (FLD_DESC::IsDate(type) && !converter.DateFrom.empty() && !converter.DateTo.empty()) {
        return ConvertDate(converter, value, scratch, converted);
    }
    return true;
}

}  // namespace

std::wstring_view ConvertValue(Converter& converter, const rules::CellValue& cell, int type, int& failed,
                               std::wstring& scratch) {
    const std::wstring_view value = cell.Text();
    failed = 0;
    if (!converter.RegexFrom.empty() && !converter.RegexTo.empty()) {
        if (converter.compiled == nullptr || converter.compiledFrom != converter.RegexFrom) {
            PrepareConverter(converter);
        }
        if (converter.compiled == nullptr) {
            ReportFailure(converter, converter.compileError);
            failed = 1;
            return {};
        }
        scratch.clear();
        if (!ReplaceMatches(converter, value, scratch)) {
            failed = 1;
            return {};
        }
        return scratch;
    }
    std::wstring_view converted;
    ConvertWithoutExpression(converter, cell, value, type, scratch, converted);
    return converted;
}

bool ConverterConvertsBytes(const Converter& converter) {
    return converter.RegexFrom.empty() || converter.RegexTo.empty();
}

bool ConvertValueUtf8(Converter& converter, const rules::CellValue& cell, int type, std::string& scratch,
                      std::string_view& converted) {
    // ConverterConvertsBytes leaves the expression out.
    return ConvertWithoutExpression(converter, cell, cell.Bytes(), type, scratch, converted);
}

void ApplyConverter(Converter& converter, const rules::CellValue& cell, int type, int& failed, std::wstring& out) {
    thread_local std::wstring scratch;
    const std::wstring_view converted = ConvertValue(converter, cell, type, failed, scratch);
    if (failed) {
        out.clear();
        return;
    }
    out.assign(converter.Prefix).append(converted).append(converter.Suffix);
}

void ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed, std::wstring& out) {
    rules::CellValue cell;
    cell.Reset(value);
    ApplyConverter(converter, cell, type, failed, out);
}

std::wstring ApplyConverter(Converter& converter, std::wstring_view value, int type, int& failed) {
    std::wstring out;
    ApplyConverter(converter, value, type, failed, out);
    return out;
}
