// The stroke font block linked into the program, made at build time by resources/fontgen from an outline font;
// empty (size 0) when no outline font was found when the build was configured.
#pragma once
#include <cstddef>

namespace kz::foundation {
extern const unsigned char kStrokeFontBlock[];
extern const std::size_t kStrokeFontBlockSize;
}  // namespace kz::foundation
