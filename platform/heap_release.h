// Stands in for the system's heap giving its free pages back: once a large number of blocks has been freed, the
// C library's allocator is asked to return the pages they held. Not here: a heap of our own, limits, or figures.
#pragma once
#include <functional>

namespace kz::platform {

// Hands the pages of freed heap blocks back to the system, so the resident size falls again after a large set of
// small blocks (a walk's faces, the shadow volumes) is freed. The allocator keeps such pages for reuse otherwise:
// it only shortens the heap at its top, and a block still in use above them pins them. Costs a walk over the free
// blocks, so callers ask once after freeing much, not after each block.
void release_free_heap();
// Test hook: called as release_free_heap begins, before any page goes back, so a test sees what the heap still holds
// when it is asked; empty to remove.
void set_heap_release_observer_for_tests(std::function<void()> observer);

}  // namespace kz::platform
