// The signs the winding depth's sweep decides its orders by, on sums built so that doubles alone get them wrong: a
// product of two numbers near x against another whose exact difference is a few units, products of five numbers and
// sums of thousands of products taken in two orders around a small term, held to the same sums in 128-bit integers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "modeller/shadow/exact_sign.h"

namespace kz::test {
namespace {

int sign_of(__int128 v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

TEST(ShadowExactSign, SumsOfProductsTakeTheSignOfTheirIntegers) {
    std::mt19937_64 rng(11);
    int rounded_wrong = 0;  // cases where the sum in doubles has another sign: the rows reach the exact road
    for (int k = 0; k < 20000; ++k) {
        // (x + j)(x - j) - x x = -j j, with x of 27 or 28 bits: the products need 55 bits.
        const std::int64_t x = std::int64_t(1) << (27 + k % 2) | std::int64_t(rng() >> 40), j = std::int64_t(rng() % 5);
        const double a = double(x + j), b = double(x - j), c = double(x), d = double(x);
        const int want = sign_of(__int128(x + j) * (x - j) - __int128(x) * x);
        const bool turn = k % 3 == 0;  // the other way round
        EXPECT_EQ(turn ? o3du_sign_of_products(c, d, a, b) : o3du_sign_of_products(a, b, c, d), turn ? -want : want)
            << x << " " << j;
        rounded_wrong += sign_of(__int128(a * b - c * d)) != want;
        // x1 x2 x3 x4 x5 + t - x5 x4 x3 x2 x1, each x of up to 20 bits, t small: exactly t.
        std::int64_t f[5];
        for (std::int64_t& v : f) v = std::int64_t(rng() >> 44) * ((rng() & 1) ? 1 : -1);
        const std::int64_t t = std::int64_t(rng() % 7) - 3;
        const int sum_sign = o3du_exact_sign([&](auto zero) {
            using T = decltype(zero);
            return T(double(f[0])) * T(double(f[1])) * T(double(f[2])) * T(double(f[3])) * T(double(f[4])) +
                   T(double(t)) -
                   T(double(f[4])) * T(double(f[3])) * T(double(f[2])) * T(double(f[1])) * T(double(f[0]));
        });
        EXPECT_EQ(sum_sign, sign_of(t)) << f[0] << " " << f[1] << " " << f[2] << " " << f[3] << " " << f[4] << " " << t;
        // The same with a difference of floats as a factor that doubles cannot hold.
        const float big = float(std::int64_t(1) << 40), small = float(t) * 0x1p-70f;
        const int difference_sign = o3du_exact_sign([&](auto zero) {
            using T = decltype(zero);
            return o3du_difference(small, big, T()) + T(double(big));
        });
        EXPECT_EQ(difference_sign, sign_of(t));
        // A sum of two parts doubled, less its parts doubled: exactly t.
        const int doubled_sign = o3du_exact_sign([&](auto zero) {
            using T = decltype(zero);
            return (T(0x1p60) + T(3.0)) * T(2.0) - T(0x1p61) - T(6.0) + T(double(t));
        });
        EXPECT_EQ(doubled_sign, sign_of(t));
    }
    EXPECT_GT(rounded_wrong, 1000);
    // 3,000 products of numbers of 27 and 28 bits summed one way, less the same summed the other way, plus a small
    // term: exactly that term, after more parts than one block of scratch holds.
    for (int round = 0; round < 4; ++round) {
        std::vector<double> a, b;
        for (int i = 0; i < 3000; ++i) {
            a.push_back(double((std::int64_t(1) << 27) | std::int64_t(rng() >> 38)));
            b.push_back(double((std::int64_t(1) << 27) | std::int64_t(rng() >> 37)) * ((rng() & 1) ? 1 : -1));
        }
        const double t = double(round) - 1.5;
        const int sign = o3du_exact_sign([&](auto zero) {
            using T = decltype(zero);
            T sum(t);
            for (std::size_t i = 0; i < a.size(); ++i) sum = sum + T(a[i]) * T(b[i]);
            for (std::size_t i = a.size(); i-- > 0;) sum = sum - T(b[i]) * T(a[i]);
            return sum;
        });
        EXPECT_EQ(sign, t > 0 ? 1 : -1);
    }
}

}  // namespace
}  // namespace kz::test
