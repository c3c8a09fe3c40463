// Days of the 365-day year and time stamp arithmetic, checked against the C library's own calendar.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <ctime>
#include <random>

#include "app/foundation/date_time.h"

using namespace kz::foundation;

namespace {
SystemTime stamp(int y, int mo, int d, int h, int mi, int s, int ms) {
    using U = std::uint16_t;
    return {
        .year = U(y), .month = U(mo), .day = U(d), .hour = U(h), .minute = U(mi), .second = U(s), .millisecond = U(ms)};
}
std::array<int, 7> fields(const SystemTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond};
}
// The C library's calendar as the oracle: seconds since 1970 of a UTC stamp.
long long oracle_seconds(const SystemTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return static_cast<long long>(timegm(&tm));
}
}  // namespace

TEST(DateTime, DaysOfTheYear) {
    struct Case {
        int doy, month, day;
    } cases[] = {{0, 1, 1}, {59, 3, 1}, {364, 12, 31}, {365, 1, 1}, {-1, 12, 31}, {31, 2, 1}};
    for (const auto& c : cases) {
        int m = 0, d = 0;
        EXPECT_EQ(day_of_year_to_month_day(c.doy, &m, &d), 1);
        EXPECT_EQ(std::pair(m, d), std::pair(c.month, c.day)) << c.doy;
    }
    // Extreme values from a file wrap and clamp; none may overflow on the way (the sanitizer would stop here).
    for (auto [month, day, want] : {std::array{13, 1, 0},
                                    {3, 1, 59},
                                    {12, 40, 364},
                                    {0, 31, 364},
                                    {1, -5, 0},
                                    {INT_MIN, 1, 90},
                                    {INT_MAX, INT_MAX, 364}})
        EXPECT_EQ(month_day_to_day_of_year(month, day), want) << month << "/" << day;
    int hour = -1, minute = -1;
    hours_to_hour_minute(1e300, &hour, &minute);
    EXPECT_EQ(hour, INT_MAX);
    hours_to_hour_minute(std::nan(""), &hour, &minute);
    EXPECT_EQ(std::pair(hour, minute), std::pair(0, 0));
}

TEST(DateTime, CarriesAcrossDayMonthAndYearEnds) {
    const struct {
        SystemTime from;
        double seconds;
        std::array<int, 7> to;
    } sums[] = {{stamp(2026, 5, 10, 23, 59, 59, 500), 1, {2026, 5, 11, 0, 0, 0, 500}},
                {stamp(2026, 5, 10, 0, 0, 0, 100), -0.6, {2026, 5, 9, 23, 59, 59, 500}},
                {stamp(2026, 12, 31, 23, 59, 59, 999), 0.001, {2027, 1, 1, 0, 0, 0, 0}},
                {stamp(2024, 3, 1, 0, 0, 0, 0), -1, {2024, 2, 29, 23, 59, 59, 0}},  // leap day
                {stamp(2026, 1, 31, 12, 0, 0, 0), 0, {2026, 1, 31, 12, 0, 0, 0}}};
    for (const auto& c : sums) {
        SystemTime t = c.from;
        add_seconds_to_time(t, c.seconds);
        EXPECT_EQ(fields(t), c.to) << c.seconds;
        if (c.to[0] == 2027) {
            EXPECT_EQ(t.day_of_week, 5);  // 2027-01-01 is a Friday
        }
    }

    EXPECT_EQ(time_diff_ms(stamp(2026, 1, 31, 23, 0, 0, 0), stamp(2026, 2, 1, 1, 0, 0, 0)), 2 * 3600000);
    EXPECT_EQ(time_diff_ms(stamp(2025, 12, 31, 23, 59, 59, 0), stamp(2026, 1, 1, 0, 0, 1, 250)), 2250);
    EXPECT_EQ(time_diff_ms(stamp(2026, 3, 5, 0, 0, 0, 0), stamp(2026, 3, 4, 0, 0, 0, 0)), -86400000);
    EXPECT_EQ(time_diff_ms(SystemTime{}, SystemTime{}), 0);  // zeroed stamps are harmless

    // Random sums and differences against the C library's calendar.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> year(1990, 2060), month(1, 12), day(1, 28), hour(0, 23), minute(0, 59);
    std::uniform_real_distribution<double> shift(-4e7, 4e7);
    for (int i = 0; i < 2000; ++i) {
        SystemTime a = stamp(year(rng), month(rng), day(rng), hour(rng), minute(rng), minute(rng), 0);
        SystemTime b = a;
        double s = std::floor(shift(rng));
        add_seconds_to_time(b, s);
        ASSERT_EQ(oracle_seconds(b) - oracle_seconds(a), static_cast<long long>(s));
        ASSERT_EQ(time_diff_ms(a, b), static_cast<long long>(s) * 1000);
        ASSERT_GE(b.day, 1);
    }
}

TEST(DateTime, HoursAndMinutes) {
    int h = 0, m = 0;
    hours_to_hour_minute(12.5, &h, &m);
    EXPECT_EQ(std::pair(h, m), std::pair(12, 30));
    hours_to_hour_minute(9.9999, &h, &m);
    EXPECT_EQ(std::pair(h, m), std::pair(10, 0));  // a rounded 60 minutes carries
    EXPECT_DOUBLE_EQ(hour_minute_to_hours(7, 45), 7.75);
    std::int64_t freq = 0, start = 0;
    start_perf_timer(&freq, &start);
    EXPECT_GT(freq, 0);
    EXPECT_GE(perf_timer_seconds(freq, start), 0.0);
}
