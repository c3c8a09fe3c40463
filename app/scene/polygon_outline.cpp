// Outline cleaning and measuring for the poly, d3poly and hpoly builders.
#include "app/scene/polygon_outline.h"

#include <algorithm>
#include <cmath>

#include "app/foundation/vector_geometry.h"

namespace kz::scene {

namespace {
constexpr double kSamePoint = 1e-6;

bool near(const double* a, const double* b) {
    return std::fabs(a[0] - b[0]) <= kSamePoint && std::fabs(a[1] - b[1]) <= kSamePoint &&
           std::fabs(a[2] - b[2]) <= kSamePoint;
}

void erase_point(Outline& o, int i) {
    o.points.erase(o.points.begin() + 3 * i, o.points.begin() + 3 * i + 3);
    if (!o.directions.empty()) o.directions.erase(o.directions.begin() + 3 * i, o.directions.begin() + 3 * i + 3);
    if (!o.texcoords.empty()) o.texcoords.erase(o.texcoords.begin() + 2 * i, o.texcoords.begin() + 2 * i + 2);
}
}  // namespace

Outline outline_from_numbers(const std::vector<double>& numbers, int per_point) {
    Outline o;
    const std::size_t n = numbers.size() / per_point;
    o.points.reserve(3 * n);
    for (std::size_t i = 0; i < n; ++i)
        o.points.insert(o.points.end(), {numbers[per_point * i], numbers[per_point * i + 1],
                                         per_point == 3 ? numbers[per_point * i + 2] : 0.0});
    return o;
}

void attach_point_data(Outline& o, const std::vector<double>& directions, const std::vector<double>& texcoords) {
    const std::size_t n = o.points.size() / 3;
    if (directions.size() >= 3 * n) o.directions.assign(directions.begin(), directions.begin() + 3 * n);
    if (texcoords.size() >= 2 * n) o.texcoords.assign(texcoords.begin(), texcoords.begin() + 2 * n);
}

void drop_closing_point(Outline& o) {
    const int n = o.size();
    if (n >= 2 && std::equal(o.at(0), o.at(0) + 3, o.at(n - 1))) erase_point(o, n - 1);
}

void drop_repeated_points(Outline& o) {
    Outline kept;
    for (int i = 0; i < o.size(); ++i) {
        if (kept.size() > 0 && near(o.at(i), kept.at(kept.size() - 1))) continue;
        kept.points.insert(kept.points.end(), o.at(i), o.at(i) + 3);
        if (!o.directions.empty())
            kept.directions.insert(kept.directions.end(), &o.directions[3 * i], &o.directions[3 * i] + 3);
        if (!o.texcoords.empty())
            kept.texcoords.insert(kept.texcoords.end(), &o.texcoords[2 * i], &o.texcoords[2 * i] + 2);
    }
    if (kept.size() >= 2 && near(kept.at(kept.size() - 1), kept.at(0))) erase_point(kept, kept.size() - 1);
    o = std::move(kept);
}

void reverse_outline(Outline& o) {
    const int n = o.size();
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        std::swap_ranges(&o.points[3 * i], &o.points[3 * i] + 3, &o.points[3 * j]);
        if (!o.directions.empty())
            std::swap_ranges(&o.directions[3 * i], &o.directions[3 * i] + 3, &o.directions[3 * j]);
        if (!o.texcoords.empty()) std::swap_ranges(&o.texcoords[2 * i], &o.texcoords[2 * i] + 2, &o.texcoords[2 * j]);
    }
}

double twice_signed_area(const Outline& o) {
    const int n = o.size();
    double sum = 0.0;
    // About the first point, so that far-off outlines keep their digits.
    const double x0 = n ? o.at(0)[0] : 0.0, y0 = n ? o.at(0)[1] : 0.0;
    for (int i = 0; i < n; ++i) {
        const double* a = o.at(i);
        const double* b = o.at((i + 1) % n);
        sum += (a[0] - x0) * (b[1] - y0) - (b[0] - x0) * (a[1] - y0);
    }
    return sum;
}

bool is_buildable(const Outline& o) {
    if (o.size() < 3) return false;
    double extent = 0.0;
    for (double v : o.points) {
        if (!std::isfinite(v)) return false;
    }
    for (int i = 1; i < o.size(); ++i)
        extent = std::max({extent, std::fabs(o.at(i)[0] - o.at(0)[0]), std::fabs(o.at(i)[1] - o.at(0)[1])});
    const double area = std::fabs(twice_signed_area(o));
    return std::isfinite(area) && area > 1e-9 * extent * extent;
}

bool is_buildable_3d(const Outline& o) {
    if (o.size() < 3) return false;
    for (double v : o.points)
        if (!std::isfinite(v)) return false;
    double normal[3];
    // Newell's sum is twice the area of the outline in its best plane.
    const double twice_area = kz::foundation::polygon_normal(o.points.data(), o.size(), normal, nullptr);
    double extent = 0.0;
    for (int i = 1; i < o.size(); ++i)
        for (int c = 0; c < 3; ++c) extent = std::max(extent, std::fabs(o.at(i)[c] - o.at(0)[c]));
    return std::isfinite(twice_area) && twice_area > 1e-9 * extent * extent;
}

std::vector<double> edge_normals(const Outline& o, bool closed) {
    const int n = o.size(), edges = closed ? n : n - 1;
    std::vector<double> normals(3 * std::max(edges, 0), 0.0);
    for (int k = 0; k < edges; ++k) {
        const double* a = o.at(k);
        const double* b = o.at((k + 1) % n);
        kz::foundation::normalize_xyz(b[1] - a[1], -(b[0] - a[0]), 0.0, &normals[3 * k]);
    }
    return normals;
}

std::vector<double> point_normals(const std::vector<double>& edges, int points, bool closed) {
    const int count = static_cast<int>(edges.size() / 3);
    std::vector<double> normals(3 * points, 0.0);
    if (count == 0) return normals;
    for (int i = 0; i < points; ++i) {
        int before = i - 1, after = i;
        if (closed) {
            before = (before + count) % count;
            after %= count;
        } else {
            before = std::max(before, 0);
            after = std::min(after, count - 1);
        }
        kz::foundation::normalize_xyz(edges[3 * before] + edges[3 * after],
                                      edges[3 * before + 1] + edges[3 * after + 1], 0.0, &normals[3 * i]);
    }
    return normals;
}

}  // namespace kz::scene
