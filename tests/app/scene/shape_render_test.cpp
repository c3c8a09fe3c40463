// End to end, headless: a figure file with one shape of every kind in a row, read line by line into a part, built,
// drawn through the bridge shape by shape and then as the part's batch, and each frame compared with the stored
// reference image by its largest and mean difference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "bridged_view.h"
#include "support/test_paths.h"

namespace kz::scene {
namespace {

constexpr int kWidth = 480, kHeight = 120;
constexpr int kMaxDifference = 48;  // one channel of one pixel: an edge that llvmpipe rasterises otherwise
constexpr double kMeanDifference = 0.5;

// The bridged view on a wide window, so that the row fills the frame.
class RowView : public test::BridgedView {
public:
    RowView() : BridgedView(false) {
        dc = kz::platform::DeviceContext::create_window(kWidth, kHeight);
        bridge_owner = std::make_unique<kz::foundation::CBusMDL>(this);
        bridge = bridge_owner.get();
    }
};

std::vector<std::uint8_t> read_bmp_pixels(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 54) return {};
    return std::vector<std::uint8_t>(bytes.begin() + 54, bytes.end());
}

TEST(ShapeRender, RowOfEveryKindMatchesTheReference) {
    RowView view;
    XTrunk* root = view.add_trunk("root");
    std::ifstream figure(kz::test::data_file("scene_shapes/shape_row.fig"));
    ASSERT_TRUE(figure.good());
    int shapes = 0;
    for (std::string line; std::getline(figure, line);) {
        if (line.empty()) continue;
        XLeaves* shape = view.add_shape(root, line.c_str());
        EXPECT_NE(shape->model, nullptr) << line;
        ++shapes;
    }
    ASSERT_EQ(shapes, 11);
    view.look({1190, -2800, 1000}, {1190, 0, 80}, 14.0);
    auto& m = *view.bridge->modeller;
    m.SetLight(0, kz::test::make_light(OFU_LIGHT_DIRECTIONAL, {0.75f, 0.75f, 0.75f, 1}, {0.25f, 0.25f, 0.25f, 1},
                                       {0, 0, 0, 1}, {-0.4, 0.7, -0.6}));
    // The first frame draws every new shape on its own; from the second on the row, one item, is one batch.
    const kz::test::Frame first = view.render();
    EXPECT_EQ(m.draw_cache().batch_count(), 0u);
    const kz::test::Frame batched = view.render();
    EXPECT_EQ(m.draw_cache().batch_count(), 1u);

    const std::string reference_path = kz::test::data_file("scene_shapes/shape_row.bmp");
    // A new reference is made by hand: KZ_WRITE_REFERENCE=1 saves the frame to the output folder to be copied.
    if (std::getenv("KZ_WRITE_REFERENCE")) first.save("shape_row_reference");
    const std::vector<std::uint8_t> reference = read_bmp_pixels(reference_path);
    for (const auto& [frame, name] : {std::pair{&first, "shape_row"}, std::pair{&batched, "shape_row_batched"}}) {
        ASSERT_EQ(reference.size(), frame->bytes.size()) << reference_path;
        int largest = 0;
        double sum = 0.0;
        kz::test::Frame difference = *frame;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            const int d = std::abs(int(reference[i]) - int(frame->bytes[i]));
            largest = std::max(largest, d);
            sum += d;
            difference.bytes[i] = static_cast<std::uint8_t>(std::min(255, 4 * d));
        }
        const double mean = sum / reference.size();
        const bool same = largest <= kMaxDifference && mean <= kMeanDifference;
        if (!same) {
            frame->save(std::string(name) + "_actual");
            difference.save(std::string(name) + "_difference");
        }
        EXPECT_TRUE(same) << name << ": largest difference " << largest << ", mean " << mean
                          << "; actual and difference images written to " << kz::test::output_dir();
    }
}

}  // namespace
}  // namespace kz::scene
