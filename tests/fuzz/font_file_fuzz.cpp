// Font files: the bytes as every kind of font file (".ank", ".bin", ".fnt", an ".idx" with a ".dat") loaded into a
// font block that a drawing is linked to; a kanji font that is taken has every glyph of its directory read.
#include <cstdio>

#include "drawing2d/active_attributes.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/stroke_glyphs.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kz::drawing2d;
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    std::string folder;
    for (const char* name : {"f.ank", "f.bin", "f.fnt", "f.idx", "f.dat"}) {
        const std::string path = kz::fuzz::put_input(name, bytes.data(), size);
        folder = path.substr(0, path.size() - 5);
    }
    lumfont_handle fonts = lumfont_open();
    drawing_handle h = zolt_open();
    drawing_context* ctx = zolt_lock(h);
    for (const char* key : {"ank", "kanji"})
        for (int slot = 0; slot < 2; ++slot) xlum_set_string(ctx, key, slot, slot ? "f.bin" : "F.FNT");
    zolt_unlock(h);
    zolt_link_lumfont(h, fonts, "link");
    lumfont_load_ank(fonts, folder.c_str());
    lumfont_load_kanji(fonts, folder.c_str());
    ctx = zolt_lock(h);
    xlum_function(ctx, "SetFontType", 0, nullptr);
    zolt_unlock(h);
    lumfont_context* loaded = lumfont_lock(fonts);
    static double segments[4 * kMaxGlyphSegments];
    for (int i = 0; i < loaded->kanji_count; ++i) {
        const lumfont_entry* entry = loaded->kanji_fonts[i];
        StrokeFontBlock glyphs;
        if (!entry->data) continue;
        if (!glyphs.attach(static_cast<const unsigned char*>(entry->data), entry->size))
            kz::fuzz::fail("a kanji font was taken that is no font block", entry->file_name, "");
        for (unsigned row = 0x21; row <= 0x7E; ++row)
            for (unsigned column = 0x21; column <= 0x7E; ++column) glyphs.glyph_segments(row << 8 | column, segments);
    }
    lumfont_unlock(fonts);
    lumfont_close(fonts);
    zolt_close(h);
    return 0;
}
