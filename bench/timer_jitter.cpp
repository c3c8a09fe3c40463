// Tick timing of the view's clock: a timer slot at 30 ticks a second for 2 s, its ticks handled through the
// window's message queue by an idle handler and by a busy one (25 ms of work per tick, most of the period).
// The peer is the bare periodic timer's callback on its own thread, without the queue. Reported: the median and
// 99th percentile of the interval between handled ticks, and of its deviation from the
// timer's 33 ms period (1/30 s rounded to whole milliseconds, as the slot does).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "app/foundation/timer_slots.h"
#include "platform/message_loop.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace {

using clock_type = std::chrono::steady_clock;
constexpr double kPeriodMs = 1000.0 / 30.0;
constexpr double kTimerMs = 33.0;  // the period the slot runs at: whole milliseconds
constexpr std::uint32_t kTick = 0x5500;

std::vector<clock_type::time_point> g_ticks;
int g_slot = -1;
int g_busy_ms = 0;

kz::platform::LResult tick_procedure(kz::platform::WindowHandle w, std::uint32_t m, kz::platform::WParam wp,
                                     kz::platform::LParam lp) {
    if (m != kTick) return kz::platform::default_window_procedure(w, m, wp, lp);
    g_ticks.push_back(clock_type::now());
    const auto until = clock_type::now() + std::chrono::milliseconds(g_busy_ms);
    while (clock_type::now() < until) {}
    kz::foundation::timer_rearm(g_slot);
    return 0;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[index];
}

void report(benchmark::State& state, const std::vector<clock_type::time_point>& ticks) {
    std::vector<double> intervals, deviations;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double ms = std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1]).count();
        intervals.push_back(ms);
        deviations.push_back(std::abs(ms - kTimerMs));
    }
    state.counters["ticks"] = static_cast<double>(ticks.size());
    state.counters["interval_p50_ms"] = percentile(intervals, 0.5);
    state.counters["interval_p99_ms"] = percentile(intervals, 0.99);
    state.counters["jitter_p50_ms"] = percentile(deviations, 0.5);
    state.counters["jitter_p99_ms"] = percentile(deviations, 0.99);
}

// Arg: busy milliseconds per tick.
void BM_TimerSlotThroughQueue(benchmark::State& state) {
    using namespace kz::platform;
    if (!ensure_application()) {
        state.SkipWithError("no Qt platform");
        return;
    }
    WindowClass window_class;
    window_class.name = "KzBenchTickWindow";
    window_class.procedure = tick_procedure;
    register_window_class(window_class);
    WindowHandle window = create_window("KzBenchTickWindow", "bench", 0, 0, 0, 10, 10, nullptr);
    g_busy_ms = static_cast<int>(state.range(0));
    for (auto _ : state) {
        g_ticks.clear();
        g_slot = kz::foundation::timer_register(window, kTick);
        kz::foundation::timer_start(g_slot, 1.0 / 30.0);
        const auto end = clock_type::now() + std::chrono::seconds(2);
        while (clock_type::now() < end) {
            pump_messages();
            sleep_milliseconds(1);
        }
        kz::foundation::timer_stop(g_slot);
    }
    report(state, g_ticks);
    destroy_window(window);
}
BENCHMARK(BM_TimerSlotThroughQueue)->Arg(0)->Arg(25)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareTimerCallback(benchmark::State& state) {
    std::vector<clock_type::time_point> ticks;
    std::mutex mutex;
    for (auto _ : state) {
        kz::platform::PeriodicTimer timer;
        timer.start(static_cast<unsigned>(kTimerMs), [&] {
            std::lock_guard lock(mutex);
            ticks.push_back(clock_type::now());
        });
        std::this_thread::sleep_for(std::chrono::seconds(2));
        timer.stop();
    }
    report(state, ticks);
}
BENCHMARK(BM_BareTimerCallback)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
