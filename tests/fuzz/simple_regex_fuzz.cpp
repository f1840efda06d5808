// The fast matcher against std::wregex: for every pattern the fast matcher compiles, the standard one must
// compile it too, and both must find the same matches with the same captures, search by search (with the
// flags the converters use) and through a whole global replace, giving the same replaced text. A search that
// runs out of its step budget or memory on either side is no comparison: the budgets count different steps.
//
// The replacement text is built by the program's own ECMAScript substitution from each matcher's captures.
// std::regex_replace is no reference for it: libstdc++'s format() reads "$0" as the whole match and drops "$nn"
// beyond the group count, where ECMAScript keeps both literal.
//
// Input: pattern, subject, replacement (separated by 0xFF), then a byte of search flags and a start offset.

#include <regex>
#include <string>
#include <vector>

#include "converter.h"
#include "fuzz_support.h"
#include "regex_budget.h"
#include "simple_regex.h"

namespace {

using rules::BudgetIterator;
using rules::RegexCapture;
using rules::RegexResult;

// The standard library's matcher recurses per character: longer subjects would need the converter's helper
// thread and its large stack.
constexpr size_t kMaxSubject = 400;

std::string Describe(const std::vector<RegexCapture>& captures) {
    std::string text;
    for (const RegexCapture& capture : captures) {
        text += capture.matched ? "[" + std::to_string(capture.first) + "," + std::to_string(capture.second) + ")"
                                : "-";
        text += ' ';
    }
    return text;
}

std::vector<RegexCapture> FromStd(const std::match_results<BudgetIterator>& match, const wchar_t* base) {
    std::vector<RegexCapture> captures;
    for (size_t i = 0; i < match.size(); ++i) {
        RegexCapture capture;
        capture.matched = match[i].matched;
        if (capture.matched) {
            capture.first = static_cast<size_t>(match[i].first.Pointer() - base);
            capture.second = static_cast<size_t>(match[i].second.Pointer() - base);
        }
        captures.push_back(capture);
    }
    return captures;
}

// Unmatched groups compare equal whatever offsets they carry.
std::vector<RegexCapture> Normalized(std::span<const RegexCapture> captures) {
    std::vector<RegexCapture> result(captures.begin(), captures.end());
    for (RegexCapture& capture : result)
        if (!capture.matched) capture.first = capture.second = 0;
    return result;
}

bool Same(const std::vector<RegexCapture>& a, const std::vector<RegexCapture>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].matched != b[i].matched || a[i].first != b[i].first || a[i].second != b[i].second) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::wstring pattern = input.Text();
    std::wstring subject = input.Text();
    const std::wstring replacement = input.Text();
    const uint8_t flagByte = input.Byte();
    if (subject.size() > kMaxSubject) subject.resize(kMaxSubject);
    const std::string where = "pattern '" + fuzz::Shown(pattern) + "', subject '" + fuzz::Shown(subject) + "'";

    const auto fast = rules::SimpleRegex::Compile(pattern);
    if (fast == nullptr) return 0;
    std::wregex standard;
    try {
        standard.assign(pattern, std::regex::ECMAScript);
    } catch (const std::regex_error& error) {
        FUZZ_CHECK(false, where + ": the fast matcher took a pattern std::wregex refuses: " + error.what());
    }
    FUZZ_CHECK(fast->GroupCount() == standard.mark_count(), where + ": group counts differ");

    const wchar_t* const begin = subject.data();
    const wchar_t* const end = begin + subject.size();

    // One search with the flags of the byte, from an offset of the subject.
    {
        unsigned flags = flagByte & 7;
        const size_t start = subject.empty() ? 0 : (flagByte >> 3) % (subject.size() + 1);
        if (start == 0) flags &= ~rules::kPrevAvail;
        auto standardFlags = std::regex_constants::match_default;
        if (flags & rules::kPrevAvail) standardFlags |= std::regex_constants::match_prev_avail;
        if (flags & rules::kNotNull) standardFlags |= std::regex_constants::match_not_null;
        if (flags & rules::kContinuous) standardFlags |= std::regex_constants::match_continuous;

        rules::RegexScratch scratch;
        scratch.stepsLeft = rules::RegexStepBudget(subject.size());
        const RegexResult result = fast->Search(subject, start, flags, scratch);
        BudgetIterator::SetBudget(rules::RegexStepBudget(subject.size()));
        std::match_results<BudgetIterator> match;
        bool found = false, standardGaveUp = false;
        try {
            found = std::regex_search(BudgetIterator(begin + start), BudgetIterator(end), match, standard,
                                      standardFlags);
        } catch (const rules::RegexBudgetExceeded&) {
            standardGaveUp = true;
        }
        if (!standardGaveUp && (result == RegexResult::Found || result == RegexResult::NotFound)) {
            const std::string search = where + ", start " + std::to_string(start) + ", flags " +
                                       std::to_string(flags) + ": ";
            FUZZ_CHECK(found == (result == RegexResult::Found),
                       search + (found ? "only std::wregex matches" : "only the fast matcher matches"));
            if (found) {
                const auto expected = Normalized(FromStd(match, begin));
                const auto actual = Normalized(scratch.found);
                FUZZ_CHECK(Same(expected, actual),
                           search + "std::wregex " + Describe(expected) + "fast " + Describe(actual));
            }
        }
    }

    // A global replace: every match in turn, and the replaced text.
    rules::RegexScratch scratch;
    rules::RegexMatches matches(*fast, subject, scratch);
    std::vector<std::vector<RegexCapture>> fastMatches;
    std::wstring fastReplaced;
    size_t copied = 0;
    for (;;) {
        const RegexResult result = matches.Next();
        if (result == RegexResult::TooLong || result == RegexResult::TooComplex) return 0;
        if (result == RegexResult::NotFound) break;
        const auto captures = matches.Captures();
        fastMatches.push_back(Normalized(captures));
        fastReplaced.append(subject, copied, captures[0].first - copied);
        AppendSubstitution(fastReplaced, replacement, captures, subject);
        copied = captures[0].second;
    }
    fastReplaced.append(subject, copied);

    std::vector<std::vector<RegexCapture>> standardMatches;
    std::wstring standardReplaced;
    BudgetIterator::SetBudget(rules::RegexStepBudget(subject.size()));
    try {
        const wchar_t* from = begin;
        for (std::regex_iterator<BudgetIterator> it(BudgetIterator(begin), BudgetIterator(end), standard), last;
             it != last; ++it) {
            standardMatches.push_back(Normalized(FromStd(*it, begin)));
            standardReplaced.append(from, (*it)[0].first.Pointer());
            AppendSubstitution(standardReplaced, replacement, *it, subject);
            from = (*it)[0].second.Pointer();
        }
        standardReplaced.append(from, end);
    } catch (const rules::RegexBudgetExceeded&) {
        return 0;
    }
    FUZZ_CHECK(fastMatches.size() == standardMatches.size(),
               where + ": " + std::to_string(fastMatches.size()) + " matches by the fast matcher, " +
                   std::to_string(standardMatches.size()) + " by std::wregex");
    for (size_t i = 0; i < fastMatches.size(); ++i) {
        FUZZ_CHECK(Same(fastMatches[i], standardMatches[i]), where + ": match " + std::to_string(i) +
                                                                 ": std::wregex " + Describe(standardMatches[i]) +
                                                                 "fast " + Describe(fastMatches[i]));
    }
    FUZZ_CHECK(fastReplaced == standardReplaced, where + ": replaced texts differ: '" + fuzz::Shown(fastReplaced) +
                                                     "' and '" + fuzz::Shown(standardReplaced) + "'");
    return 0;
}
