// Timer slots over the platform's periodic timer. The armed flag is the only word both threads write, so it is an
// atomic exchanged by the tick; the window and message words are atomics the tick reads. Stopping joins the
// timer's thread, so no tick of a stopped slot can post afterwards.
#include "app/foundation/timer_slots.h"

#include <atomic>
#include <cmath>

#include "platform/timer.h"

namespace kz::foundation {

namespace {

struct TimerSlot {
    std::atomic<platform::WindowHandle> window{nullptr};
    std::atomic<std::uint32_t> message{0};
    std::atomic<int> armed{0};
    unsigned period = 0;
    platform::PeriodicTimer timer;
};

struct TimerSlotTable {
    std::atomic<int> count{0};
    TimerSlot slots[kTimerSlotCount];
};

TimerSlotTable& table() {
    static TimerSlotTable slots;
    return slots;
}

TimerSlot* slot_at(int slot) {
    TimerSlotTable& t = table();
    return slot >= 0 && slot < t.count ? &t.slots[slot] : nullptr;
}

}  // namespace

int timer_register(platform::WindowHandle window, std::uint32_t message) {
    TimerSlotTable& t = table();
    for (int i = 0; i < t.count; ++i) {
        TimerSlot& s = t.slots[i];
        if (s.window.load() != window) continue;
        // A timer left running would post the old message with nobody to re-arm or stop it.
        s.armed = 0;
        s.timer.stop();
        s.period = 0;
        s.message = message;
        return i;
    }
    if (t.count >= kTimerSlotCount) return -1;
    TimerSlot& s = t.slots[t.count];
    s.window = window;
    s.message = message;
    s.armed = 0;
    s.period = 0;
    return t.count++;
}

void timer_start(int slot, double seconds) {
    TimerSlot* s = slot_at(slot);
    if (!s || s->period != 0) return;
    const double ms = std::trunc(seconds * 1000.0 + 0.5);
    const unsigned delay = !(ms >= 1.0) ? 1u : (ms > 4.0e9 ? 4000000000u : static_cast<unsigned>(ms));
    s->armed = 1;
    if (!s->timer.start(delay, [slot] { timer_callback(slot); })) {
        s->armed = 0;
        return;
    }
    s->period = delay;
    platform::post_message(s->window.load(), UM_TIMER_STATE, 0, 0);
}

void timer_stop(int slot) {
    TimerSlot* s = slot_at(slot);
    if (!s) return;
    s->armed = 0;
    s->timer.stop();
    s->period = 0;
    platform::post_message(s->window.load(), UM_TIMER_STATE, 0, 1);
}

void timer_callback(int slot) {
    TimerSlot* s = slot_at(slot);
    if (!s) return;
    int expected = 1;
    if (s->armed.compare_exchange_strong(expected, 0))
        platform::post_message(s->window.load(), s->message.load(), 0, 0);
}

void timer_rearm(int slot) {
    if (TimerSlot* s = slot_at(slot)) s->armed = 1;
}

int timer_slot_count() { return table().count; }

unsigned timer_slot_period(int slot) {
    TimerSlot* s = slot_at(slot);
    return s ? s->period : 0;
}

bool timer_slot_armed(int slot) {
    TimerSlot* s = slot_at(slot);
    return s && s->armed.load() == 1;
}

void timer_release_all() {
    TimerSlotTable& t = table();
    for (int i = 0; i < t.count; ++i) {
        TimerSlot& s = t.slots[i];
        s.armed = 0;
        s.timer.stop();
        s.period = 0;
        s.window = nullptr;
        s.message = 0;
    }
    t.count = 0;
}

}  // namespace kz::foundation
