// The laid-out view with a box scene shared by the paint and per-frame state tests.
#include "paint_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view::test {

void PaintTest::SetUp() {
    ViewTest::SetUp();
    view->LayoutWindows(kW, kH);
    view->settings.background_color = 0;
    // The sun's ambient alone, on top of the modeller's global 0.2: every face shows exactly its own colour.
    view->settings.sun[0] = 0.8, view->settings.sun[1] = 0.0, view->settings.sun[2] = 0.0;
    for (double& level : view->settings.head) level = 0.0;
    view->settings.shadow_display = 0;
}

int PaintTest::add_box_item(const char* line, const char* name) {
    const int index = add_item(0, name);
    XTrunk* trunk = view->document.trunks[index];
    XLeaves* shape = trunk->parts[trunk->AddLeaves()];
    shape->record->ReadFigureLine(line);
    shape->Build(nullptr);
    trunk->RecalcMatrices(1);
    view->camera.scene_radius = 0.0;
    return index;
}

void PaintTest::look(const double* from, const double* to) {
    std::memcpy(view->camera.eye->eye, from, 3 * sizeof(double));
    std::memcpy(view->camera.eye->target, to, 3 * sizeof(double));
}

Frame PaintTest::window_frame(int window) const {
    const kz::platform::DeviceContext& dc = *view->output.view_dc[window];
    Frame f(dc.backing_width(), dc.backing_height());
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const std::uint8_t* p = dc.backing_bytes() + std::size_t(f.height - 1 - y) * dc.backing_stride() + 4 * x;
            std::memcpy(&f.bytes[std::size_t(y) * f.stride() + 3 * x], p, 3);
        }
    return f;
}

Frame PaintTest::dib_frame(kz::crt::GlobalHandle dib) {
    Frame f;
    if (!dib) return f;
    const auto* bytes = static_cast<const std::uint8_t*>(kz::crt::global_lock(dib));
    std::int32_t w = 0, h = 0;
    std::memcpy(&w, bytes + 4, 4);
    std::memcpy(&h, bytes + 8, 4);
    f.width = w;
    f.height = h;
    f.bytes.assign(bytes + 40, bytes + 40 + std::size_t(f.stride()) * h);
    kz::crt::global_unlock(dib);
    kz::crt::global_free(dib);
    return f;
}

_O3duCamera PaintTest::camera() const {
    _O3duCamera c;
    view->output.bridge->modeller->GetCamera(c);
    return c;
}

void face_middle(const kz::scene::XLeaf* face, double* middle) {
    std::fill(middle, middle + 3, 0.0);
    for (int i = 0; i < face->point_count(); ++i) {
        double w[3];
        kz::foundation::transform_point(w, face->local_point(i), face->world().data());
        for (int k = 0; k < 3; ++k) middle[k] += w[k] / face->point_count();
    }
}

bool project_to_pixel(const _O3duCamera& c, int width, int height, const double* p, int* x, int* y) {
    double f[3] = {c.target.x - c.eye.x, c.target.y - c.eye.y, c.target.z - c.eye.z};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& v : f) v /= fl;
    double s[3] = {f[1], -f[0], 0.0};  // forward x up
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1]);
    for (double& v : s) v /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    const double d[3] = {p[0] - c.eye.x, p[1] - c.eye.y, p[2] - c.eye.z};
    const double depth = d[0] * f[0] + d[1] * f[1] + d[2] * f[2];
    if (depth <= 0) return false;
    const double t = std::tan(c.fov * M_PI / 360.0);
    const double px = (d[0] * s[0] + d[1] * s[1] + d[2] * s[2]) / depth / (t * c.aspect);
    const double py = (d[0] * u[0] + d[1] * u[1] + d[2] * u[2]) / depth / t;
    *x = static_cast<int>(std::floor((px + 1) * 0.5 * width));
    *y = static_cast<int>(std::floor((py + 1) * 0.5 * height));
    return true;
}

}  // namespace kz::view::test
