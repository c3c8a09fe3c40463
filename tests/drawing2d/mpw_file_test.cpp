// MPW files: the layout of what is written, write -> read -> write giving the same bytes from the second write on,
// a header written from the file format's own table read and written back unchanged, a file merged behind the
// drawing's rows, and short, truncated and corrupted files refused without touching the drawing.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>

#include "drawing2d/active_attributes.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/repair.h"
#include "drawing2d/row_store.h"
#include "drawing2d/transforms.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

int32_t cell_at(const std::string& bytes, std::size_t offset) {
    int32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

TEST(MpwFile, WriteReadWriteGivesTheSameBytes) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::string first = test::fresh_path("round1.mpw"), second = test::fresh_path("round2.MPW"),
                    third = test::fresh_path("round3.Mpw");
        Drawing a, b, c;
        test::fill_sample_drawing(a.peek(), seed);
        ASSERT_EQ(xlum_write(a.peek(), first.c_str(), 0, 0), 1);
        int32_t end = find_data_end(a.peek(), 0);

        // The file: the header block, then each column's cells from row 0 through the end row.
        std::string bytes = test::file_bytes(first);
        ASSERT_EQ((bytes.size() - 4096) % 28, 0u);
        std::size_t n = (bytes.size() - 4096) / 28;
        EXPECT_GT(n, static_cast<std::size_t>(end) + 1);  // the attribute records follow the data
        EXPECT_EQ(bytes.substr(0, 4096), test::header_bytes(a.peek()));
        std::vector<double> cells = test::record_cells(a.peek());
        for (int k = 0; k < 7; ++k)
            for (int32_t row = 0; row < end; ++row)
                ASSERT_EQ(cell_at(bytes, 4096 + 4 * (k * n + row)), cells[k * (end + 1) + row]) << k << " " << row;
        EXPECT_EQ(cell_at(bytes, 4096 + 4 * (n - 1)) & 0xFFFF, 0xFFFF);

        ASSERT_EQ(xlum_read(b.peek(), first.c_str(), 0), 1);
        EXPECT_STREQ(b.peek()->file_name, "drawing2d_round1");
        ASSERT_EQ(xlum_write(b.peek(), second.c_str(), 0, 0), 1);
        ASSERT_EQ(xlum_read(c.peek(), second.c_str(), 0), 1);
        ASSERT_EQ(xlum_write(c.peek(), third.c_str(), 0, 0), 1);
        EXPECT_EQ(test::file_bytes(second), test::file_bytes(third)) << seed;

        // What was read: the records packed, the attribute records gone and their settings applied.
        xlum_gpack(a.peek(), 0, -1, -1);
        EXPECT_EQ(test::record_cells(b.peek()), test::record_cells(a.peek())) << seed;
        EXPECT_STREQ(layer_name_of(b.peek(), 12), "\x8a\x4b\x92\x69");
        EXPECT_EQ(xlum_get_val(b.peek(), "pen_width_mili", 2), 0.35);
        EXPECT_EQ(xlum_get_val(b.peek(), "line_style_data5", 0), 6);
        EXPECT_EQ(xlum_get_val(b.peek(), "paint_layer_color", 4), -2);
        EXPECT_EQ(xlum_get_val(b.peek(), "layer_style", 21), 4);
        EXPECT_EQ(xlum_get_val(b.peek(), "disp_layer", 33), 0);
        EXPECT_EQ(xlum_get_val(b.peek(), "lock_layer", 34), 1);
    }
}

void put_double(std::string& h, std::size_t offset, double v) { std::memcpy(&h[offset], &v, 8); }

// A header laid out by the format's table, every field its own value, and bytes the writer does not own filled.
std::string golden_header() {
    std::string h(4096, '\0');
    for (std::size_t i = 2000; i < 4096; ++i) h[i] = static_cast<char>(i * 7);
    put_double(h, 0, 5.0);
    put_double(h, 8, 0.002);
    put_double(h, 16, 11.5);
    put_double(h, 24, -7.25);
    for (int i = 0; i < 7; ++i) put_double(h, 32 + 8 * i, 100 + i);
    for (int i = 0; i < 36; ++i) put_double(h, 88 + 8 * i, 200 + i);
    put_double(h, 376, -50);
    put_double(h, 384, -40);
    put_double(h, 392, 900);
    for (int j = 0; j < 32; ++j) {
        h[400 + j] = static_cast<char>(0xA5 ^ j);
        h[432 + j] = h[496 + j] = static_cast<char>(j * 37);
    }
    for (int i = 464; i < 472; ++i) h[i] = 'x';
    put_double(h, 472, 25.0);
    put_double(h, 480, 3.5);
    put_double(h, 488, -4.5);
    for (int i = 528; i < 560; ++i) h[i] = 'y';
    for (int i = 0; i < 9; ++i) {
        put_double(h, 560 + 24 * i, 1000 + i);
        put_double(h, 568 + 24 * i, 2000 + i);
        put_double(h, 576 + 24 * i, 3000 + i);
    }
    std::memcpy(&h[776], "Golden stamp", 13);
    for (int i = 800; i < 856; ++i) h[i] = 'z';
    return h;
}

std::string one_line_rows() {
    const int32_t c[7][2] = {{1 | (2 << 8), 0xFFFF}, {3, 0}, {1 | (5 << 8), 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}};
    return std::string(reinterpret_cast<const char*>(c), sizeof c);
}

TEST(MpwFile, HeaderFieldsSitWhereTheFormatPutsThem) {
    std::string golden = golden_header();
    std::string in = test::fresh_path("golden.mpw"), out = test::fresh_path("golden_out.mpw");
    test::put_file(in, golden + one_line_rows());
    Drawing d;
    drawing_context* ctx = d.peek();
    ASSERT_EQ(xlum_read(ctx, in.c_str(), 0), 1);
    struct Field {
        const char* name;
        int index;
        double value;
    } fields[] = {
        {"version", 0, 5.0},    {"plot_scale", 0, 0.002}, {"gentenx", 0, 11.5},  {"genteny", 0, -7.25},
        {"dwxmin", 0, -50},     {"dwymin", 0, -40},       {"dwxmax", 0, 900},    {"dwymax", 0, 950 * 0.625 - 40},
        {"print_scale", 0, 25}, {"disp_layer", 0, 1},     {"disp_layer", 1, 0},  {"disp_layer", 7, 1},
        {"disp_layer", 15, 0},  {"lock_layer", 8, 0},     {"lock_layer", 10, 1}, {"lock_layer", 15, 1},
    };
    for (const Field& f : fields) EXPECT_EQ(xlum_get_val(ctx, f.name, f.index), f.value) << f.name << f.index;
    char stamp[81];
    int32_t disp[256], lock[256];
    ASSERT_EQ(xfc_read_mem(in.c_str(), nullptr, disp, lock, stamp), 1);
    EXPECT_STREQ(stamp, "Golden stamp");
    EXPECT_EQ(std::tuple(disp[0], lock[10]), std::tuple(1, 1));

    // Settings changed after the read land at their offsets; everything else is written back as it was read.
    std::string want = golden;
    struct Change {
        const char* name;
        int index;
        double value;
        std::size_t offset;
    } changes[] = {{"plot_scale", 0, 0.5, 8},  {"gentenx", 0, 1.25, 16}, {"genteny", 0, 2.5, 24},
                   {"dwxmin", 0, 7, 376},      {"dwymin", 0, 8, 384},    {"dwxmax", 0, 9, 392},
                   {"print_scale", 0, 77, 472}};
    for (const Change& c : changes) {
        xlum_set_val(ctx, c.name, c.index, c.value);
        put_double(want, c.offset, c.value);
    }
    xlum_set_val(ctx, "disp_layer", 0, 0);  // the highest bit of the first byte
    want[400] = static_cast<char>(want[400] & 0x7F);
    xlum_set_val(ctx, "lock_layer", 255, 1);  // the lowest bit of the last byte, in both copies
    want[432 + 31] = want[496 + 31] = static_cast<char>(want[496 + 31] | 1);
    ASSERT_EQ(xlum_write(ctx, out.c_str(), 0, 0), 1);
    std::string written = test::file_bytes(out).substr(0, 4096);
    for (std::size_t i = 0; i < 4096; ++i) ASSERT_EQ(written[i], want[i]) << "header byte " << i;
}

TEST(MpwFile, FilesTooShortForOneRowAreRefused) {
    std::string path = test::fresh_path("short.mpw");
    Drawing d;
    drawing_context* ctx = d.peek();
    test::fill_sample_drawing(ctx, 5);
    std::vector<double> before = test::record_cells(ctx);
    for (std::size_t size : {0u, 4096u, 4100u, 4123u}) {
        std::string bytes = golden_header() + std::string(100, '\0');
        bytes.resize(size);
        test::put_file(path, bytes);
        EXPECT_EQ(xlum_read(ctx, path.c_str(), 0), 0) << size;
        EXPECT_EQ(test::record_cells(ctx), before) << size;
    }
    // From the data end a file merges: the rows, the settings and the file name stay, the file's line follows.
    const int32_t end = find_data_end(ctx, 0);
    test::put_file(path, golden_header() + one_line_rows());
    ASSERT_EQ(xlum_read(ctx, path.c_str(), end), 1);
    const std::vector<double> merged = test::record_cells(ctx);
    ASSERT_EQ(merged.size(), before.size() + 7);  // one row: a line
    for (int k = 0; k < 7; ++k)
        for (int32_t row = 0; row < end; ++row) ASSERT_EQ(merged[k * (end + 2) + row], before[k * (end + 1) + row]);
    for (int k = 3; k < 7; ++k) EXPECT_EQ(merged[k * (end + 2) + end], 10 * (k - 2)) << k;
    EXPECT_NE(xlum_get_val(ctx, "plot_scale", 0), 0.002);
    EXPECT_STREQ(ctx->file_name, "");
    // One row, the end row: an empty drawing with the file's settings.
    const int32_t end_row[7] = {0xFFFF, 0, 0, 0, 0, 0, 0};
    test::put_file(path, golden_header() + std::string(reinterpret_cast<const char*>(end_row), 28));
    ASSERT_EQ(xlum_read(ctx, path.c_str(), 0), 1);
    EXPECT_EQ(find_data_end(ctx, 0), 0);
    EXPECT_EQ(xlum_get_val(ctx, "plot_scale", 0), 0.002);
    EXPECT_EQ(xlum_read(ctx, test::fresh_path("missing.mpw").c_str(), 0), 0);
    EXPECT_EQ(xlum_write(ctx, test::fresh_path("plain.txt").c_str(), 0, 0), 0);
    EXPECT_TRUE(test::file_bytes(test::fresh_path("plain.txt")).empty());
}

// Truncations, flipped bytes and planted cells: every file is either refused with the drawing untouched, or taken
// and then survives being repaired, transformed, packed, searched and written again.
TEST(MpwFile, DamagedFilesAreRefusedOrReadSafely) {
    std::string good = test::fresh_path("intact.mpw"), bad = test::fresh_path("damaged.mpw"),
                again = test::fresh_path("rewritten.mpw");
    {
        Drawing source;
        test::fill_sample_drawing(source.peek(), 9);
        ASSERT_EQ(xlum_write(source.peek(), good.c_str(), 0, 0), 1);
    }
    const std::string intact = test::file_bytes(good);
    std::mt19937 random(20240611);
    auto pick = [&](std::size_t lo, std::size_t hi) {
        return std::uniform_int_distribution<std::size_t>(lo, hi)(random);
    };
    const int32_t planted[] = {0,      0xFFFF,  0xFE00,   0xFFFE, 2 << 8,    3 << 8,    5 << 8,
                               6 << 8, 15 << 8, 200 << 8, -1,     INT32_MAX, INT32_MIN, 0x7FFF0000};
    int refused = 0, taken = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = intact;
        switch (round % 3) {
        case 0: bytes.resize(pick(0, bytes.size() - 1)); break;
        case 1:
            for (int k = 0; k < 8; ++k) bytes[pick(0, bytes.size() - 1)] ^= static_cast<char>(pick(1, 255));
            break;
        default:
            for (int k = 0; k < 12; ++k) {
                int32_t v = planted[pick(0, std::size(planted) - 1)];
                std::memcpy(&bytes[4096 + 4 * pick(0, (bytes.size() - 4096) / 4 - 1)], &v, 4);
            }
        }
        test::put_file(bad, bytes);
        Drawing d;
        drawing_context* ctx = d.peek();
        test::fill_sample_drawing(ctx, 4);
        std::vector<double> before = test::record_cells(ctx);
        std::string header = test::header_bytes(ctx);
        if (xlum_read(ctx, bad.c_str(), 0) != 1) {
            ++refused;
            ASSERT_EQ(test::record_cells(ctx), before) << round;
            ASSERT_EQ(test::header_bytes(ctx), header) << round;
            continue;
        }
        ++taken;
        char text[1024];
        for (int32_t row = 0; row < 400; ++row) xlum_getchar(ctx, row, text);
        xlum_gbaketu(ctx, 0);
        xlum_grota(ctx, 0, 10, 10, 33);
        xlum_gbig(ctx, 0, 0, 0, -2, 3);
        xlum_gpack(ctx, 0, -1, -1);
        if (taken % 8 == 1) {
            EXPECT_EQ(xlum_write(ctx, again.c_str(), 0, 0), 1) << round;
        }
    }
    EXPECT_GE(refused, 100);  // every truncation at least
    EXPECT_GT(taken, 50);
}

}  // namespace
}  // namespace kz::drawing2d
