// Numbers are built as text from printf's "%.14e" digits (correctly rounded, locale-free through kz::crt) and laid
// out without an exponent, so written models read back to the same values under any process locale.
#include "app/foundation/number_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/crt/c_numbers.h"

namespace kz::foundation {
namespace {

constexpr int kWork = 512;  // double_to_text's longest text plus 90 appended decimals

void copy_out(char* buffer, std::size_t size, const char* text) {
    if (!buffer || size == 0) return;
    std::size_t n = strnlen(text, size - 1);
    std::memmove(buffer, text, n);
    buffer[n] = 0;
}

// 15 significant digits of |v| laid out around the decimal point, with a sign column; trailing zeros dropped.
void plain_digits(double v, char* out) {
    if (v == 0.0) {  // the most common number in a figure file needs no formatting
        std::strcpy(out, " 0");
        return;
    }
    char* p = out;
    *p++ = v < 0.0 ? '-' : ' ';
    const double a = std::fabs(v);
    if (a < 1e15 && a == std::trunc(a)) {
        // A whole number of 15 digits or fewer is its own 15 significant digits.
        kz::crt::c_int_to_text(static_cast<long long>(a), p);
        return;
    }
    char digits[15];
    const int point = kz::crt::c_exponent_digits(v, 14, digits) + 1;  // the "%.14e" digits
    if (point <= 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = 0; i < -point; ++i) *p++ = '0';
        for (char d : digits) *p++ = d;
    } else {
        int count = point > 15 ? point : 15;
        for (int i = 0; i < count; ++i) {
            if (i == point) *p++ = '.';
            *p++ = i < 15 ? digits[i] : '0';
        }
    }
    *p = 0;
    if (point >= 15) return;  // no point was written
    while (p[-1] == '0') *--p = 0;
    if (p[-1] == '.') *--p = 0;
}

// Rounds the text half up at `decimals` places after its point, padding with zeros first.
void round_text(char* text, int decimals) {
    if (!std::strchr(text, '.')) std::strcat(text, ".");
    std::size_t len = std::strlen(text);
    for (int i = 0; i < decimals; ++i) text[len++] = '0';
    text[len] = 0;
    int point = static_cast<int>(std::strchr(text, '.') - text);
    int first_cut = point + decimals + 1;
    if (first_cut < static_cast<int>(len) && text[first_cut] >= '5' && text[first_cut] <= '9') {
        int j = first_cut - 1;
        for (; j >= 0; --j) {
            if (text[j] == '.') continue;
            if (text[j] < '0' || text[j] > '9') break;
            if (text[j] != '9') {
                ++text[j];
                break;
            }
            text[j] = '0';
        }
        if (j < 0 || text[j] < '0' || text[j] > '9') {  // carried out of the first digit
            int at = j + 1;
            std::memmove(text + at + 1, text + at, len - static_cast<std::size_t>(at) + 1);
            text[at] = '1';
            ++first_cut;
        }
    }
    text[first_cut] = 0;
}

}  // namespace

char* double_to_text(double v, int width_mode, char* buffer, std::size_t size) {
    thread_local char own[kNumberTextSize];
    if (!buffer) {
        buffer = own;
        size = sizeof own;
    }
    char work[kWork];
    double a = std::fabs(v);
    if (!std::isfinite(v) || a >= 1e100 || (v != 0.0 && a < 1e-100)) {
        kz::crt::c_snprintf(work, sizeof work, "%lf", v);
    } else {
        plain_digits(v, work);
        if (width_mode != 0 && work[0] == ' ') std::memmove(work, work + 1, std::strlen(work));
    }
    if (width_mode >= 2 && width_mode <= 50) {
        std::size_t len = std::strlen(work);
        auto width = static_cast<std::size_t>(width_mode);
        if (len < width) {  // a longer text is kept whole rather than losing its leading digits
            std::size_t sign = work[0] == '-' ? 1 : 0;
            std::size_t pad = width - len;
            std::memmove(work + sign + pad, work + sign, len - sign + 1);
            std::memset(work + sign, '0', pad);
        }
    }
    copy_out(buffer, size, work);
    return buffer;
}

char* format_fixed_decimals(int digits, double v, char* buffer, std::size_t size) {
    if (digits == 0) return double_to_text(std::trunc(v + 0.5), 1, buffer, size);
    if (digits >= -90 && digits < 0) {
        double p = std::pow(10.0, -digits);
        return double_to_text(std::trunc(v / p + 0.5) * p, 1, buffer, size);
    }
    if (digits < 1 || digits > 90) return double_to_text(v, 1, buffer, size);
    char work[kWork + 8];
    double_to_text(v, 1, work, kNumberTextSize);
    round_text(work, digits);
    copy_out(buffer, size, work);
    return buffer;
}

char* format_rounded(double v, int decimals, char* buffer, std::size_t size) {
    if (decimals >= 0) {
        double p = std::pow(10.0, decimals);
        return double_to_text(std::trunc(v * p + 0.5) / p, 1, buffer, size);
    }
    double p = std::pow(10.0, -decimals);
    return double_to_text(std::trunc(v / p + 0.5) * p, 1, buffer, size);
}

char* format_number(double v, char* buffer, std::size_t size) {
    return double_to_text(snap_to_zero(v), 1, buffer, size);
}

double snap_to_zero(double v) { return std::fabs(v) < 1e-11 ? 0.0 : v; }

double sign_value(double v) { return v > 0.0 ? 1.0 : (v < 0.0 ? -1.0 : 0.0); }

double wrap_degrees(double angle) {
    double a = std::fmod(angle, 360.0);
    if (a < 0.0) a += 360.0;
    if (a >= 360.0) a -= 360.0;  // a tiny negative angle rounds up to a full turn
    return a;
}

double cos_degrees(double angle) { return std::cos(angle / 180.0 * M_PI); }
double sin_degrees(double angle) { return std::sin(angle / 180.0 * M_PI); }

}  // namespace kz::foundation
