// COfuArray: the growable array behind every list class and every shape outline of the 3D library.
// One growth rule for all of them; how new, dropped and relocated elements are treated depends on the element kind.
#pragma once
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

// zero: new elements are zero bytes, dropped ones are zeroed (list elements).
// construct: new elements are default-constructed values, dropped ones are left as they are (outline vectors).
// object: new elements are constructed objects, dropped ones destroyed, and relocation moves them (sets, holes).
enum class ArrayFill { zero, construct, object };

template <class T>
inline constexpr ArrayFill default_array_fill = std::is_trivially_default_constructible_v<T> ? ArrayFill::zero
                                                : std::is_trivially_destructible_v<T>        ? ArrayFill::construct
                                                                                             : ArrayFill::object;

namespace ofu_array_detail {
inline std::atomic<std::uint64_t> moved_bytes{0};
}
// Test hook: the bytes that growth has carried from old blocks into new ones, in every array together, since the
// program started. A long run of additions must move bytes in proportion to its length, not to its square.
inline std::uint64_t OfuArrayMovedBytes() { return ofu_array_detail::moved_bytes.load(std::memory_order_relaxed); }

template <class TYPE, class ARG_TYPE = const TYPE&, ArrayFill FILL = default_array_fill<TYPE>>
class COfuArray {
    static_assert(FILL == ArrayFill::object ||
                      (std::is_trivially_copy_constructible_v<TYPE> && std::is_trivially_destructible_v<TYPE>),
                  "only objects may need more than a block copy to move");

public:
    COfuArray() = default;
    // A copy starts with automatic growth, whatever the source's step was.
    COfuArray(const COfuArray& other) { assign_from(other); }
    COfuArray(COfuArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)),
          grow_by_(std::exchange(other.grow_by_, 0)) {}
    COfuArray& operator=(const COfuArray& other) {
        if (this != &other) assign_from(other);
        return *this;
    }
    COfuArray& operator=(COfuArray&& other) noexcept {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
            grow_by_ = std::exchange(other.grow_by_, 0);
        }
        return *this;
    }
    ~COfuArray() { release(); }

    int GetSize() const { return size_; }
    int GetCapacity() const { return capacity_; }
    int GetGrowBy() const { return grow_by_; }
    TYPE* GetData() { return data_; }
    const TYPE* GetData() const { return data_; }
    TYPE& operator[](int i) { return data_[i]; }
    const TYPE& operator[](int i) const { return data_[i]; }

    // grow -1 keeps the stored step; any other value (0 = automatic) replaces it.
    void SetSize(int n, int grow = -1);

    int Add(ARG_TYPE element) {
        // Copy first: the argument may live in this very block, which growing can free.
        TYPE copy(element);
        const int index = size_;
        SetSize(size_ + 1, -1);
        data_[index] = std::move(copy);
        return index;
    }

    // Ranges reaching outside the array are clipped to it rather than trusted.
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { release(); }

    // Appends copies of every element of other; appending an array to itself doubles it.
    void Append(const COfuArray& other) {
        const int old = size_;
        const int extra = other.size_;
        if (extra <= 0) return;
        SetSize(old + extra, -1);
        for (int i = 0; i < extra; ++i) data_[old + i] = other.data_[i];
    }

private:
    void assign_from(const COfuArray& other) {
        SetSize(other.size_, -1);
        for (int i = 0; i < other.size_; ++i) data_[i] = other.data_[i];
    }
    void make_new(int from, int to) {
        if (from >= to) return;
        if constexpr (FILL == ArrayFill::zero) {
            std::memset(static_cast<void*>(data_ + from), 0, sizeof(TYPE) * static_cast<size_t>(to - from));
        } else {
            for (int i = from; i < to; ++i) ::new (static_cast<void*>(data_ + i)) TYPE();
        }
    }
    void drop(int from, int to) {
        if (from >= to) return;
        if constexpr (FILL == ArrayFill::zero) {
            std::memset(static_cast<void*>(data_ + from), 0, sizeof(TYPE) * static_cast<size_t>(to - from));
        } else if constexpr (FILL == ArrayFill::object) {
            std::destroy(data_ + from, data_ + to);
        }
    }
    void release() {
        if (data_) {
            if constexpr (FILL == ArrayFill::object) std::destroy(data_, data_ + size_);
            std::allocator<TYPE>().deallocate(data_, static_cast<size_t>(capacity_));
        }
        data_ = nullptr;
        size_ = 0;
        capacity_ = 0;
    }

    TYPE* data_ = nullptr;
    int32_t size_ = 0;
    int32_t capacity_ = 0;
    int32_t grow_by_ = 0;
};

template <class TYPE, class ARG_TYPE, ArrayFill FILL>
void COfuArray<TYPE, ARG_TYPE, FILL>::SetSize(int n, int grow) {
    if (grow != -1) grow_by_ = grow;
    if (n < 0) return;  // a negative size is a caller's slip; keep the array as it is
    if (n == 0) {
        release();
        return;
    }
    if (!data_) {
        data_ = std::allocator<TYPE>().allocate(static_cast<size_t>(n));
        capacity_ = n;
        size_ = 0;
        make_new(0, n);
        size_ = n;
        return;
    }
    if (n > capacity_) {
        int64_t step = grow_by_;
        if (step <= 0) {
            step = size_ / 8;
            if (step < 4) step = 4;
            if (step > 1024) step = 1024;
        }
        int64_t wanted = int64_t(capacity_) + step;
        if (wanted < n) wanted = n;
        if (wanted > INT_MAX / int64_t(sizeof(TYPE))) {
            if (n > INT_MAX / int64_t(sizeof(TYPE))) throw std::bad_alloc();
            wanted = n;
        }
        TYPE* block = std::allocator<TYPE>().allocate(static_cast<size_t>(wanted));
        ofu_array_detail::moved_bytes.fetch_add(sizeof(TYPE) * size_t(size_), std::memory_order_relaxed);
        if constexpr (FILL == ArrayFill::object) {
            for (int i = 0; i < size_; ++i) {
                ::new (static_cast<void*>(block + i)) TYPE(std::move(data_[i]));
                std::destroy_at(data_ + i);
            }
        } else {
            std::memcpy(static_cast<void*>(block), static_cast<const void*>(data_), sizeof(TYPE) * size_t(size_));
        }
        std::allocator<TYPE>().deallocate(data_, static_cast<size_t>(capacity_));
        data_ = block;
        capacity_ = static_cast<int32_t>(wanted);
        make_new(size_, n);
        size_ = n;
        return;
    }
    if (n > size_) {
        make_new(size_, n);
    } else {
        drop(n, size_);
    }
    size_ = n;
}

template <class TYPE, class ARG_TYPE, ArrayFill FILL>
void COfuArray<TYPE, ARG_TYPE, FILL>::RemoveAt(int index, int count) {
    if (index < 0 || index >= size_ || count <= 0) return;
    if (count > size_ - index) count = size_ - index;
    const int tail = size_ - index - count;
    if constexpr (FILL == ArrayFill::object) {
        for (int i = 0; i < tail; ++i) data_[index + i] = std::move(data_[index + count + i]);
        std::destroy(data_ + size_ - count, data_ + size_);
    } else if (tail > 0) {
        std::memmove(static_cast<void*>(data_ + index), static_cast<const void*>(data_ + index + count),
                     sizeof(TYPE) * size_t(tail));
    }
    size_ -= count;
}
