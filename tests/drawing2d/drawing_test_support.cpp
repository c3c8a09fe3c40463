// Helpers shared by the drawing library tests (see drawing_test_support.h).
#include "drawing_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "drawing2d/active_attributes.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "platform/file_system.h"
#include "support/test_paths.h"

namespace kz::drawing2d::test {

std::string python_oracle(const std::string& script, const std::string& arguments) {
    const char* source = std::getenv("KZ_SOURCE_DIR");
    return kz::test::command_output("/usr/bin/python3 " + std::string(source ? source : ".") + "/tests/drawing2d/" +
                                    script + " " + arguments);
}

std::string hex(const std::string& bytes) {
    std::string out;
    char b[3];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

std::string fresh_path(const std::string& name) {
    std::string path = kz::platform::from_native_path(kz::test::output_file("drawing2d_" + name));
    kz::platform::delete_file(path);
    return path;
}

std::string file_bytes(const std::string& path) {
    std::string bytes;
    kz::platform::read_whole_file(path, &bytes);
    return bytes;
}

// A plain write: test inputs need no safe replacement, and thousands of them need no flush to the disk.
void put_file(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(kz::platform::to_native_path(path).c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<double> record_cells(drawing_context* ctx) {
    int32_t end = find_data_end(ctx, 0);
    std::vector<double> cells;
    for (const char* column : {"c1", "c2", "c3", "c4", "c5", "c6", "c7"}) {
        std::vector<double> values(static_cast<std::size_t>(end) + 1);
        xlum_get_array(ctx, column, values.data(), 0, end);
        cells.insert(cells.end(), values.begin(), values.end());
    }
    return cells;
}

std::string header_bytes(const drawing_context* ctx) {
    return std::string(reinterpret_cast<const char*>(ctx->drawing_header), kHeaderBytes);
}

std::vector<int32_t> head_rows(const drawing_context* ctx, int32_t from) {
    std::vector<int32_t> rows;
    for (int32_t row = from; row < ctx->mat && row_code(ctx, row) != -1; ++row)
        if (row_code(ctx, row) > 0) rows.push_back(row);
    return rows;
}

namespace {
// Raw rows of a record that has no writer: a head row and `rows` - 1 continuation rows.
void raw_record(drawing_context* ctx, int type, int layer, int32_t c6, int rows, int32_t second_c2) {
    int32_t row = reserve_rows(ctx, 0, rows);
    xlum_set_val(ctx, "c1", row, layer | (type << 8));
    xlum_set_val(ctx, "c2", row, 7);
    xlum_set_val(ctx, "c3", row, 1 | (3 << 8));
    xlum_set_val(ctx, "c4", row, 1000 * type);
    xlum_set_val(ctx, "c5", row, -500);
    xlum_set_val(ctx, "c6", row, c6);
    xlum_set_val(ctx, "c7", row, 40);
    for (int i = 1; i < rows; ++i) {
        xlum_set_val(ctx, "c1", row + i, 0xFE00);
        for (const char* column : {"c2", "c3", "c4", "c5", "c6", "c7"}) xlum_set_val(ctx, column, row + i, 'a' + i);
    }
    if (rows > 1) xlum_set_val(ctx, "c2", row + 1, second_c2);
}
}  // namespace

void fill_sample_drawing(drawing_context* ctx, unsigned seed) {
    std::mt19937 random(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::vector<int32_t> doomed;
    for (int i = 0; i < 40; ++i) {
        xlum_set_active(ctx, pick(0, 255), pick(1, 32000), pick(1, 15), pick(1, 8));
        int32_t row = -1;
        switch (i % 4) {
        case 0:
            row = xlum_line_set(ctx, 0, uniform(-1e6, 1e6), uniform(-1e6, 1e6), uniform(-1e6, 1e6), uniform(-1e6, 1e6));
            break;
        case 1:
            row = xlum_en_set(ctx, 0, uniform(-1e6, 1e6), uniform(-1e6, 1e6), uniform(1, 1e5), uniform(0, 360),
                              uniform(0, 360));
            break;
        case 2:
            row = xlum_moji_set(ctx, 0, "Sample text 12", uniform(-1e5, 1e5), uniform(-1e5, 1e5), pick(0, 10), 30, 50,
                                5, uniform(0, 360), 0);
            break;
        default:
            row = xlum_moji_set(ctx, 0, "\x93\xfa\x96\x7b\x8c\xea A", 0, 0, 9 | 0x100, 40, 40, 2, 90, 15);  // 日本語 A
            break;
        }
        if (i % 5 == 3) doomed.push_back(row);
    }
    xlum_en_set(ctx, 0, 3000000000.25, -2500000000.0, 77, 45, 45);
    raw_record(ctx, kTypePointRecord, 9, 7, 4, 0);
    raw_record(ctx, kTypeTextLike, 10, 6, 3, 0);
    raw_record(ctx, kTypeMultiRow, 11, 300, 3, 3);
    for (int32_t row : doomed) xlum_delete_primitive(ctx, row);

    xlum_set_layer_name(ctx, 0, "ground");
    xlum_set_layer_name(ctx, 12, "\x8a\x4b\x92\x69");  // 階段
    xlum_set_layer_group(ctx, 12, "stairs");
    xlum_set_val(ctx, "paint_layer_color", 3, 0x0000FF);
    xlum_set_val(ctx, "paint_layer_color", 4, -2);
    xlum_set_val(ctx, "pen_width_mili", 2, 0.35);
    xlum_set_val(ctx, "pen_width", 6, 3);
    xlum_set_val(ctx, "pen_color", 1, 0x123456);
    xlum_set_val(ctx, "print_pen_color", 2, 0x654321);
    xlum_set_val(ctx, "pen_bold", 3, 1);
    xlum_set_val(ctx, "text_res", 4, 1);
    xlum_set_val(ctx, "layer_color", 20, 9);
    xlum_set_val(ctx, "layer_style", 21, 4);
    xlum_set_string(ctx, "kanji", 2, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");  // ＭＳ ゴシック
    xlum_set_string(ctx, "ank", 7, "Roman.ANK");
    double dash[3] = {6, -2, 1};
    xlum_set_array(ctx, "line_style_data5", dash, 0, 2);
    xlum_set_val(ctx, "disp_layer", 33, 0);
    xlum_set_val(ctx, "lock_layer", 34, 1);
    xlum_set_val(ctx, "plot_scale", 0, 0.01);
    xlum_set_val(ctx, "gentenx", 0, 123.5);
    xlum_set_val(ctx, "print_scale", 0, 50);
}

}  // namespace kz::drawing2d::test
