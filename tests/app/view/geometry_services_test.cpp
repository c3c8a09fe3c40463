// The geometry the view works with is the geometry library's own: the point type, the primitive it fetches from
// the modeller and writes back, its list of triangle sets with their size and entries, and the two fields of a
// set it changes. The types have the layout and members the view relies on, and no application source wraps,
// renames or redefines them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>

#include "geometry/ofu_types.h"
#include "geometry/primitive.h"
#include "geometry/triangle_polys.h"

namespace {

// A 32-bit dimension field, then x, y and z as doubles.
static_assert(std::is_same_v<decltype(OfuVector3::dim), std::int32_t>);
static_assert(offsetof(OfuVector3, x) == 8 && offsetof(OfuVector3, y) == 16 && offsetof(OfuVector3, z) == 24);
// The list's size is 32-bit and its entries are references into the list.
static_assert(std::is_same_v<decltype(std::declval<const CO3duPolygonList&>().GetSize()), std::int32_t>);
static_assert(std::is_same_v<decltype(std::declval<CO3duPolygonList&>()[0]), CO3duTrianglePolys&>);
static_assert(std::is_same_v<decltype(CO3duPrimitive::sets), CO3duPolygonList>);
static_assert(std::has_virtual_destructor_v<CO3duPrimitive>);
static_assert(std::is_same_v<decltype(CO3duTrianglePolys::material_type), std::int32_t>);
static_assert(std::is_same_v<decltype(CO3duTrianglePolys::texture_number), std::int32_t>);

TEST(GeometryServices, ChangesThroughAnEntryStayInTheList) {
    CO3duPrimitive p;
    // A new primitive is empty and pickable, with identity matrices and everything else 0.
    EXPECT_EQ(p.sets.GetSize(), 0);
    EXPECT_EQ(p.draw_mode, 2);
    EXPECT_EQ(p.kind | p.polygon_mode | static_cast<int>(p.layer), 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(p.model_matrix[r][c], r == c ? 1.0 : 0.0);
            EXPECT_EQ(p.texture_matrix[r][c], r == c ? 1.0 : 0.0);
        }
    p.sets.SetSize(3);
    CO3duTrianglePolys& set = p.sets[1];
    set.material_type = 3;
    set.texture_number = 7;
    const CO3duPrimitive copy = p;
    EXPECT_EQ(copy.sets.GetSize(), 3);
    EXPECT_EQ(copy.sets[1].material_type, 3);
    EXPECT_EQ(copy.sets[1].texture_number, 7);
    EXPECT_EQ(copy.sets[0].texture_number, 0);
}

// How a source text makes its own version of a type: 0 when it only uses the type.
const char* wraps(const std::string& text, const std::string& name) {
    const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        if ((at > 0 && word(text[at - 1])) || (end < text.size() && word(text[end]))) continue;
        std::size_t before = at;
        while (before > 0 && std::isspace(static_cast<unsigned char>(text[before - 1]))) --before;
        const std::string head = text.substr(before >= 6 ? before - 6 : 0, before >= 6 ? 6 : before);
        const std::size_t after = text.find_first_not_of(" \t\r\n", end);
        const char next = after == std::string::npos ? ';' : text[after];
        if ((head.ends_with("class") || head.ends_with("struct")) && (next == ':' || next == '{')) return "defines";
        if (head.ends_with("public")) return "derives from";
        const std::size_t statement = text.find_last_of(";{}", at);
        const std::string lead = text.substr(statement == std::string::npos ? 0 : statement + 1);
        const std::string so_far = lead.substr(0, at - (statement == std::string::npos ? 0 : statement + 1));
        if (so_far.find("typedef") != std::string::npos ||
            (so_far.find("using") != std::string::npos && so_far.find('=') != std::string::npos))
            return "renames";
    }
    return nullptr;
}

// Every application source names these types only as the library declares them.
TEST(GeometryServices, NoApplicationSourceWrapsOrRedefinesThem) {
    const char* root = std::getenv("KZ_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    const char* const names[] = {"OfuVector3", "CO3duPrimitive", "CO3duTrianglePolys", "CO3duPolygonList"};
    EXPECT_STREQ(wraps("struct Mine : public CO3duPrimitive {};", names[1]), "derives from");
    EXPECT_STREQ(wraps("using Point = OfuVector3;", names[0]), "renames");
    EXPECT_STREQ(wraps("class CO3duPolygonList {};", names[3]), "defines");
    EXPECT_EQ(wraps("class CO3duPrimitive;\nCO3duPrimitive p; p.sets.GetSize();", names[1]), nullptr);
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(root) + "/app")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        ++files;
        for (const char* name : names) {
            const char* how = wraps(text.str(), name);
            EXPECT_EQ(how, nullptr) << entry.path() << " " << how << " " << name;
        }
    }
    EXPECT_GT(files, 50);
}

}  // namespace
