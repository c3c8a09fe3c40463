// The fix column: which placement columns (1..12, dx .. orz) the user has locked against change, and the fix kind.
// Read from "A;1;;0..." style texts and written back in the shorter of its two forms.
#pragma once
#include <cstdint>

namespace kz::scene {

// Room for format_fix_flags' text: a letter, an item for all and twelve lock items.
constexpr int kFixTextSize = 32;

// Sets fix_kind and locks[1..12] from the text (null or empty: all unlocked, kind 0).
void parse_fix_flags(const char* text, std::int32_t* locks, std::int32_t* fix_kind);
// The fix text into buffer (kFixTextSize bytes, or more); empty when no lock of 1..12 is set. Returns buffer.
char* format_fix_flags(std::int32_t fix_kind, const std::int32_t* locks, char* buffer);

}  // namespace kz::scene
