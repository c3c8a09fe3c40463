// CO3duAutoMesh: fills a plane polygon with holes with triangles of roughly even size, in three ways (a grid, a
// lattice over a Delaunay triangulation, a lattice over a fan), each followed by clean-up and smoothing.
#pragma once
#include <cstdint>
#include <vector>

#include "geometry/geometry_elements.h"
#include "geometry/o3du_list.h"

// Point kinds of the mesh.
enum : int32_t {
    O3DU_MESH_RING_VERTEX = 0,  // a vertex of the outer ring
    O3DU_MESH_RING_NODE = 1,    // a node on an edge of the outer ring
    O3DU_MESH_INTERIOR = 2,     // an interior node, the only kind smoothing moves
};

class CO3duAutoMesh {
public:
    struct DEF_DXYZ {
        double x;
        double y;
        double z;
    };

    CO3duAutoMesh() = default;
    CO3duAutoMesh(const CO3duAutoMesh&) = default;
    CO3duAutoMesh& operator=(const CO3duAutoMesh&) = default;
    virtual ~CO3duAutoMesh() = default;

    // The outputs are replaced: the outer ring's vertices come first, in their order; kinds run parallel to the
    // points; three point numbers per triangle. Every method returns 0.
    int DivisionType01(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                       COfuArray<int>& triangles, long divisions, long level);
    int DivisionType02(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                       COfuArray<int>& triangles, long divisions, long level);
    int DivisionType03(COfuHolePolygon2D& polygon, COfuPoint2Array& points, COfuArray<int>& kinds,
                       COfuArray<int>& triangles, long divisions, long level);
    // The outer ring alone (holes are ignored), meshed as above and handed back in the list classes.
    int DivisionType03(COfuHolePolygon2D& polygon, CO3duPoint2List& points, CO3duIntegerList& kinds,
                       CO3duIntegerList& triangles, long divisions, long level);

private:
    struct Mesh {
        std::vector<OfuVector2> points;
        std::vector<int> kinds;
        std::vector<int> triangles;
    };
    // Records of d + 2 point numbers: an edge's start, its d middle nodes, its end.
    using EdgeTable = std::vector<int>;

    static void ConvertDivideType(const std::vector<OfuVector2>& source, const std::vector<int>& source_triangles,
                                  Mesh& mesh, EdgeTable& edges, int d);
    static int AddMiddleNode(int start, int end, int d, int kind, EdgeTable& edges, Mesh& mesh);
    static int GetOneLineIndex(int start, int end, int d, const EdgeTable& edges, std::vector<int>& record);
    static void ElementDivide(Mesh& mesh, const std::vector<int>& edge0, const std::vector<int>& edge1,
                              const std::vector<int>& edge2, std::vector<int>& triangles, int d);
    static void DivideAll(Mesh& mesh, const EdgeTable& edges, int d);
    static void DelaunayTriangulation(Mesh& mesh);
    static void RemovePoint(Mesh& mesh, const COfuHolePolygon2D& polygon);
    static void RemoveTriangle(Mesh& mesh, const COfuHolePolygon2D& polygon);
    // keep_inside: when given, a point is only moved to a place inside that polygon.
    static void LapraceanMethod(Mesh& mesh, const COfuHolePolygon2D* keep_inside);
    static int CheckNormalPolygon(int count, const DEF_DXYZ* ring);
    static int GetIntersection(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                               double& x, double& y, int flag, double tolerance);
    static void Normalize(DEF_DXYZ* v);
    static void P2Vector(const DEF_DXYZ& a, const DEF_DXYZ& b, DEF_DXYZ* out);
    static int VectorCros(const DEF_DXYZ& a, const DEF_DXYZ& b, DEF_DXYZ* out);
    static void VectorDot(const DEF_DXYZ& a, const DEF_DXYZ& b, double* out);

    static void divide_and_clean(Mesh& mesh, const EdgeTable& edges, int d, const COfuHolePolygon2D& polygon,
                                 int passes);
    static void smooth(Mesh& mesh, const COfuHolePolygon2D& polygon, int passes);
    // The outer ring's vertices as the first points.
    static Mesh ring_mesh(const COfuPoint2Array& ring);
    static void start_over(COfuPoint2Array& points, COfuArray<int>& kinds, COfuArray<int>& triangles);
    static void hand_back(const Mesh& mesh, COfuPoint2Array& points, COfuArray<int>& kinds, COfuArray<int>& triangles);

    int32_t reserved_ = 0;
};
