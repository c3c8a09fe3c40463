// The stroke font: glyphs through the directory, damaged blocks, JIS cells against Python's codecs, the font carried.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "platform/crt/jis_codes.h"
#include "stroke_font_blocks.h"
#include "support/test_paths.h"

using namespace kz::foundation;
using kz::test::Segment;
using kz::test::TestFontBlock;

namespace {

struct CodePair {
    unsigned sjis, jis;
};

std::vector<CodePair> read_code_pairs() {
    std::vector<CodePair> pairs;
    std::ifstream in(kz::test::data_file("stroke_font/code_pairs.txt"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        unsigned sjis = 0, row = 0, column = 0;
        if (std::sscanf(line.c_str(), "%x %x %x", &sjis, &row, &column) == 3)
            pairs.push_back({sjis, row << 8 | column});
    }
    return pairs;
}

// Every cell of the default ranges gets one segment naming its own row and column.
TestFontBlock self_naming_block() {
    TestFontBlock font;
    for (unsigned row = font.row_low; row <= font.row_high; ++row)
        for (unsigned column = font.column_low; column <= font.column_high; ++column)
            font.glyphs[row << 8 | column] = {Segment{std::uint8_t(row), std::uint8_t(column), 0, 194}};
    return font;
}

// The cell a character reached, read back from a self-naming glyph; 0 when none.
unsigned cell_of(const char* character) {
    double out[kMaxGlyphSegments * 4];
    if (get_kanji_line(character, out) != 1) return 0;
    return unsigned(std::lround(out[0] * 194)) << 8 | unsigned(std::lround(out[1] * 194));
}

}  // namespace

TEST(StrokeFont, ShiftJisCharactersReachTheirJisCellAsPythonCodecsSay) {
    const std::vector<CodePair> pairs = read_code_pairs();
    ASSERT_EQ(pairs.size(), 6879u);  // JIS X 0208: 524 symbols and letters, 6355 kanji
    const std::vector<unsigned char> block = self_naming_block().bytes();
    kz::test::ScopedStrokeFont font(&block);
    int wrong = 0;
    for (const CodePair& p : pairs) {
        const char character[3] = {char(p.sjis >> 8), char(p.sjis & 0xFF), 0};
        if (cell_of(character) != p.jis && ++wrong < 10)
            ADD_FAILURE() << std::hex << p.sjis << " -> " << cell_of(character);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(StrokeFont, SingleByteCharactersUseTheirFullWidthCells) {
    const std::vector<unsigned char> block = self_naming_block().bytes();
    kz::test::ScopedStrokeFont font(&block);
    struct Case {
        unsigned char c;
        unsigned jis;  // of the full-width form
    } cases[] = {{'A', 0x2341}, {'z', 0x237A}, {'0', 0x2330},
                 {' ', 0x2121}, {'!', 0x212A}, {0xB1, 0x2522},  // half-width katakana a -> full-width katakana a
                 {0xDE, 0x212B}};                               // half-width voiced mark -> the spacing voiced mark
    for (const Case& c : cases) {
        const char character[2] = {char(c.c), 0};
        EXPECT_EQ(cell_of(character), c.jis) << std::hex << unsigned(c.c);
    }
    // No full-width form, no JIS code, a code past the font's rows: nothing, -1.
    double out[kMaxGlyphSegments * 4];
    for (const char* character : {"\x80", "\xA0", "\x01", "", "\xF0\x40", "\xEB\x40", "\x81\x20"})
        EXPECT_EQ(get_kanji_line(character, out), -1) << std::hex << unsigned(character[0] & 0xFF);
}

TEST(StrokeFont, GlyphsComeOutAsCharacterHeightsWithEmptyCellsZero) {
    TestFontBlock font;
    font.column_low = 0x30, font.column_high = 0x40, font.row_low = 0x24, font.row_high = 0x25;
    font.extra_header = 12;  // glyph data starts after the header area, not after the directory
    font.glyphs[0x2430] = {Segment{0, 0, 194, 194}, Segment{255, 97, 1, 2}};
    const std::vector<unsigned char> block = font.bytes();
    StrokeFontBlock parsed;
    ASSERT_TRUE(parsed.attach(block.data(), block.size()));
    double out[kMaxGlyphSegments * 4];
    ASSERT_EQ(parsed.glyph_segments(0x2430, out), 2);
    const double expected[8] = {0, 0, 1, 1, 255 / 194.0, 0.5, 1 / 194.0, 2 / 194.0};
    for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(out[i], expected[i]) << i;
    struct Code {
        unsigned jis;
        int result;
    } codes[] = {{0x2431, 0}, {0x2540, 0}, {0x242F, -1}, {0x2441, -1}, {0x2330, -1}, {0x2630, -1}, {0x12430, -1}};
    for (const Code& c : codes) EXPECT_EQ(parsed.glyph_segments(c.jis, out), c.result) << std::hex << c.jis;
}

TEST(StrokeFont, DamagedBlocksAreRefusedOrReadOnlyWithinTheirBytes) {
    TestFontBlock font;
    font.column_low = 0x21, font.column_high = 0x24, font.row_low = 0x30, font.row_high = 0x31;
    font.glyphs[0x3021] = {Segment{1, 2, 3, 4}};
    font.glyphs[0x3124] = {Segment{5, 6, 7, 8}, Segment{9, 10, 11, 12}};
    const std::vector<unsigned char> whole = font.bytes();
    const std::size_t glyph_area = 30 + 4 * 8;
    double out[kMaxGlyphSegments * 4];
    // Every cut of the block: a copy of exactly that many bytes, so a read past it is caught.
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const std::vector<unsigned char> cut(whole.begin(), whole.begin() + length);
        StrokeFontBlock parsed;
        const bool taken = parsed.attach(cut.data(), cut.size());
        EXPECT_EQ(taken, length >= glyph_area) << length;
        if (!taken) {
            EXPECT_EQ(parsed.glyph_segments(0x3021, out), -1);
            continue;
        }
        EXPECT_EQ(parsed.glyph_segments(0x3021, out), length >= glyph_area + 5 ? 1 : 0) << length;
        EXPECT_EQ(parsed.glyph_segments(0x3124, out), length == whole.size() ? 2 : 0) << length;
    }
    struct Bad {
        const char* what;
        std::size_t at;
        unsigned char value;
    } bad[] = {{"header shorter than the directory", 0, 31},
               {"header past the end", 3, 0x80},
               {"columns reversed", 4, 0x25},
               {"rows reversed", 7, 0x2F}};
    for (const Bad& b : bad) {
        std::vector<unsigned char> broken = whole;
        broken[b.at] = b.value;
        StrokeFontBlock parsed;
        EXPECT_FALSE(parsed.attach(broken.data(), broken.size())) << b.what;
    }
    // A directory entry pointing past the end is a missing glyph.
    std::vector<unsigned char> far = whole;
    far[30 + 3] = 0x7F;
    StrokeFontBlock parsed;
    ASSERT_TRUE(parsed.attach(far.data(), far.size()));
    EXPECT_EQ(parsed.glyph_segments(0x3021, out), 0);
}

TEST(StrokeFont, MutatedBlocksNeverReadOutsideTheirBytes) {
    TestFontBlock font;
    font.column_low = 0x21, font.column_high = 0x28, font.row_low = 0x21, font.row_high = 0x23;
    for (unsigned c = 0x21; c <= 0x28; ++c) font.glyphs[0x2200 | c] = {Segment{1, 2, 3, 4}, Segment{5, 6, 7, 8}};
    const std::vector<unsigned char> whole = font.bytes();
    std::mt19937 random(8105);
    double out[kMaxGlyphSegments * 4];
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> m = whole;
        for (int k = 0; k < 4; ++k) m[random() % m.size()] = static_cast<unsigned char>(random());
        m.resize(random() % (m.size() + 1));
        StrokeFontBlock parsed;
        if (!parsed.attach(m.data(), m.size())) continue;
        for (unsigned row = 0x20; row <= 0x24; ++row)
            for (unsigned column = 0x20; column <= 0x29; ++column) {
                const int n = parsed.glyph_segments(row << 8 | column, out);
                EXPECT_LE(n, kMaxGlyphSegments);
            }
    }
}

TEST(StrokeFont, MissingFontIsToldOnceNotOncePerCharacter) {
    struct Case {
        const char* what;
        bool damaged;  // a block that is there but no font block
    } cases[] = {{"no resource", false}, {"truncated resource", true}};
    for (const Case& c : cases) {
        std::vector<unsigned char> stub(20, 0);
        kz::test::ScopedStrokeFont font(c.damaged ? &stub : nullptr);
        double out[kMaxGlyphSegments * 4];
        for (int i = 0; i < 50; ++i) EXPECT_EQ(get_kanji_line("\x88\x9F", out), -1);  // 亜
        const std::vector<std::string> log = kz::platform::take_dialog_test_log();
        ASSERT_EQ(log.size(), 1u) << c.what;
        EXPECT_EQ(log[0], "message_box LUMFONT|not find!") << c.what;
        EXPECT_TRUE(stroke_font().empty());
    }
    // A later load of a good block brings the font back without another box.
    const std::vector<unsigned char> block = self_naming_block().bytes();
    kz::test::ScopedStrokeFont font(&block);
    EXPECT_EQ(cell_of("\x88\x9F"), 0x3021u);
    EXPECT_TRUE(kz::platform::take_dialog_test_log().empty());
}

TEST(StrokeFont, ProgramCarriesGlyphsForEveryJisX0208Character) {
    kz::platform::set_dialog_test_mode(true);
    load_font_resource(nullptr);
    EXPECT_TRUE(kz::platform::take_dialog_test_log().empty());
    std::size_t size = 0;
    ASSERT_NE(lock_resource(nullptr, "LUMFONT", "JAPANESEFNT", &size), nullptr);
    EXPECT_LT(size, 2u << 20);  // the block stays a modest part of the program
    double out[kMaxGlyphSegments * 4];
    int missing = 0;
    for (const CodePair& p : read_code_pairs()) {
        const char character[2] = {char(p.sjis >> 8), char(p.sjis & 0xFF)};
        const int n = get_kanji_line(character, out);
        if (p.jis == 0x2121) {  // the ideographic space has no strokes
            EXPECT_EQ(n, 0);
            continue;
        }
        if (n < 1 && ++missing < 10) ADD_FAILURE() << "no glyph for " << std::hex << p.sjis;
        for (int i = 0; i < 4 * n; ++i) {
            ASSERT_GE(out[i], 0.0);
            ASSERT_LE(out[i], 1.05) << std::hex << p.sjis;  // glyphs keep within their em
        }
    }
    EXPECT_EQ(missing, 0);
    for (int c = 0x21; c < 0x7F; ++c) {
        const char character[2] = {char(c), 0};
        EXPECT_GT(get_kanji_line(character, out), 0) << char(c);
    }
    kz::platform::set_dialog_test_mode(false);
}

TEST(StrokeFont, ProgramGlyphsStandTheRightWayUp) {
    kz::platform::set_dialog_test_mode(true);
    load_font_resource(nullptr);
    // Extents of a few plain shapes in character heights, y upward from the em's bottom.
    struct Case {
        const char* what;
        const char* character;
        double min_width, max_width, min_height, max_height, min_y, max_y;
    } cases[] = {
        {"one (a level line mid-height)", "\x88\xEA", 0.7, 1.0, 0.0, 0.08, 0.35, 0.65},
        {"full-width bar (upright)", "\x81\x62", 0.0, 0.08, 0.7, 1.0, 0.0, 1.0},
        {"low line (at the bottom)", "\x81\x51", 0.7, 1.0, 0.0, 0.05, 0.0, 0.15},
        {"overline (at the top)", "\x81\x50", 0.7, 1.0, 0.0, 0.05, 0.85, 1.0},
        {"white square (outlined)", "\x81\xA0", 0.6, 1.0, 0.6, 1.0, 0.0, 1.0},
        {"black square (outlined, not shrunk)", "\x81\xA1", 0.6, 1.0, 0.6, 1.0, 0.0, 1.0},
    };
    double out[kMaxGlyphSegments * 4];
    for (const Case& c : cases) {
        const int n = get_kanji_line(c.character, out);
        ASSERT_GT(n, 0) << c.what;
        double x0 = 9, x1 = -9, y0 = 9, y1 = -9;
        for (int i = 0; i < 2 * n; ++i) {
            x0 = std::min(x0, out[2 * i]), x1 = std::max(x1, out[2 * i]);
            y0 = std::min(y0, out[2 * i + 1]), y1 = std::max(y1, out[2 * i + 1]);
        }
        EXPECT_GE(x1 - x0, c.min_width) << c.what;
        EXPECT_LE(x1 - x0, c.max_width) << c.what;
        EXPECT_GE(y1 - y0, c.min_height) << c.what;
        EXPECT_LE(y1 - y0, c.max_height) << c.what;
        EXPECT_GE(y0, c.min_y) << c.what;
        EXPECT_LE(y1, c.max_y) << c.what;
    }
    kz::platform::set_dialog_test_mode(false);
}
