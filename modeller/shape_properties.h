// The three property stores a shape of the OpenGL modeller carries for its callers: two maps keyed by 32-bit
// integers (32-bit and 64-bit values) and COfuPropertySet, a packed store of byte-string records.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

// A map keyed by 32-bit integers. Most shapes carry a few keys, kept in the map itself with nothing allocated;
// past kInline keys they all move to a hash map of 17 buckets whose nodes come from blocks of 10. Entries are
// never removed one by one.
template <class Value, int kInline = sizeof(Value) == 4 ? 3 : 2>
class CO3duPropertyMap {
public:
    CO3duPropertyMap() = default;
    CO3duPropertyMap(const CO3duPropertyMap&) = delete;
    CO3duPropertyMap& operator=(const CO3duPropertyMap&) = delete;

    static constexpr std::uint32_t kBuckets = 17;
    static constexpr int kNodesPerBlock = 10;

    static std::uint32_t bucket_of(std::int32_t key) { return (static_cast<std::uint32_t>(key) >> 4) % kBuckets; }

    void Set(std::int32_t key, Value value) {
        if (auto* hashed = std::get_if<Hashed>(&store_)) {
            (*hashed)->Set(key, value);
            return;
        }
        Small& small = std::get<Small>(store_);
        for (int i = 0; i < small.count; ++i)
            if (small.keys[i] == key) {
                small.values[i] = value;
                return;
            }
        if (small.count < kInline) {
            small.keys[small.count] = key;
            small.values[small.count] = value;
            ++small.count;
            return;
        }
        auto grown = std::make_unique<HashMap>();
        for (int i = 0; i < small.count; ++i) grown->Set(small.keys[i], small.values[i]);
        grown->Set(key, value);
        store_ = std::move(grown);
    }

    // value is 0 unless the key is found.
    int Get(std::int32_t key, Value& value) const {
        value = 0;
        if (const auto* hashed = std::get_if<Hashed>(&store_)) return (*hashed)->Get(key, value);
        const Small& small = std::get<Small>(store_);
        for (int i = 0; i < small.count; ++i)
            if (small.keys[i] == key) {
                value = small.values[i];
                return 1;
            }
        return 0;
    }

    int GetCount() const {
        const auto* hashed = std::get_if<Hashed>(&store_);
        return hashed ? (*hashed)->count : std::get<Small>(store_).count;
    }
    // Node blocks of the hash map; none while the keys fit in the map itself.
    int GetBlockCount() const {
        const auto* hashed = std::get_if<Hashed>(&store_);
        return hashed ? static_cast<int>((*hashed)->blocks.size()) : 0;
    }

private:
    struct Small {
        std::int32_t keys[kInline];
        Value values[kInline];
        std::uint8_t count = 0;
    };

    struct Node {
        Node* next = nullptr;
        std::uint32_t bucket = 0;
        std::int32_t key = 0;
        Value value = 0;
    };

    struct HashMap {
        std::array<Node*, kBuckets> buckets{};
        int count = 0;
        Node* free = nullptr;
        std::vector<std::unique_ptr<Node[]>> blocks;

        Node* find(std::int32_t key) const {
            for (Node* n = buckets[bucket_of(key)]; n; n = n->next)
                if (n->key == key) return n;
            return nullptr;
        }

        void Set(std::int32_t key, Value value) {
            if (Node* node = find(key)) {
                node->value = value;
                return;
            }
            if (!free) {
                blocks.push_back(std::make_unique<Node[]>(kNodesPerBlock));
                Node* block = blocks.back().get();
                for (int i = kNodesPerBlock - 1; i >= 0; --i) {
                    block[i].next = free;
                    free = &block[i];
                }
            }
            Node* node = free;
            free = node->next;
            const std::uint32_t b = bucket_of(key);
            node->bucket = b;
            node->key = key;
            node->value = value;
            node->next = buckets[b];
            buckets[b] = node;
            ++count;
        }

        int Get(std::int32_t key, Value& value) const {
            const Node* node = find(key);
            if (!node) return 0;
            value = node->value;
            return 1;
        }
    };
    using Hashed = std::unique_ptr<HashMap>;

    std::variant<Small, Hashed> store_;
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
