// How much memory the data that scripts make may take. Strings, arrays and the property tables
// behind functions and instances charge what they allocate to a budget and credit the same bytes
// back when they free them, so that used() is exactly what they hold now. Each engine has one
// budget; while it runs, that budget is the current one and everything made then charges it.
// What is made outside any run (a host's own arrays and tables) and what the parser makes from the
// source (atoms, literals) is charged nowhere. A charge past the limit is refused; the maker then
// fails as when memory runs out, and the script sees "out of memory".
//
// Every object that charged a budget holds a reference on it, so a budget outlives its engine for
// as long as strings or arrays made by that engine's scripts are alive. The budget also lists the
// arrays, functions and instances made for its engine, so that their cycles can be found (see
// Collectable).
#pragma once

#include <base/Assert.h>
#include <base/Ref.h>
#include <base/RefCounted.h>

#include <cstddef>

namespace nimbolt {

class Collectable;

class MemoryBudget final : public RefCounted {
public:
    static constexpr size_t DefaultLimit = size_t { 256 } << 20;

    // A new budget with count 1 and nothing used, or null when memory runs out.
    static RefPtr<MemoryBudget> create(size_t limit = DefaultLimit);

    size_t limit() const { return m_limit; }
    // A limit below what is in use refuses every charge until enough is credited back.
    void setLimit(size_t limit) { m_limit = limit; }
    size_t used() const { return m_used; }
    // The most ever in use at once.
    size_t peak() const { return m_peak; }

    // Takes the bytes from the budget; false, with nothing taken, when they do not fit.
    [[nodiscard]] bool charge(size_t bytes)
    {
        if (m_used > m_limit || bytes > m_limit - m_used)
            return false;
        m_used += bytes;
        if (m_used > m_peak)
            m_peak = m_used;
        return true;
    }
    void credit(size_t bytes)
    {
        NIMBOLT_ASSERT(bytes <= m_used);
        m_used -= bytes;
    }

    // The budget of the engine that is running, or null between runs.
    static MemoryBudget* current() { return s_current; }
    // Makes the budget (or none) the current one; returns the one that was.
    static MemoryBudget* makeCurrent(MemoryBudget* budget)
    {
        MemoryBudget* previous = s_current;
        s_current = budget;
        return previous;
    }

private:
    explicit MemoryBudget(size_t limit)
        : m_limit(limit)
    {
    }
    ~MemoryBudget() override { NIMBOLT_ASSERT(m_used == 0 && !m_listed); }

    friend class Collectable;
    friend size_t collectCycles(MemoryBudget& budget);

    size_t m_limit;
    size_t m_used { 0 };
    size_t m_peak { 0 };
    // The newest listed object; each holds a reference on the budget while listed.
    Collectable* m_listed { nullptr };
    static inline MemoryBudget* s_current = nullptr;
};

// Makes a budget (or none) the current one while alive and puts the previous one back after.
class CurrentBudget {
public:
    explicit CurrentBudget(MemoryBudget* budget)
        : m_previous(MemoryBudget::makeCurrent(budget))
    {
    }
    ~CurrentBudget() { MemoryBudget::makeCurrent(m_previous); }
    CurrentBudget(const CurrentBudget&) = delete;
    CurrentBudget& operator=(const CurrentBudget&) = delete;

private:
    MemoryBudget* m_previous;
};

// Charges an optional budget (no budget: always true) and credits it back.
inline bool chargeBudget(MemoryBudget* budget, size_t bytes) { return !budget || budget->charge(bytes); }
inline void creditBudget(MemoryBudget* budget, size_t bytes)
{
    if (budget)
        budget->credit(bytes);
}
inline bool chargeBudget(const RefPtr<MemoryBudget>& budget, size_t bytes) { return chargeBudget(budget.ptr(), bytes); }
inline void creditBudget(const RefPtr<MemoryBudget>& budget, size_t bytes) { creditBudget(budget.ptr(), bytes); }

}
