// The digest of a file's bytes: NH sums (the 64-bit words of a kilobyte in pairs, each word offset by its own key
// word, the pairs' 128-bit products added) chained kilobyte by kilobyte through an invertible 128-bit mixing.
#include "platform/content_digest.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <random>

namespace kz::platform {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::size_t kChunkWords = 128;
constexpr std::size_t kChunkBytes = kChunkWords * 8;

std::atomic<bool> g_digests_on{true};

struct Key {
    std::array<std::uint64_t, kChunkWords> words;
    std::uint64_t start[2];
};

const Key& key() {
    static const Key k = [] {
        Key made;
        std::random_device random;
        const auto draw = [&random] { return (std::uint64_t(random()) << 32) ^ random(); };
        for (std::uint64_t& w : made.words) w = draw();
        made.start[0] = draw();
        made.start[1] = draw();
        return made;
    }();
    return k;
}

std::uint64_t rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

// Every step changes one half by an invertible function of itself or by a function of the other half, so two
// different states never mix to the same one: a difference met once lasts to the end.
void mix(std::uint64_t* a, std::uint64_t* b) {
    for (int round = 0; round < 2; ++round) {
        *a *= 0x9E3779B97F4A7C15ull;
        *b += rotate(*a, 29);
        *b *= 0xC2B2AE3D27D4EB4Full;
        *a ^= *b >> 31;
        *a += rotate(*b, 17);
    }
}

std::uint64_t word_at(const unsigned char* bytes) {
    std::uint64_t w;
    std::memcpy(&w, bytes, sizeof w);
    return w;
}

}  // namespace

bool content_digests_on() { return g_digests_on; }
void set_content_digests_for_tests(bool on) { g_digests_on = on; }

ContentHasher::ContentHasher() : state_{key().start[0], key().start[1]} { pending_.reserve(kChunkBytes); }

void ContentHasher::add_chunk(const unsigned char* chunk) {
    const std::uint64_t* k = key().words.data();
    Wide sum = 0;
    for (std::size_t i = 0; i < kChunkWords; i += 2)
        sum += Wide(word_at(chunk + 8 * i) + k[i]) * Wide(word_at(chunk + 8 * i + 8) + k[i + 1]);
    state_[0] += static_cast<std::uint64_t>(sum);
    state_[1] += static_cast<std::uint64_t>(sum >> 64);
    mix(&state_[0], &state_[1]);
}

void ContentHasher::add(const void* data, std::size_t size) {
    if (!g_digests_on) return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    total_ += size;
    if (!pending_.empty()) {
        const std::size_t taken = std::min(size, kChunkBytes - pending_.size());
        pending_.insert(pending_.end(), bytes, bytes + taken);
        bytes += taken, size -= taken;
        if (pending_.size() < kChunkBytes) return;
        add_chunk(pending_.data());
        pending_.clear();
    }
    for (; size >= kChunkBytes; bytes += kChunkBytes, size -= kChunkBytes) add_chunk(bytes);
    pending_.assign(bytes, bytes + size);
}

ContentDigest ContentHasher::digest() const {
    if (!g_digests_on) return {};
    // The last bytes as a kilobyte filled with zeros; the count tells them from bytes that were zero.
    ContentHasher last = *this;
    if (!last.pending_.empty()) {
        last.pending_.resize(kChunkBytes, 0);
        last.add_chunk(last.pending_.data());
    }
    last.state_[0] += total_;
    mix(&last.state_[0], &last.state_[1]);
    return {last.state_[0], last.state_[1], true};
}

}  // namespace kz::platform
