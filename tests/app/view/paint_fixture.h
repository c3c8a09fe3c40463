// A view laid out at a fixed size with a scene of boxes built from figure lines, lit so that every face shows its
// own colour, and its frames read back from the windows and from DIBs.
#pragma once
#include "app/scene/xleaf.h"
#include "modeller/render_support.h"
#include "platform/crt/global_memory.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {

using kz::test::Frame;
using kz::test::Rgb;

class PaintTest : public ViewTest {
public:
    static constexpr int kW = 160, kH = 120;
    void SetUp() override;

    // A new item under the root with one shape read from the figure line; returns the item index.
    int add_box_item(const char* line, const char* name = nullptr);
    void look(const double* from, const double* to);
    // The modeller's camera, as the last frame left it.
    _O3duCamera camera() const;
    // The window's last frame, bottom-up like a DIB.
    Frame window_frame(int window) const;
    // The DIB's pixels; the DIB is freed.
    static Frame dib_frame(kz::crt::GlobalHandle dib);
};

// The middle of a face's points in the world.
void face_middle(const kz::scene::XLeaf* face, double* middle);

// The pixel of a world point seen through the modeller's camera in a frame of that size (x from the left, y from
// the bottom); false behind the eye.
bool project_to_pixel(const _O3duCamera& camera, int width, int height, const double* point, int* x, int* y);

}  // namespace kz::view::test
