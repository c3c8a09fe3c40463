// Numbers as the system writes them into figure files: plain decimal text of up to 15 significant digits, never an
// exponent, always in the C locale; fixed and rounded forms, and small angle and sign helpers.
#pragma once
#include <cstddef>

namespace kz::foundation {

// Room that always holds double_to_text's full text (the "%lf" form of the largest double included).
constexpr std::size_t kNumberTextSize = 400;

// Plain decimal text of v: 15 significant digits, trailing zeros and a bare point dropped. |v| >= 1e100, non-zero
// |v| < 1e-100, infinities and NaN are written as "%lf" does. Width mode 0 keeps a sign column (" 5", "-5"); any
// other mode drops the blank; modes 2..50 pad with zeros (after a '-') to that many characters. The text is
// copied into buffer (at most size - 1 bytes), which is returned; a null buffer gives a per-thread buffer of
// kNumberTextSize bytes, valid until the next such call.
char* double_to_text(double v, int width_mode, char* buffer, std::size_t size);
// digits 1..90: that many decimals, rounded half up on the text; 0: an integer; -1..-90: rounded to tens,
// hundreds...; any other count: double_to_text unchanged.
char* format_fixed_decimals(int digits, double v, char* buffer, std::size_t size);
// v rounded half up to `decimals` places (negative: tens, hundreds...) through double_to_text (mode 1).
char* format_rounded(double v, int decimals, char* buffer, std::size_t size);
// double_to_text (mode 1) with magnitudes below 1e-11 written as 0.
char* format_number(double v, char* buffer, std::size_t size);

double snap_to_zero(double v);
double sign_value(double v);
// The angle brought into 0 <= a < 360 by whole turns.
double wrap_degrees(double angle);
double cos_degrees(double angle);
double sin_degrees(double angle);

}  // namespace kz::foundation
