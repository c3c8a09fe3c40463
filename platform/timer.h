// Stands in for the multimedia timer service: a periodic callback on a thread of its own at a whole number of
// milliseconds. Ticks are scheduled against a steady clock so the period does not drift; a tick that comes late
// is not repeated to catch up. No one-shot mode and no resolution setting beyond the clamp to 1 ms.
#pragma once
#include <functional>
#include <memory>

namespace kz::platform {

class PeriodicTimer {
public:
    PeriodicTimer();
    ~PeriodicTimer();  // stops and joins
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Starts calling `tick` every `period_ms` milliseconds (below 1 counts as 1), the first call one period from
    // now. A running timer is stopped and joined first. False when the thread cannot be started.
    bool start(unsigned period_ms, std::function<void()> tick);
    // Stops and joins the thread; a tick that is running finishes first. Must not be called from the tick itself.
    void stop();
    bool running() const;
    unsigned period_ms() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kz::platform
