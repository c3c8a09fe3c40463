// Numbers read from inside a longer text, as the file readers cut them out of their lines.
#pragma once
#include <cstddef>

namespace kz::crt {

// c_atof of the first `length` bytes of text, which need not end there: the same value, without a copy or a locale
// lookup for the plain decimal numbers files are made of.
double c_atof_span(const char* text, std::size_t length);

}  // namespace kz::crt
