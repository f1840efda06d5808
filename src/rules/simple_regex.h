#pragma once
// A fast matcher for a conservative subset of ECMAScript regular expressions. For every pattern it accepts it
// finds exactly the matches and captures that std::wregex (libstdc++, ECMAScript grammar, the global locale at
// compile time) finds, but iteratively, with its backtrack stack on the heap, and without allocating per value
// once its scratch buffers have grown.
//
// The subset (anything else makes Compile return null, and the caller keeps using std::wregex):
// - literal characters other than NUL and the syntax characters ^ $ \ . * + ? ( ) [ ] { } |;
// - the escapes \^ \$ \\ \. \* \+ \? \( \) \[ \] \{ \} \| \/ \- (the character itself), \n \r \t \f \v, and the
//   classes \d \D \w \W \s \S;
// - "." (any character but \n, \r, U+2028 and U+2029);
// - classes [...] and [^...] holding literal characters, ranges a-z between two plain literals, the escapes
//   above (\b, a backspace inside a class, is not taken) and "-" as the first or last item; not the empty
//   class "[]" or "[^]", not a nested "[";
// - "^" and "$" (not multiline), capturing groups (...) and (?:...), alternatives with "|" (empty ones too);
// - the quantifiers * + ? {n} {n,} {n,m} (n, m at most 1000), each optionally lazy with a trailing "?", one
//   per atom, not on "^" or "$";
// - no group that can repeat (a quantifier allowing more than one pass) may itself hold such a quantifier:
//   nested repetition may backtrack exponentially, and is left to the standard matcher as it is.
// Backreferences, lookahead, \b \B, \0 \c \x \u, other identity escapes and flags are all outside the subset.
//
// A pattern without alternation whose quantifiers are fixed counts, or runs of one character test (a literal, a
// class, ".") that the next character test of the pattern can never continue, has at most one way to match at
// a position: such patterns are also laid out as a flat list of steps and matched without backtracking.
//
// Otherwise the walk is the standard library's, step for step, so its running time grows as that one's does; only the
// constant is smaller. Both stop at the same step budget per value (regex_budget.h). The semantics are those of libstdc++, which differ from the ECMAScript standard in two
// ways that show in the captures: a group inside a repeated group keeps its value from an earlier pass (no
// reset per pass), and a repeated group may match empty (twice at the same position) where the standard would
// reject the pass.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <regex>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace rules {

// One capture as offsets into the subject; matched is false for a group that took no part in the match.
struct RegexCapture {
    size_t first = 0;
    size_t second = 0;
    bool matched = false;
};

// One entry of the backtrack stack (an alternative to resume or a value to restore).
struct RegexFrame {
    uint32_t kind;
    uint32_t id;
    uint32_t a;
    uint32_t b;
};

// Memory the matcher reuses from value to value. Not shared between threads.
struct RegexScratch {
    std::vector<RegexFrame> frames;
    std::vector<RegexCapture> current;
    std::vector<RegexCapture> found;
    // Per state: where the body of a repeat last began, and how often it began there.
    std::vector<std::pair<uint32_t, uint32_t>> repeatCounts;
    // Beyond this many frames a search gives up with TooLong: 16 bytes a frame, 256 MiB by default, enough for
    // about a million characters under a short expression.
    size_t maxFrames = size_t{16} << 20;
    // Steps the searches may still take before they give up with TooComplex. RegexMatches sets it to the
    // budget of its value (RegexStepBudget); a bare Search spends what is left.
    uint64_t stepsLeft = UINT64_MAX;
};

enum class RegexResult {
    Found,
    NotFound,
    TooLong,     // the value needs more backtracking memory than the matcher allows: use std::wregex instead
    TooComplex,  // the search took more steps than scratch.stepsLeft: the standard matcher would take as long
};

// Search flags, named after the std::regex_constants they stand for.
enum RegexFlag : unsigned {
    kPrevAvail = 1,   // match_prev_avail: the start is not the beginning of the input, so "^" fails there
    kNotNull = 2,     // match_not_null: an empty match is no match
    kContinuous = 4,  // match_continuous: only a match beginning at the start
};

// A compiled pattern of the subset. Immutable once compiled: one object may serve any number of scratches.
class SimpleRegex {
public:
    // Null when the pattern lies outside the subset (an invalid pattern is outside it too).
    static std::unique_ptr<SimpleRegex> Compile(std::wstring_view pattern);

    // True when matching needs no backtracking (the flat form described above is used).
    bool IsStraight() const { return m_straight; }

    // Capturing groups, not counting the whole match.
    size_t GroupCount() const { return m_groupCount; }

    // std::regex_search over subject from start with the given flags; on Found, scratch.found holds the whole
    // match and every group.
    RegexResult Search(std::wstring_view subject, size_t start, unsigned flags, RegexScratch& scratch) const;

private:
    struct Key {
        explicit Key() = default;
    };

public:
    explicit SimpleRegex(Key);  // only through Compile
    ~SimpleRegex();
    SimpleRegex(const SimpleRegex&) = delete;
    SimpleRegex& operator=(const SimpleRegex&) = delete;

private:
    struct Node;
    struct CharClass;
    struct Step;
    RegexResult SearchSteps(std::wstring_view subject, size_t start, unsigned flags, RegexScratch& scratch) const;
    bool MatchSteps(const wchar_t* text, size_t size, size_t begin, bool atBeginning, bool notNull,
                    RegexCapture* found, uint64_t& scanned) const;
    RegexResult Attempt(std::wstring_view subject, size_t position, bool atBeginning, bool notNull,
                        RegexScratch& scratch) const;
    bool ClassMatches(const CharClass& charClass, wchar_t c) const;
    bool ClassHas(const CharClass& charClass, wchar_t c) const;
    bool CanStartWith(wchar_t c) const;
    void FindStartSet();
    friend class RegexBuilder;

    std::vector<Node> m_nodes;
    std::vector<CharClass> m_classes;
    std::vector<Step> m_steps;  // the flat form, when the pattern has one (m_straight)
    bool m_straight = false;
    std::vector<uint32_t> m_repeats;  // the repeat states, whose counts each attempt clears
    std::regex_traits<wchar_t> m_traits;
    size_t m_groupCount = 0;
    uint32_t m_start = 0;
    bool m_anchored = false;  // every match passes "^" before reading or accepting
    bool m_nullable = true;   // a match may begin without reading a character
    uint64_t m_startAscii[2] = {};
    bool m_startNonAscii = true;
};

// The successive matches of a global replace, found as std::regex_iterator finds them: after an empty match
// the same position is searched again for a non-empty match before the search moves on by one character, and
// later searches treat their start as preceded by input.
class RegexMatches {
public:
    RegexMatches(const SimpleRegex& regex, std::wstring_view subject, RegexScratch& scratch);
    // Sets the scratch's step budget for the whole value (RegexStepBudget of its length).
    // Found: Captures() holds the next match; NotFound: there are no more; TooLong, TooComplex: see RegexResult.
    RegexResult Next();
    // The whole match first, then every group.
    std::span<const RegexCapture> Captures() const { return m_scratch.found; }

private:
    const SimpleRegex& m_regex;
    std::wstring_view m_subject;
    RegexScratch& m_scratch;
    bool m_started = false;
    bool m_done = false;
    bool m_prevAvail = false;
};

}  // namespace rules
