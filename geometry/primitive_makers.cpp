// Ready-made sets for host programs: an icosahedron, a sphere of meridian strips, a line grid, a single line,
// and the material the library derives from one colour.
#include <climits>
#include <cmath>

#include "geometry/converter_support.h"
#include "geometry/math_primitive.h"
#include "geometry/vector_math.h"

namespace {

_O3duVertex new_vertex() {
    _O3duVertex v;
    for (float& c : v.color) c = 1.0f;
    return v;
}

double snapped(double v) { return std::fabs(v) < 1e-5 ? 0.0 : v; }

_OfuMaterial grey_line_material() {
    return CO3duMathPrimitive::MakeMaterialFromColor({0.8f, 0.8f, 0.8f, 1.0f}, 1.0, 0.8, 0.2, 70.0);
}

}  // namespace

_OfuMaterial CO3duMathPrimitive::MakeMaterialFromColor(OfuColorValue colour, double ambient, double diffuse,
                                                       double specular, double power) {
    _OfuMaterial m;
    m.diffuse = {float(colour.r * diffuse), float(colour.g * diffuse), float(colour.b * diffuse), colour.a};
    m.ambient = {float(colour.r * ambient), float(colour.g * ambient), float(colour.b * ambient), colour.a};
    m.specular = {float(specular), float(specular), float(specular), 1.0f};
    m.emission = {1.0f, 1.0f, 1.0f, 1.0f};
    m.power = float(power);
    return m;
}

void CO3duMathPrimitive::Make20Mentai(CO3duPrimitive& primitive, double size, OfuVector3 centre,
                                      _OfuMaterial material) {
    const double c = 0.8090169943749475;  // half the golden ratio
    const double s = size / std::sqrt(0.9045084971874737);
    const OfuVector3 lower[6] = {{-0.5, 0, -c}, {-c, -0.5, 0}, {-c, 0.5, 0}, {0, c, -0.5}, {0.5, 0, -c}, {0, -c, -0.5}};
    const OfuVector3 upper[6] = {{0.5, 0, c}, {0, -c, 0.5}, {c, -0.5, 0}, {c, 0.5, 0}, {0, c, 0.5}, {-0.5, 0, c}};
    auto fan = [&](const OfuVector3(&unit)[6]) -> CO3duTrianglePolys& {
        CO3duTrianglePolys& set = append_set(primitive.sets);
        set.type = O3DU_SET_TRIANGLE_FAN;
        set.material = material;
        set.vertices.SetSize(7);
        for (int k = 0; k < 7; ++k) {
            const OfuVector3& u = unit[k < 6 ? k : 1];
            _O3duVertex v = new_vertex();
            v.normal = u;
            v.position = OfuVector3(u.x * s + centre.x, u.y * s + centre.y, u.z * s + centre.z);
            set.vertices[k] = v;
        }
        return set;
    };
    fan(lower);
    fan(upper);
    // The sets are copied out of the list before the strip is appended: appending may move them.
    const CO3duVertexList bottom = primitive.sets[primitive.sets.GetSize() - 2].vertices;
    const CO3duVertexList top = primitive.sets[primitive.sets.GetSize() - 1].vertices;
    CO3duTrianglePolys& strip = append_set(primitive.sets);
    strip.type = O3DU_SET_TRIANGLE_STRIP;
    strip.material = material;
    strip.vertices.SetSize(12);
    for (int k = 1; k <= 5; ++k) {
        strip.vertices[2 * (k - 1)] = bottom[k];
        strip.vertices[2 * (k - 1) + 1] = top[6 - k];
    }
    strip.vertices[10] = strip.vertices[0];
    strip.vertices[11] = strip.vertices[1];
}

void CO3duMathPrimitive::MakeKeiisenKyu(CO3duTrianglePolys& set, int bands, int steps, double radius, double sweep,
                                        const OfuMatrix4x4* matrix) {
    if (steps < 4 || bands < 2) return;
    if (int64_t(2) * bands * steps > INT_MAX / int64_t(sizeof(_O3duVertex))) return;  // no list could hold it
    if (sweep == 0.0) sweep = 360.0;
    const double to_radians = M_PI / 180.0;
    set.type = O3DU_SET_TRIANGLE_STRIP;
    set.vertices.SetSize(0);
    set.vertices.SetSize(2 * bands * steps);
    for (int k = 0; k < steps; ++k) {
        // Even steps run from the +Z pole down, odd ones back up, so that the zig-zags meet at the poles.
        const double sign = k % 2 == 0 ? 1.0 : -1.0;
        const double phi[2] = {k * sweep / steps * to_radians, (k + 1) * sweep / steps * to_radians};
        const double u[2] = {double(k) / steps, double(k + 1) / steps};
        auto place = [&](int index, double theta, int side, double tu, double tv) {
            const double st = snapped(std::sin(theta)), ct = snapped(std::cos(theta));
            const double sp = snapped(std::sin(phi[side])), cp = snapped(std::cos(phi[side]));
            const OfuVector3 p(radius * st * sp, -radius * st * cp, sign * radius * ct);
            _O3duVertex v = new_vertex();
            v.normal = p;
            v.position = p;
            if (matrix) TransformPointByMatrix4x4(*matrix, v.position);
            v.tex = OfuVector2(tu, tv);
            set.vertices[2 * bands * k + index] = v;
        };
        const double pole_u = (k + 0.5) / steps;
        place(0, 0.0, 0, pole_u, sign > 0 ? 1.0 : 0.0);
        for (int j = 1; j < bands; ++j) {
            const double theta = j * 180.0 / bands * to_radians;
            const double v = sign > 0 ? 1.0 - double(j) / bands : double(j) / bands;
            const int first = sign > 0 ? 0 : 1;
            place(2 * j - 1, theta, first, u[first], v);
            place(2 * j, theta, 1 - first, u[1 - first], v);
        }
        place(2 * bands - 1, M_PI, 0, pole_u, sign > 0 ? 0.0 : 1.0);
    }
}

int CO3duMathPrimitive::MakeGrid(OfuVector2 from, OfuVector2 to, int n, CO3duPrimitive& primitive) {
    // No step count, no grid: a zero count would divide the span by zero.
    if (n < 1 || n > (INT_MAX - 4) / 4) return -1;
    const double dx = (to.x - from.x) / n, dy = (to.y - from.y) / n;
    CO3duTrianglePolys& set = append_set(primitive.sets);
    set.type = O3DU_SET_LINE_LIST;
    set.material = grey_line_material();
    set.vertices.SetSize(4 * n + 4);
    for (int i = 0; i <= n; ++i) {
        const OfuVector3 ends[4] = {{from.x, from.y + i * dy, 0.0},
                                    {to.x, from.y + i * dy, 0.0},
                                    {from.x + i * dx, from.y, 0.0},
                                    {from.x + i * dx, to.y, 0.0}};
        for (int k = 0; k < 4; ++k) {
            _O3duVertex v = new_vertex();
            v.position = ends[k];
            set.vertices[4 * i + k] = v;
        }
    }
    return primitive.sets.GetSize() - 1;
}

int CO3duMathPrimitive::MakeLine(OfuVector3 a, OfuVector3 b, CO3duPrimitive& primitive) {
    CO3duTrianglePolys& set = append_set(primitive.sets);
    set.type = O3DU_SET_LINE_LIST;
    set.material = MakeMaterialFromColor({1.0f, 1.0f, 1.0f, 1.0f}, 1.0, 0.8, 0.2, 70.0);
    set.vertices.SetSize(2);
    _O3duVertex v = new_vertex();
    v.position = a;
    set.vertices[0] = v;
    v.position = b;
    set.vertices[1] = v;
    return primitive.sets.GetSize() - 1;
}
