// CO3duTrianglePolys, one set of points, lines or triangles with its material, and CO3duPolygonList, the list of sets.
// A set is a plain value: copies are deep, and moving it (as its list does when it grows) steals the vertex blocks.
#pragma once
#include "geometry/o3du_list.h"

// Set types.
enum : int32_t {
    O3DU_SET_POINTS = 0,
    O3DU_SET_LINE_LIST = 1,
    O3DU_SET_LINE_STRIP = 2,
    O3DU_SET_TRIANGLE_LIST = 3,
    O3DU_SET_TRIANGLE_STRIP = 4,
    O3DU_SET_TRIANGLE_FAN = 5,
    O3DU_SET_INDEXED_TRIANGLES = 6,
    O3DU_SET_INDEXED_LINES = 7,
};

// Material types.
enum : int32_t {
    O3DU_MATERIAL_SINGLE = 0,
    O3DU_MATERIAL_VERTEX_COLOR = 1,
    O3DU_MATERIAL_TEXTURE = 2,
    O3DU_MATERIAL_SPHERE_MAP = 3,
};

class CO3duTrianglePolys {
public:
    CO3duTrianglePolys();
    CO3duTrianglePolys(const CO3duTrianglePolys& other);
    CO3duTrianglePolys(CO3duTrianglePolys&& other) noexcept;
    CO3duTrianglePolys& operator=(const CO3duTrianglePolys& other);
    CO3duTrianglePolys& operator=(CO3duTrianglePolys&& other) noexcept;
    virtual ~CO3duTrianglePolys();

    // Empties both lists and returns type, material type and texture to their defaults; the colours and the line
    // width stay, so a producer can refill a set without choosing its look again.
    void RemoveAll();

    int32_t type = O3DU_SET_TRIANGLE_STRIP;
    _OfuMaterial material;
    CO3duVertexList vertices;
    CO3duVertexIndexList indices;  // types 6 and 7 only
    int32_t material_type = O3DU_MATERIAL_SINGLE;
    float line_width = 1.0f;
    int32_t texture_number = 0;  // 1-based texture of the modeller, 0 = none
};

class CO3duPolygonList : public O3duList<CO3duPolygonList, CO3duTrianglePolys, ArrayFill::object> {};
