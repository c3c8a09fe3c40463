// A window class whose procedure records every message, shared by the window-layer tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/message_loop.h"
#include "platform/window.h"

namespace kz::test {

struct Seen {
    platform::WindowHandle window;
    std::uint32_t message;
    platform::WParam wparam;
    platform::LParam lparam;
};

// Messages recorded by the procedure, and an optional hook that runs for each before it is recorded.
inline std::vector<Seen>& seen() {
    static std::vector<Seen> log;
    return log;
}
inline std::function<platform::LResult(const Seen&)>& message_hook() {
    static std::function<platform::LResult(const Seen&)> hook;
    return hook;
}

inline platform::LResult recording_procedure(platform::WindowHandle w, std::uint32_t m, platform::WParam wp,
                                             platform::LParam lp) {
    const Seen s{w, m, wp, lp};
    seen().push_back(s);
    if (message_hook()) return message_hook()(s);
    return platform::default_window_procedure(w, m, wp, lp);
}

// Registers "KzTestWindow" (double clicks) and "KzTestPlain" (no double clicks) once.
inline void register_test_classes() {
    ASSERT_TRUE(platform::ensure_application());
    platform::WindowClass with_double{"KzTestWindow", platform::CS_DBLCLKS, recording_procedure, 0x000000, "", true};
    platform::WindowClass plain{"KzTestPlain", 0, recording_procedure, 0xFFFFFF, "", false};
    platform::register_window_class(with_double);
    platform::register_window_class(plain);
    seen().clear();
    message_hook() = nullptr;
}

// Messages of one kind, in order.
inline std::vector<Seen> seen_of(std::uint32_t message) {
    std::vector<Seen> out;
    for (const Seen& s : seen())
        if (s.message == message) out.push_back(s);
    return out;
}

// Pumps until the predicate holds or the bound of rounds is used up (each round sleeps 1 ms).
inline bool pump_until(const std::function<bool()>& done, int rounds = 5000) {
    for (int i = 0; i < rounds; ++i) {
        if (done()) return true;
        platform::pump_messages();
        platform::sleep_milliseconds(1);
    }
    return done();
}

}  // namespace kz::test
