// The sample model exported as VRML 2.0 is read by another VRML program (tovrmlx3d, Debian's view3dscene)
// without a word of complaint, and the geometry it prints back is the scene's: vertex, face and line counts and
// the bounding box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "geometry/vector_math.h"
#include "modeller/files/o3du_write_vrml.h"
#include "support/test_paths.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

using ModelExport = ViewTest;

struct Geometry {
    long vertices = 0, faces = 0, lines = 0;
    OfuVector3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    void add(const OfuVector3& p) {
        ++vertices;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
};

// What the modeller holds and VRML should show: every set but points, of shapes neither hidden nor drawn in
// window coordinates, in scene coordinates.
Geometry held_geometry(CO3duModelar& m) {
    Geometry g;
    CO3duPosList shapes;
    m.GetPosArray(shapes);
    for (int s = 0; s < shapes.GetSize(); ++s) {
        CO3duPrimitive p;
        m.GetPrimitive(shapes[s], p, O3DU_PRIM_ALL);
        if ((p.draw_mode & O3DU_DRAW_HIDDEN) || p.kind == 1) continue;
        for (int k = 0; k < p.sets.GetSize(); ++k) {
            const CO3duTrianglePolys& set = p.sets[k];
            const int n = set.vertices.GetSize();
            if (set.type == O3DU_SET_POINTS) continue;
            for (int i = 0; i < n; ++i) {
                OfuVector3 v = set.vertices[i].position;
                TransformPointByMatrix4x4(p.model_matrix, v);
                g.add(v);
            }
            const long triples = set.indices.GetSize();
            const long counts[] = {0, n / 2, n - 1, n / 3, n - 2, n - 2, triples, triples * 3 / 2};
            (set.type <= 2 || set.type == 7 ? g.lines : g.faces) += std::max(0L, counts[set.type]);
        }
    }
    return g;
}

// The geometry in the classic X3D text tovrmlx3d prints: Coordinate points and the -1 ends of coordIndex lists,
// as faces or lines by the node they belong to.
Geometry printed_geometry(const std::string& text) {
    std::string spaced = text;
    for (char& c : spaced)
        if (c == ',') c = ' ';
    for (const char* bracket : {"[", "]"})
        for (std::size_t at = 0; (at = spaced.find(bracket, at)) != std::string::npos; at += 3)
            spaced.replace(at, 1, std::string(" ") + bracket + " ");
    std::istringstream in(spaced);
    std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
    Geometry g;
    bool lines = false;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] == "IndexedFaceSet" || tokens[i] == "IndexedLineSet") lines = tokens[i] == "IndexedLineSet";
        if (tokens[i + 1] != "[") continue;
        if (tokens[i] == "point") {
            std::vector<double> values;
            for (i += 2; i < tokens.size() && tokens[i] != "]"; ++i) values.push_back(std::stod(tokens[i]));
            for (std::size_t v = 0; v + 2 < values.size(); v += 3) g.add({values[v], values[v + 1], values[v + 2]});
        } else if (tokens[i] == "coordIndex") {
            for (i += 2; i < tokens.size() && tokens[i] != "]"; ++i)
                if (tokens[i] == "-1") ++(lines ? g.lines : g.faces);
        }
    }
    return g;
}

// Line sets of each kind, one coloured by vertex, beside the room: the sample has faces only.
CO3duPrimitive line_sets() {
    CO3duPrimitive p;
    for (int type : {O3DU_SET_LINE_LIST, O3DU_SET_LINE_STRIP, O3DU_SET_INDEXED_LINES}) {
        CO3duTrianglePolys set;
        set.type = type;
        set.material_type = type == O3DU_SET_LINE_STRIP ? O3DU_MATERIAL_VERTEX_COLOR : O3DU_MATERIAL_SINGLE;
        set.material.power = 300;  // beyond VRML's shininess range
        set.vertices.SetSize(5);
        for (int i = 0; i < 5; ++i) set.vertices[i].position = OfuVector3(i * 10.0, -5.0 * type, i % 2 * 7.0);
        set.indices.SetSize(2);
        set.indices[0] = {0, 1, 2};
        set.indices[1] = {3, 4, 0};
        p.sets.Add(set);
    }
    p.model_matrix[3][2] = 100;
    return p;
}

TEST_F(ModelExport, SampleRoomAsVrmlReadsBackInAnotherProgram) {
    ASSERT_EQ(view->OpenModel(sample_model_path().c_str()), 1);
    CO3duModelar& m = *view->Bridge()->modeller;
    CO3duPrimitive extra = line_sets();
    ASSERT_NE(m.AddPrimitive(extra), nullptr);
    const Geometry want = held_geometry(m);
    ASSERT_GT(want.faces, 100);
    ASSERT_GE(want.lines, 2 + 4 + 3);

    const std::string path = kz::test::output_file("sample_room.wrl");
    ASSERT_EQ(CO3duWriteVRML::Write(path.c_str(), &m), 1);
    const std::string errors = kz::test::output_file("sample_room.tovrmlx3d.txt");
    const std::string printed = kz::test::command_output("tovrmlx3d '" + path + "' 2>'" + errors + "'");
    EXPECT_EQ(kz::test::command_output("cat '" + errors + "'"), "");
    const Geometry got = printed_geometry(printed);
    EXPECT_EQ(got.vertices, want.vertices);
    EXPECT_EQ(got.faces, want.faces);
    EXPECT_EQ(got.lines, want.lines);
    for (auto [a, b] : {std::pair{got.lo, want.lo}, std::pair{got.hi, want.hi}}) {
        EXPECT_NEAR(a.x, b.x, 0.006);
        EXPECT_NEAR(a.y, b.y, 0.006);
        EXPECT_NEAR(a.z, b.z, 0.006);
    }
}

}  // namespace
}  // namespace kz::view::test
