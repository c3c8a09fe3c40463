// VRML and XML exports written by a program that runs under a decimal-comma locale (Qt takes LC_NUMERIC from
// LANG as it starts): another VRML program (tovrmlx3d, Debian's view3dscene) and libxml2 (xmllint) read back the
// numbers that were meant. In VRML a comma is white space, in the XML values it separates the numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modeller/files/o3du_write_vrml.h"
#include "modeller/files/o3du_write_xml.h"
#include "platform/message_loop.h"
#include "support/comma_locale.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

// The numbers after `key` and its "[" or "\"" in a peer's output; empty when the key is missing.
std::vector<double> numbers_after(const std::string& text, const std::string& key, char open, char close) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return {};
    return numbers_in(text, text.find(open, at + key.size()) + 1, close);
}

TEST(ExportsUnderACommaLocale, PeersReadTheNumbersWritten) {
    HeadlessScene s;
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_TRIANGLE_LIST;
    set.material = make_material({0.25f, 0.5f, 0.75f, 1}, {0, 0, 0, 1});
    const OfuVector3 corners[3] = {{12.75, 3.5, 0.25}, {-0.33, -0.67, 0.67}, {1.5, -2.25, 100.5}};
    set.vertices.SetSize(3);
    for (int i = 0; i < 3; ++i) set.vertices[i].position = corners[i];
    p.sets.Add(set);
    const double shift[3] = {0.5, -1.25, 2};
    for (int a = 0; a < 3; ++a) p.model_matrix[3][a] = shift[a];
    _OfuPosition* shape = s.modeller->AddPrimitive(p);
    ASSERT_NE(shape, nullptr);
    const std::string wrl = output_file("comma_locale.wrl"), xml = output_file("comma_locale.xml");
    {
        CommaLocale comma;
        ASSERT_TRUE(kz::platform::ensure_application());  // Qt starts under the locale, as the program does
        KZ_REQUIRE_COMMA_LOCALE(comma);
        ASSERT_EQ(CO3duWriteVRML::Write(wrl.c_str(), s.modeller.get()), 1);
        ASSERT_EQ(CO3duWriteXML::WritePrimitive(xml.c_str(), s.modeller.get(), shape), 1);
    }

    // VRML: the shape in scene coordinates, to the two decimals written, and its colour.
    const std::string x3d = command_output("LC_ALL=C tovrmlx3d '" + wrl + "' 2>&1");
    std::vector<double> scene;
    for (const OfuVector3& c : corners) scene.insert(scene.end(), {c.x + shift[0], c.y + shift[1], c.z + shift[2]});
    expect_near_all(numbers_after(x3d, "point", '[', ']'), scene, 0.0051, "VRML points");
    expect_near_all(numbers_after(x3d, "diffuseColor", ' ', '\n'), {0.25, 0.5, 0.75}, 0.0051, "VRML colour");

    // XML: the vertices as the set holds them and the model matrix row by row.
    const std::string vertices = command_output(
        "LC_ALL=C xmllint --xpath '//\xE9\xA0\x82\xE7\x82\xB9/@\xE5\xBA\xA7\xE6\xA8\x99' '" + xml + "' 2>&1");
    std::vector<double> held, positions, rows;
    for (const OfuVector3& c : corners) held.insert(held.end(), {c.x, c.y, c.z});
    for (std::size_t at = vertices.find('"'); at != std::string::npos;
         at = vertices.find('"', vertices.find('"', at + 1) + 1)) {
        const std::vector<double> one = numbers_in(vertices, at + 1, '"');
        positions.insert(positions.end(), one.begin(), one.end());
    }
    expect_near_all(positions, held, 1e-9, "XML vertices");
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) rows.push_back(r == 3 && c < 3 ? shift[c] : r == c ? 1.0 : 0.0);
    expect_near_all(
        numbers_in(command_output("LC_ALL=C xmllint --xpath 'string(/primitive/@Matrix)' '" + xml + "'"), 0, '\n'),
        rows, 1e-9, "XML matrix");
}

}  // namespace
}  // namespace kz::test
