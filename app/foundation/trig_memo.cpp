#include "app/foundation/trig_memo.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace kz::foundation {

namespace {

constexpr int kSlotBits = 6;

std::size_t slot_of(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
    return static_cast<std::size_t>(h >> (64 - kSlotBits));
}

struct SinCos {
    std::uint64_t t = 0;
    bool used = false;
    double s = 0.0, c = 0.0;
};

struct ArcTangent {
    std::uint64_t y = 0, x = 0;
    bool used = false;
    double value = 0.0;
};

thread_local std::array<SinCos, std::size_t{1} << kSlotBits> g_sin_cos;
thread_local std::array<ArcTangent, std::size_t{1} << kSlotBits> g_arc_tangent;

}  // namespace

void memo_sin_cos(double t, double* s, double* c) {
    const std::uint64_t key = std::bit_cast<std::uint64_t>(t);
    SinCos& slot = g_sin_cos[slot_of(key, 0)];
    if (!slot.used || slot.t != key) slot = {key, true, std::sin(t), std::cos(t)};
    *s = slot.s;
    *c = slot.c;
}

double memo_atan2(double y, double x) {
    const std::uint64_t ky = std::bit_cast<std::uint64_t>(y), kx = std::bit_cast<std::uint64_t>(x);
    ArcTangent& slot = g_arc_tangent[slot_of(ky, kx)];
    if (!slot.used || slot.y != ky || slot.x != kx) slot = {ky, kx, true, std::atan2(y, x)};
    return slot.value;
}

}  // namespace kz::foundation
