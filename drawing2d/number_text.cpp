// Coordinate rounding, the wrap-around counter step, Escape polling and the library's own number text.
// Number text never goes through the process locale.
#include <cmath>
#include <cstring>

#include "drawing2d/text_utils.h"
#include "platform/crt/c_numbers.h"
#include "platform/window.h"

namespace kz::drawing2d {

int32_t round_to_int32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 0) {
        double v = value + 0.5;
        if (v >= 2147483647.0) return 2147483647;
        return static_cast<int32_t>(v);
    }
    double v = value - 0.5;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(v);
}

// The platform's one checked step, which this library's cells (int32) share with every int.
static_assert(sizeof(int) == sizeof(int32_t));
int32_t truncate_to_int32(double value) { return kz::crt::truncate_to_int(value); }

int64_t truncate_to_int64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return INT64_MAX;
    if (value <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(value);
}

int32_t cyclic_step(int32_t value, double step, int32_t low, int32_t high) {
    if (step > 0 && step < 1.5)
        ++value;
    else if (step < 0 || step >= 1.5)
        --value;
    if (value < low) value = high;
    if (value > high) value = low;
    return value;
}

namespace {
int g_escape_period = 1;
int g_escape_counter = 0;
// Set when a press has stopped a loop; the same press must not stop the next one, so the key has to be seen up
// before it counts again. (Waiting here for the release would freeze the program while the key is held.)
bool g_escape_reported = false;
}  // namespace

int escape_pressed(int n) {
    if (n > 0) {
        g_escape_period = n;
        g_escape_counter = 0;
        return 0;
    }
    if (++g_escape_counter < g_escape_period) return 0;
    g_escape_counter = 0;
    const bool down = (kz::platform::async_key_state(kz::platform::VK_ESCAPE) & 0x8000) != 0;
    if (!down) {
        g_escape_reported = false;
        return 0;
    }
    if (g_escape_reported) return 0;
    g_escape_reported = true;
    return 1;
}

char* xlum_str_string(double value, int width, char* buffer) {
    if (!buffer) return buffer;
    double mag = std::fabs(value);
    if (!std::isfinite(value) || mag >= 1e100 || (value != 0 && mag < 1e-100)) {
        kz::crt::c_snprintf(buffer, kTextBuffer, "%lf", value);
    } else {
        // 15 significant digits and the position of the decimal point, as an ecvt conversion gives them.
        char digits[16] = "000000000000000";
        int point = 0;
        if (value != 0) {
            char e[32];
            kz::crt::c_snprintf(e, sizeof e, "%.14e", mag);
            digits[0] = e[0];
            std::memcpy(digits + 1, e + 2, 14);
            point = kz::crt::c_atoi(e + 17) + 1;
        }
        char text[64];
        int n = 0;
        text[n++] = value < 0 ? '-' : ' ';
        if (point <= 0) {
            text[n++] = '0';
            text[n++] = '.';
            for (int i = 0; i < -point; ++i) text[n++] = '0';
            for (int i = 0; i < 15; ++i) text[n++] = digits[i];
        } else {
            for (int i = 0; i < point; ++i) text[n++] = i < 15 ? digits[i] : '0';
            if (point < 15) {
                text[n++] = '.';
                for (int i = point; i < 15; ++i) text[n++] = digits[i];
            }
        }
        text[n] = 0;
        if (std::strchr(text, '.')) {
            while (n > 0 && text[n - 1] == '0') text[--n] = 0;
            if (n > 0 && text[n - 1] == '.') text[--n] = 0;
        }
        std::memcpy(buffer, text, static_cast<std::size_t>(n) + 1);
    }
    if (width != 0 && buffer[0] == ' ') std::memmove(buffer, buffer + 1, std::strlen(buffer));
    if (width >= 2 && width <= 50) {
        char padded[kTextBuffer + 64];
        kz::crt::c_snprintf(padded, sizeof padded, "%s%s", "00000000000000000000000000000000000000000000000000",
                            buffer);
        std::size_t len = std::strlen(padded);
        std::memmove(buffer, padded + len - static_cast<std::size_t>(width), static_cast<std::size_t>(width) + 1);
    }
    return buffer;
}

}  // namespace kz::drawing2d
