// Movable memory blocks behind handles, as drawings, DIBs, font blocks and clipboard blocks are passed around.
// A handle is checked against the live blocks, so a stale or foreign handle is refused instead of dereferenced.
// Locking pins nothing (blocks never move here); the lock count is kept because callers test it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kz::crt {

using GlobalHandle = void*;

enum GlobalFlags : unsigned {
    kGlobalFixed = 0x0000,
    kGlobalMoveable = 0x0002,
    kGlobalZeroInit = 0x0040,
    kGlobalShare = 0x2000,
};

// A new block of `size` bytes (0 allowed); null when memory runs out. A fixed block's handle is its address.
GlobalHandle global_alloc(unsigned flags, std::size_t size);
// Pointer to the block's bytes and one more lock; null for a null or unknown handle.
void* global_lock(GlobalHandle h);
// One lock fewer; returns non-zero while locks remain (0 also for an unknown handle).
int global_unlock(GlobalHandle h);
// Frees the block; returns null on success, the handle itself when it is unknown.
GlobalHandle global_free(GlobalHandle h);
// Size in bytes; 0 for an unknown handle.
std::size_t global_size(GlobalHandle h);
// Resizes, keeping the bytes (new bytes zeroed when the block was zero-initialised or `flags` asks for it);
// returns the handle (unchanged for movable blocks) or null on failure, leaving the block as it was.
GlobalHandle global_realloc(GlobalHandle h, std::size_t size, unsigned flags);
// The handle of a block from a pointer to its bytes; null when the pointer is no block's start.
GlobalHandle global_handle(const void* p);
// Whether the handle names a live movable block.
bool global_is_moveable(GlobalHandle h);
// The allocation flags of a live block; 0 for an unknown handle.
unsigned global_flags(GlobalHandle h);

}  // namespace kz::crt
