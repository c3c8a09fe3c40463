#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/crt/c_number_span.h"
#include "platform/crt/c_numbers.h"
#include "platform/crt/global_memory.h"
#include "support/comma_locale.h"

using namespace kz::crt;

namespace {
// c_vsnprintf behind a writer's own variadic call, as the file writers forward their formats.
int forwarded(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int forwarded(char* buffer, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = c_vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}
}  // namespace

TEST(CNumbers, ReadAndWriteIgnoreTheProcessLocale) {
    kz::test::CommaLocale comma;
    KZ_REQUIRE_COMMA_LOCALE(comma);
    ASSERT_EQ(std::atof("1,5"), 1.5) << "the decimal-comma locale is not in force";
    EXPECT_EQ(c_atof("1.5"), 1.5);
    EXPECT_EQ(c_atof("1,5"), 1.0);
    char buf[32];
    c_snprintf(buf, sizeof buf, "%.3f", 2.25);
    EXPECT_STREQ(buf, "2.250");
    EXPECT_EQ(forwarded(buf, sizeof buf, "%g|%e", 0.5, -1.25), 17);
    EXPECT_STREQ(buf, "0.5|-1.250000e+00");
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(c_fprintf(file, "%.2f %s %d", 12.75, "x", 3), 9);
    std::rewind(file);
    char written[32] = {};
    EXPECT_EQ(std::fread(written, 1, sizeof written - 1, file), 9u);
    std::fclose(file);
    EXPECT_STREQ(written, "12.75 x 3");
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

TEST(CNumbers, SpanReadsAsTheCutText) {
    // Cut at '|'; each is read followed by a byte that must not be read: the span ends before it.
    const std::string texts =
        "|0|-12.5|1e5|1.e5|1e|.5|-.5|-|.|0x1A|-0x10|+3| 7|inf|nan|1e400|1e-400|4.9e-324|12abc|1,5|"
        "0.1e+2x|00012.|1.5e-3|99999999999999999999.99999999999999999|2.2250738585072011e-308";
    for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
        end = texts.find('|', at);
        const std::string t = texts.substr(at, end == std::string::npos ? end : end - at);
        const std::string followed = t + "9";
        const double span = c_atof_span(followed.data(), t.size()), whole = c_atof(t.c_str());
        if (std::isnan(whole))
            EXPECT_TRUE(std::isnan(span)) << t;
        else
            EXPECT_EQ(std::bit_cast<std::uint64_t>(span), std::bit_cast<std::uint64_t>(whole)) << t;
    }
    std::mt19937_64 random(7);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const int n = c_snprintf(text, sizeof text, "%.*f", int(random() % 12),
                                 double(std::int64_t(random() % 4000000001) - 2000000000) / double(1 + random() % 997));
        ASSERT_EQ(c_atof_span(text, std::size_t(n)), c_atof(text)) << text;
    }
}

TEST(CNumbers, ExponentDigitsAndIntegersArePrintfsOwn) {
    // printf's "%.14e" and "%lld" against their locale-free stand-ins: awkward doubles (ties, carries, denormals,
    // the ends of the range) and random bit patterns.
    std::vector<double> values;
    const char* at =
        "0.5 2.675 999999999999999.5 123456789012344.5 0.30000000000000004 5e-324 2.2250738585072014e-308 "
        "1.7976931348623157e308 9.999999999999995e-5 1e15 4503599627370497 -0";
    for (char* end = nullptr; *at; at = end) values.push_back(c_strtod(at, &end));
    std::mt19937_64 random(14);
    while (values.size() < 100000) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    char want[64], digits[15];
    for (double v : values) {
        c_snprintf(want, sizeof want, "%.14e", std::fabs(v));
        const int exponent = c_exponent_digits(v, 14, digits);
        ASSERT_EQ(std::string(1, digits[0]) + "." + std::string(digits + 1, 14), std::string(want, 16)) << want;
        ASSERT_EQ(exponent, std::atoi(want + 17)) << want;
    }
    for (long long n : {0LL, -1LL, 999999999999999LL, LLONG_MIN, LLONG_MAX, static_cast<long long>(random())}) {
        c_snprintf(want, sizeof want, "%lld", n);
        char got[24];
        EXPECT_EQ(c_int_to_text(n, got), got + std::strlen(want));
        EXPECT_STREQ(got, want);
    }
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
    EXPECT_EQ(std::tuple(p[63], p[64], global_size(h)), std::tuple(7, 0, 128u));
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
        long long want64;
    } cases[] = {{std::nan(""), 0, 0},
                 {HUGE_VAL, INT_MAX, LLONG_MAX},
                 {-HUGE_VAL, INT_MIN, LLONG_MIN},
                 {1e308, INT_MAX, LLONG_MAX},
                 {-1e308, INT_MIN, LLONG_MIN},
                 {2.9, 2, 2},
                 {-2.9, -2, -2},
                 {2147483647.9, INT_MAX, 2147483647},
                 {-2147483648.9, INT_MIN, -2147483648},
                 {2147483646.5, 2147483646, 2147483646},
                 {-5e9, INT_MIN, -5000000000},
                 {9223372036854774784.0, INT_MAX, 9223372036854774784},  // the last double below 2^63
                 {9223372036854775808.0, INT_MAX, LLONG_MAX},
                 {-9223372036854775808.0, INT_MIN, LLONG_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(truncate_to_int(c.in), c.want) << c.in;
        EXPECT_EQ(truncate_to_int64(c.in), c.want64) << c.in;
    }
}
