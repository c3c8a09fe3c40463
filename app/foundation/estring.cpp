// The buffer comes from the C allocator (as the texts handed on to heap-text owners do).
#include "app/foundation/estring.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace kz::foundation {
namespace {
char* allocate(int capacity) {
    char* block = static_cast<char*>(std::malloc(static_cast<std::size_t>(capacity)));
    if (!block) throw std::bad_alloc();
    return block;
}

// Growing in place where the allocator can (large blocks are remapped, not copied) keeps a file assembled in small
// pieces from copying its whole text at every step.
char* grow(char* block, int capacity) {
    char* grown = static_cast<char*>(std::realloc(block, static_cast<std::size_t>(capacity)));
    if (!grown) throw std::bad_alloc();
    return grown;
}
}  // namespace

EString::EString() : buffer_(allocate(1)) { buffer_[0] = 0; }

EString::~EString() { std::free(buffer_); }

EString::EString(EString&& other) noexcept
    : length_(other.length_), capacity_(other.capacity_), buffer_(std::exchange(other.buffer_, nullptr)) {
    other.length_ = 0;
    other.capacity_ = 0;
}

EString& EString::operator=(EString&& other) noexcept {
    if (this != &other) {
        std::free(buffer_);
        buffer_ = std::exchange(other.buffer_, nullptr);
        length_ = std::exchange(other.length_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

int EString::Append(const char* text, int cut, int length) {
    if (!text) return length_;
    if (length < 0) length = static_cast<int>(std::strlen(text));
    if (!buffer_) {  // a moved-from buffer comes back to life
        buffer_ = allocate(1);
        buffer_[0] = 0;
        capacity_ = 1;
    }
    if (cut >= 0 && cut < length_) length_ = cut;
    if (static_cast<long long>(slack_) + length_ + length > capacity_) {
        long long wanted = static_cast<long long>(length_) + step_ + length;
        if (wanted > INT_MAX) throw std::bad_alloc();
        // A text inside the buffer moves with it.
        const auto at = reinterpret_cast<std::uintptr_t>(text), from = reinterpret_cast<std::uintptr_t>(buffer_);
        const bool inside = at >= from && at < from + static_cast<std::uintptr_t>(capacity_);
        const std::uintptr_t offset = inside ? at - from : 0;
        buffer_ = grow(buffer_, static_cast<int>(wanted));
        capacity_ = static_cast<int>(wanted);
        if (inside) text = buffer_ + offset;
    }
    std::memmove(buffer_ + length_, text, static_cast<std::size_t>(length));
    length_ += length;
    buffer_[length_] = 0;
    return length_;
}

int EString::AppendParts(const char* t1, const char* t2, const char* t3, const char* t4, const char* t5, const char* t6,
                         const char* t7) {
    for (const char* t : {t1, t2, t3, t4, t5, t6, t7}) Append(t);
    return length_;
}

int EString::Assign(const char* text, int length) {
    if (!text) text = "";
    if (length < 0) length = static_cast<int>(std::strlen(text));
    if (static_cast<long long>(slack_) + length > INT_MAX) throw std::bad_alloc();
    char* block = allocate(slack_ + length);
    std::memcpy(block, text, static_cast<std::size_t>(length));
    block[length] = 0;
    std::free(buffer_);
    buffer_ = block;
    capacity_ = slack_ + length;
    length_ = length;
    return length_;
}

}  // namespace kz::foundation
