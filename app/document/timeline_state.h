// The timeline part of the view's state: the timed lists, the schedule and its pauses, the view clock's offset,
// the timer slot and frame rate, and the timing slots the builders measure their work in.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/foundation/date_time.h"

namespace kz::view {

using kz::foundation::SystemTime;

inline constexpr int kTimingSlotCount = 128;

// One entry of the timed lists. timed_list[0] holds the timed entries (kind 1 camera, 2 hit, 0 none; the text
// from the line's second field on), timed_list[1] the timed commands (one command line; a and b the item and
// part it belongs to, id its command block). trunk is the item the entry belongs to, renumbered on deletes.
struct TimedEntry {
    char* text = nullptr;  // owned heap text
    int trunk = -1;        // item index, -1 for none
    int a = 0, b = 0;
    int kind = 0;
    int id = 0;
    int state = 0;
    int downloaded = 0;  // queued by a command of a unit that came over "http:": it starts no program
    SystemTime due{};
};

// A part a pending motion moves, by item and part number (items are renumbered when an earlier one is deleted).
struct ActionTarget {
    int item = -1;
    int part = 0;
};

// One pending timed part motion: the parts, the parameter column (1..44), its value words, and when it starts,
// how long it runs and its easing (truncated when used: 0 ease-out, 1 linear, 2 ease-in, any other linear).
struct ActionRecord {
    std::vector<ActionTarget> targets;
    int column = 0;
    std::string from_word, to_word;
    SystemTime start{};
    double duration = 0.0;
    double easing = 0.0;
};

struct TimingSlot {
    std::int64_t start_ms = 0;
    double total_seconds = 0.0;
    int count = 0;
    int running_mark = 0;
};

// Fields declared `{}` get their start value from XView::InitDefaults; the rest start as declared.
struct TimelineState {
    std::vector<TimedEntry> timed_list[2];
    int schedule_suspended = 0;
    int schedule_halted = 0;  // a hit disturbed the entry list under the scan: the schedule stands still
    SystemTime schedule_time{};
    int actions_off = 0;
    int running_count = 0;
    int running_part_count = 0;
    std::vector<ActionRecord> actions;  // pending timed part motions, in the order they were queued
    int timed_list_generation = 0;      // counts the times the timed lists were emptied
    SystemTime last_action_start{};
    int playback_step = 0, last_fired_step = -99;
    int timer_slot = -1;  // the view's slot in the timer table
    int keep_running = 0;
    double frame_rate{};  // ticks per second
    SystemTime pause_time{};
    SystemTime resume_time{};
    double clock_offset_ms = 0.0;  // one unit everywhere: milliseconds
    SystemTime clock_last_time{};  // the view clock's last reading
    std::array<TimingSlot, kTimingSlotCount> timings{};
};

}  // namespace kz::view
