// Shift_JIS <-> JIS codes against Python's shift_jis and euc_jp codecs; full-width forms against Unicode's.
#include "platform/crt/jis_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_paths.h"

namespace {

// Runs a Python program and returns its output lines as pairs of hex numbers.
std::vector<std::pair<unsigned, unsigned>> python_pairs(const char* program) {
    std::istringstream lines(kz::test::command_output(std::string("/usr/bin/python3 -c \"") + program + "\""));
    std::vector<std::pair<unsigned, unsigned>> out;
    for (unsigned a = 0, b = 0; lines >> std::hex >> a >> b;) out.emplace_back(a, b);
    return out;
}

TEST(JisCodes, EveryJisX0208CharacterMatchesTheCodecs) {
    // EUC-JP is JIS with the high bits set, so euc_jp decodes JIS codes and shift_jis gives the pair.
    auto pairs = python_pairs(
        "for r in range(0x21, 0x75):\n"
        " for c in range(0x21, 0x7f):\n"
        "  try: s = bytes([r | 0x80, c | 0x80]).decode('euc_jp').encode('shift_jis')\n"
        "  except Exception: continue\n"
        "  print('%x %x' % ((r << 8) | c, (s[0] << 8) | s[1]))\n");
    ASSERT_GT(pairs.size(), 6800u) << "python3 oracle unavailable";
    for (auto [jis, sjis] : pairs) {
        ASSERT_EQ(kz::crt::jis_to_sjis(jis), sjis) << std::hex << jis;
        ASSERT_EQ(kz::crt::sjis_to_jis(sjis), jis) << std::hex << sjis;
    }
}

// The arithmetic mapping is a bijection over the whole JIS square; codes outside it have no counterpart.
TEST(JisCodes, ArithmeticMappingIsABijectionOnTheJisSquareAndRefusesTheRest) {
    std::map<unsigned, unsigned> seen;
    for (unsigned r = 0x21; r <= 0x7E; ++r)
        for (unsigned c = 0x21; c <= 0x7E; ++c) {
            unsigned s = kz::crt::jis_to_sjis((r << 8) | c);
            ASSERT_NE(s, 0u);
            ASSERT_TRUE(seen.emplace(s, (r << 8) | c).second) << std::hex << s;
            ASSERT_EQ(kz::crt::sjis_to_jis(s), (r << 8) | c);
        }
    unsigned no_jis[] = {0x0041, 0x8130, 0x817F, 0x81FD, 0xA0A0, 0xF040, 0xFCFC, 0x10000 + 0x8140};
    for (unsigned s : no_jis) EXPECT_EQ(kz::crt::sjis_to_jis(s), 0u) << std::hex << s;
    unsigned no_sjis[] = {0x2020, 0x217F, 0x7F21, 0x0021, 0x8140, 0xF040};
    for (unsigned j : no_sjis) EXPECT_EQ(kz::crt::jis_to_sjis(j), 0u) << std::hex << j;
}

TEST(JisCodes, FullWidthFormsFollowUnicodeCompatibilityForms) {
    // NFKC folds each full-width letter to its single-byte character and widens half-width katakana; the JIS X 0201
    // meanings of 0x5C (yen) and 0x7E (overline) and the typographic quotes are the table's own choices, checked by
    // hand below.
    auto pairs = python_pairs(
        "import unicodedata\n"
        "for b in list(range(0x20, 0x7f)) + list(range(0xa1, 0xe0)):\n"
        " if b in (0x22, 0x27, 0x5c, 0x7e): continue\n"
        " h = bytes([b]).decode('cp932')\n"
        " f = {0xde: chr(0x309b), 0xdf: chr(0x309c), 0x20: chr(0x3000)}.get(b)\n"
        " if f is None and b >= 0xa1: f = unicodedata.normalize('NFKC', h)\n"
        " if f is None: f = [chr(u) for u in range(0xff01, 0xff5f) if unicodedata.normalize('NFKC', chr(u)) == h][0]\n"
        " s = f.encode('cp932')\n"
        " print('%x %x' % (b, (s[0] << 8) | s[1]))\n");
    ASSERT_EQ(pairs.size(), 0x5Fu - 4 + 0x3F) << "python3 oracle unavailable";
    for (auto [b, full] : pairs) {
        EXPECT_EQ(kz::crt::sjis_full_width(b), full) << std::hex << b;
        EXPECT_EQ(kz::crt::sjis_half_width(full), b) << std::hex << full;
    }
    const std::pair<unsigned, unsigned> by_hand[] = {{0x22, 0x8168}, {0x27, 0x8166}, {0x5C, 0x818F}, {0x7E, 0x8150}};
    for (auto [b, full] : by_hand) {
        EXPECT_EQ(kz::crt::sjis_full_width(b), full);
        EXPECT_EQ(kz::crt::sjis_half_width(full), b);
    }
    // Bytes without a full-width form, and codes that are no full-width form, stay as they are.
    for (unsigned b : {0x00u, 0x1Fu, 0x7Fu, 0x80u, 0xA0u, 0xE0u, 0xFFu}) EXPECT_EQ(kz::crt::sjis_full_width(b), b);
    for (unsigned c : {0x889Fu, 0x8140u - 1, 0x8397u, 0x41u}) EXPECT_EQ(kz::crt::sjis_half_width(c), c);
}

}  // namespace
