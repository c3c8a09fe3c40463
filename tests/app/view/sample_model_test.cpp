// The sample model in examples/ is written by hand: every record line must read back as the shape, name and
// pastes it was meant to be, and its texture must be an image the renderer accepts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/scene/figure_record.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

using SampleModel = ViewTest;

std::string source_dir() {
    const char* dir = std::getenv("KZ_SOURCE_DIR");
    return dir ? dir : ".";
}

TEST_F(SampleModel, RoomRecordsReadAsWritten) {
    std::ifstream in(source_dir() + "/examples/sample-room/room.fig", std::ios::binary);
    ASSERT_TRUE(in) << "examples/sample-room/room.fig is missing";
    std::map<std::string, int> kinds;                   // name -> kind
    std::map<std::string, std::pair<int, int>> pastes;  // name -> kind and first face code of its first paste
    std::string line;
    int depth = 0;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "lines end with CR LF";
        line.pop_back();
        if (line == "{") ++depth;
        if (line == "}") --depth;
        ASSERT_GE(depth, 0);
        if (line.rfind("box,", 0) != 0 && line.rfind("ball,", 0) != 0 && line.rfind("trunk,", 0) != 0) continue;
        kz::scene::COBJECTA record(nullptr, view, nullptr);
        record.ReadFigureLine(line.c_str());
        ASSERT_NE(record.name, nullptr) << line;
        kinds[record.name] = record.kind;
        if (record.kind == 2 || record.kind == 3) {
            EXPECT_GT(record.w, 0.0) << line;
            EXPECT_GT(record.d, 0.0) << line;
            EXPECT_GT(record.h, 0.0) << line;
        }
        if (record.paste_count > 0 && record.paste_entries[0].range_count > 0)
            pastes[record.name] = {record.paste_entries[0].kind, record.paste_entries[0].from_codes[0]};
    }
    EXPECT_EQ(depth, 0);
    const struct {
        const char* name;
        int kind;
    } expected[] = {{"room", 1},
                    {"floor", 2},
                    {"back wall", 2},
                    {"left wall", 2},
                    {"right wall low", 2},
                    {"right wall high", 2},
                    {"right wall front", 2},
                    {"right wall back", 2},
                    {"window glass", 2},
                    {"caption board", 2},
                    {"table", 1},
                    {"table top", 2},
                    {"leg 4", 2},
                    {"ball", 1},
                    {"red ball", 3}};
    for (const auto& e : expected) {
        ASSERT_EQ(kinds.count(e.name), 1u) << e.name;
        EXPECT_EQ(kinds[e.name], e.kind) << e.name;
    }
    EXPECT_EQ(pastes["floor"], std::make_pair(2, 2000));          // an image on the top face
    EXPECT_EQ(pastes["caption board"], std::make_pair(3, 5000));  // a text texture on the front face
    EXPECT_EQ(pastes.size(), 2u);

    // The texture: a 24-bit BMP whose width times height is a power of two.
    std::ifstream bmp(source_dir() + "/examples/sample-room/floor.bmp", std::ios::binary);
    std::stringstream bytes;
    bytes << bmp.rdbuf();
    const std::string b = bytes.str();
    ASSERT_GT(b.size(), 54u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    auto le32 = [&](int at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
    };
    const std::uint32_t area = le32(18) * le32(22);
    EXPECT_EQ(area & (area - 1), 0u);
    EXPECT_EQ(static_cast<unsigned char>(b[28]), 24);
}

}  // namespace
}  // namespace kz::view::test
