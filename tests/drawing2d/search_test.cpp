// Searches on a generated drawing of 100k records against brute force over the records as they were generated:
// Boost.Geometry distances for lines, analytic arcs, plain boxes for unrotated texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "drawing2d/active_attributes.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/search_filter.h"
#include "drawing_test_support.h"

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Segment = bg::model::segment<Point>;
using Box = bg::model::box<Point>;

namespace kz::drawing2d {
namespace {

struct Record {
    int32_t row;
    int type, layer, group, colour, style;
    double x1, y1, x2, y2;  // line ends; arc centre in x1, y1
    double r, start, end;   // arc
    std::string text;       // text at (x1, y1), width 40, height 60, pitch 10
};

constexpr double kTextWidth = 40, kTextHeight = 60, kTextPitch = 10;

class BigDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        drawing_ = new test::Drawing;
        records_ = new std::vector<Record>;
        drawing_context* ctx = drawing_->peek();
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> u(0, 100000), du(-400, 400);
        const char* words[] = {"ROOM", "room-2", "Door", "WINDOW", "wall", "Rm"};
        for (int i = 0; i < 100000; ++i) {
            Record rec{};
            rec.layer = 1 + rng() % 20;
            rec.group = 1 + rng() % 500;
            rec.colour = 1 + rng() % 15;
            rec.style = 1 + rng() % 8;
            xlum_set_active(ctx, rec.layer, rec.group, rec.colour, rec.style);
            int kind = rng() % 20;
            rec.x1 = std::round(u(rng));
            rec.y1 = std::round(u(rng));
            if (kind < 12) {
                rec.type = 2;
                rec.x2 = rec.x1 + std::round(du(rng));
                rec.y2 = rec.y1 + std::round(du(rng));
                if (kind == 0) rec.x2 = rec.x1;
                if (kind == 1) rec.y2 = rec.y1;
                rec.row = xlum_line_set(ctx, 0, rec.x1, rec.y1, rec.x2, rec.y2);
            } else if (kind < 17) {
                rec.type = 3;
                rec.r = 1 + rng() % 300;
                rec.start = kind == 12 ? 0 : rng() % 360;
                rec.end = kind == 12 ? 360 : rng() % 360;
                if (rec.start == rec.end) rec.end = rec.start + 1;
                rec.row = xlum_en_set(ctx, 0, rec.x1, rec.y1, rec.r, rec.start, rec.end);
            } else {
                rec.type = 5;
                rec.text = words[rng() % 6];
                rec.row = xlum_moji_set(ctx, 0, rec.text.c_str(), rec.x1, rec.y1, 0, kTextWidth, kTextHeight,
                                        kTextPitch, 0, 0);
            }
            records_->push_back(rec);
        }
    }
    static void TearDownTestSuite() {
        delete records_;
        delete drawing_;
    }
    static drawing_context* ctx() { return drawing_->peek(); }

    static test::Drawing* drawing_;
    static std::vector<Record>* records_;
};
test::Drawing* BigDrawing::drawing_ = nullptr;
std::vector<Record>* BigDrawing::records_ = nullptr;

double text_length(const std::string& t) {
    double n = static_cast<double>(t.size());
    return n * kTextWidth + (n - 1) * kTextPitch;
}

// Whether the angle a (degrees) lies on the arc from start counter-clockwise to end (end exclusive).
bool on_arc(double a, double start, double end) {
    double sweep = std::fmod(end - start + 720, 360);
    if (sweep == 0) sweep = 360;
    double rel = std::fmod(a - start + 720, 360);
    return rel < sweep;
}

// Pick distance by independent means; -1 when the record is not within r (or lies within rounding of the rim).
double oracle_pick(const Record& rec, double px, double py, double r, bool* borderline) {
    *borderline = false;
    if (rec.type == 2) {
        double dx = rec.x2 - rec.x1, dy = rec.y2 - rec.y1, len2 = dx * dx + dy * dy;
        if (len2 == 0) return -1;  // a single point: a horizontal segment of no extent
        double t = ((px - rec.x1) * dx + (py - rec.y1) * dy) / len2;
        double d = bg::distance(Point(px, py), Segment{{rec.x1, rec.y1}, {rec.x2, rec.y2}});
        if (std::fabs(t) < 1e-9 || std::fabs(t - 1) < 1e-9 || std::fabs(d - r) < 1e-6) *borderline = true;
        return t >= 0 && t <= 1 && d <= r ? d : -1;
    }
    if (rec.type == 3) {
        double a = std::atan2(rec.y1 - py, px - rec.x1) * 180 / M_PI;
        double d = std::fabs(std::hypot(px - rec.x1, py - rec.y1) - rec.r);
        double rel_end = std::fmod(a - rec.end + 720, 360), rel_start = std::fmod(a - rec.start + 720, 360);
        if (std::fabs(d - r) < 1e-6 || rel_end < 1e-9 || rel_end > 360 - 1e-9 || rel_start < 1e-9 ||
            rel_start > 360 - 1e-9)
            *borderline = true;
        return on_arc(a, rec.start, rec.end) && d <= r ? d : -1;
    }
    Box box{{rec.x1, rec.y1 - kTextHeight}, {rec.x1 + text_length(rec.text), rec.y1}};
    return bg::covered_by(Point(px, py), box) ? 0 : -1;
}

TEST_F(BigDrawing, RadiusPicksAgreeWithBruteForce) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> u(0, 100000);
    std::vector<int32_t> kinds(200000), rows(200000);
    std::vector<double> dists(200000);
    size_t total = 0;
    for (int q = 0; q < 20; ++q) {
        double px = u(rng), py = u(rng), r = 1500;
        int n = xlum_gsearch(ctx(), 0, px, py, r, 200000, kinds.data(), rows.data(), dists.data());
        ASSERT_GE(n, 0);
        std::vector<std::pair<int32_t, double>> got, want;
        for (int i = 0; i < n; ++i) got.emplace_back(rows[i], dists[i]);
        EXPECT_TRUE(std::is_sorted(dists.begin(), dists.begin() + n));
        std::vector<int32_t> borderline;
        for (const Record& rec : *records_) {
            bool edge;
            double d = oracle_pick(rec, px, py, r, &edge);
            if (edge)
                borderline.push_back(rec.row);
            else if (d >= 0)
                want.emplace_back(rec.row, d);
        }
        auto drop_edges = [&](std::vector<std::pair<int32_t, double>>& v) {
            v.erase(std::remove_if(v.begin(), v.end(),
                                   [&](auto& e) {
                                       return std::find(borderline.begin(), borderline.end(), e.first) !=
                                              borderline.end();
                                   }),
                    v.end());
            std::sort(v.begin(), v.end());
        };
        drop_edges(got);
        drop_edges(want);
        ASSERT_EQ(got.size(), want.size()) << q;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].first, want[i].first);
            EXPECT_NEAR(got[i].second, want[i].second, 1e-6);
        }
        total += want.size();
    }
    EXPECT_GT(total, 200u);
}

// Snap points of a record as generated: line ends, arc centre and the 90-degree points on the arc, text origin.
void snap_points(const Record& rec, std::vector<Point>* out) {
    if (rec.type == 2) {
        out->emplace_back(rec.x1, rec.y1);
        out->emplace_back(rec.x2, rec.y2);
    } else if (rec.type == 3) {
        out->emplace_back(rec.x1, rec.y1);
        bool full = rec.start == 0 && rec.end == 360;
        std::vector<double> angles;
        if (!full) angles = {rec.start, rec.end};
        for (double a = 0; a <= 360; a += 90)
            if (full || on_arc(a, rec.start, rec.end) ||
                std::fmod(a - rec.start + 720, 360) == std::fmod(rec.end - rec.start + 720, 360))
                angles.push_back(a);
        for (double a : angles)
            out->emplace_back(rec.x1 + rec.r * std::cos(a * M_PI / 180), rec.y1 - rec.r * std::sin(a * M_PI / 180));
    } else {
        out->emplace_back(rec.x1, rec.y1);
    }
}

TEST_F(BigDrawing, NearestPointAgreesWithBruteForce) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(0, 100000);
    for (int q = 0; q < 30; ++q) {
        double px = u(rng), py = u(rng);
        int32_t kind, row;
        double dist, x, y;
        ASSERT_EQ(xlum_search_point(ctx(), 0, px, py, 0, 1, &kind, &row, &dist, &x, &y), 1);
        double best = 1e300;
        std::vector<Point> pts;
        for (const Record& rec : *records_) {
            pts.clear();
            snap_points(rec, &pts);
            for (const Point& p : pts) best = std::min(best, bg::distance(Point(px, py), p));
        }
        EXPECT_NEAR(dist, best, 1e-6) << q;
        EXPECT_NEAR(std::hypot(x - px, y - py), dist, 1e-9);
    }
}

TEST_F(BigDrawing, ExtentsAgreeWithDensifiedRecords) {
    double xmin, ymin, xmax, ymax;
    ASSERT_EQ(xlum_gmxmn(ctx(), 0, &xmin, &ymin, &xmax, &ymax), 1);
    Box want{{1e300, 1e300}, {-1e300, -1e300}};
    double worst_r = 0;
    for (const Record& rec : *records_) {
        if (rec.type == 2) {
            bg::expand(want, Point(rec.x1, rec.y1));
            bg::expand(want, Point(rec.x2, rec.y2));
        } else if (rec.type == 3) {
            // 720 points along the arc: the box is short of the true one by at most r (1 - cos 0.25 degrees).
            double sweep = std::fmod(rec.end - rec.start + 720, 360);
            if (sweep == 0) sweep = 360;
            for (int k = 0; k <= 720; ++k) {
                double a = (rec.start + sweep * k / 720) * M_PI / 180;
                bg::expand(want, Point(rec.x1 + rec.r * std::cos(a), rec.y1 - rec.r * std::sin(a)));
            }
            worst_r = std::max(worst_r, rec.r);
        } else {
            bg::expand(want, Point(rec.x1, rec.y1 - kTextHeight));
            bg::expand(want, Point(rec.x1 + text_length(rec.text), rec.y1));
        }
    }
    double slack = worst_r * (1 - std::cos(0.25 * M_PI / 180)) + 1e-9;
    EXPECT_NEAR(xmin, want.min_corner().x(), slack);
    EXPECT_NEAR(ymin, want.min_corner().y(), slack);
    EXPECT_NEAR(xmax, want.max_corner().x(), slack);
    EXPECT_NEAR(ymax, want.max_corner().y(), slack);
    EXPECT_LE(xmin, want.min_corner().x() + 1e-9);  // never inside the densified box
    EXPECT_GE(xmax, want.max_corner().x() - 1e-9);
}

TEST_F(BigDrawing, AttributeAndKeywordSearchesAgreeWithBruteForce) {
    struct Query {
        int type, layer, group, colour, style;
    } queries[] = {{-1, 3, -1, -1, -1}, {56, -1, -1, 7, -1}, {3, 5, -1, -1, 2}, {2, -1, 17, -1, -1}, {5, 1, 1, 1, 1}};
    for (const auto& q : queries) {
        int32_t from = 0;
        size_t expected_index = 0;
        for (int found = 0; found < 50; ++found) {
            int32_t row = xlum_search_data(ctx(), from, q.type, q.layer, q.group, q.colour, q.style);
            while (expected_index < records_->size()) {
                const Record& rec = (*records_)[expected_index];
                bool type_ok = q.type == -1 || (q.type == 56 ? rec.type == 5 || rec.type == 6 : rec.type == q.type);
                if (type_ok && (q.layer == -1 || rec.layer == q.layer) && (q.group == -1 || rec.group == q.group) &&
                    (q.colour == -1 || rec.colour == q.colour) && (q.style == -1 || rec.style == q.style))
                    break;
                ++expected_index;
            }
            int32_t want = expected_index < records_->size() ? (*records_)[expected_index].row : -1;
            ASSERT_EQ(row, want);
            if (row < 0) break;
            from = row + 1;
            ++expected_index;
        }
    }
    for (const char* key : {"ro", "ROOM", "wIN", "Rm", "x", ""}) {
        int32_t row = xlum_search_keyword(ctx(), 0, key);
        int32_t want = -1;
        for (const Record& rec : *records_)
            if (rec.type == 5 && strncasecmp(rec.text.c_str(), key, std::strlen(key)) == 0) {
                want = rec.row;
                break;
            }
        EXPECT_EQ(row, want) << key;
    }
}

// Crossing of the infinite carriers of two records nearest to p, by independent formulas; false when none.
bool oracle_crossing(const Record& a, const Record& b, double px, double py, double* x, double* y) {
    auto circle_line = [&](const Record& c, const Record& l, double* ox, double* oy) {
        long double dx = l.x2 - l.x1, dy = l.y2 - l.y1, fx = l.x1 - c.x1, fy = l.y1 - c.y1;
        long double A = dx * dx + dy * dy, B = 2 * (fx * dx + fy * dy), C = fx * fx + fy * fy - (long double)c.r * c.r;
        long double disc = B * B - 4 * A * C;
        if (A == 0 || disc < 0) return false;
        long double best = 1e300;
        for (int s : {-1, 1}) {
            long double t = (-B + s * std::sqrt(disc)) / (2 * A);
            long double qx = l.x1 + t * dx, qy = l.y1 + t * dy, d = std::hypot(qx - px, qy - py);
            if (d < best) best = d, *ox = (double)qx, *oy = (double)qy;
        }
        return true;
    };
    if (a.type == 2 && b.type == 2) {
        long double det = (long double)(a.y2 - a.y1) * (b.x1 - b.x2) - (long double)(b.y2 - b.y1) * (a.x1 - a.x2);
        if (std::fabs((double)det) < 1e-9) return false;
        long double c1 = (long double)(a.y2 - a.y1) * a.x1 + (long double)(a.x1 - a.x2) * a.y1;
        long double c2 = (long double)(b.y2 - b.y1) * b.x1 + (long double)(b.x1 - b.x2) * b.y1;
        *x = (double)((c1 * (b.x1 - b.x2) - c2 * (a.x1 - a.x2)) / det);
        *y = (double)(((long double)(a.y2 - a.y1) * c2 - (long double)(b.y2 - b.y1) * c1) / det);
        return true;
    }
    if (a.type == 3 && b.type == 2) return circle_line(a, b, x, y);
    if (a.type == 2 && b.type == 3) return circle_line(b, a, x, y);
    double d = std::hypot(b.x1 - a.x1, b.y1 - a.y1);
    if (d == 0 || d > a.r + b.r || d < std::fabs(a.r - b.r)) return false;
    double t = (d * d + a.r * a.r - b.r * b.r) / (2 * d), h = std::sqrt(std::max(0.0, a.r * a.r - t * t));
    double fx = a.x1 + t * (b.x1 - a.x1) / d, fy = a.y1 + t * (b.y1 - a.y1) / d, best = 1e300;
    for (int s : {-1, 1}) {
        double qx = fx + s * h * (b.y1 - a.y1) / d, qy = fy - s * h * (b.x1 - a.x1) / d;
        if (std::hypot(qx - px, qy - py) < best) best = std::hypot(qx - px, qy - py), *x = qx, *y = qy;
    }
    return true;
}

TEST_F(BigDrawing, CrossingPicksAgreeWithBruteForce) {
    std::mt19937 rng(10);
    std::uniform_real_distribution<double> u(0, 100000);
    int found = 0;
    for (int q = 0; q < 60; ++q) {
        double px = u(rng), py = u(rng), r = 600;
        std::vector<std::pair<double, const Record*>> near;
        bool edge = false;
        for (const Record& rec : *records_) {
            if (rec.type == 5) continue;
            bool e;
            double d = oracle_pick(rec, px, py, r, &e);
            edge |= e;
            if (d >= 0) near.emplace_back(d, &rec);
        }
        if (edge) continue;
        std::stable_sort(near.begin(), near.end(), [](auto& a, auto& b) { return a.first < b.first; });
        if (near.size() > 16) near.resize(16);
        double x, y, dist;
        int32_t ra, rb;
        int got = xlum_search_cross(ctx(), 0, px, py, r, &x, &y, &dist, &ra, &rb);
        int32_t want_b = -1;
        for (size_t i = 1; i < near.size() && want_b < 0; ++i) {
            double cx = 0, cy = 0;
            if (oracle_crossing(*near[0].second, *near[i].second, px, py, &cx, &cy) &&
                std::hypot(cx - px, cy - py) <= r) {
                want_b = near[i].second->row;
                EXPECT_NEAR(x, cx, 1e-6 * std::max(1.0, std::fabs(cx)));
                EXPECT_NEAR(y, cy, 1e-6 * std::max(1.0, std::fabs(cy)));
            }
        }
        EXPECT_EQ(ra, near.size() >= 2 ? near[0].second->row : -1) << q;
        EXPECT_EQ(rb, want_b) << q;
        EXPECT_EQ(got, want_b >= 0 ? 1 : 0) << q;
        found += got;
    }
    EXPECT_GT(found, 10);
}

TEST_F(BigDrawing, FilterNarrowsAPickOnceThenResets) {
    const Record* line = nullptr;
    for (const Record& rec : *records_)
        if (rec.type == 2 && rec.x1 != rec.x2) {
            line = &rec;
            break;
        }
    ASSERT_NE(line, nullptr);
    double mx = (line->x1 + line->x2) / 2, my = (line->y1 + line->y2) / 2;
    int32_t kinds[64], rows[64];
    double dists[64];
    ctx()->by_layer = line->layer;
    ctx()->by_command = 4;  // arcs only
    int n = xlum_gsearch(ctx(), 0, mx, my, 1, 64, kinds, rows, dists);
    for (int i = 0; i < n; ++i) EXPECT_EQ(kinds[i], 3);
    EXPECT_EQ(ctx()->by_command, -1);
    n = xlum_gsearch(ctx(), 0, mx, my, 1, 64, kinds, rows, dists);
    EXPECT_TRUE(std::find(rows, rows + n, line->row) != rows + n);
    ctx()->disp_layer[line->layer] = 0;  // a hidden layer is not picked
    n = xlum_gsearch(ctx(), 0, mx, my, 1, 64, kinds, rows, dists);
    EXPECT_TRUE(std::find(rows, rows + n, line->row) == rows + n);
    ctx()->by_ura_layer = 1;
    n = xlum_gsearch(ctx(), 0, mx, my, 1, 64, kinds, rows, dists);
    EXPECT_TRUE(std::find(rows, rows + n, line->row) != rows + n);
    ctx()->disp_layer[line->layer] = 1;
}

}  // namespace
}  // namespace kz::drawing2d
