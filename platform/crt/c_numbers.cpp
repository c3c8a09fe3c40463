// The "C" locale object is made once; conversions pass it explicitly (strtod_l) or switch the calling thread to it
// for the one call (uselocale), so no other thread's locale changes.
#include "platform/crt/c_numbers.h"

#include <locale.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include "platform/crt/c_number_span.h"

namespace kz::crt {
namespace {
locale_t c_locale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

class ThreadLocaleScope {
public:
    ThreadLocaleScope() : previous_(uselocale(c_locale())) {}
    ~ThreadLocaleScope() { uselocale(previous_); }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

private:
    locale_t previous_;
};

// A decimal number from the start of [text, end) as strtod reads it, when the text is one strtod and from_chars read
// alike (digits or a point first, after at most a minus, and no hex prefix) and the value is in range: both round
// correctly, so the value is the same. False for anything else.
bool read_plain_decimal(const char* text, const char* end, double* value) {
    const char* digits = text < end && *text == '-' ? text + 1 : text;
    if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return false;
    const auto [stop, error] = std::from_chars(text, end, *value);
    return error == std::errc() && (stop == end || (*stop != 'x' && *stop != 'X'));
}
}  // namespace

double c_strtod(const char* text, char** end) { return strtod_l(text, end, c_locale()); }
double c_atof(const char* text) { return c_strtod(text, nullptr); }
double c_atof_span(const char* text, std::size_t length) {
    if (length == 0) return 0.0;
    double value = 0.0;
    if (read_plain_decimal(text, text + length, &value)) return value;
    return c_atof(std::string(text, length).c_str());
}
long c_strtol(const char* text, char** end, int base) { return strtol_l(text, end, base, c_locale()); }
int c_atoi(const char* text) {
    const long v = c_strtol(text, nullptr, 10);
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}
long c_atol(const char* text) { return c_strtol(text, nullptr, 10); }

int c_snprintf(char* buffer, std::size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = c_vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

int c_vsnprintf(char* buffer, std::size_t size, const char* format, va_list args) {
    ThreadLocaleScope scope;
    return std::vsnprintf(buffer, size, format, args);
}

int c_fprintf(std::FILE* file, const char* format, ...) {
    ThreadLocaleScope scope;
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(file, format, args);
    va_end(args);
    return n;
}

int c_exponent_digits(double value, int precision, char* digits) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, precision);
    // d.ddd...e±XX, or "de±XX" with no decimals.
    const char* e = text;
    while (e < result.ptr && *e != 'e') ++e;
    digits[0] = text[0];
    for (int i = 0; i < precision; ++i) digits[1 + i] = text[2 + i];
    const bool negative = e + 1 < result.ptr && e[1] == '-';
    int exponent = 0;
    for (const char* p = e + 2; p < result.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    return negative ? -exponent : exponent;
}

char* c_int_to_text(long long value, char* buffer) {
    char text[24];
    const std::size_t n = static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    return buffer + n;
}

namespace {
// Both limits are powers of two that a double holds exactly: the lowest value itself and one past the highest.
template <std::signed_integral T>
T truncate_saturating(double value) {
    constexpr double lowest = static_cast<double>(std::numeric_limits<T>::min());
    if (value != value) return 0;
    if (value <= lowest) return std::numeric_limits<T>::min();
    if (value >= -lowest) return std::numeric_limits<T>::max();
    return static_cast<T>(value);
}
}  // namespace

int truncate_to_int(double value) { return truncate_saturating<int>(value); }

long long truncate_to_int64(double value) { return truncate_saturating<long long>(value); }

}  // namespace kz::crt
