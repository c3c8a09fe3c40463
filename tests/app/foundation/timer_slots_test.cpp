// Timer slots posting into a real window's queue (Qt offscreen).
#include "app/foundation/timer_slots.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/message_loop.h"

namespace kz::foundation {
namespace {

using platform::LParam;
using platform::LResult;
using platform::WindowHandle;
using platform::WParam;

constexpr std::uint32_t kTick = 0x5500;
constexpr std::uint32_t kOtherTick = 0x5501;

struct Received {
    std::uint32_t message;
    LParam lparam;
};
std::vector<Received> g_received;
std::function<void(std::uint32_t)> g_on_message;

LResult slot_window_procedure(WindowHandle w, std::uint32_t m, WParam wp, LParam lp) {
    if (m >= 0x5000) {
        g_received.push_back({m, lp});
        if (g_on_message) g_on_message(m);
        return 0;
    }
    return platform::default_window_procedure(w, m, wp, lp);
}

int count_of(std::uint32_t message, LParam lparam = -1) {
    int n = 0;
    for (const auto& r : g_received) n += r.message == message && (lparam < 0 || r.lparam == lparam);
    return n;
}

// Delivers what is queued now and what arrives within `ms`.
void pump_for(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        platform::pump_messages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < end);
}

class TimerSlots : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ensure_application());
        platform::WindowClass window_class;
        window_class.name = "KzTimerSlotWindow";
        window_class.procedure = slot_window_procedure;
        platform::register_window_class(window_class);
        window_ = platform::create_window("KzTimerSlotWindow", "slots", 0, 0, 0, 10, 10, nullptr);
        ASSERT_NE(window_, nullptr);
        timer_release_all();
        g_received.clear();
        g_on_message = nullptr;
    }
    void TearDown() override {
        g_on_message = nullptr;
        timer_release_all();
        platform::destroy_window(window_);
    }
    WindowHandle window_ = nullptr;
};

TEST_F(TimerSlots, RegistrationReusesTheWindowsSlotAndRefusesThe33rdWindow) {
    EXPECT_EQ(timer_register(window_, kTick), 0);
    EXPECT_EQ(timer_register(window_, kOtherTick), 0);
    std::vector<int> fake_windows(kTimerSlotCount);
    for (int i = 1; i < kTimerSlotCount; ++i)
        EXPECT_EQ(timer_register(reinterpret_cast<WindowHandle>(&fake_windows[i]), kTick), i);
    EXPECT_EQ(timer_slot_count(), kTimerSlotCount);
    EXPECT_EQ(timer_register(reinterpret_cast<WindowHandle>(&fake_windows[0]), kTick), -1);
    EXPECT_EQ(timer_slot_count(), kTimerSlotCount);
    EXPECT_EQ(timer_register(window_, kTick), 0);  // a known window still gets its slot back
}

TEST_F(TimerSlots, PeriodIsRoundedToMillisecondsAndClampedToOne) {
    const struct {
        double seconds;
        unsigned period;
    } cases[] = {{0.04, 40}, {1.0 / 30.0, 33}, {0.0015, 2}, {0.0004, 1}, {0.0, 1}, {-5.0, 1}};
    const int slot = timer_register(window_, kTick);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        timer_start(slot, c.seconds);
        EXPECT_EQ(timer_slot_period(slot), c.period);
        timer_stop(slot);
        EXPECT_EQ(timer_slot_period(slot), 0u);
    }
}

TEST_F(TimerSlots, StartTwiceStartsOnceAndStopPostsTheStateMessages) {
    const int slot = timer_register(window_, kTick);
    timer_start(slot, 10.0);
    timer_start(slot, 0.5);  // running: nothing happens
    EXPECT_EQ(std::tuple(timer_slot_period(slot), timer_slot_armed(slot)), std::tuple(10000u, true));
    timer_stop(slot);
    EXPECT_FALSE(timer_slot_armed(slot));
    timer_stop(slot);  // an idle slot still reports the stop
    pump_for(5);
    EXPECT_EQ(std::tuple(count_of(UM_TIMER_STATE, 0), count_of(UM_TIMER_STATE, 1)), std::tuple(1, 2));
    // Slot numbers that are not in the table change nothing and post nothing.
    g_received.clear();
    for (int bad : {-1, 1, kTimerSlotCount, 1000}) {
        timer_start(bad, 0.01);
        timer_stop(bad);
        timer_callback(bad);
        timer_rearm(bad);
        EXPECT_EQ(timer_slot_period(bad), 0u);
    }
    pump_for(5);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(TimerSlots, TicksWithoutRearmingPostOneMessage) {
    const int slot = timer_register(window_, kTick);
    timer_start(slot, 60.0);  // the timer itself stays quiet; the ticks are driven by hand
    timer_callback(slot);
    timer_callback(slot);
    pump_for(5);
    EXPECT_EQ(count_of(kTick), 1);
    timer_rearm(slot);
    timer_callback(slot);
    pump_for(5);
    EXPECT_EQ(count_of(kTick), 2);
}

TEST_F(TimerSlots, ReRegisteringStopsTheRunningTimer) {
    const int slot = timer_register(window_, kTick);
    g_on_message = [slot](std::uint32_t m) {
        if (m == kTick) timer_rearm(slot);
    };
    timer_start(slot, 0.001);
    pump_for(30);
    ASSERT_GT(count_of(kTick), 0);
    EXPECT_EQ(timer_register(window_, kOtherTick), slot);
    EXPECT_EQ(std::tuple(timer_slot_period(slot), timer_slot_armed(slot)), std::tuple(0u, false));
    pump_for(5);  // a tick posted before the re-registration may still be queued
    const int ticks = count_of(kTick);
    pump_for(30);
    EXPECT_EQ(std::tuple(count_of(kTick), count_of(kOtherTick)), std::tuple(ticks, 0));
}

// A handler slower than the period: the slot never has more than one tick waiting. Every handled tick finds the
// slot disarmed (so nothing else could have been posted), and after the stop at most one tick is left queued.
TEST_F(TimerSlots, SlowHandlerNeverQueuesMoreThanOneTick) {
    const int slot = timer_register(window_, kTick);
    int handled = 0, armed_on_entry = 0;
    g_on_message = [&](std::uint32_t m) {
        if (m != kTick) return;
        ++handled;
        armed_on_entry += timer_slot_armed(slot);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        timer_rearm(slot);
    };
    timer_start(slot, 0.001);
    pump_for(1000);
    timer_stop(slot);
    const int handled_while_running = handled;
    pump_for(20);
    EXPECT_LE(handled - handled_while_running, 1);
    EXPECT_EQ(armed_on_entry, 0);
    EXPECT_GE(handled_while_running, 10);
    EXPECT_LE(handled_while_running, 1000 / 20 + 2);
}

}  // namespace
}  // namespace kz::foundation
