// Copies of the parametric pieces: every copy is deep, outlines coordinate by coordinate and holes one by one.
// Assignment never changes the target's kind.
#include "geometry/geometry_elements.h"

#include <utility>

COfuGeometry* COfuGeometry::Clone() const {
    auto* copy = new COfuGeometry();
    copy->copy_common(*this);
    return copy;
}

void COfuGeometry::copy_common(const COfuGeometry& other) {
    material = other.material;
    texture_width = other.texture_width;
    texture_height = other.texture_height;
    texture_number = other.texture_number;
}

COfuPolygon::COfuPolygon(COfuPolygon&& other) noexcept
    : COfuGeometry(std::move(other)),
      points(std::move(other.points)),
      texture_direction(other.texture_direction),
      texture_offset(other.texture_offset) {
    kind = OFU_KIND_POLYGON;
}

COfuPolygon& COfuPolygon::operator=(const COfuPolygon& other) {
    if (this == &other) return *this;
    copy_common(other);
    points = other.points;
    texture_direction = other.texture_direction;
    texture_offset = other.texture_offset;
    return *this;
}

COfuPolygon& COfuPolygon::operator=(COfuPolygon&& other) noexcept {
    if (this == &other) return *this;
    copy_common(other);
    points = std::move(other.points);
    texture_direction = other.texture_direction;
    texture_offset = other.texture_offset;
    return *this;
}

COfuPolygon2D::COfuPolygon2D(COfuPolygon2D&& other) noexcept
    : COfuGeometry(std::move(other)), points(std::move(other.points)) {
    kind = OFU_KIND_POLYGON2D;
}

COfuPolygon2D& COfuPolygon2D::operator=(const COfuPolygon2D& other) {
    if (this == &other) return *this;
    copy_common(other);
    points = other.points;
    return *this;
}

COfuPolygon2D& COfuPolygon2D::operator=(COfuPolygon2D&& other) noexcept {
    if (this == &other) return *this;
    copy_common(other);
    points = std::move(other.points);
    return *this;
}

COfuHolePolygon& COfuHolePolygon::operator=(const COfuHolePolygon& other) {
    if (this == &other) return *this;
    COfuPolygon::operator=(other);
    holes = other.holes;
    texture_direction = other.texture_direction;
    texture_offset = other.texture_offset;
    return *this;
}

COfuHolePolygon2D& COfuHolePolygon2D::operator=(const COfuHolePolygon2D& other) {
    if (this == &other) return *this;
    COfuPolygon2D::operator=(other);
    holes = other.holes;
    return *this;
}

namespace {

// Both extrusion classes copy the same fields; only the class of their end polygons differs.
template <class Extrusion>
Extrusion& assign_extrusion(Extrusion& to, const Extrusion& from) {
    if (&to == &from) return to;
    to.copy_common(from);
    to.bottom = from.bottom;
    to.top = from.top;
    to.bottom_cap = from.bottom_cap;
    to.top_cap = from.top_cap;
    to.side_texture_direction = from.side_texture_direction;
    return to;
}

}  // namespace

COfuExtruded& COfuExtruded::operator=(const COfuExtruded& other) { return assign_extrusion(*this, other); }

COfuHoleExtruded& COfuHoleExtruded::operator=(const COfuHoleExtruded& other) { return assign_extrusion(*this, other); }

COfuFiniteColumn& COfuFiniteColumn::operator=(const COfuFiniteColumn& other) {
    if (this == &other) return *this;
    copy_common(other);
    section = other.section;
    axis = other.axis;
    bottom_plane = other.bottom_plane;
    top_plane = other.top_plane;
    return *this;
}
