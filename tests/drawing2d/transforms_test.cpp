// Transforms of records against direct computation of the moved, scaled, turned, mirrored and stretched lines,
// arcs and texts; the dry run of the general transform; packing and block moves.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <tuple>

#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/transforms.h"
#include "drawing_test_support.h"

namespace kz::drawing2d {
namespace {
using Transforms = test::DrawingTest;
constexpr double kPi = 3.141592653589793;

struct Sample {
    int32_t line, arc, text;
};

Sample three_records(drawing_context* ctx) {
    Sample s;
    s.line = xlum_line_set(ctx, 0, 100, -200, 350, 40);
    s.arc = xlum_en_set(ctx, 0, 500, 600, 70, 30, 120);
    s.text = xlum_moji_set(ctx, 0, "abc", -40, 90, 1, 10, 20, 3, 15, 0);
    return s;
}

double angle_of(int32_t millionths) { return millionths / 1e6; }
double wrapped(double a) { return std::fmod(std::fmod(a, 360) + 360, 360); }

// Every transform, its direct computation of a point, and what it does to radius, angles and text sizes.
struct Case {
    const char* what;
    void (*apply)(drawing_context*);
    double (*x)(double, double), (*y)(double, double);
    double radius_factor, turn, width_factor, height_factor;
    bool mirror_x, mirror_y;
};

const Case kCases[] = {
    {"move", [](drawing_context* c) { xlum_gdxdy(c, 0, 12.4, -7.6); }, [](double x, double) { return x + 12.4; },
     [](double, double y) { return y - 7.6; }, 1, 0, 1, 1, false, false},
    {"scale", [](drawing_context* c) { xlum_gbig(c, 0, 10, 20, 2.5, 0.5); },
     [](double x, double) { return (x - 10) * 2.5 + 10; }, [](double, double y) { return (y - 20) * 0.5 + 20; }, 2.5, 0,
     2.5, 0.5, false, false},
    {"mirror in x", [](drawing_context* c) { xlum_gbig(c, 0, 0, 0, -1, 1); }, [](double x, double) { return -x; },
     [](double, double y) { return y; }, 1, 0, 1, 1, true, false},
    {"mirror in y", [](drawing_context* c) { xlum_gbig(c, 0, 5, 5, 1, -2); }, [](double x, double) { return x; },
     [](double, double y) { return (y - 5) * -2 + 5; }, 2, 0, 1, 2, false, true},
    {"rotate", [](drawing_context* c) { xlum_grota(c, 0, 30, -10, 75); },
     [](double x, double y) { return (x - 30) * std::cos(75 * kPi / 180) + 30 + (y + 10) * std::sin(75 * kPi / 180); },
     [](double x, double y) { return -10 - (x - 30) * std::sin(75 * kPi / 180) + (y + 10) * std::cos(75 * kPi / 180); },
     1, 75, 1, 1, false, false},
    {"general transform", [](drawing_context* c) { xlum_henkei(c, 0, 1, 2, 3, 4, 30, 5, 6, 1); },
     [](double x, double y) { return 1 + 5 + (x - 1) * 3 * std::cos(kPi / 6) + (y - 2) * 4 * std::sin(kPi / 6); },
     [](double x, double y) { return 2 + 6 - (x - 1) * 3 * std::sin(kPi / 6) + (y - 2) * 4 * std::cos(kPi / 6); }, 4,
     30, 3, 4, false, false},
};

TEST_F(Transforms, LinesArcsAndTextsFollowTheDirectComputation) {
    for (const Case& c : kCases) {
        fresh_drawing();
        Sample s = three_records(ctx);
        c.apply(ctx);
        auto expect_point = [&](int32_t row, int x_col, double x, double y) {
            EXPECT_EQ(columns(ctx)[x_col][row], std::lround(c.x(x, y))) << c.what;
            EXPECT_EQ(columns(ctx)[x_col + 1][row], std::lround(c.y(x, y))) << c.what;
        };
        expect_point(s.line, 3, 100, -200);
        expect_point(s.line, 5, 350, 40);
        EXPECT_NEAR(arc_centre_x(ctx, s.arc), c.x(500, 600), 0.5) << c.what;
        EXPECT_NEAR(arc_centre_y(ctx, s.arc), c.y(500, 600), 0.5) << c.what;
        EXPECT_EQ(ctx->c6[s.arc], std::lround(70 * c.radius_factor)) << c.what;
        double start = 30, end = 120;
        if (c.mirror_y) {
            double s0 = -end, e0 = -start;
            start = s0, end = e0;
        }
        if (c.mirror_x) {
            double s0 = 180 - end, e0 = 180 - start;
            start = s0, end = e0;
        }
        EXPECT_NEAR(angle_of(ctx->c6[s.arc + 1]), wrapped(start + c.turn), 1e-6) << c.what;
        EXPECT_NEAR(angle_of(ctx->c7[s.arc + 1]), wrapped(end + c.turn), 1e-6) << c.what;
        expect_point(s.text, 3, -40, 90);
        EXPECT_EQ(std::tuple(ctx->c2[s.text + 1], ctx->c3[s.text + 1], ctx->c4[s.text + 1]),
                  std::tuple(std::lround(10 * c.width_factor), std::lround(20 * c.height_factor),
                             std::lround(3 * c.width_factor)))
            << c.what;
        EXPECT_NEAR(angle_of(ctx->c5[s.text + 1]), wrapped(15 + c.turn), 1e-6) << c.what;
    }
}

TEST_F(Transforms, ArcAnglesAndCentresAtTheirLimits) {
    struct ArcCase {
        double start, end;
        void (*apply)(drawing_context*);
        double want_start, want_end;
    } cases[] = {
        {0, 90, [](drawing_context* c) { xlum_gbig(c, 0, 0, 0, -1, 1); }, 90, 180},
        {0, 90, [](drawing_context* c) { xlum_gbig(c, 0, 0, 0, 1, -1); }, 270, 0},
        {0, 360, [](drawing_context* c) { xlum_grota(c, 0, 0, 0, 45); }, 0, 360},
        {10, 20, [](drawing_context* c) { xlum_grota(c, 0, 0, 0, -90); }, 280, 290},
        {10, 20, [](drawing_context* c) { xlum_grota(c, 0, 0, 0, 360); }, 10, 20},
    };
    for (const ArcCase& a : cases) {
        xlum_new(ctx);
        int32_t row = xlum_en_set(ctx, 0, 0, 0, 10, a.start, a.end);
        a.apply(ctx);
        EXPECT_EQ(angle_of(ctx->c6[row + 1]), a.want_start) << a.start << " " << a.end;
        EXPECT_EQ(angle_of(ctx->c7[row + 1]), a.want_end) << a.start << " " << a.end;
    }
    xlum_new(ctx);
    int32_t far = xlum_en_set(ctx, 0, 3000000000.0, -5, 10, 0, 90);
    xlum_gdxdy(ctx, 0, -1000000000.0, 0);
    EXPECT_EQ((std::array{ctx->c4[far + 1], ctx->c4[far], ctx->c5[far + 1], ctx->c5[far]}),
              (std::array{0, 2000000000, 0, -5}));
}

TEST_F(Transforms, MirroredTextsStayReadableWhenAsked) {
    struct TextCase {
        double sx, sy, angle;
        int alignment;
        double want_angle;
        int want_alignment;
    } cases[] = {
        {-1, 1, 30, 0, 330, 2},   // 180 - 30 - 180 = -30: reads left to right still, the horizontal anchor swaps
        {1, -1, 30, 1, 330, 9},   // -30 - 180 = 150 would read upside down: turned again, the vertical anchor swaps
        {-1, -1, 30, 6, 210, 6},  // both mirrored: turned half round
    };
    for (const TextCase& t : cases) {
        fresh_drawing();
        ctx->disp_text_angle_sw = 1;
        int32_t row = xlum_moji_set(ctx, 0, "ab", 0, 0, t.alignment, 10, 10, 0, t.angle, 0);
        xlum_gbig(ctx, 0, 0, 0, t.sx, t.sy);
        EXPECT_NEAR(angle_of(ctx->c5[row + 1]), t.want_angle, 1e-6) << t.sx << " " << t.sy;
        EXPECT_EQ(ctx->c7[row + 1] & 15, t.want_alignment) << t.sx << " " << t.sy;
    }
}

TEST_F(Transforms, StretchMovesOnlyTheEndsInsideItsRectangle) {
    int32_t edge = xlum_line_set(ctx, 0, 0, 0, 50, 50);
    int32_t outside = xlum_line_set(ctx, 0, 200, 200, 300, 300);
    int32_t text = xlum_moji_set(ctx, 0, "t", 500, 500, 0, 5, 5, 0, 0, 0);
    xlum_gpint(ctx, 0, 10.9, -3.9, 100, 100, 0, 0);  // corners in either order, bounds included
    // 0 + 10.9 truncated; the outside line stays; texts move wherever they are.
    EXPECT_EQ((std::array{ctx->c4[edge], ctx->c5[edge], ctx->c6[edge]}), (std::array{10, -3, 60}));
    EXPECT_EQ((std::array{ctx->c7[outside], ctx->c4[outside], ctx->c4[text]}), (std::array{300, 200, 510}));
}

TEST_F(Transforms, DryRunChangesNothingAndFindsWhatWouldNotFit) {
    three_records(ctx);
    std::vector<double> before = test::record_cells(ctx);
    const double fields[2] = {ctx->disp_scale_x, ctx->disp_cos};
    EXPECT_EQ(xlum_henkei(ctx, 0, 0, 0, 2, 2, 10, 5, 5, 0), 1);
    EXPECT_EQ(xlum_henkei(ctx, 0, 0, 0, 1e7, 1, 0, 0, 0, 0), 0);  // the line's far end leaves the int32 range
    EXPECT_EQ(test::record_cells(ctx), before);
    EXPECT_EQ((std::array{ctx->disp_scale_x, ctx->disp_cos}), (std::array{fields[0], fields[1]}));
}

TEST_F(Transforms, PackingAfterDeletingHalfTheRecordsKeepsTheRest) {
    std::mt19937 random(7);
    std::vector<int32_t> rows;
    for (int i = 0; i < 3000; ++i) {
        switch (random() % 3) {
        case 0: rows.push_back(xlum_line_set(ctx, 0, i, -i, 2 * i, 3)); break;
        case 1: rows.push_back(xlum_en_set(ctx, 0, i, i, 5 + i, 0, 90)); break;
        default:
            rows.push_back(
                xlum_moji_set(ctx, 0, std::string(1 + i % 14, 'a' + i % 26).c_str(), i, 0, 0, 1, 1, 0, 0, 0));
        }
    }
    // The records that stay, each as its rows' cells, in order.
    std::vector<std::vector<int32_t>> kept;
    int32_t followed = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i % 2 == 0) {
            xlum_delete_primitive(ctx, rows[i]);
            continue;
        }
        if (i == 1501) followed = rows[i];
        std::vector<int32_t> cells;
        for (int32_t r = rows[i]; r < rows[i] + primitive_row_count(ctx, rows[i]); ++r)
            for (int k = 0; k < 7; ++k) cells.push_back(columns(ctx)[k][r]);
        kept.push_back(cells);
    }
    int32_t moved = xlum_gpack(ctx, 0, -1, followed);
    std::size_t index = 0;
    int32_t row = 0;
    for (; row_code(ctx, row) != -1; row += primitive_row_count(ctx, row), ++index) {
        ASSERT_LT(index, kept.size());
        std::vector<int32_t> cells;
        for (int32_t r = row; r < row + primitive_row_count(ctx, row); ++r)
            for (int k = 0; k < 7; ++k) cells.push_back(columns(ctx)[k][r]);
        ASSERT_EQ(cells, kept[index]) << index;
        if (index == 750) {
            EXPECT_EQ(moved, row);  // the followed record's new row
        }
    }
    EXPECT_EQ(index, kept.size());
    EXPECT_EQ(ctx->data_end, row);
}

TEST_F(Transforms, PackingTheSmallCasesAndMovingBlocks) {
    int32_t line = xlum_line_set(ctx, 0, 1, 2, 3, 4);
    int32_t gap = xlum_line_set(ctx, 0, 0, 0, 0, 0);
    int32_t arc = xlum_en_set(ctx, 0, 5, 5, 5, 0, 90);
    int32_t gap2 = xlum_line_set(ctx, 0, 0, 0, 0, 0);
    xlum_delete_primitive(ctx, gap);
    xlum_delete_primitive(ctx, gap2);
    EXPECT_EQ(xlum_gpack(ctx, 0, -1, -1), 3);  // [line, arc head, 0xFE00, end]
    EXPECT_EQ(std::tuple(row_type(ctx, line + 1), row_code(ctx, 3)), std::tuple(kTypeArc, -1));
    EXPECT_EQ(xlum_gpack(ctx, ctx->max, -1, -1), -1);
    (void)arc;
    // A block moved into the spare rows and back.
    EXPECT_EQ(xlum_gntrn(ctx, 0, 2, ctx->mau + 10), 1);
    EXPECT_EQ(row_type(ctx, ctx->mau + 11), kTypeArc);
    EXPECT_EQ(xlum_gntrn(ctx, ctx->mau + 10, ctx->mau + 12, 10), 1);
    EXPECT_EQ(ctx->c4[10], 1);
    EXPECT_EQ(xlum_gntrn(ctx, 0, 2000, ctx->mau), 0);  // more than 1200 rows into the spare block
    EXPECT_EQ(xlum_gntrn(ctx, 5, 4, 0), 0);
    EXPECT_EQ(xlum_gntrn(ctx, ctx->mat - 2, ctx->mat - 1, ctx->mat - 1), 0);  // never past the columns
}

}  // namespace
}  // namespace kz::drawing2d
