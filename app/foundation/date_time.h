// Calendar and clock arithmetic for the sun-shadow settings and the animation clock: days of a 365-day year,
// full-date time stamps with carries into months and years, file ages and a monotonic performance timer.
#pragma once
#include <cstdint>

namespace kz::foundation {

// A local time stamp with the fields of the platform's SYSTEMTIME; day_of_week 0 is Sunday.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day_of_week = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t millisecond = 0;
};

// 0-based day of a 365-day year (wrapped by whole years) to month 1..12 and day 1..31; returns 1.
int day_of_year_to_month_day(int day_of_year, int* month, int* day);
// The month wrapped into 1..12 by whole years; days of the earlier months + day - 1, clamped to 0..364.
int month_day_to_day_of_year(int month, int day);

// Adds seconds (fractional, may be negative) with carries through every field up to the year, so the stamp stays
// a real calendar date (the day of the week follows). Nothing happens when seconds * 1000 is 0, or when the
// result would leave the years 1..30827.
void add_seconds_to_time(SystemTime& time, double seconds);
// Milliseconds from first to second, over the full dates.
std::int64_t time_diff_ms(const SystemTime& first, const SystemTime& second);
// The local wall-clock date and time of a moment given in milliseconds since 1970-01-01 UTC.
SystemTime local_time_from_unix_ms(std::int64_t unix_ms);
// The local wall-clock date and time now.
SystemTime local_time_now();
// Milliseconds from the file's last write to now (local time); 0 when the file is missing.
std::int64_t file_age_ms(const char* path);

// Integer hours and the rest in minutes rounded half up (a rounded 60 carries into the hour).
void hours_to_hour_minute(double hours, int* hour, int* minute);
double hour_minute_to_hours(int hour, int minute);

// A monotonic counter and its ticks per second.
void start_perf_timer(std::int64_t* frequency, std::int64_t* start);
double perf_timer_seconds(std::int64_t frequency, std::int64_t start);

}  // namespace kz::foundation
