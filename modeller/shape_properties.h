// The three property stores a shape of the OpenGL modeller carries for its callers: two hash maps keyed by
// 32-bit integers (32-bit and 64-bit values) and COfuPropertySet, a packed store of byte-string records.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// A small hash map of 17 buckets whose nodes come from blocks of 10; entries are never removed one by one.
template <class Value>
class CO3duPropertyMap {
public:
    CO3duPropertyMap() = default;
    CO3duPropertyMap(const CO3duPropertyMap&) = delete;
    CO3duPropertyMap& operator=(const CO3duPropertyMap&) = delete;

    static constexpr std::uint32_t kBuckets = 17;
    static constexpr int kNodesPerBlock = 10;

    static std::uint32_t bucket_of(std::int32_t key) { return (static_cast<std::uint32_t>(key) >> 4) % kBuckets; }

    void Set(std::int32_t key, Value value) {
        if (Node* node = find(key)) {
            node->value = value;
            return;
        }
        if (!buckets_) buckets_ = std::make_unique<std::array<Node*, kBuckets>>();  // zero-filled
        Node* node = new_node();
        const std::uint32_t b = bucket_of(key);
        node->bucket = b;
        node->key = key;
        node->value = value;
        node->next = (*buckets_)[b];
        (*buckets_)[b] = node;
        ++count_;
    }

    // value is 0 unless the key is found.
    int Get(std::int32_t key, Value& value) const {
        value = 0;
        const Node* node = find(key);
        if (!node) return 0;
        value = node->value;
        return 1;
    }

    int GetCount() const { return count_; }
    int GetBlockCount() const { return static_cast<int>(blocks_.size()); }

private:
    struct Node {
        Node* next = nullptr;
        std::uint32_t bucket = 0;
        std::int32_t key = 0;
        Value value = 0;
    };

    Node* find(std::int32_t key) const {
        if (!buckets_) return nullptr;
        for (Node* n = (*buckets_)[bucket_of(key)]; n; n = n->next)
            if (n->key == key) return n;
        return nullptr;
    }

    Node* new_node() {
        if (!free_) {
            blocks_.push_back(std::make_unique<Node[]>(kNodesPerBlock));
            Node* block = blocks_.back().get();
            for (int i = kNodesPerBlock - 1; i >= 0; --i) {
                block[i].next = free_;
                free_ = &block[i];
            }
        }
        Node* node = free_;
        free_ = node->next;
        node->next = nullptr;
        return node;
    }

    std::unique_ptr<std::array<Node*, kBuckets>> buckets_;
    int count_ = 0;
    Node* free_ = nullptr;
    std::vector<std::unique_ptr<Node[]>> blocks_;
};

// Records of key length (4 bytes, little-endian), value length (4), key bytes, value bytes, one after another;
// the bytes past the used size are kept zero.
class COfuPropertySet {
public:
    COfuPropertySet() = default;
    COfuPropertySet(const COfuPropertySet&) = delete;
    COfuPropertySet& operator=(const COfuPropertySet&) = delete;
    virtual ~COfuPropertySet() = default;

    // Replaces any record with an equal key by a new one at the end. 0 for a null or empty key or value.
    int Set(const void* key, std::uint32_t key_length, const void* value, std::uint32_t value_length);
    // The value's length after copying it out; 0 when absent or any argument is null or 0; 0xFFFFFFFF (nothing
    // copied) when the buffer is too short.
    std::uint32_t Get(const void* key, std::uint32_t key_length, void* buffer, std::uint32_t buffer_length) const;
    int Remove(const void* key, std::uint32_t key_length);

    std::uint64_t GetUsedSize() const { return used_; }
    std::uint64_t GetCapacity() const { return capacity_; }
    const std::uint8_t* GetBuffer() const { return buffer_.get(); }

private:
    // Offset of the record with this key, or -1.
    std::int64_t find(const void* key, std::uint32_t key_length) const;
    void remove_at(std::uint64_t offset);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t used_ = 0;
    std::uint64_t capacity_ = 0;
};
