#include "simple_regex.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "converter.h"
#include "fld_desc.h"

namespace {

using rules::RegexCapture;
using rules::RegexMatches;
using rules::RegexResult;
using rules::RegexScratch;
using rules::SimpleRegex;

// Random patterns of the subset, and some just outside it, over a small alphabet that holds every character
// whose treatment differs between the constructs: line ends, a non-ASCII letter, U+2028, a space, a digit, "_".
class PatternMaker {
public:
    // straight: no alternation, groups only with fixed counts, and runs of one test followed mostly by a test
    // that cannot continue them, so that most patterns match without backtracking.
    explicit PatternMaker(unsigned seed, bool straight = false) : m_random(seed), m_straight(straight) {}

    std::wstring Pattern() {
        std::wstring pattern;
        Disjunction(pattern, 0);
        return pattern;
    }

    std::wstring Subject() {
        static const wchar_t alphabet[] = {L'a', L'b', L'a', L'b', L'\n', L'\r', L'\u00e9', L'\u2028',
                                           L' ', L'1', L'_', L'-', L'x', L'.'};
        std::wstring subject;
        for (int length = Pick(m_straight ? 14 : 9); length > 0; --length) {
            const wchar_t c = alphabet[Pick(std::size(alphabet))];
            // Runs of one character, so that runs of the pattern meet long stretches they accept.
            for (int repeat = m_straight && Pick(3) == 0 ? 1 + Pick(4) : 1; repeat > 0; --repeat) subject += c;
        }
        return subject;
    }

private:
    int Pick(size_t count) { return static_cast<int>(m_random() % count); }

    void Disjunction(std::wstring& out, int depth) {
        if (m_straight) {
            for (int terms = Pick(depth == 0 ? 6 : 3) + (Pick(8) == 0 ? 0 : 1); terms > 0; --terms) {
                StraightTerm(out, depth);
            }
            return;
        }
        const int alternatives = Pick(6) == 0 ? 2 + Pick(2) : 1;
        for (int i = 0; i < alternatives; ++i) {
            if (i > 0) out += L'|';
            for (int terms = Pick(depth == 0 ? 5 : 3) + (Pick(8) == 0 ? 0 : 1); terms > 0; --terms) {
                Term(out, depth);
            }
        }
    }

    void Term(std::wstring& out, int depth) {
        static const wchar_t* const atoms[] = {
            L"a", L"b", L"a", L"b", L"x", L"\u00e9", L" ", L".", L".", L"\\d", L"\\D", L"\\w", L"\\W", L"\\s",
            L"\\S", L"\\n", L"\\r", L"\\.", L"\\-", L"_", L"1", L"[ab]", L"[^a]", L"[a-c\\d]", L"[^\\s]",
            L"[\\w\u00e9]", L"[-a]", L"[b-]", L"[\\W]", L"[\\S\\d]", L"[^\\D_]", L"[\\n\\r]", L"[a^]",
            L"[\u2028x]", L"[\\.\\]]"};
        const int kind = Pick(20);
        bool anchor = false;
        if (kind < 3 && depth < 3) {
            out += Pick(3) == 0 ? L"(?:" : L"(";
            Disjunction(out, depth + 1);
            out += L')';
        } else if (kind == 3) {
            out += Pick(3) == 0 ? L"$" : L"^";
            anchor = true;
        } else {
            out += atoms[Pick(std::size(atoms))];
        }
        if (anchor || Pick(3) != 0) return;
        static const wchar_t* const quantifiers[] = {L"*", L"+", L"?", L"{2}", L"{0,1}", L"{1,}", L"{0,2}",
                                                     L"{2,3}", L"{0}"};
        out += quantifiers[Pick(std::size(quantifiers))];
        if (Pick(3) == 0) out += L'?';
    }

    // Atoms in families that share no character, so that a run of one family is often followed by another.
    void StraightTerm(std::wstring& out, int depth) {
        static const wchar_t* const families[][5] = {
            {L"a", L"b", L"[ab]", L"[a-c]", L"[^\\W\\d_x]"},
            {L"1", L"\\d", L"[0-9]", L"[1]", L"\\d"},
            {L" ", L"\\s", L"[\\n\\r]", L"\\n", L"[ \\t]"},
            {L"\\-", L"_", L"[-_]", L"\\.", L"[_.]"},
            {L"\u00e9", L"\u2028", L"[\u00e9\u2028]", L"[\u00e9-\u00ff]", L"\u00e9"},
            {L".", L"\\W", L"\\w", L"[^a]", L"\\S"},
            {L"x", L"[x]", L"\\D", L"[^\\s]", L"x"},
        };
        const int kind = Pick(16);
        if (kind < 2 && depth < 3) {
            out += Pick(3) == 0 ? L"(?:" : L"(";
            Disjunction(out, depth + 1);
            out += L')';
            static const wchar_t* const counts[] = {L"", L"", L"", L"{2}", L"{0}", L"{1}"};
            out += counts[Pick(std::size(counts))];
            return;
        }
        if (kind == 2) {
            out += Pick(3) == 0 ? L"^" : L"$";
            return;
        }
        // Mostly a family other than the last one's; "." and its like overlap every family, so rarely those.
        int index = Pick(std::size(families));
        while (index == m_lastFamily || (index == 5 && Pick(3) != 0)) index = Pick(std::size(families));
        m_lastFamily = index;
        const auto& family = families[index];
        out += family[Pick(std::size(family))];
        static const wchar_t* const quantifiers[] = {L"",    L"",      L"+",     L"*",     L"?",  L"{2}",
                                                     L"{0}", L"{1,}",  L"{0,2}", L"{2,3}", L"+", L"*"};
        const wchar_t* quantifier = quantifiers[Pick(std::size(quantifiers))];
        out += quantifier;
        if (*quantifier != 0 && Pick(4) == 0) out += L'?';
    }

    std::mt19937 m_random;
    bool m_straight;
    int m_lastFamily = -1;
};

std::string Show(const std::wstring& text) { return testing::PrintToString(text); }

// The standard library's matches and ours, one by one as a global replace meets them, must agree on the
// position of every match and of every group.
void CompareMatches(const std::wregex& expected, const SimpleRegex& actual, const std::wstring& pattern,
                    const std::wstring& subject, RegexScratch& scratch) {
    const wchar_t* const begin = subject.data();
    RegexMatches matches(actual, subject, scratch);
    std::regex_iterator<const wchar_t*> it(begin, begin + subject.size(), expected), last;
    for (;; ++it) {
        const RegexResult result = matches.Next();
        ASSERT_NE(result, RegexResult::TooLong);
        ASSERT_EQ(result == RegexResult::Found, it != last) << Show(pattern) << " on " << Show(subject);
        if (it == last) return;
        const std::span<const RegexCapture> captures = matches.Captures();
        ASSERT_EQ(captures.size(), it->size());
        for (size_t group = 0; group < captures.size(); ++group) {
            const auto& sub = (*it)[group];
            ASSERT_EQ(captures[group].matched, sub.matched)
                << Show(pattern) << " on " << Show(subject) << " group " << group;
            if (!sub.matched) continue;
            ASSERT_EQ(captures[group].first, static_cast<size_t>(sub.first - begin))
                << Show(pattern) << " on " << Show(subject) << " group " << group;
            ASSERT_EQ(captures[group].second, static_cast<size_t>(sub.second - begin))
                << Show(pattern) << " on " << Show(subject) << " group " << group;
        }
    }
}

// One search with the flags the replace loop uses, from a later start: the start counts as the beginning for
// "^" only without match_prev_avail.
void CompareSearch(const std::wregex& expected, const SimpleRegex& actual, const std::wstring& pattern,
                   const std::wstring& subject, size_t start, unsigned flags, RegexScratch& scratch) {
    std::regex_constants::match_flag_type standard = std::regex_constants::match_default;
    if (flags & rules::kPrevAvail) standard |= std::regex_constants::match_prev_avail;
    if (flags & rules::kNotNull) standard |= std::regex_constants::match_not_null;
    if (flags & rules::kContinuous) standard |= std::regex_constants::match_continuous;
    std::match_results<const wchar_t*> match;
    const wchar_t* const begin = subject.data();
    const bool found = std::regex_search(begin + start, begin + subject.size(), match, expected, standard);
    const RegexResult result = actual.Search(subject, start, flags, scratch);
    ASSERT_EQ(result == RegexResult::Found, found)
        << Show(pattern) << " on " << Show(subject) << " from " << start << " flags " << flags;
    if (!found) return;
    for (size_t group = 0; group < match.size(); ++group) {
        ASSERT_EQ(scratch.found[group].matched, match[group].matched) << Show(pattern) << " group " << group;
        if (match[group].matched) {
            ASSERT_EQ(scratch.found[group].first, static_cast<size_t>(match[group].first - begin));
            ASSERT_EQ(scratch.found[group].second, static_cast<size_t>(match[group].second - begin));
        }
    }
}

std::wstring ApplyWith(Converter& converter, const std::wstring& value) {
    int failed = -1;
    std::wstring out;
    ApplyConverter(converter, value, TC_VARCHAR, failed, out);
    EXPECT_EQ(failed, 0);
    return out;
}

TEST(SimpleRegex, AgreesWithTheStandardMatcherOnRandomPatterns) {
    PatternMaker maker(20240611);
    const wchar_t* const replacements[] = {L"<$&>", L"[$1|$2]", L"$'$`", L"-"};
    int supported = 0, compared = 0;
    RegexScratch scratch;
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        const std::wstring pattern = maker.Pattern();
        std::wregex expected;
        try {
            expected.assign(pattern, std::regex::ECMAScript);
        } catch (const std::regex_error&) {
            EXPECT_EQ(SimpleRegex::Compile(pattern), nullptr) << Show(pattern);
            continue;
        }
        const auto actual = SimpleRegex::Compile(pattern);
        if (actual == nullptr || pattern.empty()) continue;  // an empty RegexFrom converts nothing
        ++supported;
        ASSERT_EQ(actual->GroupCount(), expected.mark_count()) << Show(pattern);

        Converter fast, standard;
        fast.RegexFrom = standard.RegexFrom = pattern;
        fast.RegexTo = standard.RegexTo = replacements[round % std::size(replacements)];
        ASSERT_TRUE(PrepareConverter(fast));
        ASSERT_TRUE(PrepareConverter(standard));
        ASSERT_NE(fast.fastCompiled, nullptr) << Show(pattern);
        standard.fastCompiled.reset();  // today's path, std::wregex alone

        for (int i = 0; i < 8; ++i) {
            const std::wstring subject = maker.Subject();
            ++compared;
            ASSERT_EQ(ApplyWith(fast, subject), ApplyWith(standard, subject))
                << Show(pattern) << " on " << Show(subject);
            ASSERT_NO_FATAL_FAILURE(CompareMatches(expected, *actual, pattern, subject, scratch));
            const size_t start = random() % (subject.size() + 1);
            ASSERT_NO_FATAL_FAILURE(
                CompareSearch(expected, *actual, pattern, subject, start, random() % 8, scratch));
        }
    }
    // The generator aims mostly inside the subset; a drop here means the matcher turns away what it should take.
    EXPECT_GT(supported, 3000);
    EXPECT_GT(compared, 24000);
}

// The same comparison over patterns that mostly match without backtracking; the count makes sure the flat path
// is what gets compared.
TEST(SimpleRegex, StraightPatternsAgreeWithTheStandardMatcher) {
    PatternMaker maker(977, true);
    const wchar_t* const replacements[] = {L"<$&>", L"[$1|$2]", L"$'$`"};
    int straight = 0, other = 0;
    RegexScratch scratch;
    std::mt19937 random(11);
    for (int round = 0; round < 8000; ++round) {
        const std::wstring pattern = maker.Pattern();
        const auto actual = SimpleRegex::Compile(pattern);
        if (actual == nullptr || pattern.empty()) continue;
        const std::wregex expected(pattern, std::regex::ECMAScript);
        ++(actual->IsStraight() ? straight : other);
        ASSERT_EQ(actual->GroupCount(), expected.mark_count()) << Show(pattern);

        Converter fast, standard;
        fast.RegexFrom = standard.RegexFrom = pattern;
        fast.RegexTo = standard.RegexTo = replacements[round % std::size(replacements)];
        ASSERT_TRUE(PrepareConverter(fast));
        ASSERT_TRUE(PrepareConverter(standard));
        standard.fastCompiled.reset();
        for (int i = 0; i < 8; ++i) {
            const std::wstring subject = maker.Subject();
            ASSERT_EQ(ApplyWith(fast, subject), ApplyWith(standard, subject))
                << Show(pattern) << " on " << Show(subject);
            ASSERT_NO_FATAL_FAILURE(CompareMatches(expected, *actual, pattern, subject, scratch));
            const size_t start = random() % (subject.size() + 1);
            ASSERT_NO_FATAL_FAILURE(
                CompareSearch(expected, *actual, pattern, subject, start, random() % 8, scratch));
        }
    }
    EXPECT_GT(straight, 3000) << other;
    EXPECT_GT(other, 500);  // runs that could give back characters still go to the general walk
}

// Which patterns take the flat path: a run may take all it can only where giving any back cannot help.
TEST(SimpleRegex, MatchesWithoutBacktrackingOnlyWhereThatIsExact) {
    const wchar_t* const straight[] = {
        L"^([0-9]{4})-([0-9]{2})", L"[0-9]+", L"(\\w+)@(\\w+)\\.com", L"abc", L"(a(b){2}){0}c", L"\\d+$",
        L"a*?b", L"[^a]+a", L"\\w+\u00e9", L".*$", L"\\s*x", L"a+b+", L"[a-c]{2,3}\\d", L"x?",
        L"\\d{1,}(?:-)", L"\\n*.", L"\u00e9+[ab]+", L"\\D+1", L"\\s+\u00a0"};
    const wchar_t* const general[] = {
        L"a|b", L"(ab)+", L"(?:a)?", L"\\w+\\d", L"a*a", L"a*?", L"a+?$x|", L"a*^", L".*x", L"\\s+[\u00a0]",
        L"\\d*[^a]", L"a+b*c", L"[ab]+()b", L"\\w+[\u00e9]", L"[^a]+b", L"\\D+x", L"(a|b){2}"};
    for (const wchar_t* pattern : straight) {
        const auto regex = SimpleRegex::Compile(pattern);
        ASSERT_NE(regex, nullptr) << Show(pattern);
        EXPECT_TRUE(regex->IsStraight()) << Show(pattern);
    }
    for (const wchar_t* pattern : general) {
        const auto regex = SimpleRegex::Compile(pattern);
        ASSERT_NE(regex, nullptr) << Show(pattern);
        EXPECT_FALSE(regex->IsStraight()) << Show(pattern);
    }
}

// Rules of the standard matcher that the ECMAScript standard words differently, checked directly.
TEST(SimpleRegex, KeepsTheStandardLibrarysCaptureAndCharacterRules) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* subject;
        std::vector<int> spans;  // first, second of every group; -1, -1 for an unmatched one
    };
    const Case cases[] = {
        {L"(?:(a)|b)+", L"ab", {0, 2, 0, 1}},     // a group keeps its value from an earlier pass
        {L"(a|)*", L"b", {0, 0, 0, 0}},           // an empty pass of a repeated group is taken
        {L"(a)|b", L"b", {0, 1, -1, -1}},         // the group of an alternative not taken
        {L"(a*?)(a*)", L"aa", {0, 2, 0, 0, 0, 2}},
        {L"(a|ab)(c|bcd)", L"abcd", {0, 4, 0, 1, 1, 4}},  // first alternative that works, not the longest
        {L".+", L"ab\u2029c", {0, 2}},            // "." stops at U+2028, U+2029, \n and \r
        {L"\\w+", L"x\u00e9", {0, 1}},            // \w, \s and \d are ASCII only
        {L"\\s", L"\u00a0\u3000\v", {2, 3}},
        {L"[^\\d]+", L"\u0661\u0662", {0, 2}},
        {L"a{2,3}?", L"aaaa", {0, 2}},
        {L"$", L"ab", {2, 2}},
    };
    RegexScratch scratch;
    for (const Case& c : cases) {
        const auto regex = SimpleRegex::Compile(c.pattern);
        ASSERT_NE(regex, nullptr) << Show(c.pattern);
        ASSERT_EQ(regex->Search(c.subject, 0, 0, scratch), RegexResult::Found) << Show(c.pattern);
        std::vector<int> spans;
        for (const RegexCapture& capture : scratch.found) {
            spans.push_back(capture.matched ? static_cast<int>(capture.first) : -1);
            spans.push_back(capture.matched ? static_cast<int>(capture.second) : -1);
        }
        EXPECT_EQ(spans, c.spans) << Show(c.pattern);
    }
}

// What lies outside the subset is handed back to the standard matcher, never guessed at.
TEST(SimpleRegex, TakesOnlyItsSubset) {
    const wchar_t* const inside[] = {
        L"^([0-9]{4})-([0-9]{2})", L"[0-9]+", L"(\\w+)@(\\w+)\\.com", L"", L"a|", L"()", L"(?:a|b)*c",
        L"[-a-z_]+$", L"a{0}", L"a{2,}?", L"\\/\\-\\{\\}", L"(a?)+", L"((a)|(b))*c?", L"\u00fc"};
    const wchar_t* const outside[] = {
        L"(a+)+", L"(?:a*b)*", L"(a{2})+",     // repetition inside repetition
        L"\\b", L"\\B", L"(a)\\1", L"(?=a)", L"(?!a)", L"\\x41", L"\\u0041", L"\\cA", L"\\0", L"\\a",
        L"[]", L"[^]", L"[[:alpha:]]", L"[a-\\d]", L"[\\d-z]", L"[a-b-c]", L"[\\b]",
        L"a**", L"a*+", L"^*", L"$?", L"a{2,1}", L"a{1001}", L"a{,2}", L"a{x}", L"{", L"}", L"]", L")", L"(",
        L"(?<n>a)", L"a\\"};
    for (const wchar_t* pattern : inside) EXPECT_NE(SimpleRegex::Compile(pattern), nullptr) << Show(pattern);
    for (const wchar_t* pattern : outside) EXPECT_EQ(SimpleRegex::Compile(pattern), nullptr) << Show(pattern);
    EXPECT_EQ(SimpleRegex::Compile(std::wstring(L"a\0b", 3)), nullptr);
}

// Long values need neither a big stack nor a helper thread, and the buffers of one value serve the next.
TEST(SimpleRegex, LongValuesAndReusedBuffers) {
    const std::wstring longValue(300000, L'a');
    RegexScratch scratch;
    const auto any = SimpleRegex::Compile(L"(a|b)*c?");
    ASSERT_EQ(any->Search(longValue, 0, 0, scratch), RegexResult::Found);
    EXPECT_EQ(scratch.found[0].second, longValue.size());
    EXPECT_EQ(scratch.found[1].first, longValue.size() - 1);

    Converter converter;
    converter.RegexFrom = L"(\\d+)-(\\d+)";
    converter.RegexTo = L"$2/$1";
    ASSERT_TRUE(PrepareConverter(converter));
    ASSERT_NE(converter.fastCompiled, nullptr);
    EXPECT_EQ(ApplyWith(converter, L"12-34 and 5-6"), L"34/12 and 6/5");
    EXPECT_EQ(ApplyWith(converter, L"order 1234-56 shipped"), L"order 56/1234 shipped");
    const rules::RegexFrame* frames = converter.fastScratch.frames.data();
    const RegexCapture* found = converter.fastScratch.found.data();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ApplyWith(converter, L"order 1234-56 shipped"), L"order 56/1234 shipped");
    EXPECT_EQ(converter.fastScratch.frames.data(), frames);
    EXPECT_EQ(converter.fastScratch.found.data(), found);

    // A value that needs more backtracking than the scratch allows goes to the standard matcher instead.
    converter.RegexFrom = L"(\\d)*x";
    converter.fastScratch.maxFrames = 100;
    ASSERT_TRUE(PrepareConverter(converter));
    ASSERT_NE(converter.fastCompiled, nullptr);
    const std::wstring digits(1000, L'7');
    RegexMatches matches(*converter.fastCompiled, digits, converter.fastScratch);
    EXPECT_EQ(matches.Next(), RegexResult::TooLong);
    EXPECT_EQ(matches.Next(), RegexResult::NotFound);
    EXPECT_EQ(ApplyWith(converter, L"1x" + digits + L"2x"), L"$2/1$2/2");

    BeginConverterRun(converter);
    EXPECT_EQ(converter.fastCompiled, nullptr);
    converter.RegexFrom = L"(\\d+)\\1";  // outside the subset: the standard matcher alone
    ASSERT_TRUE(PrepareConverter(converter));
    EXPECT_EQ(converter.fastCompiled, nullptr);
    EXPECT_EQ(ApplyWith(converter, L"1212-3"), L"$2/12-3");
}

}  // namespace
