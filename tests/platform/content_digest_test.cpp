// The digest of a file's bytes, which sees what the stamps cannot: a rewrite that keeps the size within one tick.
#include "platform/content_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kz::platform {
namespace {

ContentDigest digest_of(const std::string& bytes, std::size_t piece) {
    ContentHasher hasher;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        hasher.add(bytes.data() + at, std::min(piece, bytes.size() - at));
    return hasher.digest();
}

// The same bytes give the same digest however they come in pieces, and every change gives another: a bit anywhere
// (in the first or the last kilobyte hashed, or in the bytes after the last whole kilobyte), words or kilobytes in
// another order, a zero byte more.
TEST(ContentDigest, EveryChangeOfTheBytesGivesAnotherDigest) {
    std::string base(5000, '\0');
    std::uint64_t x = 1;  // bytes that repeat nowhere
    for (char& c : base) c = static_cast<char>((x = x * 6364136223846793005u + 1442695040888963407u) >> 56);
    const ContentDigest whole = digest_of(base, base.size());
    ASSERT_TRUE(whole.known);
    for (const std::size_t piece : {1, 7, 1024, 3000}) EXPECT_EQ(digest_of(base, piece), whole) << piece;
    const auto flipped = [&](std::size_t at) {
        std::string bytes = base;
        bytes[at] ^= 1;
        return bytes;
    };
    const auto swapped = [&](std::size_t a, std::size_t b, std::size_t n) {
        std::string bytes = base;
        std::swap_ranges(bytes.begin() + a, bytes.begin() + a + n, bytes.begin() + b);
        return bytes;
    };
    const std::pair<const char*, std::string> changed[] = {
        {"the first byte", flipped(0)},
        {"the last byte of a kilobyte", flipped(1023)},
        {"the last byte", flipped(4999)},
        {"two words swapped", swapped(0, 8, 8)},
        {"two kilobytes swapped", swapped(0, 1024, 1024)},
        {"a zero byte more", base + '\0'},
    };
    std::vector<ContentDigest> seen = {whole};
    for (const auto& [name, bytes] : changed) {
        const ContentDigest digest = digest_of(bytes, 1000);
        EXPECT_EQ(std::find(seen.begin(), seen.end(), digest), seen.end()) << name;
        seen.push_back(digest);
    }
}

}  // namespace
}  // namespace kz::platform
