// Time stamps are turned into milliseconds since 1970-01-01 on the proleptic Gregorian calendar, so differences
// and carries across month and year ends (leap days included) come out right.
#include "app/foundation/date_time.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::foundation {
namespace {

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr std::int64_t kDayMs = 86400000;

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of year/month/1 (month may lie outside 1..12: it carries into the year).
std::int64_t days_from_civil(std::int64_t y, std::int64_t m) {
    y += floor_div(m - 1, 12);
    m = m - 1 - floor_div(m - 1, 12) * 12 + 1;
    y -= m <= 2;
    std::int64_t era = floor_div(y, 400);
    std::int64_t yoe = y - era * 400;
    std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    std::int64_t era = floor_div(z, 146097);
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

std::int64_t stamp_ms(const SystemTime& t) {
    std::int64_t days = days_from_civil(t.year, t.month) + t.day - 1;
    return days * kDayMs + t.hour * 3600000LL + t.minute * 60000LL + t.second * 1000LL + t.millisecond;
}

}  // namespace

int day_of_year_to_month_day(int day_of_year, int* month, int* day) {
    int d = ((day_of_year % 365) + 365) % 365;
    int m = 0;
    while (d >= kMonthDays[m]) d -= kMonthDays[m++];
    if (month) *month = m + 1;
    if (day) *day = d + 1;
    return 1;
}

int month_day_to_day_of_year(int month, int day) {
    // Wide arithmetic: a month of INT_MIN must wrap, not overflow.
    const int m = static_cast<int>(((static_cast<long long>(month) - 1) % 12 + 12) % 12);
    long long d = static_cast<long long>(day) - 1;
    for (int i = 0; i < m; ++i) d += kMonthDays[i];
    return static_cast<int>(d < 0 ? 0 : (d > 364 ? 364 : d));
}

void add_seconds_to_time(SystemTime& time, double seconds) {
    double delta = seconds * 1000.0;
    if (!(delta != 0.0) || !std::isfinite(delta) || std::fabs(delta) > 1e15) return;
    std::int64_t total = stamp_ms(time) + static_cast<std::int64_t>(std::floor(delta));
    std::int64_t days = floor_div(total, kDayMs);
    std::int64_t rest = total - days * kDayMs;
    std::int64_t year;
    int month, day;
    civil_from_days(days, year, month, day);
    if (year < 1 || year > 30827) return;
    time.year = static_cast<std::uint16_t>(year);
    time.month = static_cast<std::uint16_t>(month);
    time.day = static_cast<std::uint16_t>(day);
    time.day_of_week = static_cast<std::uint16_t>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    time.hour = static_cast<std::uint16_t>(rest / 3600000);
    time.minute = static_cast<std::uint16_t>(rest / 60000 % 60);
    time.second = static_cast<std::uint16_t>(rest / 1000 % 60);
    time.millisecond = static_cast<std::uint16_t>(rest % 1000);
}

std::int64_t time_diff_ms(const SystemTime& first, const SystemTime& second) {
    return stamp_ms(second) - stamp_ms(first);
}

SystemTime local_time_from_unix_ms(std::int64_t unix_ms) {
    const std::time_t seconds = static_cast<std::time_t>(unix_ms / 1000);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    SystemTime st;
    st.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
    st.month = static_cast<std::uint16_t>(tm.tm_mon + 1);
    st.day_of_week = static_cast<std::uint16_t>(tm.tm_wday);
    st.day = static_cast<std::uint16_t>(tm.tm_mday);
    st.hour = static_cast<std::uint16_t>(tm.tm_hour);
    st.minute = static_cast<std::uint16_t>(tm.tm_min);
    st.second = static_cast<std::uint16_t>(tm.tm_sec);
    st.millisecond = static_cast<std::uint16_t>(unix_ms % 1000);
    return st;
}

SystemTime local_time_now() {
    return local_time_from_unix_ms(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

std::int64_t file_age_ms(const char* path) {
    kz::platform::FileInfo info;
    if (!path || !kz::platform::get_file_info(path, &info)) return 0;
    // The stamp counts 100-ns intervals from 1601-01-01 UTC; both ends are compared as local wall-clock dates,
    // as the age was always measured.
    constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;
    const std::int64_t written_ms = (static_cast<std::int64_t>(info.write_time) - kUnixEpochIn100ns) / 10000;
    return time_diff_ms(local_time_from_unix_ms(written_ms), local_time_now());
}

void hours_to_hour_minute(double hours, int* hour, int* minute) {
    if (hours != hours) hours = 0.0;
    double whole = std::trunc(hours);
    double m = std::floor((hours - whole) * 60.0 + 0.5);
    if (m >= 60.0) {
        whole += 1.0;
        m -= 60.0;
    } else if (m <= -60.0) {
        whole -= 1.0;
        m += 60.0;
    }
    if (hour) *hour = kz::crt::truncate_to_int(whole);
    if (minute) *minute = kz::crt::truncate_to_int(m);
}

double hour_minute_to_hours(int hour, int minute) { return hour + minute / 60.0; }

void start_perf_timer(std::int64_t* frequency, std::int64_t* start) {
    using clock = std::chrono::steady_clock;
    if (frequency) *frequency = clock::period::den / clock::period::num;
    if (start) *start = clock::now().time_since_epoch().count();
}

double perf_timer_seconds(std::int64_t frequency, std::int64_t start) {
    if (frequency <= 0) return 0.0;
    std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<double>(now - start) / static_cast<double>(frequency);
}

}  // namespace kz::foundation
