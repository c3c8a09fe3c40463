// The heap's free pages go back to the system when asked: many small blocks freed below one still in use leave
// the resident size where it was until then.
#include "platform/heap_release.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/memory_status.h"

namespace {

TEST(HeapRelease, FreedSmallBlocksBelowOneInUseLeaveTheResidentSize) {
    kz::platform::set_memory_by_resident_size_for_testing(true);
    constexpr std::size_t block = 4000, count = 16384;  // 64 MB in blocks the allocator keeps in its heap
    std::vector<std::unique_ptr<char[]>> blocks;
    blocks.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        blocks.emplace_back(new char[block]);
        std::memset(blocks.back().get(), 1, block);
    }
    // Allocated after the others, so the heap cannot simply be shortened from its top.
    const auto pin = std::make_unique<char[]>(block);
    blocks.clear();
    blocks.shrink_to_fit();
    const std::uint64_t freed = kz::platform::memory_in_use();
    kz::platform::release_free_heap();
    const std::uint64_t released = kz::platform::memory_in_use();
    kz::platform::set_memory_by_resident_size_for_testing(false);
    EXPECT_GE(freed, released + block * count / 2)
        << "resident after the free " << freed << ", after release " << released;
}

}  // namespace
