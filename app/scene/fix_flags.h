// The fix column: which placement columns (1..12, dx .. orz) the user has locked against change, and the fix kind.
// Read from "A;1;;0..." style texts and written back in the shorter of its two forms.
#pragma once
#include <cstdint>

namespace kz::scene {

// Room for format_fix_flags' text: a letter, an item for all and twelve lock items.
constexpr int kFixTextSize = 32;

// Number of change-lock slots, indexed by column number.
constexpr int kChangeLockCount = 45;

// A record's change locks by column number, one bit each: a lock reads 1 when set, 0 when clear, and any nonzero
// value sets it. Every shape has them and few set any, so they take one word instead of a number a column.
class ChangeLocks {
public:
    class Lock {
    public:
        Lock(std::uint64_t& bits, int column) : bits_(bits), mask_(mask_of(column)) {}
        operator std::int32_t() const { return (bits_ & mask_) ? 1 : 0; }
        Lock& operator=(std::int32_t value) {
            bits_ = value ? (bits_ | mask_) : (bits_ & ~mask_);
            return *this;
        }
        Lock& operator=(const Lock& other) { return *this = static_cast<std::int32_t>(other); }

    private:
        std::uint64_t& bits_;
        std::uint64_t mask_;
    };
    std::int32_t operator[](int column) const { return (bits_ & mask_of(column)) ? 1 : 0; }
    Lock operator[](int column) { return Lock(bits_, column); }
    bool operator==(const ChangeLocks&) const = default;

private:
    // Columns outside 0..44 have no lock: they read 0 and take no value.
    static std::uint64_t mask_of(int column) {
        return column >= 0 && column < kChangeLockCount ? std::uint64_t(1) << column : 0;
    }
    std::uint64_t bits_ = 0;
};

// Sets fix_kind and locks[1..12] from the text (null or empty: all unlocked, kind 0).
void parse_fix_flags(const char* text, std::int32_t* locks, std::int32_t* fix_kind);
void parse_fix_flags(const char* text, ChangeLocks& locks, std::int32_t* fix_kind);
// The fix text into buffer (kFixTextSize bytes, or more); empty when no lock of 1..12 is set. Returns buffer.
char* format_fix_flags(std::int32_t fix_kind, const std::int32_t* locks, char* buffer);
char* format_fix_flags(std::int32_t fix_kind, const ChangeLocks& locks, char* buffer);

}  // namespace kz::scene
