// Face-only measures of built shapes for the builder tests.
#include "shape_oracles.h"

#include <cmath>
#include <map>
#include <tuple>
#include <utility>

#include "app/scene/xleaf.h"

namespace kz::scene::test {

std::vector<Point> face_points(const XLeaf& face) {
    std::vector<Point> points(face.point_count());
    for (int i = 0; i < face.point_count(); ++i) face.ShapePoint(i, points[i].data());
    return points;
}

double signed_volume(const XLeaves& shape) {
    double v = 0.0;
    for (const XLeaf* f : shape.faces()) {
        const std::vector<Point> p = face_points(*f);
        for (std::size_t i = 1; i + 1 < p.size(); ++i) {
            const Point& a = p[0];
            const Point& b = p[i];
            const Point& c = p[i + 1];
            v += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                 a[2] * (b[0] * c[1] - b[1] * c[0]);
        }
    }
    return v / 6.0;
}

namespace {
Point newell(const std::vector<Point>& p) {
    Point n{0, 0, 0};
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point& u = p[i];
        const Point& w = p[(i + 1) % p.size()];
        n[0] += (u[1] - w[1]) * (u[2] + w[2]);
        n[1] += (u[2] - w[2]) * (u[0] + w[0]);
        n[2] += (u[0] - w[0]) * (u[1] + w[1]);
    }
    return n;
}
}  // namespace

double surface_area(const XLeaves& shape) {
    double area = 0.0;
    for (const XLeaf* f : shape.faces()) {
        const Point n = newell(face_points(*f));
        area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2.0;
    }
    return area;
}

Point face_normal(const XLeaf& face) {
    Point n = newell(face_points(face));
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& c : n) c = length > 0 ? c / length : 0.0;
    return n;
}

bool is_closed(const XLeaves& shape) {
    using Key = std::tuple<long long, long long, long long>;
    auto key = [](const Point& p) {
        return Key{std::llround(p[0] * 1e6), std::llround(p[1] * 1e6), std::llround(p[2] * 1e6)};
    };
    std::map<std::pair<Key, Key>, int> edges;
    for (const XLeaf* f : shape.faces()) {
        const std::vector<Point> p = face_points(*f);
        for (std::size_t i = 0; i < p.size(); ++i) {
            const Key a = key(p[i]), b = key(p[(i + 1) % p.size()]);
            if (a != b) ++edges[{a, b}];
        }
    }
    for (const auto& [edge, count] : edges) {
        const auto back = edges.find({edge.second, edge.first});
        if (count != 1 || back == edges.end() || back->second != 1) return false;
    }
    return !edges.empty();
}

bool corner_normals_agree(const XLeaves& shape) {
    for (const XLeaf* f : shape.faces())
        for (int i = 0; i < f->point_count(); ++i)
            if (!(f->local_normal(i)[2] > 0.0)) return false;
    return true;
}

}  // namespace kz::scene::test
