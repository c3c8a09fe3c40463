// MPP files: MBF singles byte for byte, the header at its offsets, the fit into 16-bit units and back, and short,
// damaged or non-finite files refused with the drawing untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "drawing2d/drawing_files.h"
#include "drawing2d/mpp_file.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using test::Drawing;

std::string mbf(double v) {
    unsigned char b[4];
    double_to_mbf(v, b);
    return std::string(reinterpret_cast<char*>(b), 4);
}

TEST(MppFile, MbfSinglesByteForByte) {
    const struct {
        double value;
        const char* bytes;
    } cases[] = {{1.0, "\x00\x00\x00\x81"},   {-1.0, "\x00\x00\x80\x81"}, {0.5, "\x00\x00\x00\x80"},
                 {10.0, "\x00\x00\x20\x84"},  {5.0, "\x00\x00\x20\x83"},  {0.001, "\x6f\x12\x03\x77"},
                 {-0.75, "\x00\x00\xc0\x80"}, {1e40, "\xff\xff\x7f\xff"}};
    for (const auto& c : cases) {
        EXPECT_EQ(mbf(c.value), std::string(c.bytes, 4)) << c.value;
        if (c.value < 1e30) {
            EXPECT_EQ(xlum_basic_float(mbf(c.value).data()), static_cast<float>(c.value));
        }
    }
    EXPECT_EQ(mbf(0.0), std::string(4, '\0'));
    EXPECT_EQ(mbf(NAN), std::string(4, '\0'));
    EXPECT_EQ(xlum_basic_float("\x12\x34\x56\x00"), 0.0);
    EXPECT_FALSE(std::isfinite(xlum_basic_float("\x00\x00\x00\x01")));
    EXPECT_EQ(round_significant6(static_cast<float>(0.001)), 0.001);
}

double cell(const std::string& bytes, std::size_t offset) { return xlum_basic_float(bytes.data() + offset); }
int16_t short_at(const std::string& bytes, std::size_t offset) {
    int16_t v;
    std::memcpy(&v, bytes.data() + offset, 2);
    return v;
}

// A line, an arc from `a0` to `a1` degrees and a text within the line's `span` units from `x0`.
void fill(drawing_context* ctx, double x0, double span, double a0 = 45, double a1 = 90) {
    xlum_line_set_d(ctx, nullptr, -1, 3, 7, 2, 1, x0, 100, x0 + span, 200, 0);
    xlum_en_set(ctx, -1, x0 + span / 2, 500, 300, a0, a1);
    xlum_set_text(ctx, nullptr, 0, -1, "AB", 5, x0 + 100, 700, 30, 40, 6, 30, 0, 0, 5, 9, 1, 1);
}

TEST(MppFile, HeaderAndRowsAtTheirOffsetsAndBack) {
    const struct {
        double span, requested, scale, unit;
        int a0, a1;  // arc angles: hundredths above 32768 are unsigned in the file
    } cases[] = {{10000, 0, 1, 0.001, 45, 90},
                 {200000, 0, 0.1, 0.01, 45, 90},
                 {100000, 0.002, 0.5, 0.002, 340, 350},
                 {200000, 0.002, 0.3195, 0.001 / 0.3195, 45, 350}};
    for (const auto& c : cases) {
        Drawing d, back;
        drawing_context* ctx = d.peek();
        fill(ctx, 0, c.span, c.a0, c.a1);
        ctx->gentenx = 1000;
        ctx->dwxmin = 2000;
        std::string path = test::fresh_path("fit.MPP");
        ASSERT_EQ(xlum_write(ctx, path.c_str(), 0, c.requested), 1) << c.span;
        std::string bytes = test::file_bytes(path);
        ASSERT_EQ((bytes.size() - 1024) % 14, 0u);
        const std::size_t n = (bytes.size() - 1024) / 14;
        EXPECT_EQ(cell(bytes, 0), 5.0);
        EXPECT_NEAR(cell(bytes, 4), c.unit, c.unit * 1e-6) << c.span;
        EXPECT_EQ(bytes.substr(388, 19), std::string(19, '\0'));  // a drawing that read no header has no stamp
        // The line's ends (centred when they would leave 16 bits) and the arc's angles in hundredths.
        const double s = c.scale, ox = s * c.span > 31900 ? -c.span / 2 : 0;
        EXPECT_NEAR(short_at(bytes, 1024 + 2 * 3 * n), ox * s, 1);
        EXPECT_NEAR(short_at(bytes, 1024 + 2 * 5 * n), (c.span + ox) * s, 1);
        EXPECT_EQ(static_cast<uint16_t>(short_at(bytes, 1024 + 2 * (5 * n + 2))), c.a0 * 100);
        EXPECT_EQ(static_cast<uint16_t>(short_at(bytes, 1024 + 2 * (6 * n + 2))), c.a1 * 100);

        ASSERT_EQ(xlum_read(back.peek(), path.c_str(), 0), 1);
        drawing_context* b = back.peek();
        const double unit = b->plot_scale;
        EXPECT_NEAR(unit, c.unit, c.unit * 1e-5);
        // Real positions (drawing units minus origin, times the unit) survive within one 16-bit step.
        auto real_x = [](const drawing_context* x, double v) { return (v - x->gentenx) * x->plot_scale; };
        EXPECT_NEAR(real_x(b, b->c6[0]), real_x(ctx, ctx->c6[0]), unit);
        EXPECT_NEAR(real_x(b, b->dwxmin), real_x(ctx, ctx->dwxmin), unit);
        EXPECT_EQ(std::tuple(b->c6[2], b->c7[2], b->c2[0]), std::tuple(c.a0 * 1000000, c.a1 * 1000000, 7));
        char text[16];
        xlum_getchar(b, 3, text, sizeof text);
        EXPECT_EQ(std::tuple(std::string(text), b->c5[4]), std::tuple("AB", 30000000));
        EXPECT_GE(b->c2[4], 5);
    }
}

TEST(MppFile, OlderHeadersShortAndDamagedFiles) {
    Drawing d;
    drawing_context* ctx = d.peek();
    fill(ctx, 0, 1000);
    std::string path = test::fresh_path("base.mpp"), bad = test::fresh_path("bad.mpp");
    ASSERT_EQ(xlum_write(ctx, path.c_str(), 0, 0), 1);
    const std::string good = test::file_bytes(path);
    std::vector<double> before = test::record_cells(ctx);
    const std::string header = test::header_bytes(ctx);

    // Version 3: origin and copies taken; window, layers, print values and stamp stay defaults.
    std::string v3 = good;
    v3.replace(0, 4, mbf(3.0));
    v3.replace(8, 4, mbf(12.5));
    v3.replace(188, 4, mbf(-777));
    test::put_file(bad, v3);
    unsigned char block[4104];
    ASSERT_EQ(xfc_read_mem(bad.c_str(), block, nullptr, nullptr, nullptr), 1);
    double origin, window;
    std::memcpy(&origin, block + 8 + 16, 8);
    std::memcpy(&window, block + 8 + 392, 8);
    EXPECT_EQ(origin, 12.5);
    EXPECT_EQ(window, 1000.0);

    std::string inf = good;
    inf.replace(8, 4, std::string("\0\0\0\x01", 4));
    std::string damaged[] = {good.substr(0, 1024 + 13), good.substr(0, 1000), inf};
    for (const std::string& bytes : damaged) {
        test::put_file(bad, bytes);
        EXPECT_EQ(xlum_read(ctx, bad.c_str(), 0), 0) << bytes.size();
        EXPECT_EQ(std::tuple(test::record_cells(ctx), test::header_bytes(ctx)), std::tuple(before, header));
    }
    // Random damage: refused, or read and written again.
    std::mt19937 random(7);
    for (int round = 0; round < 120; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 6; ++k) bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
        if (round % 4 == 0) bytes.resize(random() % bytes.size());
        test::put_file(bad, bytes);
        Drawing other;
        if (xlum_read(other.peek(), bad.c_str(), 0) == 1) {
            EXPECT_EQ(xlum_write(other.peek(), test::fresh_path("again.mpp").c_str(), 0, 0), 1);
        }
    }
}

}  // namespace
}  // namespace kz::drawing2d
