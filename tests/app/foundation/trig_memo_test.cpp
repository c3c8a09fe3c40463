#include "app/foundation/trig_memo.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// Arguments drawn again and again from a pool larger than the memo, with signed zeros and exact quarter turns, so
// answers are both kept and pushed out; every one must be the library's, bit for bit.
TEST(TrigMemo, AnswersAreTheLibrarysBitForBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> angle(-7.0, 7.0);
    std::vector<double> pool = {0.0, -0.0, 1.5707963267948966, -1.5707963267948966, 3.141592653589793, 1e-300};
    while (pool.size() < 300) pool.push_back(angle(random));
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    for (int i = 0; i < 20000; ++i) {
        const double t = pool[pick(random)], u = pool[pick(random) % 40];
        double s = 0.0, c = 0.0;
        kz::foundation::memo_sin_cos(t, &s, &c);
        ASSERT_EQ(bits(s), bits(std::sin(t))) << t;
        ASSERT_EQ(bits(c), bits(std::cos(t))) << t;
        ASSERT_EQ(bits(kz::foundation::memo_atan2(t, u)), bits(std::atan2(t, u))) << t << " " << u;
    }
}

}  // namespace
