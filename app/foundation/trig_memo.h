// Sine, cosine and arc tangent of arguments that come again and again: the faces of most shapes are turned by the
// same few angles, so the latest answers are kept under the exact bits of their arguments. Every value is the one
// std::sin, std::cos and std::atan2 give.
#pragma once

namespace kz::foundation {

void memo_sin_cos(double t, double* s, double* c);
double memo_atan2(double y, double x);

}  // namespace kz::foundation
