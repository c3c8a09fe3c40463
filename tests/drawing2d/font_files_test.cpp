// Font files made here (single-byte ".ank" and ".bin", kanji ".fnt" and ".idx" with ".dat") loaded into a font
// block, linked into drawings and resolved by slot name; damaged files give fonts no slot uses; unlinking,
// reloading and closing never leave a slot pointing at a font that is gone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/stroke_glyphs.h"
#include "drawing_test_support.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;
using Bytes = std::string;

void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

// A ".bin" font: a 2-byte head, 96 + 64 offsets counted from byte 2, glyph bytes from byte 322.
Bytes bin_font(unsigned offset_of_a) {
    Bytes b(322 + 200, '\0');
    put16(b, 2 + 2 * (0x41 - 0x20), offset_of_a);
    put16(b, 194 + 2 * (0xB1 - 0xA0), 330);
    b[2 + 330] = 'G';  // where the glyph of the code 0xB1 lies in the file
    return b;
}

// A kanji font: the index size, "!~!~", a 94 x 94 directory with one glyph (JIS 0x2422) of one segment.
Bytes kanji_index() {
    Bytes b(30 + kKanjiIndexBytes, '\0');
    put16(b, 0, kKanjiIndexBytes);
    std::memcpy(&b[4], "!~!~", 4);
    put16(b, 30 + 4 * (94 * (0x24 - 0x21) + (0x22 - 0x21)), 1);
    return b;
}
const Bytes kGlyph = std::string("\x01\x00\xC2\xC2\x00", 5);

std::string font_folder(const std::string& name) {
    std::string dir = test::fresh_path(name) + "\\";
    kz::platform::create_directory(dir);
    for (const auto& f : kz::platform::find_files(dir + "*")) kz::platform::delete_file(dir + f.name);
    return dir;
}

class FontBlock {
public:
    FontBlock() : handle_(lumfont_open()) {}
    ~FontBlock() { lumfont_close(handle_); }
    lumfont_handle handle() const { return handle_; }
    lumfont_context* peek() const {
        lumfont_context* p = lumfont_lock(handle_);
        lumfont_unlock(handle_);
        return p;
    }

private:
    lumfont_handle handle_;
};

TEST(FontFiles, SingleByteFontsLoadInTheirOrderAndConvert) {
    std::string dir = font_folder("ank_fonts");
    test::put_file(dir + "b.ank", Bytes(600, 'b'));
    test::put_file(dir + "a.ANK", Bytes(600, 'a'));
    test::put_file(dir + "old.bin", bin_font(100));
    test::put_file(dir + "empty.ank", "");
    FontBlock fonts;
    EXPECT_EQ(lumfont_load_ank(fonts.handle(), dir.c_str()), 0);
    lumfont_context* f = fonts.peek();
    ASSERT_EQ(f->ank_count, 4);
    // Sorted by name; the empty file has no data.
    EXPECT_EQ(std::tuple(std::string(f->ank_fonts[3]->file_name), std::string(f->ank_fonts[0]->file_name),
                         f->ank_fonts[2]->data),
              std::tuple("old.bin", "a.ANK", nullptr));
    const auto* converted = static_cast<const unsigned char*>(f->ank_fonts[3]->data);
    ASSERT_NE(converted, nullptr);
    const unsigned offset = converted[2 * 65] | converted[2 * 65 + 1] << 8;
    const unsigned moved = converted[2 * 0xB1] | converted[2 * 0xB1 + 1] << 8;
    EXPECT_EQ(std::tuple(f->ank_fonts[3]->size, offset, moved), std::tuple(522u + 254u, 292u, 522u));
    // The converted offset finds the same glyph byte.
    EXPECT_EQ(std::tuple(converted[moved], converted[2 * 0x42]), std::tuple('G', 0));
    EXPECT_EQ(lumfont_load_ank(nullptr, dir.c_str()), 1);
}

TEST(FontFiles, KanjiFontsAreCheckedBeforeTheyAreUsed) {
    std::string dir = font_folder("kanji_fonts");
    Bytes fnt = kanji_index() + kGlyph;
    Bytes wide_header = fnt;
    wide_header[2] = 1;  // bytes 2..3 of the index size are not ignored
    test::put_file(dir + "good.fnt", fnt);
    test::put_file(dir + "bad.fnt", wide_header);
    test::put_file(dir + "cut.fnt", fnt.substr(0, 1000));
    test::put_file(dir + "pair.idx", kanji_index().substr(30));
    test::put_file(dir + "PAIR.DAT", kGlyph);
    test::put_file(dir + "lone.idx", kanji_index().substr(30));
    FontBlock fonts;
    EXPECT_EQ(lumfont_load_kanji(fonts.handle(), dir.c_str()), 0);
    lumfont_context* f = fonts.peek();
    ASSERT_EQ(f->kanji_count, 5);
    const char* names[] = {"bad.fnt", "cut.fnt", "good.fnt", "lone.idx", "pair.idx"};
    const bool usable[] = {false, false, true, false, true};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::tuple(std::string(f->kanji_fonts[i]->file_name), f->kanji_fonts[i]->data != nullptr),
                  std::tuple(names[i], usable[i]));
    // The combined pair reads as the font file does: one segment of the glyph of JIS 0x2422.
    for (int i : {2, 4}) {
        StrokeFontBlock glyphs;
        ASSERT_TRUE(glyphs.attach(static_cast<const unsigned char*>(f->kanji_fonts[i]->data), f->kanji_fonts[i]->size));
        double segment[4 * kMaxGlyphSegments];
        ASSERT_EQ(glyphs.glyph_segments(0x2422, segment), 1) << i;
        EXPECT_EQ(std::tuple(segment[0], segment[1]), std::tuple(0.0, 1.0));
    }
}

TEST(FontFiles, LinkedSlotsFollowTheBlockThroughUnlinkReloadAndClose) {
    std::string dir = font_folder("linked_fonts");
    test::put_file(dir + "roman.ank", Bytes(600, 'r'));
    test::put_file(dir + "mincho.fnt", kanji_index() + kGlyph);
    auto fonts = std::make_unique<FontBlock>();
    lumfont_load_ank(fonts->handle(), dir.c_str());
    lumfont_load_kanji(fonts->handle(), dir.c_str());
    Drawing a, b;
    for (drawing_context* ctx : {a.peek(), b.peek()}) {
        xlum_set_string(ctx, "ank", 2, "ROMAN.ANK");
        xlum_set_string(ctx, "kanji", 3, "Mincho.FNT");
    }
    EXPECT_EQ(zolt_link_lumfont(a.handle(), fonts->handle(), "lin"), nullptr);
    ASSERT_EQ(zolt_link_lumfont(a.handle(), fonts->handle(), "link"), fonts->peek());
    ASSERT_EQ(zolt_link_lumfont(b.handle(), fonts->handle(), "Linked"), fonts->peek());
    for (drawing_context* ctx : {a.peek(), b.peek()}) {
        xlum_function(ctx, "SetFontType", 0, nullptr);
        EXPECT_EQ(std::tuple(ctx->ank_slot_font[2], ctx->kanji_slot_font[3]),
                  std::tuple(fonts->peek()->ank_fonts[0], fonts->peek()->kanji_fonts[0]));
    }
    EXPECT_EQ(zolt_link_lumfont(a.handle(), fonts->handle(), "unlink"), nullptr);
    EXPECT_EQ(std::tuple(a.peek()->ank_slot_font[2], a.peek()->linked_font), std::tuple(nullptr, nullptr));

    test::put_file(dir + "roman.ank", "");  // reloaded, the font has no data: the slot lets go of it
    lumfont_load_ank(fonts->handle(), dir.c_str());
    EXPECT_EQ(b.peek()->ank_slot_font[2], nullptr);
    EXPECT_NE(b.peek()->kanji_slot_font[3], nullptr);
    fonts.reset();  // closed while still linked
    EXPECT_EQ(std::tuple(b.peek()->linked_font, b.peek()->kanji_slot_font[3]), std::tuple(nullptr, nullptr));
}

}  // namespace
}  // namespace kz::drawing2d
