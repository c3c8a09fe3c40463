// The redraw of the view windows (one image, two side by side, or a red/cyan anaglyph; or the plan outline), the
// stereo eye, the window layouts, rendering the view into a DIB of any size and printing it on one page.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/xtrunk.h"
#include "platform/dialogs.h"
#include "platform/gdi.h"
#include "platform/message_loop.h"
#include "platform/printer.h"

namespace kz::view {

using namespace kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxPrintSide = 5000;

// Frees a DIB when it goes out of scope.
struct DibHolder {
    crt::GlobalHandle dib = nullptr;
    explicit DibHolder(crt::GlobalHandle d) : dib(d) {}
    ~DibHolder() {
        if (dib) crt::global_free(dib);
    }
    DibHolder(const DibHolder&) = delete;
    DibHolder& operator=(const DibHolder&) = delete;
    crt::GlobalHandle release() { return std::exchange(dib, nullptr); }
};

}  // namespace

void XView::Redraw(int flag) {
    if (output.redraws_held) {
        output.held_redraw_flag |= flag;
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    // A hover position still waiting for its pick is picked against the scene as the user saw it.
    ResolveHoverPick();
    if (!SyncScene(flag) || !output.view_dc[0] || !camera.eye) return;
    SetProjectionWindow();
    if (output.bridge && display.plan_display == 0) {
        ApplyProximityDisplay();
        if (RenderFrame(flag)) EndIfStartModelShown();
    } else if (display.plan_display == 1) {
        if (camera.current_camera_part) LookFromCameraPart(nullptr, static_cast<XLeaves*>(camera.current_camera_part));
        const int w = std::max(camera.eye->screen_width, 1), h = std::max(camera.eye->screen_height, 1);
        std::unique_ptr<plat::DeviceContext> memory = plat::DeviceContext::create_memory();
        std::unique_ptr<plat::Bitmap> bitmap = plat::Bitmap::create_compatible(w, h);
        if (memory && bitmap) {
            memory->select_bitmap(bitmap.get());
            const std::int32_t bg = static_cast<std::int32_t>(settings.background_color);
            plat::fill_rect(*memory, plat::GdiRect{0, 0, w, h},
                            plat::Brush{false, bg < 0 ? 0x204000u : static_cast<plat::ColorRef>(bg)});
            plat::set_rop2(*memory, plat::kR2CopyPen);
            XTrunk* selected = input.selected_trunk >= 0 && input.selected_trunk < trunk_count()
                                   ? document.trunks[input.selected_trunk]
                                   : nullptr;
            if (selected) selected->highlight_color = 65535;
            DrawPlanOutline(memory.get());
            if (selected) selected->highlight_color = 0;
            if (!plat::bit_blt(*output.view_dc[0], camera.eye->screen_origin_x, camera.eye->screen_origin_y, w, h,
                               *memory, 0, 0))
                plat::message_box(output.parent, "BitBlt bb", "Disp", 0);
            output.view_dc[0]->notify_present();
            memory->select_bitmap(nullptr);
            EndIfStartModelShown();
        }
    }
    static char status[512];
    FormatPickStatus(status);
    plat::send_message(output.parent, UM_VIEW_STATUS, 0, reinterpret_cast<plat::LParam>(status));
    output.draw_time = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void XView::EndAtStartModelFrame() {
    output.end_at_start_frame = 1;
    output.start_model_triangles = -1;
}

void XView::EndIfStartModelShown() {
    if (!output.end_at_start_frame) return;
    CO3duGLModelar* m = output.bridge ? output.bridge->modeller.get() : nullptr;
    // Counted once, after the frame's own sync has shown and hidden what the settings ask for.
    if (output.start_model_triangles < 0)
        output.start_model_triangles = m ? static_cast<std::int64_t>(m->TrianglesOfShownShapes()) : 0;
    const bool whole = display.plan_display == 0 && m &&
                       static_cast<std::int64_t>(m->TrianglesDrawnLastFrame()) >= output.start_model_triangles;
    if (!whole && camera.camera_motion.active) return;
    output.end_at_start_frame = 0;
    plat::post_quit_message(0);
}

int XView::RenderFrame(int flag) {
    if (!output.bridge || !camera.eye || !SyncScene(flag)) return 0;
    SetProjectionWindow();
    display.unit_depth = -1;
    if (!document.trunks.empty()) PropagateUnitColors(document.trunks[0], -1);
    const double half = camera.stereo_eye_distance * 0.5;
    switch (output.window_layout) {
    case 0: DrawEyeShifted(output.view_dc[0].get(), 0); break;
    case 1:
        DrawEyeShifted(output.view_dc[1].get(), -half);
        DrawEyeShifted(output.view_dc[0].get(), half);
        break;
    case 2:
    case 3: {
        const int w = camera.eye->screen_width, h = camera.eye->screen_height;
        DibHolder first(create_dib24(w, h)), second(create_dib24(w, h));
        if (!first.dib || !second.dib) break;
        SetStereoEye(half);
        CopyViewToDib(first.dib);
        SetStereoEye(-half);
        CopyViewToDib(second.dib);
        SetStereoEye(0);
        DibHolder anaglyph(make_anaglyph_dib(second.dib, first.dib, output.window_layout == 2 ? 0 : 1));
        if (anaglyph.dib && output.view_dc[0]) {
            const plat::GdiRect r{0, 0, w, h};
            draw_dib(output.view_dc[0].get(), r, anaglyph.dib, r);
            output.view_dc[0]->notify_present();
        }
        break;
    }
    default: break;
    }
    return 1;
}

void XView::SetStereoEye(double offset) {
    CO3duGLModelar* m = output.bridge ? output.bridge->modeller.get() : nullptr;
    if (!m || !camera.eye) return;
    const double d0 = distance_3d(camera.eye->eye, camera.scene_centre);
    const double r = std::max(camera.scene_radius * 1.2, 25000.0);
    const double near_distance = std::clamp(d0 - r, 20.0, 400.0);
    const double far_distance = 6.0 * r + d0;
    const double z = camera.eye->zoom_ratio;
    const float angle = static_cast<float>(std::atan2(z * 0.5, 1.0) / kPi * 180.0 * 2.0);
    const float aspect = camera.eye->screen_height > 0
                             ? static_cast<float>(double(camera.eye->screen_width) / camera.eye->screen_height)
                             : 1.0f;
    _O3duCamera gl_camera;
    m->GetCamera(gl_camera);
    gl_camera.target = OfuVector3(camera.eye->target[0], camera.eye->target[1], camera.eye->target[2]);
    gl_camera.fov = angle;
    gl_camera.near_distance = near_distance;
    gl_camera.far_distance = far_distance;
    gl_camera.aspect = aspect;
    double e[3] = {camera.eye->eye[0], camera.eye->eye[1], camera.eye->eye[2]};
    if (offset != 0.0) {
        double dir[3];
        const double distance = distance_with_direction(camera.eye->eye, camera.eye->target, dir);
        double s = std::pow(distance / 2000.0, 0.75) * 65.0 * camera.stereo_factor;
        if (offset < 0) s = -s;
        e[0] += s * dir[1];
        e[1] -= s * dir[0];
    }
    gl_camera.eye = OfuVector3(e[0], e[1], e[2]);
    m->SetCamera(gl_camera);
}

crt::GlobalHandle XView::RenderToDib(int width, int height) {
    if (!camera.eye || output.window_layout < 0 || output.window_layout > 3) return nullptr;
    EyeRecord saved;
    CopyEyeRecord(&saved, camera.eye);
    camera.eye->screen_width = width;
    camera.eye->screen_height = height;
    SetProjectionWindow();
    const double half = camera.stereo_eye_distance * 0.5;
    DibHolder result(nullptr);
    if (output.window_layout == 0) {
        result.dib = create_dib24(width, height);
        CopyViewToDib(result.dib);
    } else if (output.window_layout == 1) {
        const int half_width = width / 2;
        DibHolder right(create_dib24(half_width, height)), left(create_dib24(half_width, height));
        camera.eye->screen_width = half_width;
        SetStereoEye(half);
        CopyViewToDib(right.dib);
        SetStereoEye(-half);
        CopyViewToDib(left.dib);
        SetStereoEye(0);
        result.dib = create_dib24(width, height);
        auto* out = static_cast<std::uint8_t*>(result.dib ? crt::global_lock(result.dib) : nullptr);
        auto* a = static_cast<const std::uint8_t*>(right.dib ? crt::global_lock(right.dib) : nullptr);
        auto* b = static_cast<const std::uint8_t*>(left.dib ? crt::global_lock(left.dib) : nullptr);
        if (out && a && b) {
            const int stride = dib_row_stride(width, 3), half_stride = dib_row_stride(half_width, 3);
            const int bytes = half_width * 3;
            for (int y = 0; y < height; ++y) {
                std::uint8_t* row = out + 40 + std::size_t(y) * stride;
                std::memcpy(row, a + 40 + std::size_t(y) * half_stride, bytes);
                std::memcpy(row + bytes, b + 40 + std::size_t(y) * half_stride, bytes);
            }
        }
        for (crt::GlobalHandle h : {result.dib, right.dib, left.dib})
            if (h) crt::global_unlock(h);
    } else {
        DibHolder first(create_dib24(width, height)), second(create_dib24(width, height));
        SetStereoEye(half);
        CopyViewToDib(first.dib);
        SetStereoEye(-half);
        CopyViewToDib(second.dib);
        SetStereoEye(0);
        if (first.dib && second.dib)
            result.dib = make_anaglyph_dib(second.dib, first.dib, output.window_layout == 2 ? 0 : 1);
    }
    CopyEyeRecord(camera.eye, &saved);
    SetZoom(camera.eye->zoom_ratio);
    SetStereoEye(0);
    return result.release();
}

void XView::LayoutWindows(int width, int height) {
    if (width < 1 || height < 1 || !output.view_window[0] || !camera.eye) return;
    if (width == output.layout_width && height == output.layout_height &&
        output.window_layout == output.applied_layout && output.layout_done)
        return;
    output.applied_layout = output.window_layout;
    // Margins: left, top, right, bottom.
    int view_width = output.fixed_width >= 1 ? output.fixed_width : width - output.margin[2] - output.margin[0];
    const int view_height =
        output.fixed_height >= 1 ? output.fixed_height : height - output.margin[3] - output.margin[1];
    if (output.window_layout == 1) view_width /= 2;
    if (view_width < 1 || view_height < 1) return;
    camera.eye->screen_width = view_width - 2 * camera.eye->screen_origin_x;
    camera.eye->screen_height = view_height - 2 * camera.eye->screen_origin_y;
    camera.eye->window_height = view_height;
    UpdateScreenScale();
    if (output.window_layout == 1) {
        plat::move_window(output.view_window[1], output.margin[0] + view_width, output.margin[1], view_width,
                          view_height, true);
        if (output.view_dc[1]) output.view_dc[1]->resize(view_width, view_height);
        if (output.view_dc[1]) output.view_dc[1]->set_pixel_ratio(plat::window_pixel_ratio(output.view_window[1]));
    } else {
        plat::move_window(output.view_window[1], -10, -10, 1, 1, false);
    }
    plat::move_window(output.view_window[0], output.margin[0], output.margin[1], view_width, view_height, true);
    // Sizes are the window's device pixels; what is drawn in pixels to look a size is widened by their ratio.
    if (output.view_dc[0]) output.view_dc[0]->resize(view_width, view_height);
    if (output.view_dc[0]) output.view_dc[0]->set_pixel_ratio(plat::window_pixel_ratio(output.view_window[0]));
    if (output.bridge) {
        output.bridge->UpdateViewport(*camera.eye);
        output.layout_width = width;
        output.layout_height = height;
        output.bridge->device_dirty = 1;
    }
    output.layout_done = 1;
}

void XView::CycleLayout() {
    output.window_layout = output.window_layout + 1 > 3 || output.window_layout < 0 ? 0 : output.window_layout + 1;
    LayoutWindows(output.layout_width, output.layout_height);
}

void XView::UpdateScreenScale() {
    if (!camera.eye || !(settings.menu_screen_height != 0.0)) return;
    output.screen_scale = camera.eye->window_height / settings.menu_screen_height;
    for (XTrunk* t : document.trunks)
        if (t && t->HasPartFlag(0, 8)) t->RecalcMatrices(0);
}

void XView::PrintView(std::int32_t background) {
    std::unique_ptr<plat::PrintJob> job = plat::PrintJob::choose_printer(output.view_window[0]);
    if (!job) return;  // the user cancelled
    // Accepted, the dialog is answered only by a page or by a line that says why there is none.
    const auto nothing_printed = [](const std::string& why) {
        print_viewer_line("print: " + why + "; nothing was printed");
    };
    if (!job->has_printer()) return nothing_printed("no printer is set up");
    const int page_width = job->page_width();
    if (!output.bridge || page_width < 1) return nothing_printed("the printer has no page to draw on");
    const int page_height = static_cast<int>(std::floor(page_width * 3 * 0.25 + 0.5));
    int w = page_width, h = page_height;
    if (w > kMaxPrintSide) {
        w = kMaxPrintSide;
        h = static_cast<int>(std::int64_t(page_height) * kMaxPrintSide / page_width);
    }
    if (h > kMaxPrintSide) {
        w = static_cast<int>(std::int64_t(w) * kMaxPrintSide / h);
        h = kMaxPrintSide;
    }
    // The 4:3 picture as wide as the page may be taller than the printable area: it is then fitted by its height,
    // keeping its aspect.
    int out_width = page_width, out_height = page_height;
    if (job->page_height() > 0 && out_height > job->page_height()) {
        out_height = job->page_height();
        out_width = static_cast<int>(std::int64_t(page_width) * out_height / page_height);
    }
    DibHolder dib(output.bridge->RenderToDib(w, h, background));
    if (!dib.dib) return nothing_printed("the view could not be drawn at the page's size");
    if (!job->start_document("KZ3D Image")) return nothing_printed("the printer did not start the document");
    if (job->start_page()) {
        const auto* bytes = static_cast<const std::uint8_t*>(crt::global_lock(dib.dib));
        const int dw = dib_width(bytes), dh = dib_height(bytes);
        plat::ImageView image{bytes + 40, dw, dh, dib_row_stride(dw, 3), 24, true};
        job->draw_image(image, 0, 0, out_width, out_height);
        crt::global_unlock(dib.dib);
        job->end_page();
    } else {
        nothing_printed("the printer did not start the page");
    }
    job->end_document();
}

}  // namespace kz::view
