// Cuts of generated lines and arcs by a circle and a rectangle, for several mode digits: each block holds what its
// digit names, piece ends lie on the outline (lines rounded to whole units, arcs never divided within 3 units of
// their ends), the pieces of every cut record cover it, and the outline lands where the outline digits say.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <cmath>
#include <map>
#include <random>
#include <string>

#include "drawing2d/active_attributes.h"
#include "drawing2d/cuts.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing_test_support.h"

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Segment = bg::model::segment<Point>;

namespace kz::drawing2d {
namespace {
// A record as the tests see it: a line (x1, y1)-(x2, y2), or an arc about (x1, y1) of radius r from a to b degrees.
struct Piece {
    int type;
    double x1, y1, x2, y2, r, a, b;
    int32_t group;
};
Piece read_piece(const drawing_context* c, int32_t row) {
    if (row_type(c, row) == kTypeLine)
        return {2, double(c->c4[row]), double(c->c5[row]), double(c->c6[row]), double(c->c7[row]), 0, 0,
                0, row_group(c, row)};
    return {3,
            arc_centre_x(c, row),
            arc_centre_y(c, row),
            0,
            0,
            double(c->c6[row]),
            c->c6[row + 1] / 1e6,
            c->c7[row + 1] / 1e6,
            row_group(c, row)};
}
bool same(const Piece& p, const Piece& q) {
    return p.type == q.type && p.x1 == q.x1 && p.y1 == q.y1 && p.x2 == q.x2 && p.y2 == q.y2 && p.r == q.r &&
           p.a == q.a && p.b == q.b;
}
double sweep_of(double a, double b) { return b > a ? b - a : b + 360 - a; }
double turn(double v) { return std::fmod(std::fmod(v, 360) + 360, 360); }

struct Figure {
    bool circle;
    double a, b, c, d;  // circle: cx, cy, r; rectangle: xmin, ymin, xmax, ymax
    bool inside(double x, double y) const {
        return circle ? std::hypot(x - a, y - b) < c : x > a && x < c && y > b && y < d;
    }
    // Distance of a point from the outline.
    double off(double x, double y) const {
        if (circle) return std::fabs(std::hypot(x - a, y - b) - c);
        double dx = std::max({a - x, 0.0, x - c}), dy = std::max({b - y, 0.0, y - d});
        if (dx > 0 || dy > 0) return std::hypot(dx, dy);
        return std::min({x - a, c - x, y - b, d - y});
    }
    bool takes(const Piece& p) const {
        if (p.type == 2)
            return circle ? bg::distance(Point(a, b), Segment{{p.x1, p.y1}, {p.x2, p.y2}}) < c
                          : bg::intersects(Segment{{p.x1, p.y1}, {p.x2, p.y2}}, bg::model::box<Point>{{a, b}, {c, d}});
        for (double t = 0; t <= sweep_of(p.a, p.b); t += 0.05)
            if (inside(p.x1 + p.r * std::cos((p.a + t) * M_PI / 180), p.y1 - p.r * std::sin((p.a + t) * M_PI / 180)))
                return true;
        return false;
    }
};

// Lines and arcs whose ends keep 5 units away from the outline.
std::vector<Piece> generate(drawing_context* ctx, const Figure& f) {
    std::mt19937 rng(11);
    auto pick = [&](int lo, int hi) { return double(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    std::vector<Piece> out;
    while (out.size() < 400) {
        Piece p{2 + int(out.size() % 2), pick(0, 10000), pick(0, 10000), 0, 0, 0, 0, 0, 0};
        double ex[2], ey[2];
        if (p.type == 2) {
            p.x2 = p.x1 + pick(-4000, 4000), p.y2 = p.y1 + pick(-4000, 4000);
            ex[0] = p.x1, ey[0] = p.y1, ex[1] = p.x2, ey[1] = p.y2;
        } else {
            p.r = pick(10, 2500), p.a = pick(0, 359), p.b = pick(0, 359);
            for (int i = 0; i < 2; ++i) {
                double t = (i ? p.b : p.a) * M_PI / 180;
                ex[i] = p.x1 + p.r * std::cos(t), ey[i] = p.y1 - p.r * std::sin(t);
            }
        }
        if (p.a == p.b && p.type == 3) continue;
        if (f.off(ex[0], ey[0]) < 5 || f.off(ex[1], ey[1]) < 5) continue;
        xlum_set_active(ctx, 1, 1 + int(out.size() % 9), 1, 1);
        p.type == 2 ? xlum_line_set(ctx, 0, p.x1, p.y1, p.x2, p.y2) : xlum_en_set(ctx, 0, p.x1, p.y1, p.r, p.a, p.b);
        out.push_back(p);
    }
    return out;
}

// The pieces of `whole` among `pieces`, checked to end on the record's ends or on the outline; whether they cover it.
bool covered(const Piece& whole, const std::vector<Piece>& pieces, const Figure& f) {
    std::vector<std::pair<double, double>> spans;
    for (const Piece& p : pieces) {
        if (p.type != whole.type) continue;
        if (p.type == 2) {
            Segment w{{whole.x1, whole.y1}, {whole.x2, whole.y2}};
            if (bg::distance(Point(p.x1, p.y1), w) > 0.75 || bg::distance(Point(p.x2, p.y2), w) > 0.75) continue;
            double len2 = std::pow(whole.x2 - whole.x1, 2) + std::pow(whole.y2 - whole.y1, 2);
            auto param = [&](double x, double y) {
                return ((x - whole.x1) * (whole.x2 - whole.x1) + (y - whole.y1) * (whole.y2 - whole.y1)) / len2;
            };
            for (auto [x, y] : {std::pair{p.x1, p.y1}, std::pair{p.x2, p.y2}}) {
                bool at_end =
                    std::hypot(x - whole.x1, y - whole.y1) < 0.5 || std::hypot(x - whole.x2, y - whole.y2) < 0.5;
                EXPECT_TRUE(at_end || f.off(x, y) <= (f.circle ? std::sqrt(0.5) : 0.5) + 1e-9) << x << "," << y;
            }
            spans.emplace_back(std::minmax(param(p.x1, p.y1), param(p.x2, p.y2)));
        } else {
            if (p.x1 != whole.x1 || p.y1 != whole.y1 || p.r != whole.r) continue;
            for (double at : {p.a, p.b}) {
                double from_start = turn(at - whole.a), to_end = turn(whole.b - at);
                if (from_start < 1e-5 || to_end < 1e-5 || from_start > 360 - 1e-5) continue;
                EXPECT_LE(f.off(p.x1 + p.r * std::cos(at * M_PI / 180), p.y1 - p.r * std::sin(at * M_PI / 180)), 0.01);
                EXPECT_GE(std::min(from_start, to_end) * M_PI / 180 * p.r, 3.0 - 1e-6) << "divided near an end";
            }
            double from = turn(p.a - whole.a);
            spans.emplace_back(from, from + sweep_of(p.a, p.b));
        }
    }
    std::sort(spans.begin(), spans.end());
    double reach = 0, gap = whole.type == 2 ? 1.0 / std::hypot(whole.x2 - whole.x1, whole.y2 - whole.y1) : 1e-5;
    for (auto [lo, hi] : spans) {
        if (lo > reach + gap) return false;
        reach = std::max(reach, hi);
    }
    return reach >= (whole.type == 2 ? 1.0 : sweep_of(whole.a, whole.b)) - gap;
}

struct Case {
    const char* what;
    Figure figure;
    int32_t mode, outline;
};
const Figure kCircle{true, 5000, 5000, 2000.5, 0}, kRect{false, 3000.5, 3500.5, 7000.5, 6500.5};
const Case kCases[] = {
    {"circle, mode 123: uncut, inside, outside", kCircle, 123, 0},
    {"rectangle, mode 123: uncut, inside, outside", kRect, 123, 0},
    {"circle, mode 230: inside, outside, empty; the records stay", kCircle, 230, 0},
    {"rectangle, mode 005: empty, empty, outside with the wholly outside records", kRect, 5, 0},
    {"circle, mode 123, outline 011: the circle twice at the first block", kCircle, 123, 11},
    {"rectangle, mode 213, outline 020: the rectangle at the second block", kRect, 213, 20},
    {"rectangle, mode 023, outline 101: the first block is empty and gets nothing", kRect, 23, 101},
};

TEST(Cuts, BlocksHoldWhatTheirDigitsNameAndPiecesCoverTheRecords) {
    for (const Case& k : kCases) {
        SCOPED_TRACE(k.what);
        test::Drawing d;
        drawing_context* ctx = d.peek();
        const Figure& f = k.figure;
        std::vector<Piece> records = generate(ctx, f);
        int32_t result = f.circle ? xlum_kiritori_by_circle(ctx, 0, k.mode, f.a, f.b, f.c, k.outline)
                                  : xlum_kiritori_by_rect(ctx, 0, k.mode, f.a, f.b, f.c, f.d, k.outline);
        ASSERT_EQ(result, 1);
        std::vector<Piece> data, blocks[3];
        for (int32_t row : test::head_rows(ctx, 0)) data.push_back(read_piece(ctx, row));
        int32_t sep = find_data_end(ctx, 0);
        for (auto& block : blocks) {
            for (int32_t row : test::head_rows(ctx, sep + 1)) block.push_back(read_piece(ctx, row));
            sep = find_data_end(ctx, sep + 1);
        }
        // Outlines first: each outline digit adds one in its block (but not in an empty block the hundreds names).
        int32_t outline_group = -1;
        for (int place : {10, 1}) {
            int digit = k.outline / place % 10;
            if (digit == 0) continue;
            std::vector<Piece>& block = blocks[digit - 1];
            int block_digit = k.mode / (digit == 1 ? 100 : digit == 2 ? 10 : 1) % 10;
            if (digit == k.outline / 100 && (block_digit == 0 || block_digit == 4)) continue;
            ASSERT_FALSE(block.empty());
            const Piece& o = block.front();
            if (outline_group < 0) outline_group = o.group;
            EXPECT_EQ(o.group, outline_group);
            if (f.circle)
                EXPECT_TRUE(o.type == 3 && o.x1 == f.a && o.y1 == f.b && std::fabs(o.r - f.c) <= 0.5 && o.a == 0 &&
                            o.b == 360);
            else
                EXPECT_TRUE(block.size() >= 4 && block[0].x1 == 3001 && block[0].y1 == 3501 && block[2].x1 == 7001 &&
                            block[3].y2 == 3501);
            block.erase(block.begin(), block.begin() + (f.circle ? 1 : 4));
        }
        bool removes = std::to_string(k.mode).find('1') != std::string::npos;
        std::vector<Piece> inside, outside, taken, left;
        for (const Piece& p : records) (f.takes(p) ? taken : left).push_back(p);
        auto holds_exactly = [](const std::vector<Piece>& got, const std::vector<Piece>& want) {
            return got.size() == want.size() && std::equal(got.begin(), got.end(), want.begin(), same);
        };
        EXPECT_TRUE(holds_exactly(data, removes ? left : records)) << data.size() << " records in the data";
        for (int i = 0; i < 3; ++i) {
            int digit = k.mode / (i == 0 ? 100 : i == 1 ? 10 : 1) % 10;
            std::vector<Piece>& block = blocks[i];
            if (digit == 1) {
                EXPECT_TRUE(holds_exactly(block, taken));
            } else if (digit == 0) {
                EXPECT_TRUE(block.empty());
            } else if (digit == 5) {  // whole copies of the records left outside, in order, among the pieces
                std::vector<Piece> whole;
                std::copy_if(block.begin(), block.end(), std::back_inserter(whole), [&](const Piece& p) {
                    return std::any_of(left.begin(), left.end(), [&](const Piece& q) { return same(p, q); });
                });
                EXPECT_TRUE(holds_exactly(whole, left));
            }
            for (const Piece& p : block) {
                if (digit != 2 && digit != 3) continue;
                double mx = p.type == 2 ? (p.x1 + p.x2) / 2
                                        : p.x1 + p.r * std::cos((p.a + sweep_of(p.a, p.b) / 2) * M_PI / 180);
                double my = p.type == 2 ? (p.y1 + p.y2) / 2
                                        : p.y1 - p.r * std::sin((p.a + sweep_of(p.a, p.b) / 2) * M_PI / 180);
                EXPECT_TRUE(f.inside(mx, my) == (digit == 2) || f.off(mx, my) < 1) << mx << "," << my;
                (digit == 2 ? inside : outside).push_back(p);
            }
        }
        if (k.mode != 123) continue;
        std::vector<Piece> pieces = inside;
        pieces.insert(pieces.end(), outside.begin(), outside.end());
        for (const Piece& whole : taken)
            EXPECT_TRUE(covered(whole, pieces, f)) << whole.type << " at " << whole.x1 << "," << whole.y1;
    }
}

// An arc about (2000, 0) of radius 1001 crosses the circle about the origin of radius 1000 at 181.81 degrees: an
// arc starting 0.06 degrees (1 unit) short of that is not divided there and stays whole outside; 0.31 degrees
// (5.4 units) short, it is cut. A line lying on an edge of the rectangle (0, 0)-(1000, 1000) is not cut either.
TEST(Cuts, ArcsWithin3UnitsOfTheirEndsAndLinesOnTheRectanglesEdgesStayWhole) {
    const struct {
        bool arc;
        double a, b, c, d;  // arc: start angle; line: its ends
        bool cut;
    } cases[] = {{true, 181.75, 0, 0, 0, false},      {true, 181.5, 0, 0, 0, true},
                 {false, -500, 0, 1500, 0, false},    {false, -500, 1000, 1500, 1000, false},
                 {false, 0, -500, 0, 1500, false},    {false, 1000, 1500, 1000, -500, false},
                 {false, -500, 999, 1500, 999, true}, {false, 1, -500, 1, 1500, true}};
    for (const auto& k : cases) {
        test::Drawing d;
        drawing_context* ctx = d.peek();
        if (k.arc) {
            xlum_en_set(ctx, 0, 2000, 0, 1001, k.a, 350);
            ASSERT_EQ(xlum_kiritori_by_circle(ctx, 0, 123, 0, 0, 1000, 0), 1);
        } else {
            xlum_line_set(ctx, 0, k.a, k.b, k.c, k.d);
            ASSERT_EQ(xlum_kiritori_by_rect(ctx, 0, 123, 0, 0, 1000, 1000, 0), 1);
        }
        EXPECT_EQ(test::head_rows(ctx, 0).size(), k.cut ? 0u : 1u) << k.a << " " << k.b << " " << k.c << " " << k.d;
    }
}

}  // namespace
}  // namespace kz::drawing2d
