// Time for one NewPix call. The call has one deadline; every stage of every
// request (resolving the name, connecting, sending, waiting for the answer,
// each read of it) gets the time that is left of it, never more, and never
// more than the per-stage cap either.
#pragma once

#include <cstdint>

namespace bank001 {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds.
    virtual std::int64_t NowMs() = 0;
};

class Deadline {
public:
    Deadline(Clock& clock, std::int64_t budgetMs) : clock_(clock), budgetMs_(budgetMs), end_(clock.NowMs() + budgetMs) {}

    std::int64_t BudgetMs() const noexcept { return budgetMs_; }
    std::int64_t RemainingMs() const {
        const std::int64_t left = end_ - clock_.NowMs();
        return left > 0 ? left : 0;
    }
    bool Passed() const { return RemainingMs() == 0; }

    // The limit of the next stage: what is left, at most capMs, and at
    // least 1 (for the stacks that read 0 as "no limit").
    std::int64_t StageMs(std::int64_t capMs) const {
        const std::int64_t left = RemainingMs();
        const std::int64_t stage = left < capMs ? left : capMs;
        return stage > 0 ? stage : 1;
    }
    // True when the stage's limit is the deadline's rest, not the cap.
    bool DeadlineBinds(std::int64_t capMs) const { return RemainingMs() <= capMs; }

private:
    Clock& clock_;
    std::int64_t budgetMs_;
    std::int64_t end_;
};

}  // namespace bank001
