// Stands in for the system's memory status query: the machine's physical memory and how much of it the process
// holds. Not here: virtual sizes, per-thread figures, or limits set by the system.
#pragma once
#include <cstdint>

namespace kz::platform {

// The machine's physical memory; 0 when it cannot be told.
std::uint64_t physical_memory_bytes();

// The memory the process holds, cheap enough to ask every few milliseconds: its resident size (pages in memory,
// the program's own and its libraries' alike). In a build with AddressSanitizer it is the sanitizer's count of the
// heap blocks in use instead: there the resident size also carries the shadow memory, the redzones and the
// quarantine of freed blocks, which would make a model stop far earlier than in the program users run.
std::uint64_t memory_in_use();
// Makes memory_in_use() the resident size in a build with AddressSanitizer too, for a test of the road the
// program users run takes (in a process of its own: the count jumps when the road changes).
void set_memory_by_resident_size_for_testing(bool on);

}  // namespace kz::platform
