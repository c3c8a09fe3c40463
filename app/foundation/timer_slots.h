// The process-wide timer slots: a window registers once for a slot; a started slot posts the window's tick
// message at a fixed period, at most one at a time, until the window re-arms the slot after handling the tick.
#pragma once
#include <cstdint>

#include "platform/window.h"

namespace kz::foundation {

inline constexpr std::uint32_t UM_TIMER_STATE = 0x560B;  // wParam 0; lParam 0 started, 1 stopped
inline constexpr int kTimerSlotCount = 32;

// The slot of the window (an existing slot takes the new message, its running timer stopped and joined first);
// -1 when the table is full.
int timer_register(platform::WindowHandle window, std::uint32_t message);
// Starts the slot's periodic timer at `seconds` (rounded to whole milliseconds, at least 1) when it is not
// running, arms it and posts UM_TIMER_STATE (0, 0). Unknown slots are ignored.
void timer_start(int slot, double seconds);
// Disarms, stops and joins the slot's timer and posts UM_TIMER_STATE (0, 1). Unknown slots are ignored.
void timer_stop(int slot);
// The timer's tick: posts the slot's message only when the slot is armed, and disarms it.
void timer_callback(int slot);
// The window has handled a tick: the next period may post again.
void timer_rearm(int slot);

// What the table holds, for the view's state and for tests.
int timer_slot_count();
unsigned timer_slot_period(int slot);  // 0 while the slot's timer is not running
bool timer_slot_armed(int slot);
// Stops every slot and empties the table (shut-down, and between tests).
void timer_release_all();

}  // namespace kz::foundation
