#include "simple_regex.h"

#include <algorithm>
#include <limits>

#include "regex_budget.h"

namespace rules {

namespace {

constexpr uint32_t kNoState = std::numeric_limits<uint32_t>::max();
constexpr size_t kMaxPatternLength = 4096;
constexpr int kMaxDepth = 64;
constexpr int kMaxCount = 1000;
constexpr size_t kMaxStates = 20000;
constexpr size_t kKeptFrames = size_t{1} << 16;  // scratch beyond this is given back after the value
// Subject offsets are kept in 32 bits.
constexpr size_t kMaxSubject = std::numeric_limits<uint32_t>::max() - 1;

enum FrameKind : uint32_t { kResume, kLazyMore, kRestoreCapture, kRestoreCaptureMatched, kRestoreRepeat };

bool IsSyntaxCharacter(wchar_t c) { return std::wstring_view(L"^$\\.*+?()[]{}|").find(c) != std::wstring_view::npos; }

// The character a control escape stands for; 0 when c names none.
wchar_t ControlEscape(wchar_t c) {
    switch (c) {
        case L'n':
            return L'\n';
        case L'r':
            return L'\r';
        case L't':
            return L'\t';
        case L'f':
            return L'\f';
        case L'v':
            return L'\v';
        default:
            return 0;
    }
}

bool IsIdentityEscape(wchar_t c) { return IsSyntaxCharacter(c) || c == L'/' || c == L'-'; }

bool IsClassEscape(wchar_t c) { return std::wstring_view(L"dDwWsS").find(c) != std::wstring_view::npos; }

bool MatchesAny(wchar_t c) { return c != L'\n' && c != L'\r' && c != 0x2028 && c != 0x2029; }

}  // namespace

enum class Op : uint8_t { Char, Any, Class, Alternative, Repeat, GroupBegin, GroupEnd, LineBegin, LineEnd, Dummy,
                          Accept };

// The flat form of a pattern that matches without backtracking. A run is Char, Any or Class repeated min to max
// times, taken as often as it can: the next character test cannot accept what the run stops on.
enum class StepOp : uint8_t { Char, Any, Class, LineBegin, LineEnd, GroupBegin, GroupEnd, RunChar, RunAny, RunClass };

struct SimpleRegex::Step {
    StepOp op;
    bool lazy;
    uint32_t arg;  // the character, the class or the group
    uint32_t min;
    uint32_t max;
};

namespace {
constexpr uint32_t kUnbounded = std::numeric_limits<uint32_t>::max();
}  // namespace

struct SimpleRegex::Node {
    Op op = Op::Dummy;
    bool lazy = false;
    uint32_t next = kNoState;
    uint32_t alt = kNoState;  // Alternative: the left branch; Repeat: the body
    uint32_t arg = 0;         // Char: the character; Class: its index; GroupBegin/End: the group
};

using ClassMask = std::regex_traits<wchar_t>::char_class_type;

struct SimpleRegex::CharClass {
    uint64_t ascii[2] = {};  // the final answer for characters below 128, once asciiReady
    bool asciiReady = false;
    std::vector<wchar_t> singles;
    std::vector<std::pair<wchar_t, wchar_t>> ranges;
    ClassMask classes{};
    std::vector<ClassMask> negatedClasses;
    bool negated = false;
};

SimpleRegex::SimpleRegex(Key) {}
SimpleRegex::~SimpleRegex() = default;

// The pattern read into a tree, then laid out as the same automaton the standard library builds, so that a
// depth-first walk of it tries the alternatives in the same order.
class RegexBuilder {
public:
    RegexBuilder(std::wstring_view pattern, SimpleRegex& regex) : m_pattern(pattern), m_regex(regex) {}

    bool Build() {
        if (m_pattern.size() > kMaxPatternLength) return false;
        std::vector<Sequence> top;
        if (!ParseDisjunction(top, 0) || m_pos != m_pattern.size()) return false;
        m_regex.m_groupCount = m_groupCount;
        Fragment whole = Single(Op::GroupBegin, 0);
        Fragment body = EmitDisjunction(top);
        Append(whole, body);
        Append(whole, Single(Op::GroupEnd, 0));
        Append(whole, Single(Op::Accept, 0));
        if (m_tooBig) return false;
        m_regex.m_start = whole.start;
        SkipDummies();
        for (uint32_t i = 0; i < m_regex.m_nodes.size(); ++i) {
            if (m_regex.m_nodes[i].op == Op::Repeat) m_regex.m_repeats.push_back(i);
        }
        BuildSteps(top);
        return true;
    }

private:
    // Links past the empty nodes that joins and counted repeats leave, so that the walk need not step on them.
    // No loop consists of empty nodes alone: every loop passes a repeat.
    void SkipDummies() {
        std::vector<SimpleRegex::Node>& nodes = m_regex.m_nodes;
        auto skip = [&](uint32_t& link) {
            while (link != kNoState && nodes[link].op == Op::Dummy) link = nodes[link].next;
        };
        for (SimpleRegex::Node& node : nodes) {
            skip(node.next);
            skip(node.alt);
        }
        skip(m_regex.m_start);
    }

    enum class Quantifier : uint8_t { None, Star, Plus, Optional, Braces };
    struct Term;
    using Step = SimpleRegex::Step;
    using Sequence = std::vector<Term>;
    struct Term {
        Op op = Op::Char;  // Char, Any, Class, LineBegin, LineEnd, or Dummy for a group
        uint32_t arg = 0;
        int group = -1;  // a capturing group's number
        std::vector<Sequence> alternatives;
        Quantifier quantifier = Quantifier::None;
        int min = 0, max = 0;  // Braces; max -1 for no limit
        bool lazy = false;
    };
    struct Fragment {
        uint32_t start, end;
    };

    bool AtEnd() const { return m_pos >= m_pattern.size(); }
    wchar_t Peek() const { return m_pattern[m_pos]; }

    bool ParseDisjunction(std::vector<Sequence>& alternatives, int depth) {
        if (depth > kMaxDepth) return false;
        alternatives.emplace_back();
        while (!AtEnd() && Peek() != L')') {
            if (Peek() == L'|') {
                ++m_pos;
                alternatives.emplace_back();
                continue;
            }
            Term term;
            if (!ParseTerm(term, depth)) return false;
            alternatives.back().push_back(std::move(term));
        }
        return true;
    }

    bool ParseTerm(Term& term, int depth) {
        const wchar_t c = Peek();
        ++m_pos;
        bool quantifiable = true;
        if (c == L'^' || c == L'$') {
            term.op = c == L'^' ? Op::LineBegin : Op::LineEnd;
            quantifiable = false;
        } else if (c == L'.') {
            term.op = Op::Any;
        } else if (c == L'(') {
            term.op = Op::Dummy;
            if (!AtEnd() && Peek() == L'?') {
                if (m_pos + 1 >= m_pattern.size() || m_pattern[m_pos + 1] != L':') return false;
                m_pos += 2;
            } else {
                term.group = static_cast<int>(++m_groupCount);
            }
            if (!ParseDisjunction(term.alternatives, depth + 1) || AtEnd()) return false;
            ++m_pos;  // ")"
        } else if (c == L'[') {
            if (!ParseClass(term)) return false;
        } else if (c == L'\\') {
            if (AtEnd()) return false;
            const wchar_t e = Peek();
            ++m_pos;
            if (IsClassEscape(e)) {
                term.op = Op::Class;
                term.arg = AddEscapeClass(e);
            } else if (ControlEscape(e) != 0) {
                term.arg = static_cast<uint32_t>(ControlEscape(e));
            } else if (IsIdentityEscape(e)) {
                term.arg = static_cast<uint32_t>(e);
            } else {
                return false;
            }
        } else if (c == 0 || IsSyntaxCharacter(c)) {
            return false;  // a quantifier with nothing before it, "]", "}", ")" and the like
        } else {
            term.arg = static_cast<uint32_t>(c);
        }
        if (AtEnd()) return true;
        if (!ParseQuantifier(term)) return false;
        if (term.quantifier == Quantifier::None) return true;
        if (!quantifiable) return false;
        if (!AtEnd() && Peek() == L'?') {
            term.lazy = true;
            ++m_pos;
        }
        if (!AtEnd() && std::wstring_view(L"*+?{").find(Peek()) != std::wstring_view::npos) return false;
        if (Repeats(term) && term.op == Op::Dummy && HoldsRepeat(term.alternatives)) return false;
        return true;
    }

    bool ParseQuantifier(Term& term) {
        switch (Peek()) {
            case L'*':
                term.quantifier = Quantifier::Star;
                break;
            case L'+':
                term.quantifier = Quantifier::Plus;
                break;
            case L'?':
                term.quantifier = Quantifier::Optional;
                break;
            case L'{': {
                ++m_pos;
                if (!ReadCount(term.min)) return false;
                term.max = term.min;
                if (!AtEnd() && Peek() == L',') {
                    ++m_pos;
                    term.max = -1;
                    if (!AtEnd() && Peek() != L'}' && !ReadCount(term.max)) return false;
                }
                if (AtEnd() || Peek() != L'}' || (term.max >= 0 && term.max < term.min)) return false;
                term.quantifier = Quantifier::Braces;
                break;
            }
            default:
                return true;
        }
        ++m_pos;
        return true;
    }

    bool ReadCount(int& count) {
        count = 0;
        const size_t first = m_pos;
        while (!AtEnd() && Peek() >= L'0' && Peek() <= L'9') {
            count = count * 10 + (Peek() - L'0');
            if (count > kMaxCount) return false;
            ++m_pos;
        }
        return m_pos > first;
    }

    static bool Repeats(const Term& term) {
        switch (term.quantifier) {
            case Quantifier::Star:
            case Quantifier::Plus:
                return true;
            case Quantifier::Braces:
                return term.max < 0 || term.max > 1;
            default:
                return false;
        }
    }

    static bool HoldsRepeat(const std::vector<Sequence>& alternatives) {
        for (const Sequence& sequence : alternatives) {
            for (const Term& term : sequence) {
                if (Repeats(term) || HoldsRepeat(term.alternatives)) return true;
            }
        }
        return false;
    }

    // A literal inside a class: a plain character or an escape standing for one; 0 when there is none here.
    wchar_t ClassLiteral(bool& escaped) {
        escaped = false;
        const wchar_t c = Peek();
        if (c == 0 || c == L'[') return 0;
        if (c != L'\\') {
            ++m_pos;
            return c;
        }
        if (m_pos + 1 >= m_pattern.size()) return 0;
        const wchar_t e = m_pattern[m_pos + 1];
        if (ControlEscape(e) != 0) {
            m_pos += 2;
            escaped = true;
            return ControlEscape(e);
        }
        if (IsIdentityEscape(e)) {
            m_pos += 2;
            escaped = true;
            return e;
        }
        return 0;
    }

    bool ParseClass(Term& term) {
        SimpleRegex::CharClass charClass;
        if (!AtEnd() && Peek() == L'^') {
            charClass.negated = true;
            ++m_pos;
        }
        bool first = true;
        while (true) {
            if (AtEnd()) return false;
            const wchar_t c = Peek();
            if (c == L']') {
                if (first) return false;  // "[]" and "[^]"
                ++m_pos;
                break;
            }
            if (c == L'-') {
                // A literal only first or last; anywhere else its meaning is left to the standard matcher.
                if (!first && (m_pos + 1 >= m_pattern.size() || m_pattern[m_pos + 1] != L']')) return false;
                ++m_pos;
                charClass.singles.push_back(L'-');
            } else if (c == L'\\' && m_pos + 1 < m_pattern.size() && IsClassEscape(m_pattern[m_pos + 1])) {
                const wchar_t e = m_pattern[m_pos + 1];
                m_pos += 2;
                const ClassMask mask = ClassMaskFor(e);
                if (e == L'd' || e == L'w' || e == L's') {
                    charClass.classes |= mask;
                } else {
                    charClass.negatedClasses.push_back(mask);
                }
            } else {
                bool escaped = false;
                const wchar_t low = ClassLiteral(escaped);
                if (low == 0) return false;
                if (!AtEnd() && Peek() == L'-' && m_pos + 1 < m_pattern.size() && m_pattern[m_pos + 1] != L']') {
                    ++m_pos;
                    if (escaped || AtEnd()) return false;
                    const wchar_t high = Peek();
                    if (high == 0 || high == L'\\' || high == L'[' || high == L'-' || high == L'^' ||
                        low == L'^' || high < low) {
                        return false;
                    }
                    ++m_pos;
                    charClass.ranges.emplace_back(low, high);
                } else {
                    charClass.singles.push_back(low);
                }
            }
            first = false;
        }
        term.op = Op::Class;
        term.arg = AddClass(std::move(charClass));
        return true;
    }

    ClassMask ClassMaskFor(wchar_t escape) const {
        const wchar_t name[1] = {static_cast<wchar_t>(escape | 0x20)};  // "D" names the class "d"
        return m_regex.m_traits.lookup_classname(name, name + 1);
    }

    uint32_t AddEscapeClass(wchar_t escape) {
        SimpleRegex::CharClass charClass;
        if (escape == L'd' || escape == L'w' || escape == L's') {
            charClass.classes = ClassMaskFor(escape);
        } else {
            charClass.negatedClasses.push_back(ClassMaskFor(escape));
        }
        return AddClass(std::move(charClass));
    }

    uint32_t AddClass(SimpleRegex::CharClass&& charClass) {
        std::sort(charClass.singles.begin(), charClass.singles.end());
        for (wchar_t c = 0; c < 128; ++c) {
            if (m_regex.ClassMatches(charClass, c)) charClass.ascii[c >> 6] |= uint64_t{1} << (c & 63);
        }
        charClass.asciiReady = true;
        m_regex.m_classes.push_back(std::move(charClass));
        return static_cast<uint32_t>(m_regex.m_classes.size() - 1);
    }

    uint32_t AddNode(Op op, uint32_t arg = 0) {
        if (m_regex.m_nodes.size() >= kMaxStates) {
            m_tooBig = true;
            return 0;  // the result is thrown away
        }
        SimpleRegex::Node node;
        node.op = op;
        node.arg = arg;
        m_regex.m_nodes.push_back(node);
        return static_cast<uint32_t>(m_regex.m_nodes.size() - 1);
    }

    Fragment Single(Op op, uint32_t arg) {
        const uint32_t id = AddNode(op, arg);
        return {id, id};
    }

    void Append(Fragment& fragment, Fragment tail) {
        if (m_tooBig) return;
        m_regex.m_nodes[fragment.end].next = tail.start;
        fragment.end = tail.end;
    }

    uint32_t AddRepeat(uint32_t body, bool lazy) {
        const uint32_t id = AddNode(Op::Repeat);
        if (!m_tooBig) {
            m_regex.m_nodes[id].alt = body;
            m_regex.m_nodes[id].lazy = lazy;
        }
        return id;
    }

    // Alternatives fold from the left: (a|b)|c, each join ending in a node of its own.
    Fragment EmitDisjunction(const std::vector<Sequence>& alternatives) {
        Fragment result = EmitSequence(alternatives[0]);
        for (size_t i = 1; i < alternatives.size() && !m_tooBig; ++i) {
            Fragment right = EmitSequence(alternatives[i]);
            const Fragment join = Single(Op::Dummy, 0);
            Append(result, join);
            Append(right, join);
            const uint32_t choice = AddNode(Op::Alternative);
            if (m_tooBig) break;
            m_regex.m_nodes[choice].alt = result.start;
            m_regex.m_nodes[choice].next = right.start;
            result = {choice, join.end};
        }
        return result;
    }

    Fragment EmitSequence(const Sequence& sequence) {
        if (sequence.empty()) return Single(Op::Dummy, 0);
        Fragment result = EmitTerm(sequence[0]);
        for (size_t i = 1; i < sequence.size() && !m_tooBig; ++i) Append(result, EmitTerm(sequence[i]));
        return result;
    }

    Fragment EmitAtom(const Term& term) {
        if (term.op != Op::Dummy) return Single(term.op, term.arg);
        if (term.group < 0) {
            Fragment result = Single(Op::Dummy, 0);
            Append(result, EmitDisjunction(term.alternatives));
            return result;
        }
        const auto group = static_cast<uint32_t>(term.group);
        Fragment result = Single(Op::GroupBegin, group);
        Append(result, EmitDisjunction(term.alternatives));
        Append(result, Single(Op::GroupEnd, group));
        return result;
    }

    Fragment EmitTerm(const Term& term) {
        if (m_tooBig) return {0, 0};
        switch (term.quantifier) {
            case Quantifier::None:
                return EmitAtom(term);
            case Quantifier::Star: {
                Fragment body = EmitAtom(term);
                const uint32_t repeat = AddRepeat(body.start, term.lazy);
                Append(body, {repeat, repeat});
                return {repeat, repeat};
            }
            case Quantifier::Plus: {
                Fragment body = EmitAtom(term);
                const uint32_t repeat = AddRepeat(body.start, term.lazy);
                Append(body, {repeat, repeat});
                return body;
            }
            case Quantifier::Optional: {
                Fragment body = EmitAtom(term);
                const Fragment end = Single(Op::Dummy, 0);
                const uint32_t repeat = AddRepeat(body.start, term.lazy);
                Append(body, end);
                Fragment result{repeat, repeat};
                Append(result, end);
                return result;
            }
            case Quantifier::Braces:
                break;
        }
        // The body written out min times, then a loop, or max - min nested optional copies that all leave to
        // one shared end.
        Fragment result = Single(Op::Dummy, 0);
        for (int i = 0; i < term.min && !m_tooBig; ++i) Append(result, EmitAtom(term));
        if (term.max < 0) {
            Fragment body = EmitAtom(term);
            const uint32_t repeat = AddRepeat(body.start, term.lazy);
            Append(body, {repeat, repeat});
            Append(result, {repeat, repeat});
            return result;
        }
        const Fragment end = Single(Op::Dummy, 0);
        for (int i = term.min; i < term.max && !m_tooBig; ++i) {
            const Fragment body = EmitAtom(term);
            const uint32_t repeat = AddRepeat(body.start, term.lazy);
            if (m_tooBig) break;
            m_regex.m_nodes[repeat].next = end.start;
            Append(result, {repeat, body.end});
        }
        Append(result, end);
        return result;
    }

    // The flat form, when every match at a position is decided without going back.
    void BuildSteps(const std::vector<Sequence>& top) {
        std::vector<Step> steps;
        if (!AddSteps(top, steps)) return;
        for (size_t i = 0; i < steps.size(); ++i) {
            if (IsRun(steps[i].op) && !RunIsFinal(steps, i)) return;
        }
        // Repeats of one test ("[0-9]{4}", written out above) become one run of fixed length: fewer steps to walk.
        std::vector<Step> merged;
        for (const Step& step : steps) {
            const bool single = step.op == StepOp::Char || step.op == StepOp::Any || step.op == StepOp::Class;
            if (single && !merged.empty()) {
                Step& previous = merged.back();
                if (IsRun(previous.op) && previous.min == previous.max && TestOf(previous.op) == step.op &&
                    previous.arg == step.arg) {
                    ++previous.min;
                    ++previous.max;
                    continue;
                }
                if (previous.op == step.op && previous.arg == step.arg) {
                    previous = {RunOf(step.op), false, step.arg, 2, 2};
                    continue;
                }
            }
            merged.push_back(step);
        }
        m_regex.m_steps = std::move(merged);
        m_regex.m_straight = true;
    }

    static bool IsRun(StepOp op) { return op == StepOp::RunChar || op == StepOp::RunAny || op == StepOp::RunClass; }

    // The single-character test a step or run makes: Char, Any or Class.
    static StepOp TestOf(StepOp op) {
        switch (op) {
            case StepOp::RunChar:
                return StepOp::Char;
            case StepOp::RunAny:
                return StepOp::Any;
            case StepOp::RunClass:
                return StepOp::Class;
            default:
                return op;
        }
    }

    static StepOp RunOf(StepOp op) {
        return op == StepOp::Char ? StepOp::RunChar : op == StepOp::Any ? StepOp::RunAny : StepOp::RunClass;
    }

    static StepOp StepFor(Op op) {
        switch (op) {
            case Op::Char:
                return StepOp::Char;
            case Op::Any:
                return StepOp::Any;
            case Op::Class:
                return StepOp::Class;
            case Op::LineBegin:
                return StepOp::LineBegin;
            default:
                return StepOp::LineEnd;
        }
    }

    // False for alternation, and for a variable count on anything but a single character test.
    bool AddSteps(const std::vector<Sequence>& alternatives, std::vector<Step>& steps) {
        if (alternatives.size() != 1) return false;
        for (const Term& term : alternatives[0]) {
            int copies = 1;
            if (term.quantifier == Quantifier::Braces && term.min == term.max) {
                copies = term.min;
            } else if (term.quantifier != Quantifier::None) {
                if (term.op == Op::Dummy) return false;
                Step run{RunOf(StepFor(term.op)), term.lazy, term.arg, 0, kUnbounded};
                if (term.quantifier == Quantifier::Plus) run.min = 1;
                if (term.quantifier == Quantifier::Optional) run.max = 1;
                if (term.quantifier == Quantifier::Braces) {
                    run.min = static_cast<uint32_t>(term.min);
                    if (term.max >= 0) run.max = static_cast<uint32_t>(term.max);
                }
                steps.push_back(run);
                continue;
            }
            for (int i = 0; i < copies; ++i) {
                if (term.op != Op::Dummy) {
                    steps.push_back({StepFor(term.op), false, term.arg, 0, 0});
                } else {
                    const auto group = static_cast<uint32_t>(term.group);
                    if (term.group >= 0) steps.push_back({StepOp::GroupBegin, false, group, 0, 0});
                    if (!AddSteps(term.alternatives, steps)) return false;
                    if (term.group >= 0) steps.push_back({StepOp::GroupEnd, false, group, 0, 0});
                }
                if (steps.size() > kMaxStates) return false;
            }
        }
        return true;
    }

    // A run may take as much as it can, whichever way round it is quantified, when handing back any of it can
    // only fail: the next character test accepts nothing the run accepts, or the next step is "$" (a shorter
    // run ends further from the end). At the end of the pattern only a greedy run is decided: a lazy one would
    // take its minimum.
    bool RunIsFinal(const std::vector<Step>& steps, size_t run) const {
        size_t next = run + 1;
        while (next < steps.size() &&
               (steps[next].op == StepOp::GroupBegin || steps[next].op == StepOp::GroupEnd)) {
            ++next;
        }
        if (next == steps.size()) return !steps[run].lazy;
        const Step& following = steps[next];
        switch (following.op) {
            case StepOp::LineEnd:
                return true;
            case StepOp::LineBegin:
                return false;
            case StepOp::RunChar:
            case StepOp::RunAny:
            case StepOp::RunClass:
                return following.min >= 1 && Disjoint(steps[run], following);
            default:
                return Disjoint(steps[run], following);
        }
    }

    bool Accepts(const Step& step, wchar_t c) const {
        switch (TestOf(step.op)) {
            case StepOp::Char:
                return static_cast<uint32_t>(c) == step.arg;
            case StepOp::Any:
                return MatchesAny(c);
            default:
                return m_regex.ClassMatches(m_regex.m_classes[step.arg], c);
        }
    }

    // Whether a test may accept a character of 128 or above; true when that cannot be ruled out cheaply (the
    // named classes follow the locale).
    bool MayAcceptNonAscii(const Step& step) const {
        switch (TestOf(step.op)) {
            case StepOp::Char:
                return step.arg >= 128;
            case StepOp::Any:
                return true;
            default: {
                const SimpleRegex::CharClass& charClass = m_regex.m_classes[step.arg];
                if (charClass.negated || !charClass.negatedClasses.empty() || charClass.classes != ClassMask{}) {
                    return true;
                }
                if (!charClass.singles.empty() && charClass.singles.back() >= 128) return true;
                for (const auto& range : charClass.ranges) {
                    if (range.second >= 128) return true;
                }
                return false;
            }
        }
    }

    // True only when no character passes both tests.
    bool Disjoint(const Step& a, const Step& b) const {
        for (wchar_t c = 0; c < 128; ++c) {
            if (Accepts(a, c) && Accepts(b, c)) return false;
        }
        if (TestOf(a.op) == StepOp::Char) return a.arg < 128 || !Accepts(b, static_cast<wchar_t>(a.arg));
        if (TestOf(b.op) == StepOp::Char) return b.arg < 128 || !Accepts(a, static_cast<wchar_t>(b.arg));
        return !MayAcceptNonAscii(a) || !MayAcceptNonAscii(b);
    }

    std::wstring_view m_pattern;
    SimpleRegex& m_regex;
    size_t m_pos = 0;
    size_t m_groupCount = 0;
    bool m_tooBig = false;
};

std::unique_ptr<SimpleRegex> SimpleRegex::Compile(std::wstring_view pattern) {
    auto regex = std::make_unique<SimpleRegex>(Key());
    RegexBuilder builder(pattern, *regex);
    if (!builder.Build()) return nullptr;
    regex->FindStartSet();
    return regex;
}

// What can happen before the first character is read: the characters a match can begin with, whether it can
// accept without reading, and whether every way passes "^" first. Over-approximate on purpose (the counts of
// repeats are ignored): it only lets the search skip positions where no match can begin.
void SimpleRegex::FindStartSet() {
    m_startNonAscii = false;
    m_nullable = false;
    bool passesAnchor = true;
    struct Item {
        uint32_t state;
        bool anchored;
    };
    std::vector<Item> pending{{m_start, false}};
    std::vector<uint8_t> seen(m_nodes.size(), 0);  // bit 1: reached without "^", bit 2: reached after it
    while (!pending.empty()) {
        const Item item = pending.back();
        pending.pop_back();
        const uint8_t bit = item.anchored ? 2 : 1;
        if (item.state == kNoState || (seen[item.state] & bit) != 0) continue;
        seen[item.state] |= bit;
        const Node& node = m_nodes[item.state];
        switch (node.op) {
            case Op::Char:
                if (node.arg < 128) {
                    m_startAscii[node.arg >> 6] |= uint64_t{1} << (node.arg & 63);
                } else {
                    m_startNonAscii = true;
                }
                if (!item.anchored) passesAnchor = false;
                break;
            case Op::Any:
            case Op::Class:
                for (wchar_t c = 0; c < 128; ++c) {
                    const bool matches =
                        node.op == Op::Any ? MatchesAny(c) : ClassMatches(m_classes[node.arg], c);
                    if (matches) m_startAscii[c >> 6] |= uint64_t{1} << (c & 63);
                }
                m_startNonAscii = true;
                if (!item.anchored) passesAnchor = false;
                break;
            case Op::Accept:
                m_nullable = true;
                if (!item.anchored) passesAnchor = false;
                break;
            case Op::Alternative:
            case Op::Repeat:
                pending.push_back({node.alt, item.anchored});
                pending.push_back({node.next, item.anchored});
                break;
            case Op::LineBegin:
                pending.push_back({node.next, true});
                break;
            default:
                pending.push_back({node.next, item.anchored});
        }
    }
    m_anchored = passesAnchor;
}

bool SimpleRegex::CanStartWith(wchar_t c) const {
    if (c >= 0 && c < 128) return (m_startAscii[c >> 6] >> (c & 63) & 1) != 0;
    return m_startNonAscii;
}

inline bool SimpleRegex::ClassHas(const CharClass& charClass, wchar_t c) const {
    if (c >= 0 && c < 128) return (charClass.ascii[c >> 6] >> (c & 63) & 1) != 0;
    return ClassMatches(charClass, c);
}

bool SimpleRegex::ClassMatches(const CharClass& charClass, wchar_t c) const {
    if (c >= 0 && c < 128 && charClass.asciiReady) {
        return (charClass.ascii[c >> 6] >> (c & 63) & 1) != 0;
    }
    bool found = std::binary_search(charClass.singles.begin(), charClass.singles.end(), c);
    for (size_t i = 0; !found && i < charClass.ranges.size(); ++i) {
        found = charClass.ranges[i].first <= c && c <= charClass.ranges[i].second;
    }
    if (!found && charClass.classes != ClassMask{}) found = m_traits.isctype(c, charClass.classes);
    for (size_t i = 0; !found && i < charClass.negatedClasses.size(); ++i) {
        found = !m_traits.isctype(c, charClass.negatedClasses[i]);
    }
    return found != charClass.negated;
}

RegexResult SimpleRegex::Search(std::wstring_view subject, size_t start, unsigned flags,
                                RegexScratch& scratch) const {
    if (subject.size() > kMaxSubject) return RegexResult::TooLong;
    if (m_straight) return SearchSteps(subject, start, flags, scratch);
    scratch.current.resize(m_groupCount + 1);
    scratch.found.resize(m_groupCount + 1);
    scratch.repeatCounts.resize(m_nodes.size());
    const bool prevAvail = (flags & kPrevAvail) != 0;
    const bool notNull = (flags & kNotNull) != 0;
    // Only the first position can be the beginning for "^", and then only without kPrevAvail.
    const size_t last = (flags & kContinuous) != 0 || m_anchored ? start : subject.size();
    if (m_anchored && prevAvail) return RegexResult::NotFound;
    RegexResult result = RegexResult::NotFound;
    for (size_t position = start; position <= last; ++position) {
        if (!m_nullable && (position == subject.size() || !CanStartWith(subject[position]))) continue;
        result = Attempt(subject, position, position == start && !prevAvail, notNull, scratch);
        if (result != RegexResult::NotFound) break;
    }
    if (scratch.frames.capacity() > kKeptFrames) std::vector<RegexFrame>().swap(scratch.frames);
    return result;
}

namespace {

// The length of the run of characters from position that pass test, at most max.
template <class Test>
inline size_t RunLength(const wchar_t* text, size_t position, size_t size, uint32_t max, const Test& test) {
    const size_t limit = max == kUnbounded || size - position < max ? size : position + max;
    size_t current = position;
    while (current < limit && test(text[current])) ++current;
    return current - position;
}

}  // namespace

// The flat form at one position: found holds the whole match and the groups when true, garbage when false.
[[gnu::always_inline]] inline bool SimpleRegex::MatchSteps(const wchar_t* text, size_t size, size_t begin,
                                                           bool atBeginning, bool notNull,
                                                           RegexCapture* found, uint64_t& scanned) const {
    for (size_t group = 1; group <= m_groupCount; ++group) found[group] = RegexCapture();
    size_t current = begin;
    for (const Step& step : m_steps) {
        switch (step.op) {
            case StepOp::Char:
                if (current == size || static_cast<uint32_t>(text[current]) != step.arg) return false;
                ++current;
                break;
            case StepOp::Any:
                if (current == size || !MatchesAny(text[current])) return false;
                ++current;
                break;
            case StepOp::Class:
                if (current == size || !ClassHas(m_classes[step.arg], text[current])) return false;
                ++current;
                break;
            case StepOp::LineBegin:
                if (!atBeginning || current != begin) return false;
                break;
            case StepOp::LineEnd:
                if (current != size) return false;
                break;
            case StepOp::GroupBegin:
                found[step.arg].first = current;
                break;
            case StepOp::GroupEnd:
                found[step.arg].second = current;
                found[step.arg].matched = true;
                break;
            case StepOp::RunChar:
            case StepOp::RunAny:
            case StepOp::RunClass: {
                size_t length;
                if (step.op == StepOp::RunChar) {
                    length = RunLength(text, current, size, step.max,
                                       [&](wchar_t c) { return static_cast<uint32_t>(c) == step.arg; });
                } else if (step.op == StepOp::RunAny) {
                    length = RunLength(text, current, size, step.max, MatchesAny);
                } else {
                    const CharClass& charClass = m_classes[step.arg];
                    length = RunLength(text, current, size, step.max,
                                       [&](wchar_t c) { return ClassHas(charClass, c); });
                }
                scanned += length;
                if (length < step.min) return false;
                current += length;
                break;
            }
        }
    }
    if (notNull && current == begin) return false;
    found[0] = {begin, current, true};
    return true;
}

RegexResult SimpleRegex::SearchSteps(std::wstring_view subject, size_t start, unsigned flags,
                                     RegexScratch& scratch) const {
    if (scratch.found.size() != m_groupCount + 1) scratch.found.resize(m_groupCount + 1);
    const bool prevAvail = (flags & kPrevAvail) != 0;
    const bool notNull = (flags & kNotNull) != 0;
    if (m_anchored && prevAvail) return RegexResult::NotFound;
    const size_t last = (flags & kContinuous) != 0 || m_anchored ? start : subject.size();
    const wchar_t* const text = subject.data();
    const size_t size = subject.size();
    RegexCapture* const found = scratch.found.data();
    // Steps: one per position tried, plus the characters each run scanned (a run that the pattern cannot
    // follow up fails after scanning, so a search over a long value can take quadratic time).
    uint64_t spent = 0;
    const uint64_t budget = scratch.stepsLeft;
    RegexResult result = RegexResult::NotFound;
    if (m_nullable) {
        for (size_t position = start; position <= last; ++position) {
            if (MatchSteps(text, size, position, position == start && !prevAvail, notNull, found, ++spent)) {
                result = RegexResult::Found;
                break;
            }
            if (spent >= budget) {
                result = RegexResult::TooComplex;
                break;
            }
        }
    } else {
        // No match begins at the end, or on a character no match can begin with.
        const size_t end = std::min(last + 1, size);
        for (size_t position = start; position < end; ++position) {
            const wchar_t c = text[position];
            if (c >= 0 && c < 128 ? (m_startAscii[c >> 6] >> (c & 63) & 1) == 0 : !m_startNonAscii) continue;
            if (MatchSteps(text, size, position, position == start && !prevAvail, notNull, found, ++spent)) {
                result = RegexResult::Found;
                break;
            }
            if (spent >= budget) {
                result = RegexResult::TooComplex;
                break;
            }
        }
    }
    scratch.stepsLeft = spent >= budget ? 0 : budget - spent;
    return result;
}

// One depth-first walk of the automaton from position, in the order the standard library's recursive walk
// takes; the frames stand for the work its recursion would still do when a branch fails.
RegexResult SimpleRegex::Attempt(std::wstring_view subject, size_t position, bool atBeginning, bool notNull,
                                 RegexScratch& scratch) const {
    std::vector<RegexFrame>& frames = scratch.frames;
    std::vector<RegexCapture>& captures = scratch.current;
    auto& counts = scratch.repeatCounts;
    frames.clear();
    for (RegexCapture& capture : captures) capture = RegexCapture();
    for (const uint32_t repeat : m_repeats) counts[repeat] = {0, 0};
    // Values changed while no choice is open need no restoring: a failure then ends the attempt, and the next
    // attempt starts afresh.
    size_t choices = 0;
    const wchar_t* const text = subject.data();
    const auto size = static_cast<uint32_t>(subject.size());
    const auto begin = static_cast<uint32_t>(position);
    uint32_t current = begin;
    uint32_t state = m_start;
    // One step per node visited; kept in a local so the loop touches no memory for it.
    uint64_t stepsLeft = scratch.stepsLeft;

    // Enters the body of a repeat once more unless it has already run twice at this position; false if not.
    auto enterBody = [&](uint32_t repeat) {
        auto& count = counts[repeat];
        if (count.second != 0 && count.first == current && count.second >= 2) return false;
        if (choices != 0) frames.push_back({kRestoreRepeat, repeat, count.first, count.second});
        if (count.second == 0 || count.first != current) {
            count = {current, 1};
        } else {
            ++count.second;
        }
        state = m_nodes[repeat].alt;
        return true;
    };

    while (true) {
        if (stepsLeft == 0) {
            scratch.stepsLeft = 0;
            return RegexResult::TooComplex;
        }
        --stepsLeft;
        const Node& node = m_nodes[state];
        bool advance = true;
        switch (node.op) {
            case Op::Char:
                advance = current < size && static_cast<uint32_t>(text[current]) == node.arg;
                if (advance) ++current;
                state = node.next;
                break;
            case Op::Any:
                advance = current < size && MatchesAny(text[current]);
                if (advance) ++current;
                state = node.next;
                break;
            case Op::Class:
                advance = current < size && ClassHas(m_classes[node.arg], text[current]);
                if (advance) ++current;
                state = node.next;
                break;
            case Op::Dummy:
                state = node.next;
                break;
            case Op::LineBegin:
                advance = atBeginning && current == begin;
                state = node.next;
                break;
            case Op::LineEnd:
                advance = current == size;
                state = node.next;
                break;
            case Op::GroupBegin: {
                RegexCapture& capture = captures[node.arg];
                if (choices != 0) {
                    frames.push_back({capture.matched ? kRestoreCaptureMatched : kRestoreCapture, node.arg,
                                      static_cast<uint32_t>(capture.first), static_cast<uint32_t>(capture.second)});
                }
                capture.first = current;
                state = node.next;
                break;
            }
            case Op::GroupEnd: {
                RegexCapture& capture = captures[node.arg];
                if (choices != 0) {
                    frames.push_back({capture.matched ? kRestoreCaptureMatched : kRestoreCapture, node.arg,
                                      static_cast<uint32_t>(capture.first), static_cast<uint32_t>(capture.second)});
                }
                capture.second = current;
                capture.matched = true;
                state = node.next;
                break;
            }
            case Op::Alternative:
                frames.push_back({kResume, node.next, current, 0});
                ++choices;
                state = node.alt;
                break;
            case Op::Repeat: {
                // Every way to grow the stack without limit passes a repeat, so the limit is checked here.
                if (frames.size() > scratch.maxFrames) return RegexResult::TooLong;
                const uint32_t repeat = state;
                if (node.lazy) {
                    frames.push_back({kLazyMore, repeat, current, 0});
                    ++choices;
                    state = node.next;
                } else {
                    frames.push_back({kResume, node.next, current, 0});
                    ++choices;
                    if (!enterBody(repeat)) {
                        frames.pop_back();
                        --choices;
                        state = node.next;
                    }
                }
                break;
            }
            case Op::Accept:
                advance = !(notNull && current == begin);
                if (advance) {
                    scratch.found = captures;
                    scratch.stepsLeft = stepsLeft;
                    return RegexResult::Found;
                }
                break;
        }
        if (advance) continue;

        // Backtrack: undo what the failed branch changed, up to the most recent choice still open.
        bool resumed = false;
        while (!resumed && !frames.empty()) {
            const RegexFrame frame = frames.back();
            frames.pop_back();
            switch (frame.kind) {
                case kResume:
                    --choices;
                    state = frame.id;
                    current = frame.a;
                    resumed = true;
                    break;
                case kLazyMore:
                    --choices;
                    current = frame.a;
                    resumed = enterBody(frame.id);
                    break;
                case kRestoreCapture:
                case kRestoreCaptureMatched:
                    captures[frame.id] = {frame.a, frame.b, frame.kind == kRestoreCaptureMatched};
                    break;
                default:
                    counts[frame.id] = {frame.a, frame.b};
            }
        }
        if (!resumed) {
            scratch.stepsLeft = stepsLeft;
            return RegexResult::NotFound;
        }
    }
}

RegexMatches::RegexMatches(const SimpleRegex& regex, std::wstring_view subject, RegexScratch& scratch)
    : m_regex(regex), m_subject(subject), m_scratch(scratch) {
    m_scratch.stepsLeft = RegexStepBudget(subject.size());
}

RegexResult RegexMatches::Next() {
    if (m_done) return RegexResult::NotFound;
    RegexResult result;
    if (!m_started) {
        m_started = true;
        result = m_regex.Search(m_subject, 0, 0, m_scratch);
    } else {
        const RegexCapture whole = m_scratch.found[0];
        size_t start = whole.second;
        if (whole.first == whole.second) {
            if (start == m_subject.size()) {
                m_done = true;
                return RegexResult::NotFound;
            }
            const unsigned flags = (m_prevAvail ? kPrevAvail : 0u) | kNotNull | kContinuous;
            result = m_regex.Search(m_subject, start, flags, m_scratch);
            if (result != RegexResult::NotFound) {
                if (result == RegexResult::TooLong || result == RegexResult::TooComplex) m_done = true;
                return result;
            }
            ++start;
        }
        m_prevAvail = true;
        result = m_regex.Search(m_subject, start, kPrevAvail, m_scratch);
    }
    if (result != RegexResult::Found) m_done = true;
    return result;
}

}  // namespace rules
