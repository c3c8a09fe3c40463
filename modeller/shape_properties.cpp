// The byte-string property store: lookup, append with growth by 1024 spare bytes, removal by closing the gap.
// Lengths are read back from the buffer, so every step checks them against the used size before trusting them.
#include "modeller/shape_properties.h"

#include <cstring>

namespace {

std::uint32_t read_u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void write_u32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

std::int64_t COfuPropertySet::find(const void* key, std::uint32_t key_length) const {
    std::uint64_t offset = 0;
    while (offset + 8 <= used_) {
        const std::uint32_t k = read_u32(&buffer_[offset]);
        const std::uint32_t v = read_u32(&buffer_[offset + 4]);
        if (offset + k + 8 >= used_) return -1;
        if (offset + 8 + k + v > used_) return -1;  // a record running past the end cannot be trusted
        if (k == key_length && std::memcmp(&buffer_[offset + 8], key, k) == 0) return static_cast<std::int64_t>(offset);
        offset += 8 + std::uint64_t(k) + v;
    }
    return -1;
}

void COfuPropertySet::remove_at(std::uint64_t offset) {
    const std::uint64_t record = 8 + std::uint64_t(read_u32(&buffer_[offset])) + read_u32(&buffer_[offset + 4]);
    const std::uint64_t end = offset + record;
    std::memmove(&buffer_[offset], &buffer_[end], used_ - end);
    used_ -= record;
    std::memset(&buffer_[used_], 0, record);
}

int COfuPropertySet::Set(const void* key, std::uint32_t key_length, const void* value, std::uint32_t value_length) {
    if (!key || !value || key_length == 0 || value_length == 0) return 0;
    const std::int64_t old = find(key, key_length);
    if (old >= 0) remove_at(static_cast<std::uint64_t>(old));
    const std::uint64_t needed = used_ + 8 + std::uint64_t(key_length) + value_length;
    if (needed > capacity_) {
        const std::uint64_t capacity = needed + 1024;
        auto grown = std::make_unique<std::uint8_t[]>(capacity);  // value-initialised: zero
        if (used_) std::memcpy(grown.get(), buffer_.get(), used_);
        buffer_ = std::move(grown);
        capacity_ = capacity;
    }
    std::uint8_t* at = &buffer_[used_];
    write_u32(at, key_length);
    write_u32(at + 4, value_length);
    std::memcpy(at + 8, key, key_length);
    std::memcpy(at + 8 + key_length, value, value_length);
    used_ = needed;
    return 1;
}

std::uint32_t COfuPropertySet::Get(const void* key, std::uint32_t key_length, void* buffer,
                                   std::uint32_t buffer_length) const {
    if (!key || !buffer || key_length == 0 || buffer_length == 0) return 0;
    const std::int64_t offset = find(key, key_length);
    if (offset < 0) return 0;
    const std::uint32_t v = read_u32(&buffer_[offset + 4]);
    if (buffer_length < v) return 0xFFFFFFFFu;
    std::memcpy(buffer, &buffer_[offset + 8 + key_length], v);
    return v;
}

int COfuPropertySet::Remove(const void* key, std::uint32_t key_length) {
    if (!key || key_length == 0) return 0;
    const std::int64_t offset = find(key, key_length);
    if (offset < 0) return 0;
    remove_at(static_cast<std::uint64_t>(offset));
    return 1;
}
