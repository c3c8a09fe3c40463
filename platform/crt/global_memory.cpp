#include "platform/crt/global_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace kz::crt {
namespace {
struct Block {
    void* data = nullptr;
    std::size_t size = 0;
    unsigned flags = 0;
    int locks = 0;
};

// Handles of movable blocks are distinct small tokens so that they can never be confused with addresses.
struct Registry {
    std::mutex mutex;
    std::unordered_map<GlobalHandle, Block> blocks;
    std::unordered_map<const void*, GlobalHandle> by_data;
    std::uintptr_t next_token = 0x10;
};

Registry& registry() {
    static Registry* r = new Registry;  // lives to the end of the process: blocks may be freed from static dtors
    return *r;
}

Block* find(Registry& r, GlobalHandle h) {
    auto it = r.blocks.find(h);
    return it == r.blocks.end() ? nullptr : &it->second;
}
}  // namespace

GlobalHandle global_alloc(unsigned flags, std::size_t size) {
    void* data = (flags & kGlobalZeroInit) ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1);
    if (!data) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    GlobalHandle h = data;
    if (flags & kGlobalMoveable) {
        r.next_token += 0x10;
        h = reinterpret_cast<GlobalHandle>(r.next_token);
    }
    r.blocks[h] = Block{data, size, flags, 0};
    r.by_data[data] = h;
    return h;
}

void* global_lock(GlobalHandle h) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    if (!b) return nullptr;
    ++b->locks;
    return b->data;
}

int global_unlock(GlobalHandle h) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    if (!b) return 0;
    if (b->locks > 0) --b->locks;
    return b->locks > 0 ? 1 : 0;
}

GlobalHandle global_free(GlobalHandle h) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    if (!b) return h;
    r.by_data.erase(b->data);
    std::free(b->data);
    r.blocks.erase(h);
    return nullptr;
}

std::size_t global_size(GlobalHandle h) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    return b ? b->size : 0;
}

GlobalHandle global_realloc(GlobalHandle h, std::size_t size, unsigned flags) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    if (!b) return nullptr;
    // A fixed block's handle is its address, so it cannot move without changing the handle: allocate anew.
    void* data = std::realloc(b->data, size ? size : 1);
    if (!data) return nullptr;
    if (size > b->size && ((b->flags | flags) & kGlobalZeroInit))
        std::memset(static_cast<char*>(data) + b->size, 0, size - b->size);
    r.by_data.erase(b->data);
    b->data = data;
    b->size = size;
    r.by_data[data] = h;
    if (!(b->flags & kGlobalMoveable) && data != h) {
        Block moved = *b;
        r.blocks.erase(h);
        r.blocks[data] = moved;
        r.by_data[data] = data;
        return data;
    }
    return h;
}

GlobalHandle global_handle(const void* p) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.by_data.find(p);
    return it == r.by_data.end() ? nullptr : it->second;
}

bool global_is_moveable(GlobalHandle h) { return global_flags(h) & kGlobalMoveable; }

unsigned global_flags(GlobalHandle h) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Block* b = find(r, h);
    return b ? b->flags : 0;
}

}  // namespace kz::crt
