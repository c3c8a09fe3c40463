// Every drawing-library reader against two thousand damaged copies of a good file each (the same copies on every
// run): a drawing file is taken whole or refused with the drawing left as it was, and what was taken writes; a
// dimension or layer-name file reads into what writes back the same; a damaged font is never taken.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "drawing2d/active_attributes.h"
#include "drawing2d/dimension_files.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/layer_name_file.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/row_store.h"
#include "drawing2d/stroke_glyphs.h"
#include "drawing_test_support.h"
#include "platform/file_system.h"
#include "tests/support/byte_mutations.h"
#include "tests/support/test_paths.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

constexpr int kMutations = 2000;

// Files of the run in memory where the system has a memory file system: every write is made durable, and
// thousands of them on a disk would take minutes.
std::string scratch(const std::string& name) {
    static const std::string folder = [] {
        const std::string f = std::filesystem::is_directory("/dev/shm")
                                  ? "/dev/shm/kz-mutations-" + std::to_string(::getpid())
                                  : kz::test::output_file("drawing2d_mutations");
        std::filesystem::create_directories(f);
        return f + "/";
    }();
    return kz::platform::from_native_path(folder + name);
}

std::string sample_file(const char* name) {
    const std::string path = scratch(name);
    Drawing d;
    test::fill_sample_drawing(d.peek(), 3);
    xlum_set_layer_name(d.peek(), 7, "walls \"outer\"");
    if (std::string(name).ends_with(".MPW")) {
        const int32_t line = xlum_set_line(d.peek(), nullptr, 0, -1, 0, 0, 1234500, 0, 9, 3, 2, 1);
        const int32_t text =
            xlum_set_text(d.peek(), nullptr, 0, -1, "(0)", 5, 600000, -2000, 3000, 4000, 500, 0, 0, 1, 9, 3, 2, 1);
        xlum_set_dimstring(d.peek(), nullptr, 0, 1, line, text, 1, 1, 1, 0, 0, -1);
        EXPECT_EQ(xlum_dimconv_write(d.peek(), path.c_str(), 0), 1);
    } else {
        EXPECT_EQ(xlum_write(d.peek(), path.c_str(), 0, 0), 1);
    }
    return path;
}

// Taken whole and writable, or refused with the drawing as it was.
void read_whole_or_refuse(const std::string& path) {
    Drawing d;
    test::fill_sample_drawing(d.peek(), 4);
    const std::vector<double> cells = test::record_cells(d.peek());
    const std::string header = test::header_bytes(d.peek());
    if (xlum_read(d.peek(), path.c_str(), 0) == 1) {
        ASSERT_EQ(xlum_write(d.peek(), scratch("rewritten").append(path.substr(path.rfind('.'))).c_str(), 0, 0), 1);
    } else {
        ASSERT_EQ(test::record_cells(d.peek()), cells);
        ASSERT_EQ(test::header_bytes(d.peek()), header);
    }
}

using DrawingStep = std::function<void(drawing_context*)>;

// Read by `read` and written by `write` (to the file `written`), then read back by `read_again` and written
// again: the second write is the first byte for byte.
void writes_back_the_same(const DrawingStep& read, const DrawingStep& write, const DrawingStep& read_again,
                          const std::string& written) {
    std::string first;
    for (const DrawingStep* step : {&read, &read_again}) {
        Drawing d;
        (*step)(d.peek());
        write(d.peek());
        if (step == &read) first = test::file_bytes(written);
    }
    ASSERT_EQ(test::file_bytes(written), first);
}

TEST(ReaderMutations, DamagedFilesAreTakenSafelyOrRefused) {
    const std::string mpw = sample_file("mutation_source.MPW");
    const std::string base = mpw.substr(0, mpw.size() - 4), folder = base.substr(0, base.rfind('\\') + 1);
    const std::string again = folder + "again.MPW";
    auto font_check = [](const std::string& dir) {
        const lumfont_handle fonts = lumfont_open();
        lumfont_load_kanji(fonts, dir.c_str());
        const lumfont_context* f = lumfont_lock(fonts);
        StrokeFontBlock glyphs;
        for (int i = 0; i < f->kanji_count; ++i) {
            const lumfont_entry* e = f->kanji_fonts[i];
            EXPECT_TRUE(!e->data || glyphs.attach(static_cast<const unsigned char*>(e->data), e->size));
        }
        lumfont_unlock(fonts);
        lumfont_close(fonts);
    };
    std::string kanji(kKanjiGlyphStart, '\0');
    kanji[0] = static_cast<char>(kKanjiIndexBytes & 0xFF), kanji[1] = static_cast<char>(kKanjiIndexBytes >> 8);
    kanji.replace(4, 4, "!~!~");
    kanji[30 + 4 * (94 * 3 + 1)] = 1;  // JIS 0x2422: the glyph of one segment after the directory
    kanji += std::string("\x01\x00\xC2\xC2\x00", 5);
    const std::string font_dir = scratch("mutation_fonts") + "\\";
    kz::platform::create_directory(font_dir);

    const struct Family {
        const char* name;
        std::string good, damaged;
        std::function<void(const std::string&)> check;
    } families[] = {
        {"MPW", test::file_bytes(mpw), scratch("damaged.MPW"), read_whole_or_refuse},
        {"MPP", test::file_bytes(sample_file("mutation_source.MPP")), scratch("damaged.MPP"), read_whole_or_refuse},
        {"DXF", test::file_bytes(sample_file("mutation_source.DXF")), scratch("damaged.DXF"), read_whole_or_refuse},
        {"DIM", test::file_bytes(base + ".DIM"), base + ".DIM",
         [&](const std::string&) {
             auto read = [](const std::string& p) {
                 return [p](drawing_context* c) { ASSERT_EQ(xlum_dimconv_read(c, p.c_str(), 0), 1); };
             };
             writes_back_the_same(
                 read(mpw), [&](drawing_context* c) { ASSERT_EQ(xlum_dimconv_write(c, again.c_str(), 0), 1); },
                 read(again), folder + "again.DIM");
         }},
        {"LAY", test::file_bytes(base + ".LAY"), folder + "damaged.LAY",
         [&](const std::string&) {
             auto read = [&](const char* name) {
                 return [&folder, name](drawing_context* c) { read_layer_file(c, "", folder.c_str(), name, 1); };
             };
             writes_back_the_same(
                 read("damaged"), [&](drawing_context* c) { write_layer_file(c, "", folder.c_str(), "again"); },
                 read("again"), folder + "again.LAY");
         }},
        {"kanji font", kanji, font_dir + "damaged.fnt", [&](const std::string&) { font_check(font_dir); }},
    };
    for (const Family& f : families) {
        SCOPED_TRACE(f.name);
        ASSERT_GT(f.good.size(), 0u);
        int i = 0;
        for (const std::string& bytes : kz::test::byte_mutations(f.good, kMutations, 20261207)) {
            SCOPED_TRACE(i++);
            test::put_file(f.damaged, bytes);
            f.check(f.damaged);
            if (HasFatalFailure()) break;
        }
    }
    std::filesystem::remove_all(kz::platform::to_native_path(scratch("")));
}

}  // namespace
}  // namespace kz::drawing2d
