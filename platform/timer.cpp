// The periodic timer as one std::thread per running timer, sleeping on a condition variable until the next due
// time so that stop wakes it at once. Due times advance by whole periods from the start; after a stall the next
// due time is the first one still ahead, so a slow machine skips ticks instead of bursting.
#include "platform/timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kz::platform {

struct PeriodicTimer::State {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop_requested = false;
    unsigned period = 0;
    std::thread thread;
};

PeriodicTimer::PeriodicTimer() : state_(std::make_unique<State>()) {}

PeriodicTimer::~PeriodicTimer() { stop(); }

bool PeriodicTimer::start(unsigned period_ms, std::function<void()> tick) {
    stop();
    if (!tick) return false;
    const unsigned period = period_ms < 1 ? 1 : period_ms;
    {
        std::lock_guard lock(state_->mutex);
        state_->stop_requested = false;
        state_->period = period;
    }
    State* s = state_.get();
    try {
        s->thread = std::thread([s, period, tick = std::move(tick)] {
            using clock = std::chrono::steady_clock;
            const auto step = std::chrono::milliseconds(period);
            auto due = clock::now() + step;
            std::unique_lock lock(s->mutex);
            while (true) {
                if (s->wake.wait_until(lock, due, [s] { return s->stop_requested; })) return;
                lock.unlock();
                tick();
                lock.lock();
                due += step;
                const auto now = clock::now();
                if (due <= now) due += step * ((now - due) / step + 1);
            }
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(state_->mutex);
        state_->period = 0;
        return false;
    }
    return true;
}

void PeriodicTimer::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stop_requested = true;
    }
    state_->wake.notify_all();
    if (state_->thread.joinable()) state_->thread.join();
    std::lock_guard lock(state_->mutex);
    state_->period = 0;
}

bool PeriodicTimer::running() const {
    std::lock_guard lock(state_->mutex);
    return state_->period != 0;
}

unsigned PeriodicTimer::period_ms() const {
    std::lock_guard lock(state_->mutex);
    return state_->period;
}

}  // namespace kz::platform
