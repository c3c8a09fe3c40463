// OM3 mesh files in the viewer: one opened as the model shows its scene as the bridge's mesh shape, and a figure
// set that names one opens it with the set's settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/foundation/bus_mdl.h"
#include "app/view/program_entry.h"
#include "modeller/files/o3du_write_mesh3.h"
#include "paint_fixture.h"
#include "platform/device_context.h"
#include "platform/file_system.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

// A red block written to an OM3 file by a modeller of its own, one file a test: the tests run side by side, and a
// write refuses to replace a file that appeared under its name after it began.
std::string red_block_file() {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string path = kz::test::output_file("red_block_" + test + ".om3");
    auto dc = kz::platform::DeviceContext::create_window(32, 32);
    HDC hdc = dc.get();
    CO3duGLModelar m;
    m.Initialize(hdc);
    CO3duPrimitive block =
        kz::test::make_box({-500, -300, 0}, {500, 300, 800}, kz::test::make_material({1, 0, 0, 1}, {1, 0, 0, 1}));
    m.AddPrimitive(block);
    EXPECT_EQ(CO3duWriteMesh3::WriteModel(m, path.c_str(), 1), 1);
    return path;
}

bool is_red(Rgb c) { return c.r > 100 && c.g < 40 && c.b < 40; }

class MeshFile : public PaintTest {
public:
    // The eye's move to the opened model, run to its end, and a frame drawn.
    Frame shown() {
        clock->advance(static_cast<std::int64_t>(view->camera.eye_move_time * 1000) + 1);
        SystemTime now;
        view->GetClockTime(&now);
        view->StepCameraMove(now);
        view->settings.light_value = 1.0;
        view->Redraw(0);
        return window_frame(0);
    }
};

TEST_F(MeshFile, OpenedAsTheModelItShows) {
    ASSERT_EQ(view->OpenModel(red_block_file().c_str()), 1);
    ASSERT_NE(view->Bridge()->mesh_shape, nullptr);
    EXPECT_EQ(view->trunk_count(), 1) << "no item is made for a mesh";
    const Frame f = shown();
    EXPECT_TRUE(is_red(f.at(kW / 2, kH / 2)));
    if (HasFailure()) f.save("mesh_model");

    // A file that is not a mesh leaves no mesh shape behind.
    const std::string bad = kz::test::output_file("not_a_mesh.om3");
    std::ofstream(bad) << "OM3 but not really";
    EXPECT_EQ(view->OpenModel(bad.c_str()), 1);
    EXPECT_EQ(view->Bridge()->mesh_shape, nullptr);
}

TEST_F(MeshFile, NamedOnTheCommandLineItShows) {
    const std::string mesh = kz::platform::from_native_path(red_block_file());
    ASSERT_EQ(ChooseStartFile(view, "", "", ("\"" + mesh + "\"").c_str()), 2);
    ASSERT_NE(view->Bridge()->mesh_shape, nullptr);
    EXPECT_EQ(view->document.current_figure_path, mesh);
    const Frame f = shown();
    EXPECT_TRUE(is_red(f.at(kW / 2, kH / 2)));
    if (HasFailure()) f.save("mesh_command_line");
}

TEST_F(MeshFile, FigureSetNamesAMeshAndItsSettingsApply) {
    const std::string mesh = std::filesystem::path(red_block_file()).filename().string();
    const std::string set = kz::test::output_file("red_block.figset");
    std::ofstream(set, std::ios::binary) << "figfile," << mesh << "\r\nset,haikei,0,0,255\r\n";
    const std::string set_name = kz::platform::from_native_path(set);
    ASSERT_EQ(ChooseStartFile(view, "", "", set_name.c_str()), 2);
    ASSERT_NE(view->Bridge()->mesh_shape, nullptr);
    const Frame f = shown();
    EXPECT_TRUE(is_red(f.at(kW / 2, kH / 2)));
    int blue = 0;  // the set's background around the block
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) blue += f.at(x, y).b == 255 && f.at(x, y).r == 0;
    EXPECT_GT(blue, kW * kH / 10);
    if (HasFailure()) f.save("mesh_set");

    // The set may hide the mesh, as "mesh world" off.
    std::ofstream(set, std::ios::binary) << "figfile,red_block.om3\r\nset,mesh world,0\r\n";
    ChooseStartFile(view, "", "", set_name.c_str());
    EXPECT_FALSE(is_red(shown().at(kW / 2, kH / 2)));
}

}  // namespace
}  // namespace kz::view::test
