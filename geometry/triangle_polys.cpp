// Construction, copy and reset of a triangle set.
// The default look is the library's yellow: its lit colours carry no blue.
#include "geometry/triangle_polys.h"

#include <utility>

CO3duTrianglePolys::CO3duTrianglePolys() {
    material.diffuse = {0.8f, 0.8f, 0.0f, 1.0f};
    material.ambient = {0.4f, 0.4f, 0.0f, 1.0f};
    material.specular = {1.0f, 1.0f, 0.0f, 1.0f};
    material.emission = {0.0f, 0.0f, 0.0f, 0.0f};
    material.power = 80.0f;
}

CO3duTrianglePolys::CO3duTrianglePolys(const CO3duTrianglePolys& other)
    : type(other.type),
      material(other.material),
      vertices(other.vertices),
      indices(other.indices),
      material_type(other.material_type),
      line_width(other.line_width),
      texture_number(other.texture_number) {}

CO3duTrianglePolys::CO3duTrianglePolys(CO3duTrianglePolys&& other) noexcept
    : type(other.type),
      material(other.material),
      vertices(std::move(other.vertices)),
      indices(std::move(other.indices)),
      material_type(other.material_type),
      line_width(other.line_width),
      texture_number(other.texture_number) {}

CO3duTrianglePolys& CO3duTrianglePolys::operator=(const CO3duTrianglePolys& other) {
    if (this == &other) return *this;
    type = other.type;
    material = other.material;
    vertices = other.vertices;
    indices = other.indices;
    material_type = other.material_type;
    line_width = other.line_width;
    texture_number = other.texture_number;
    return *this;
}

CO3duTrianglePolys& CO3duTrianglePolys::operator=(CO3duTrianglePolys&& other) noexcept {
    if (this == &other) return *this;
    type = other.type;
    material = other.material;
    vertices = std::move(other.vertices);
    indices = std::move(other.indices);
    material_type = other.material_type;
    line_width = other.line_width;
    texture_number = other.texture_number;
    return *this;
}

CO3duTrianglePolys::~CO3duTrianglePolys() = default;

void CO3duTrianglePolys::RemoveAll() {
    vertices.RemoveAll();
    indices.RemoveAll();
    type = O3DU_SET_TRIANGLE_STRIP;
    material_type = O3DU_MATERIAL_SINGLE;
    texture_number = 0;
}
