// XML export of one shape: the document is well-formed Shift_JIS XML to libxml2 and its vertices read back, to
// the precision they are printed with, as the modeller holds them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "modeller/files/o3du_write_xml.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

// Every number inside the attribute values xmllint prints for an XPath (UTF-8 names).
std::vector<double> numbers_of(const std::string& file, const std::string& xpath) {
    std::string text = command_output("xmllint --xpath '" + xpath + "' '" + file + "' 2>/dev/null");
    std::vector<double> out;
    for (std::size_t at = text.find('"'); at != std::string::npos; at = text.find('"', text.find('"', at + 1) + 1)) {
        std::stringstream values(text.substr(at + 1, text.find('"', at + 1) - at - 1));
        for (std::string v; std::getline(values, v, ',');) out.push_back(std::stod(v));
    }
    return out;
}

TEST(XmlExport, WellFormedAndVerticesReadBack) {
    HeadlessScene s;
    CO3duPrimitive p = make_box({-1.25, 0.1, 2}, {3.5, 7.75, 1e4 / 3}, make_material({1, 0, 0, 1}, {0, 0, 0, 1}));
    CO3duTrianglePolys indexed;
    indexed.type = O3DU_SET_INDEXED_TRIANGLES;
    indexed.vertices.SetSize(3);
    for (int i = 0; i < 3; ++i) indexed.vertices[i].position = OfuVector3(i * 0.123456789, -i / 7.0, 1e-3 * i);
    indexed.indices.SetSize(1);
    indexed.indices[0] = {2, 0, 1};
    p.sets.Add(indexed);
    p.kind = 1;
    _OfuPosition* pos = s.modeller->AddPrimitive(p);
    const std::string path = output_file("shape.xml");
    ASSERT_EQ(CO3duWriteXML::WritePrimitive(path.c_str(), s.modeller.get(), pos), 1);
    EXPECT_EQ(command_output("xmllint --noout '" + path + "' 2>&1; echo $?"), "0\n");
    EXPECT_NE(command_output("head -c 200 '" + path + "'").find("encoding=\"Shift_JIS\""), std::string::npos);

    const std::vector<double> positions = numbers_of(path, "//\xE9\xA0\x82\xE7\x82\xB9/@\xE5\xBA\xA7\xE6\xA8\x99");
    CO3duPrimitive held;
    s.modeller->GetPrimitive(pos, held, O3DU_PRIM_ALL);
    std::vector<double> want;
    for (int k = 0; k < held.sets.GetSize(); ++k)
        for (int i = 0; i < held.sets[k].vertices.GetSize(); ++i) {
            const OfuVector3& v = held.sets[k].vertices[i].position;
            want.insert(want.end(), {v.x, v.y, v.z});
        }
    ASSERT_EQ(positions.size(), want.size());
    ASSERT_EQ(want.size(), std::size_t(6 * 4 * 3 + 9));
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(positions[i], want[i], 5e-6 * std::max(1.0, std::fabs(want[i]))) << i;
    EXPECT_EQ(numbers_of(path, "//\xE4\xB8\x89\xE8\xA7\x92\xE5\xBD\xA2/@*"), (std::vector<double>{2, 0, 1}));
    EXPECT_EQ(command_output("xmllint --xpath 'string(/primitive/@*[3])' '" + path + "'"), "2D\n");
    p.kind = 0;  // a shape in the scene
    const std::string scene_path = output_file("scene_shape.xml");
    ASSERT_EQ(CO3duWriteXML::WritePrimitive(scene_path.c_str(), s.modeller.get(), s.modeller->AddPrimitive(p)), 1);
    EXPECT_EQ(command_output("xmllint --xpath 'string(/primitive/@*[3])' '" + scene_path + "'"), "3D\n");
}

}  // namespace
}  // namespace kz::test
