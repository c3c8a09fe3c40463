// The view's time source: a monotonic millisecond count and the local date and time at one moment. Animations
// measure with the monotonic count only; tests put a clock of their own in its place.
#pragma once
#include <cstdint>

#include "app/foundation/date_time.h"

namespace kz::view {

using kz::foundation::SystemTime;

class ViewClock {
public:
    virtual ~ViewClock() = default;
    virtual std::int64_t steady_ms() = 0;  // monotonic, never goes back
    virtual SystemTime local_now() = 0;    // wall-clock local date and time
};

// steady_clock and the process's local time zone.
class SystemViewClock : public ViewClock {
public:
    std::int64_t steady_ms() override;
    SystemTime local_now() override;
};

// A clock that moves only when told to.
class ManualViewClock : public ViewClock {
public:
    std::int64_t steady_ms() override { return now_ms; }
    SystemTime local_now() override { return local; }
    void advance(std::int64_t ms) { now_ms += ms; }
    std::int64_t now_ms = 1000000;
    SystemTime local{2026, 3, 0, 31, 23, 59, 59, 500};
};

}  // namespace kz::view
