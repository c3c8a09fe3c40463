// Damaged copies of a good input for the readers' tests: the same copies on every run and machine.
#pragma once
#include <string>
#include <vector>

namespace kz::test {

// `count` copies of `good`, each changed a few times: bits flipped, bytes set to values readers meet at their
// edges (0, 0x7F, 0x80, 0xFF, digits, separators, line ends), int32 extremes written over four bytes, spans
// removed, repeated or cut off, random bytes inserted. The same `seed` gives the same copies.
std::vector<std::string> byte_mutations(const std::string& good, int count, unsigned seed);

}  // namespace kz::test
