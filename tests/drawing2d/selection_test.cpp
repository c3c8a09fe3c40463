// Gathering on generated drawings against brute force: boxes by every integer degree of an arc, Boost.Geometry for
// lines and text outlines, a quadratic for segments against arcs; the block layout and the filter's one-call life.
#include <gtest/gtest.h>

#include <boost/geometry.hpp>
#include <cmath>
#include <map>
#include <random>
#include <tuple>

#include "drawing2d/active_attributes.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/row_store.h"
#include "drawing2d/selection.h"
#include "drawing_test_support.h"

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Segment = bg::model::segment<Point>;
using Ring = bg::model::linestring<Point>;

namespace kz::drawing2d {
namespace {
struct Rec {
    int type, group;
    double x1, y1, x2, y2, r;  // line ends; arc centre and radius; text origin and far corner
    int start, sweep;          // arc, whole degrees
};
using Key = std::tuple<int, int32_t, int32_t, int32_t, int32_t>;
Key key_of(const drawing_context* c, int32_t row) {
    return {row_type(c, row), c->c4[row], c->c5[row], c->c6[row], c->c7[row]};
}

constexpr int kRecords = 2500;

std::map<Key, Rec> generate(drawing_context* ctx, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::map<Key, Rec> recs;
    for (int i = 0; i < kRecords; ++i) {
        Rec rec{2 + i % 3, pick(1, 6), double(pick(0, 20000)), double(pick(0, 20000)), 0, 0, 0, 0, 0};
        xlum_set_active(ctx, pick(1, 3), rec.group, pick(1, 15), pick(1, 8));
        int32_t row = -1;
        if (rec.type == 2) {
            rec.x2 = rec.x1 + pick(-900, 900), rec.y2 = rec.y1 + pick(-900, 900);
            row = xlum_line_set(ctx, 0, rec.x1, rec.y1, rec.x2, rec.y2);
        } else if (rec.type == 3) {
            rec.r = pick(5, 700), rec.start = pick(0, 359), rec.sweep = pick(1, 360);
            row = xlum_en_set(ctx, 0, rec.x1, rec.y1, rec.r, rec.start, (rec.start + rec.sweep) % 360);
            if (rec.sweep == 360) rec.start = 0;
        } else {
            rec.type = 5, rec.x2 = rec.x1 + 4 * 40 + 3 * 10, rec.y2 = rec.y1 - 60;
            row = xlum_moji_set(ctx, 0, "Door", rec.x1, rec.y1, 0, 40, 60, 10, 0, 0);
        }
        recs[key_of(ctx, row)] = rec;
    }
    return recs;
}

bool in_box(double x, double y, const double b[4]) { return x >= b[0] && x <= b[2] && y >= b[1] && y <= b[3]; }

bool oracle_inside(const Rec& r, const double b[4]) {
    if (r.type == 2) return in_box(r.x1, r.y1, b) && in_box(r.x2, r.y2, b);
    if (r.type == 5) return in_box(r.x1, r.y1, b) && in_box(r.x2, r.y2, b);
    for (int d = 0; d <= r.sweep; ++d) {
        double t = (r.start + d) * M_PI / 180;
        if (!in_box(std::round((r.x1 + r.r * std::cos(t)) * 1e6) / 1e6,
                    std::round((r.y1 - r.r * std::sin(t)) * 1e6) / 1e6, b))
            return false;
    }
    return true;
}

bool oracle_crosses(const Rec& r, const double s[4]) {
    Segment seg{{s[0], s[1]}, {s[2], s[3]}};
    if (r.type == 2) return bg::intersects(seg, Segment{{r.x1, r.y1}, {r.x2, r.y2}});
    if (r.type == 5)
        return bg::intersects(seg, Ring{{r.x1, r.y1}, {r.x1, r.y2}, {r.x2, r.y2}, {r.x2, r.y1}, {r.x1, r.y1}});
    // |p + t d - c|^2 = r^2 for t in 0..1, the point's angle within the sweep.
    double dx = s[2] - s[0], dy = s[3] - s[1], fx = s[0] - r.x1, fy = s[1] - r.y1;
    double a = dx * dx + dy * dy, b = 2 * (fx * dx + fy * dy), c = fx * fx + fy * fy - r.r * r.r,
           disc = b * b - 4 * a * c;
    for (double sign : {-1.0, 1.0}) {
        double t = (-b + sign * std::sqrt(disc)) / (2 * a);
        double angle = std::atan2(-(fy + t * dy), fx + t * dx) * 180 / M_PI;
        if (disc >= 0 && t >= 0 && t <= 1 && std::fmod(angle - r.start + 720, 360) <= r.sweep) return true;
    }
    return false;
}

struct Case {
    const char* what;
    int32_t by_command;  // the filter set for the one call (-1: none)
    int32_t (*gather)(drawing_context*, const double*);
    bool (*oracle)(const Rec&, const double*);
    double figure[4];
};

const Case kCases[] = {
    {"inside",
     -1,
     [](drawing_context* c, const double* b) { return xlum_gatrn(c, 0, b[2], b[3], b[0], b[1]); },
     oracle_inside,
     {3000, 2500, 14000, 16000}},
    {"inside, lines only",
     2,
     [](drawing_context* c, const double* b) { return xlum_gatrn(c, 0, b[0], b[1], b[2], b[3]); },
     [](const Rec& r, const double* b) { return r.type == 2 && oracle_inside(r, b); },
     {3000, 2500, 14000, 16000}},
    {"crossing",
     -1,
     [](drawing_context* c, const double* s) { return xlum_gcltrn(c, 0, s[0], s[1], s[2], s[3], 0, 0); },
     oracle_crosses,
     {-100.3, 7000.7, 20300.1, 12000.6}},
    {"group",
     -1,
     [](drawing_context* c, const double*) { return xlum_gsegm(c, 0, 4); },
     [](const Rec& r, const double*) { return r.group == 4; },
     {}},
    {"all, packing on the way",
     -1,
     [](drawing_context* c, const double*) { return xlum_gcatrn(c, 0); },
     [](const Rec&, const double*) { return true; },
     {}},
};

TEST(Gathering, AgreesWithBruteForceAndLeavesOneBlock) {
    for (const Case& k : kCases) {
        SCOPED_TRACE(k.what);
        test::Drawing d;
        drawing_context* ctx = d.peek();
        std::map<Key, Rec> recs = generate(ctx, 7);
        ASSERT_EQ(recs.size(), size_t(kRecords));  // every record can be told by its cells
        if (k.by_command > 0) xlum_set_val(ctx, "by_command", 0, k.by_command);
        int32_t capacity = ctx->max, end = find_data_end(ctx, 0);
        int32_t separator = k.gather(ctx, k.figure);
        ASSERT_GE(separator, 0);
        EXPECT_EQ(xlum_get_val(ctx, "by_command", 0), -1);
        std::map<Key, int> seen;
        for (int32_t row : test::head_rows(ctx, separator + 1)) ++seen[key_of(ctx, row)];
        for (int32_t row : test::head_rows(ctx, 0)) seen[key_of(ctx, row)] += 2;
        int gathered = 0;
        for (const auto& [key, rec] : recs) {
            bool want = k.oracle(rec, k.figure);
            gathered += want;
            EXPECT_EQ(seen[key], want ? 1 : 2)
                << std::get<0>(key) << " at " << std::get<1>(key) << "," << std::get<2>(key) << " r " << rec.r << " "
                << rec.start << "+" << rec.sweep;
        }
        EXPECT_GT(gathered, 0);
        EXPECT_EQ(seen.size(), recs.size());  // nothing else in the data or the block
        for (int32_t row = 0; row < separator; ++row) EXPECT_NE(row_code_u(ctx, row), 0) << "unpacked row " << row;
        if (std::string(k.what).find("packing") != std::string::npos) {
            EXPECT_GT(end, capacity - 100 - end);  // the walk had to pack to make room
        }
    }
}

TEST(Gathering, EdgeCases) {
    test::Drawing d;
    drawing_context* ctx = d.peek();
    xlum_line_set(ctx, 0, -50, 50, 150, 50);                    // crossing, both ends outside
    xlum_line_set(ctx, 0, 100, 10, 20, 20);                     // one end on the edge x = 100
    xlum_moji_set(ctx, 0, "far", 90, 90, 0, 40, 60, 10, 0, 0);  // origin inside, characters not
    xlum_en_set(ctx, 0, 50, 50, 30, 350, 10);                   // ends at x = 79.54, the point at 0 degrees at x = 80
    xlum_line_set(ctx, 0, 50, 50, 500, 500);                    // one end inside
    int32_t sep = xlum_gatrn(ctx, 0, 0, 0, 79.8, 100);
    EXPECT_EQ(row_code(ctx, sep + 1), -1);  // an empty block
    sep = xlum_gatrn(ctx, 0, 0, 0, 100, 100);
    EXPECT_EQ(test::head_rows(ctx, sep + 1).size(), 2u);
    EXPECT_EQ(test::head_rows(ctx, 0).size(), 3u);  // the crossing line, the text and the long line stay
    sep = xlum_gptrn(ctx, 0, 0, 0, 100, 100);
    std::vector<int32_t> partly;
    for (int32_t row : test::head_rows(ctx, sep + 1)) partly.push_back(row_type(ctx, row));
    EXPECT_EQ(partly, (std::vector<int32_t>{kTypeText, kTypeLine}));  // the line by one end
}

// Vertical lines cross the segment (0, 0)-(1000, 0) at x = 100, 450, 600, 600 again and 800. Seen from (500, 0)
// the nearest on the side of the segment's first end is at 450, on the other at 600, of two equally near the
// first found; a crossing at the point itself lies on the second side; nothing crossed leaves both sides at -1, and
// the line at 100 lies beyond a segment from (200, 0).
TEST(Gathering, NearestCrossingLinesOnEachSideOfAPoint) {
    test::Drawing d;
    drawing_context* ctx = d.peek();
    const double xs[] = {100, 450, 600, 600, 800};
    int32_t rows[6] = {}, first = 0, second = 0;
    for (int i = 0; i < 5; ++i) rows[i] = xlum_line_set(ctx, 0, xs[i], -10 - i, xs[i], 10 + i);
    const struct {
        double x1, y1, x2, y2;
        int lines, first, second;  // the lines there (the sixth at 500); -1: nothing found
    } cases[] = {{0, 0, 1000, 0, 5, 1, 2}, {1000, 0, 0, 0, 5, 2, 1},       {0, 0, 1000, 0, 6, 1, 5},
                 {1000, 0, 0, 0, 6, 2, 5}, {0, 500, 1000, 500, 6, -1, -1}, {200, 0, 1000, 0, 6, 1, 5}};
    for (const auto& c : cases) {
        if (c.lines == 6 && rows[5] == 0) rows[5] = xlum_line_set(ctx, 0, 500, -10, 500, 10);
        EXPECT_EQ(xlum_gsncl(ctx, 0, c.x1, c.y1, c.x2, c.y2, 500, 0, &first, &second, 0, 0), 0);
        EXPECT_EQ(first, c.first < 0 ? -1 : rows[c.first]) << c.x1 << " " << c.lines;
        EXPECT_EQ(second, c.second < 0 ? -1 : rows[c.second]) << c.x1 << " " << c.lines;
    }
}

}  // namespace
}  // namespace kz::drawing2d
