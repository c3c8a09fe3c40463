// What the heap's blocks in use hold, as a test reads it in every build.
#pragma once
#include <cstdint>

namespace kz::test {

// The bytes of the heap's blocks in use: AddressSanitizer's count where it allocates, else glibc's (mallinfo2: the
// blocks of its arenas and those it mapped alone). Neither counts what was freed and kept for reuse, which the
// resident size does, so a test that compares two moments sees what the program holds then, in both builds.
std::uint64_t heap_in_use();

}  // namespace kz::test
