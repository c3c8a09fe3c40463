// VRML 2.0 export read back by another VRML program (tovrmlx3d, Debian's view3dscene, printing X3D's XML
// encoding): the faces of every kind of triangle set face where the primitive's normals point, strips included,
// and the lights come back as the modeller holds them, the headlight from light 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/files/o3du_write_vrml.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

std::string x3d_of(const std::string& wrl) {
    return command_output("LC_ALL=C tovrmlx3d --encoding xml '" + wrl + "' 2>&1");
}

// The value of an attribute of the element that starts at `at`, or `missing` (the default the peer leaves out).
std::string attribute(const std::string& text, std::size_t at, const std::string& name, const char* missing = "") {
    const std::size_t end = text.find('>', at), found = text.find("\t" + name + "=\"", at);
    if (found == std::string::npos || found > end) return missing;
    const std::size_t value = found + name.size() + 3;
    return text.substr(value, text.find('"', value) - value);
}

// Points of the plane through (1, 2, 3) spanned by U = (10, 0, 0) and V = (0, 6, 8): counter-clockwise in (u, v)
// faces along U x V, whose unit vector is (0, -0.8, 0.6).
OfuVector3 on_plane(double u, double v) { return OfuVector3(1 + 10 * u, 2 + 6 * v, 3 + 8 * v); }

CO3duTrianglePolys facing_set(int type, const std::vector<std::pair<double, double>>& uv) {
    CO3duTrianglePolys set;
    set.type = type;
    set.material = make_material({0.5f, 0.5f, 0.5f, 1}, {0.1f, 0.1f, 0.1f, 1});
    set.vertices.SetSize(int(uv.size()));
    for (int i = 0; i < set.vertices.GetSize(); ++i) {
        set.vertices[i].position = on_plane(uv[std::size_t(i)].first, uv[std::size_t(i)].second);
        set.vertices[i].normal = OfuVector3(0, -0.8, 0.6);
    }
    return set;
}

TEST(VrmlExport, FacesOfEverySetKindFaceAlongTheNormals) {
    struct Row {
        int type;
        std::vector<std::pair<double, double>> uv;  // each face counter-clockwise as OpenGL draws the set
        int faces;
    };
    const Row rows[] = {
        {O3DU_SET_TRIANGLE_LIST, {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}}, 2},
        // A strip zigzags: OpenGL turns every other triangle round to keep one facing.
        {O3DU_SET_TRIANGLE_STRIP, {{0, 1}, {0, 0}, {1, 1}, {1, 0}, {2, 1}, {2, 0}, {3, 1}}, 5},
        {O3DU_SET_TRIANGLE_FAN, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}}, 4},
        {O3DU_SET_INDEXED_TRIANGLES, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 2},
    };
    HeadlessScene s;
    CO3duPrimitive p;
    for (const Row& row : rows) p.sets.Add(facing_set(row.type, row.uv));
    p.sets[3].indices.SetSize(2);
    p.sets[3].indices[0] = {0, 1, 2};
    p.sets[3].indices[1] = {1, 3, 2};
    // A quarter turn about z and a shift: x goes to y, y to -x; the normal turns to (0.8, 0, 0.6).
    const double turn[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {5, -7, 2, 1}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) p.model_matrix[r][c] = turn[r][c];
    ASSERT_NE(s.modeller->AddPrimitive(p), nullptr);
    const std::string path = output_file("vrml_facing.wrl");
    ASSERT_EQ(CO3duWriteVRML::Write(path.c_str(), s.modeller.get()), 1);
    const std::string x3d = x3d_of(path);

    std::size_t at = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        at = x3d.find("<IndexedFaceSet", at + 1);
        ASSERT_NE(at, std::string::npos) << x3d;
        const std::vector<double> index = numbers_in(attribute(x3d, at, "coordIndex"));
        const std::vector<double> point = numbers_in(attribute(x3d, x3d.find("<Coordinate", at), "point"));
        ASSERT_EQ(index.size(), std::size_t(4 * row.faces));
        for (std::size_t f = 0; f < index.size(); f += 4) {
            SCOPED_TRACE(f / 4);
            OfuVector3 corner[3];
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = std::size_t(index[f + std::size_t(k)]) * 3;
                ASSERT_LT(i + 2, point.size());
                corner[k] = OfuVector3(point[i], point[i + 1], point[i + 2]);
            }
            OfuVector3 n = cross(corner[1] - corner[0], corner[2] - corner[0]);
            NormalizeVector3(n);
            expect_near_all({n.x, n.y, n.z}, {0.8, 0, 0.6}, 0.0051);
        }
    }
}

TEST(VrmlExport, LightsReadBackAsTheModellerHoldsThem) {
    HeadlessScene s;
    for (int i = 1; i <= 7; ++i) {
        OfuLight l = make_light(i % 2 ? OFU_LIGHT_DIRECTIONAL : OFU_LIGHT_POSITIONAL, {0.1f * i, 0.5f, 0.9f, 1},
                                {0.05f * i, 0.3f, 0.1f, 1}, {1, 1, 1, 1}, OfuVector3(0.6, 0, -0.8));
        l.position = OfuVector3(10 * i, -5, 2.5);
        l.on = i % 3 != 0;
        s.modeller->SetLight(i, l);
    }
    for (const int headlight : {0, 1}) {
        SCOPED_TRACE(headlight);
        OfuLight zero;
        s.modeller->GetLight(0, zero);
        zero.on = headlight;
        s.modeller->SetLight(0, zero);
        const std::string path = output_file("vrml_lights.wrl");
        ASSERT_EQ(CO3duWriteVRML::Write(path.c_str(), s.modeller.get()), 1);
        const std::string x3d = x3d_of(path);
        std::size_t at = 0;
        for (int i = 1; i <= 7; ++i) {
            SCOPED_TRACE(i);
            OfuLight held;
            s.modeller->GetLight(i, held);
            const std::size_t directional = x3d.find("<DirectionalLight", at), point = x3d.find("<PointLight", at);
            at = std::min(directional, point);
            ASSERT_NE(at, std::string::npos) << x3d;
            ++at;
            if (held.type == OFU_LIGHT_DIRECTIONAL) {
                ASSERT_LT(directional, point);
                expect_near_all(numbers_in(attribute(x3d, at, "direction", "0 0 -1")),
                                {held.direction.x, held.direction.y, held.direction.z}, 0.0051);
            } else {
                ASSERT_LT(point, directional);
                expect_near_all(numbers_in(attribute(x3d, at, "location", "0 0 0")),
                                {held.position.x, held.position.y, held.position.z}, 0.0051);
            }
            expect_near_all(numbers_in(attribute(x3d, at, "color", "1 1 1")),
                            {held.diffuse.r, held.diffuse.g, held.diffuse.b}, 0.0051);
            expect_near_all(numbers_in(attribute(x3d, at, "ambientIntensity", "0")),
                            {(double(held.ambient.r) + held.ambient.g + held.ambient.b) / 3}, 0.0051);
            EXPECT_EQ(attribute(x3d, at, "on", "true"), held.on ? "true" : "false");
        }
        int lights = 0;
        for (std::size_t l = x3d.find("Light\n"); l != std::string::npos; l = x3d.find("Light\n", l + 1)) ++lights;
        EXPECT_EQ(lights, 7) << "light 0 is the headlight, not a node";
        const std::size_t navigation = x3d.find("<NavigationInfo");
        ASSERT_NE(navigation, std::string::npos);
        EXPECT_EQ(attribute(x3d, navigation, "headlight", "true"), headlight ? "true" : "false");
    }
}

}  // namespace
}  // namespace kz::test
