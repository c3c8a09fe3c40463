#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/crt/c_numbers.h"
#include "platform/crt/global_memory.h"

using namespace kz::crt;

namespace {
// Runs the body under a decimal-comma locale when the machine has one; the results must not change.
class CommaLocale {
public:
    CommaLocale() {
        const char* old = std::setlocale(LC_ALL, nullptr);
        saved_ = old ? old : "C";
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};
}  // namespace

TEST(CNumbers, ReadAndWriteIgnoreTheProcessLocale) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine (scripts/setup.sh makes one)";
    ASSERT_EQ(std::atof("1,5"), 1.5) << "the decimal-comma locale is not in force";
    EXPECT_EQ(c_atof("1.5"), 1.5);
    EXPECT_EQ(c_atof("1,5"), 1.0);
    char buf[32];
    c_snprintf(buf, sizeof buf, "%.3f", 2.25);
    EXPECT_STREQ(buf, "2.250");
}

TEST(CNumbers, KeepsTheCLibrarySemantics) {
    EXPECT_EQ(c_atof("  +12.5e1xyz"), 125.0);
    EXPECT_EQ(c_atof("0x10"), 16.0);
    EXPECT_TRUE(std::isinf(c_atof("inf")));
    EXPECT_EQ(c_atof("abc"), 0.0);
    EXPECT_EQ(c_atoi(" -42abc"), -42);
    EXPECT_EQ(c_atoi("12.9"), 12);
    char* end = nullptr;
    EXPECT_EQ(c_strtod("3.25;x", &end), 3.25);
    EXPECT_STREQ(end, ";x");
}

TEST(GlobalMemory, MovableBlocksAreCheckedAndZeroed) {
    GlobalHandle h = global_alloc(kGlobalMoveable | kGlobalZeroInit | kGlobalShare, 64);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(global_is_moveable(h));
    auto* p = static_cast<unsigned char*>(global_lock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), h) << "a movable block's lock must not return the handle itself";
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    std::memset(p, 7, 64);
    EXPECT_EQ(global_handle(p), h);
    EXPECT_EQ(global_unlock(h), 0);
    ASSERT_EQ(global_realloc(h, 128, 0), h);
    p = static_cast<unsigned char*>(global_lock(h));
    EXPECT_EQ(p[63], 7);
    EXPECT_EQ(p[64], 0);
    EXPECT_EQ(global_size(h), 128u);
    global_unlock(h);
    EXPECT_EQ(global_free(h), nullptr);
    EXPECT_EQ(global_lock(h), nullptr) << "a freed handle is refused";
    EXPECT_EQ(global_free(h), h);

    GlobalHandle fixed = global_alloc(kGlobalFixed, 8);
    EXPECT_EQ(global_lock(fixed), fixed);
    EXPECT_FALSE(global_is_moveable(fixed));
    global_free(fixed);
}

TEST(CNumbers, IntegersFromTextAndDoublesSaturate) {
    EXPECT_EQ(c_atoi("4294967291"), INT_MAX) << "glibc's atoi would give -5";
    EXPECT_EQ(c_atoi("-99999999999"), INT_MIN);
    EXPECT_EQ(c_atoi("2147483647"), INT_MAX);
    const struct {
        double in;
        int want;
    } cases[] = {{std::nan(""), 0},
                 {HUGE_VAL, INT_MAX},
                 {-HUGE_VAL, INT_MIN},
                 {1e308, INT_MAX},
                 {-1e308, INT_MIN},
                 {2.9, 2},
                 {-2.9, -2},
                 {2147483647.9, INT_MAX},
                 {-2147483648.9, INT_MIN},
                 {2147483646.5, 2147483646}};
    for (const auto& c : cases) EXPECT_EQ(truncate_to_int(c.in), c.want) << c.in;
}
