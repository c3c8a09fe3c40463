// A digest of a file's bytes, beside the stamps that say whether a file is the one read: a rewrite that keeps the
// size within one tick of the file system's clock (2 s on FAT, 1 s on exFAT, a few milliseconds elsewhere) moves no
// stamp, but it changes the digest. Digests are compared only within one run of the program, never stored.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::platform {

// 128 bits of the bytes and their count; unknown where no digest was taken (nothing is compared then).
struct ContentDigest {
    std::uint64_t low = 0, high = 0;
    bool known = false;
    bool operator==(const ContentDigest&) const = default;
};

// Takes the digest of bytes given in pieces of any size; the same bytes give the same digest however they are cut.
// The digest is keyed by a random key drawn once a run, so that no file can be made to meet a digest on purpose:
// each kilobyte is hashed by a sum of products of its 64-bit words, each offset by its own key word (a change in
// one kilobyte passes unseen with a chance of 2^-64 at most), and the kilobytes' sums are chained in order through
// a mixing of 128 bits that loses nothing.
class ContentHasher {
public:
    ContentHasher();
    void add(const void* data, std::size_t size);
    // The digest of every byte added so far; unknown while digests are switched off.
    ContentDigest digest() const;

private:
    void add_chunk(const unsigned char* chunk);
    std::uint64_t state_[2];
    std::uint64_t total_ = 0;
    std::vector<unsigned char> pending_;  // the bytes of a kilobyte not yet whole
};

// Whether digests are taken at all; test hook: false makes every digest unknown, so that only the stamps are compared
// (as a build without digests would), true (the default) takes them again.
bool content_digests_on();
void set_content_digests_for_tests(bool on);

}  // namespace kz::platform
