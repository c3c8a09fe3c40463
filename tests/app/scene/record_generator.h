// Deterministic generator of figure records for round-trip tests: every kind the line reader can give back,
// Shift_JIS texts with 0x5C and 0x7C trail bytes, separators and quotes inside texts, paste lists and fix texts.
#pragma once
#include <cstdint>
#include <random>

#include "app/scene/figure_record.h"

namespace kz::scene::test {

class RecordingViewServices;

class RecordGenerator {
public:
    RecordGenerator(std::uint32_t seed, RecordingViewServices* view) : random_(seed), view_(view) {}

    // A record whose every field the writer keeps: written and read back, it equals itself.
    void make_canonical(COBJECTA& record, int kind);
    // Adds one of the losses the writer makes by design (draw style 3, fix kind B without locks, a camera value
    // of 0 or less, a dtop third mark without items).
    void add_designed_loss(COBJECTA& record);

private:
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }
    double number();
    char* text(const char* const* pool, int count);
    void add_paste_entries(COBJECTA& record);

    std::mt19937 random_;
    RecordingViewServices* view_;
};

}  // namespace kz::scene::test
