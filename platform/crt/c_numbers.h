// Number text that ignores the process locale. The system reads numbers with the C library's atoi/atof and writes
// them with printf; Qt sets LC_NUMERIC from the environment at start, and ',' is also a field separator, so every
// reader and writer goes through these, which behave exactly as the C library does in the "C" locale.
#pragma once
#include <charconv>
#include <concepts>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

namespace kz::crt {

// atof/strtod in the "C" locale: leading blanks, sign, partial prefixes, hex, inf and nan as the C library takes them.
double c_strtod(const char* text, char** end);
double c_atof(const char* text);
// atoi/atol/strtol in the "C" locale. A value beyond int saturates at its limits in atoi (the C library leaves
// it undefined, and glibc's low 32 bits would turn 4294967291 into -5), so a number read and written back is the
// number that was read.
long c_strtol(const char* text, char** end, int base);
int c_atoi(const char* text);
long c_atol(const char* text);
// snprintf in the "C" locale; same result and truncation rules as snprintf (always NUL-terminates when size > 0).
int c_snprintf(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
// vsnprintf in the "C" locale, for writers that take a format and its arguments of their own.
int c_vsnprintf(char* buffer, std::size_t size, const char* format, va_list args) __attribute__((format(printf, 3, 0)));
// fprintf in the "C" locale; the result is fprintf's (the count written, negative on an error).
int c_fprintf(std::FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The digits printf's "%.*e" writes for |value| (value finite, precision 0..30): precision + 1 significant digits,
// rounded as the C library rounds, into digits (no point, no terminator); returns the power of ten of the first.
// std::to_chars gives the bytes printf gives without its locale and format parsing.
int c_exponent_digits(double value, int precision, char* digits);
// "%lld" of value, terminated, into buffer (room for the digits, a sign and the terminator); returns the terminator's
// place.
char* c_int_to_text(long long value, char* buffer);

// The decimal text of an integer ("%d" of it). std::to_string would do for integers, but it takes floating values
// too and writes them in the process locale, which a text check cannot tell apart; this one takes integers only.
template <std::integral T>
std::string int_text(T value) {
    char digits[24];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A size in a line for the user: "N MiB" when it is a whole number of MiB, else "N bytes".
inline std::string byte_size_text(unsigned long long bytes) {
    return bytes && bytes % (1 << 20) == 0 ? int_text(bytes >> 20) + " MiB" : int_text(bytes) + " bytes";
}

// The one step from a double to an integer: truncation toward zero, NaN gives 0 and values beyond the int range
// saturate at its limits (a plain cast of such values is undefined behaviour).
int truncate_to_int(double value);
// The same step into 64 bits, for numbers that outgrow the int range in use (grid cells of a small step far out).
long long truncate_to_int64(double value);

}  // namespace kz::crt
