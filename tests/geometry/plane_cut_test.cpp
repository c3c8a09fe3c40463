// The plane cut against independent oracles: halves' volumes, the cap's area, place and facing.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/math_primitive.h"
#include "geometry/segment_paths.h"
#include "geometry/shared_math.h"
#include "geometry/vector_math.h"
#include "mesh_oracles.h"
#include "support/all_near.h"

namespace {

using kz::test::Triangle;

// Faces of the box [0,2] x [0,3] x [0,4] (scaled by size, moved by at), corners counter-clockwise outside.
const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};

OfuVector3 box_corner(int i, const OfuVector3& at) {
    return {at.x + 2.0 * (i & 1), at.y + 3.0 * ((i >> 1) & 1), at.z + 4.0 * ((i >> 2) & 1)};
}

_O3duVertex vertex(const OfuVector3& p) {
    _O3duVertex v;
    v.position = p;
    v.tex = OfuVector2(p.x, p.y);
    return v;
}

void add_box(CO3duPrimitive& primitive, int encoding, const OfuVector3& at) {
    if (encoding == O3DU_SET_INDEXED_TRIANGLES) {
        CO3duTrianglePolys set;
        set.type = encoding;
        for (int i = 0; i < 8; ++i) set.vertices.Add(vertex(box_corner(i, at)));
        for (const auto& f : kFaces) {
            set.indices.Add({f[0], f[1], f[2]});
            set.indices.Add({f[0], f[2], f[3]});
        }
        primitive.sets.Add(set);
        return;
    }
    for (const auto& f : kFaces) {
        CO3duTrianglePolys set;
        set.type = encoding;
        const int order[3][6] = {{0, 1, 2, 0, 2, 3}, {0, 1, 3, 2, -1, -1}, {0, 1, 2, 3, -1, -1}};
        const int* pick = order[encoding - O3DU_SET_TRIANGLE_LIST];
        for (int k = 0; k < 6 && pick[k] >= 0; ++k) set.vertices.Add(vertex(box_corner(f[pick[k]], at)));
        primitive.sets.Add(set);
    }
}

CO3duPrimitive shape(int kind) {
    CO3duPrimitive primitive;
    primitive.model_matrix = identity_matrix();
    if (kind < 4) {
        add_box(primitive, O3DU_SET_TRIANGLE_LIST + kind, OfuVector3(0, 0, 0));
    } else {
        // Large enough that a tiny placement still leaves the cap's ears above the triangulator's absolute floor.
        OfuMatrix4x4 move = identity_matrix();
        move[3][0] = 100.0, move[3][1] = 150.0, move[3][2] = 200.0;
        primitive.sets.Add(CO3duTrianglePolys());
        CO3duMathPrimitive::MakeKeiisenKyu(primitive.sets[0], 24, 48, 150.0, 0.0, &move);
    }
    return primitive;
}

OfuMatrix4x4 placement(int which) {
    OfuMatrix4x4 m = identity_matrix();
    if (which == 0) return m;
    OfuMatrix4x4 turn;
    MakeRotateZMatrix(m, 0.5);
    MakeRotateXMatrix(turn, 0.3);
    MultiplyMatrix4x4(m, turn);
    // A scale of 0.02 gives a determinant below the inverse's floor.
    const double scale = which == 2 ? 0.02 : 1.0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] *= scale;
    m[3][0] = 5.0, m[3][1] = -3.0, m[3][2] = 2.0;
    return m;
}

std::vector<Triangle> in_world(std::vector<Triangle> triangles, const OfuMatrix4x4& m) {
    for (Triangle& t : triangles)
        for (OfuVector3& p : t) TransformPointByMatrix4x4(m, p);
    return triangles;
}

double volume_about(const std::vector<Triangle>& triangles, const OfuVector3& origin) {
    double v = 0.0;
    for (const Triangle& t : triangles) v += dot(t[0] - origin, cross(t[1] - origin, t[2] - origin)) / 6.0;
    return v;
}

// Area of the closed surface's section by the plane (n, p0), from the triangles alone: each crossing triangle
// gives a segment oriented along n x (its outward normal), and Green's theorem sums them.
double section_area(const std::vector<Triangle>& triangles, const OfuVector3& n, const OfuVector3& p0,
                    double& perimeter) {
    double twice = 0.0;
    perimeter = 0.0;
    for (const Triangle& t : triangles) {
        double z[3];
        for (int k = 0; k < 3; ++k) z[k] = dot(t[k] - p0, n);
        std::vector<OfuVector3> hits;
        for (int k = 0; k < 3; ++k) {
            const int j = (k + 1) % 3;
            if ((z[k] < 0) != (z[j] < 0)) {
                const double s = z[k] / (z[k] - z[j]);
                hits.push_back(t[k] + OfuVector3(s * (t[j].x - t[k].x), s * (t[j].y - t[k].y), s * (t[j].z - t[k].z)));
            }
        }
        if (hits.size() != 2) continue;
        const OfuVector3 along = cross(n, cross(t[1] - t[0], t[2] - t[0]));
        if (dot(hits[1] - hits[0], along) < 0) std::swap(hits[0], hits[1]);
        twice += dot(cross(hits[0], hits[1]), n);
        perimeter += length(hits[1] - hits[0]);
    }
    return std::fabs(0.5 * twice);
}

// Three points whose plane has the unit normal n and passes through p0.
std::array<OfuVector3, 3> plane_points(const OfuVector3& n, const OfuVector3& p0) {
    OfuVector3 u = std::fabs(n.z) < 0.9 ? cross(n, OfuVector3(0, 0, 1)) : cross(n, OfuVector3(1, 0, 0));
    NormalizeVector3(u);
    const OfuVector3 v = cross(n, u);
    return {p0, p0 + u, p0 + u + v};
}

struct CutCase {
    int shape;  // 0..3 box as list, strip, fan, indexed; 4 sphere
    int placement;
    OfuVector3 normal;
};

class PlaneCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(PlaneCut, HalvesAddUpAndTheCapFitsTheSection) {
    const CutCase c = GetParam();
    CO3duPrimitive whole = shape(c.shape);
    whole.model_matrix = placement(c.placement);
    const std::vector<Triangle> surface = in_world(kz::test::drawn_triangles(whole.sets), whole.model_matrix);
    OfuVector3 lo = surface[0][0], hi = lo, centre(0, 0, 0);
    for (const Triangle& t : surface)
        for (const OfuVector3& p : t) {
            lo = OfuVector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = OfuVector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
    centre = OfuVector3((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    const double extent = length(hi - lo);
    OfuVector3 n = c.normal;
    NormalizeVector3(n);
    const OfuVector3 p0 = centre + OfuVector3(0.1 * extent * n.x, 0.1 * extent * n.y, 0.1 * extent * n.z);
    double perimeter;
    const double section = section_area(surface, n, p0, perimeter);
    ASSERT_GT(section, 0.0);
    const double whole_volume = volume_about(surface, OfuVector3(0, 0, 0));
    ASSERT_GT(whole_volume, 0.0);

    double halves = 0.0;
    for (double side : {1.0, -1.0}) {
        const OfuVector3 facing(side * n.x, side * n.y, side * n.z);
        const auto points = plane_points(facing, p0);
        CO3duPrimitive cut = whole;
        const _OfuMaterial grey = CO3duMathPrimitive::MakeMaterialFromColor({0.5f, 0.5f, 0.5f, 1.0f}, 1, 1, 0, 10);
        CO3duMathPrimitive::CutPrimitiveToPlane(cut, points.data(), grey, 0, 0.0, 0.0);
        ASSERT_EQ(cut.sets.GetSize(), whole.sets.GetSize() + 1) << "no cap";
        const CO3duTrianglePolys& cap_set = cut.sets[cut.sets.GetSize() - 1];
        EXPECT_EQ(cap_set.material.diffuse.r, 0.5f);

        std::vector<Triangle> kept;
        for (int s = 0; s + 1 < cut.sets.GetSize(); ++s) {
            EXPECT_EQ(cut.sets[s].type, O3DU_SET_TRIANGLE_LIST);
            const auto t = in_world(kz::test::drawn_triangles(cut.sets[s]), cut.model_matrix);
            kept.insert(kept.end(), t.begin(), t.end());
        }
        for (const Triangle& t : kept)
            for (const OfuVector3& p : t) ASSERT_GE(dot(p - p0, facing), -1e-5 - 1e-12 * extent);
        const std::vector<Triangle> cap = in_world(kz::test::drawn_triangles(cap_set), cut.model_matrix);
        double cap_area = 0.0;
        for (const Triangle& t : cap) {
            for (const OfuVector3& p : t) ASSERT_NEAR(dot(p - p0, n), 0.0, 1e-9 * extent);
            const double a = kz::test::signed_area(t, facing);
            EXPECT_LE(a, 1e-12 * extent * extent) << "cap triangle facing the kept side";
            cap_area -= a;
        }
        for (int i = 0; i < cap_set.vertices.GetSize(); ++i) {
            OfuVector3 normal = cap_set.vertices[i].normal;
            TransformPointByMatrix4x4(rotation_part(cut.model_matrix), normal);
            NormalizeVector3(normal);
            EXPECT_NEAR(dot(normal, facing), -1.0, 1e-9);
        }
        // Raster nodes may merge section points one cell (extent / 1000) apart.
        const double area_tolerance = perimeter * extent / 1000.0;
        EXPECT_NEAR(cap_area, section, area_tolerance);

        // Measured from a point on the plane the cap adds nothing; from the origin it closes the half.
        std::vector<Triangle> closed = kept;
        closed.insert(closed.end(), cap.begin(), cap.end());
        const double volume = volume_about(closed, OfuVector3(0, 0, 0));
        const double distance = std::fabs(dot(p0, n));
        EXPECT_NEAR(volume, volume_about(kept, p0), distance * area_tolerance / 3 + 1e-9 * whole_volume);
        halves += volume;
    }
    EXPECT_NEAR(halves, whole_volume, 1e-6 * whole_volume + extent * perimeter * extent / 1000.0);
}

std::vector<CutCase> cut_cases() {
    std::vector<CutCase> cases;
    for (int s = 0; s < 5; ++s)
        for (int p = 0; p < 3; ++p) {
            cases.push_back({s, p, OfuVector3(0.3, -0.5, 0.8)});
            cases.push_back({s, p, OfuVector3(0, 0, 1)});
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ShapesPlacementsPlanes, PlaneCut, ::testing::ValuesIn(cut_cases()));

TEST(PlaneCutBox, AxisCutHasExactHalfAndCap) {
    CO3duPrimitive box = shape(0);
    const OfuVector3 points[3] = {{0, 0, 1.3}, {1, 0, 1.3}, {1, 1, 1.3}};
    CO3duMathPrimitive::CutPrimitiveToPlane(box, points, _OfuMaterial(), 0, 0.0, 0.0);
    const auto all = kz::test::drawn_triangles(box.sets);
    EXPECT_NEAR(kz::test::enclosed_volume(all), 2.0 * 3.0 * 2.7, 1e-12);
    double cap = 0.0;
    for (const Triangle& t : kz::test::drawn_triangles(box.sets[box.sets.GetSize() - 1]))
        cap += kz::test::triangle_area(t);
    EXPECT_NEAR(cap, 6.0, 1e-12);
    EXPECT_EQ(kz::test::check_closed(all).unmatched_edges, 0);
}

// Two boxes side by side: only the loop through the first section segment is capped.
TEST(PlaneCutBox, OnlyTheFirstLoopIsCapped) {
    CO3duPrimitive boxes;
    boxes.model_matrix = identity_matrix();
    add_box(boxes, O3DU_SET_TRIANGLE_LIST, OfuVector3(0, 0, 0));
    add_box(boxes, O3DU_SET_TRIANGLE_LIST, OfuVector3(10, 0, 0));
    const OfuVector3 points[3] = {{0, 0, 2}, {1, 0, 2}, {1, 1, 2}};
    CO3duMathPrimitive::CutPrimitiveToPlane(boxes, points, _OfuMaterial(), 0, 0.0, 0.0);
    ASSERT_EQ(boxes.sets.GetSize(), 13);
    double cap = 0.0;
    for (const Triangle& t : kz::test::drawn_triangles(boxes.sets[12])) {
        cap += kz::test::triangle_area(t);
        for (const OfuVector3& p : t) EXPECT_LT(p.x, 2.0 + 1e-12);
    }
    EXPECT_NEAR(cap, 6.0, 1e-12);
}

// Nothing crossing: all in front keeps every triangle (as lists, no cap); all behind empties every set;
// a corner within 1e-5 behind keeps its triangle whole and adds no section.
TEST(PlaneCutBox, NothingCrossing) {
    struct Case {
        double height;
        int triangles_left;
    };
    for (const Case& c : {Case{-1.0, 12}, Case{5.0, 0}, Case{1e-6, 12}}) {
        for (int encoding = 0; encoding < 4; ++encoding) {
            CO3duPrimitive box = shape(encoding);
            const int sets = box.sets.GetSize();
            const OfuVector3 points[3] = {{0, 0, c.height}, {1, 0, c.height}, {1, 1, c.height}};
            CO3duMathPrimitive::CutPrimitiveToPlane(box, points, _OfuMaterial(), 0, 0.0, 0.0);
            ASSERT_EQ(box.sets.GetSize(), sets) << c.height;
            EXPECT_EQ(kz::test::drawn_triangles(box.sets).size(), static_cast<size_t>(c.triangles_left)) << c.height;
            for (int s = 0; s < sets; ++s)
                EXPECT_EQ(std::tuple(box.sets[s].type, box.sets[s].indices.GetSize()),
                          std::tuple(O3DU_SET_TRIANGLE_LIST, 0));
        }
    }
}

// Lines come back as line lists, a crossing segment clipped at the plane with its texture moved along.
TEST(PlaneCutLines, SegmentsAreClippedToTheFront) {
    CO3duPrimitive lines;
    lines.model_matrix = identity_matrix();
    for (int type : {O3DU_SET_LINE_LIST, O3DU_SET_LINE_STRIP}) {
        CO3duTrianglePolys set;
        set.type = type;
        for (double z : {-2.0, 2.0, 3.0, -1.0}) set.vertices.Add(vertex(OfuVector3(z, 0, z)));
        lines.sets.Add(set);
    }
    const OfuVector3 points[3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    CO3duMathPrimitive::CutPrimitiveToPlane(lines, points, _OfuMaterial(), 0, 0.0, 0.0);
    ASSERT_EQ(lines.sets.GetSize(), 2);
    // List: (-2..2) and (3..-1); strip: (-2..2), (2..3), (3..-1).
    const std::vector<std::vector<double>> expected = {{0, 2, 3, 0}, {0, 2, 2, 3, 3, 0}};
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(lines.sets[s].type, O3DU_SET_LINE_LIST);
        ASSERT_EQ(lines.sets[s].vertices.GetSize(), static_cast<int>(expected[s].size()));
        for (int i = 0; i < lines.sets[s].vertices.GetSize(); ++i)
            EXPECT_TRUE(kz::test::all_near({lines.sets[s].vertices[i].position.z, lines.sets[s].vertices[i].tex.x},
                                           {expected[s][i], expected[s][i]}, 1e-12));
    }
}

// Bad data: an index past the vertex list drops its triangle; three points on a line give no NaN.
TEST(PlaneCutBox, BadIndicesAndDegeneratePlane) {
    CO3duPrimitive box = shape(3);
    box.sets[0].indices.Add({0, 1, 99});
    box.sets[0].indices.Add({-1, 2, 3});
    const OfuVector3 points[3] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}};
    CO3duMathPrimitive::CutPrimitiveToPlane(box, points, _OfuMaterial(), 0, 0.0, 0.0);
    EXPECT_NEAR(kz::test::enclosed_volume(kz::test::drawn_triangles(box.sets)), 18.0, 1e-12);

    CO3duPrimitive sphere = shape(4);
    const OfuVector3 line[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    CO3duMathPrimitive::CutPrimitiveToPlane(sphere, line, _OfuMaterial(), 0, 0.0, 0.0);
    for (int s = 0; s < sphere.sets.GetSize(); ++s)
        for (int i = 0; i < sphere.sets[s].vertices.GetSize(); ++i)
            ASSERT_TRUE(std::isfinite(sphere.sets[s].vertices[i].position.x));
}

// The cap's path search keeps the matrix Dijkstra's choice among equally short paths.
TEST(SegmentPaths, AgreeWithMatrixDijkstra) {
    std::mt19937 rng(17);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + trial % 25;
        std::vector<int32_t> matrix(n * n, 0);
        std::vector<std::vector<int>> lists(n);
        const int edges = static_cast<int>(rng() % (2 * n));
        for (int e = 0; e < edges; ++e) {
            const int a = static_cast<int>(rng() % n), b = static_cast<int>(rng() % n);
            if (a == b) continue;
            matrix[a * n + b] = matrix[b * n + a] = 1;
            lists[a].push_back(b);
            lists[b].push_back(a);
        }
        std::vector<int32_t> distance(n), predecessor(n), visited(n);
        ASSERT_EQ(GetShortestPath(matrix.data(), n, 0, distance.data(), predecessor.data(), visited.data(), 0), 1);
        std::vector<int> ours;
        ASSERT_EQ(fewest_segments_path(lists, 0, ours), 1);
        for (int v = 0; v < n; ++v) EXPECT_EQ(ours[v], predecessor[v]) << "trial " << trial << " node " << v;
    }
    std::vector<int> predecessor;
    EXPECT_EQ(fewest_segments_path({{1}, {0}}, 2, predecessor), 0);
}

}  // namespace
