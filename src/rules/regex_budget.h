#pragma once
// A step budget for matching one value, shared by both matchers. Backtracking can take exponential time
// ("^(a+)+$" on thirty "a" and a "!"), so a search that spends more than the budget gives up; the budget grows
// with the value so that ordinary expressions on long values keep working.

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace rules {

// Steps a global replace may take over a value of valueLength characters.
inline uint64_t RegexStepBudget(size_t valueLength) {
    return uint64_t{1000} * valueLength + 100'000;
}

// Thrown by BudgetIterator when the budget of the current thread is spent.
struct RegexBudgetExceeded {};

// The standard library's matcher has no hook for counting its work, but every step of its backtracking walk
// either compares the current position with the end or the beginning of the input or branches towards such a
// comparison. This iterator over a wide-character array counts each comparison against a per-thread budget and
// throws RegexBudgetExceeded once it is spent; otherwise it behaves as the plain pointer, so matches are the
// same.
class BudgetIterator {
  public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = wchar_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const wchar_t*;
    using reference = const wchar_t&;

    BudgetIterator() = default;
    explicit BudgetIterator(const wchar_t* position) : m_position(position) {}

    // Sets the budget of the calling thread for the searches that follow.
    static void SetBudget(uint64_t steps) { t_remaining = steps; }
    // What is left of it.
    static uint64_t BudgetLeft() { return t_remaining; }

    const wchar_t* Pointer() const { return m_position; }
    reference operator*() const { return *m_position; }
    pointer operator->() const { return m_position; }
    BudgetIterator& operator++() {
        ++m_position;
        return *this;
    }
    BudgetIterator operator++(int) {
        BudgetIterator before = *this;
        ++m_position;
        return before;
    }
    BudgetIterator& operator--() {
        --m_position;
        return *this;
    }
    BudgetIterator operator--(int) {
        BudgetIterator before = *this;
        --m_position;
        return before;
    }
    friend bool operator==(const BudgetIterator& a, const BudgetIterator& b) {
        if (t_remaining == 0) throw RegexBudgetExceeded();
        --t_remaining;
        return a.m_position == b.m_position;
    }

  private:
    static inline thread_local uint64_t t_remaining = UINT64_MAX;
    const wchar_t* m_position = nullptr;
};

}  // namespace rules
