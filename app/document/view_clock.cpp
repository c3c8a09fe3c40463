// The system clock of the view and the clock arithmetic of XView: the view clock, interpolation over time and
// the timing slots that measure the builders' work.
#include "app/document/view_clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "app/document/xview.h"
#include "app/scene/action_list.h"

namespace kz::view {

std::int64_t SystemViewClock::steady_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

SystemTime SystemViewClock::local_now() { return kz::foundation::local_time_now(); }

// The local date is read once; every later reading walks forward from it by the monotonic count, so a stamp is
// a function of monotonic milliseconds and differences between stamps never jump with the wall clock.
void XView::SetClock(ViewClock* source) {
    clock_source = source ? source : &system_clock;
    clock_anchor_local = clock_source->local_now();
    clock_anchor_ms = clock_source->steady_ms();
}

std::int64_t XView::ClockMilliseconds() { return clock_source->steady_ms() - clock_anchor_ms; }

SystemTime XView::LocalTime() {
    SystemTime t = clock_anchor_local;
    kz::foundation::add_seconds_to_time(t, static_cast<double>(ClockMilliseconds()) / 1000.0);
    return t;
}

void XView::GetClockTime(SystemTime* out) {
    SystemTime t = LocalTime();
    kz::foundation::add_seconds_to_time(t, timeline.clock_offset_ms / 1000.0);
    timeline.clock_last_time = t;
    if (out) *out = t;
}

int XView::InterpolateAtTime(const SystemTime& start, double from, double to, const SystemTime& now, double duration_ms,
                             double* value, int easing) {
    const double elapsed = static_cast<double>(kz::foundation::time_diff_ms(start, now)) - timeline.clock_offset_ms;
    return kz::scene::interpolate_elapsed(elapsed, from, to, duration_ms, value, easing);
}

void XView::ClearTimings() {
    const std::int64_t now = ClockMilliseconds();
    for (TimingSlot& slot : timeline.timings) slot = TimingSlot{now, 0.0, 0, 0};
}

void XView::BeginTiming(int slot) {
    if (slot < 0 || slot >= kTimingSlotCount) return;
    TimingSlot& s = timeline.timings[slot];
    s.running_mark = slot;
    s.start_ms = ClockMilliseconds();
    ++s.count;
}

void XView::EndTiming(int slot) {
    if (slot < 0 || slot >= kTimingSlotCount) return;
    TimingSlot& s = timeline.timings[slot];
    if (s.running_mark != slot) return;
    s.total_seconds += static_cast<double>(ClockMilliseconds() - s.start_ms) / 1000.0;
    s.running_mark = 0;
}

}  // namespace kz::view
