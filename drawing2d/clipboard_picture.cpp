// The picture of a copied drawing for other programs: the records drawn in print colours on white into an image
// of the drawing's paper size (at most 320 mm a side) at the screen's 96 pixels per inch, put on the clipboard as
// PNG in place of the metafile picture Windows programs take.
#include <algorithm>
#include <cmath>
#include <memory>

#include "drawing2d/clipboard_picture.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/search.h"
#include "platform/clipboard.h"
#include "platform/device_context.h"
#include "platform/image_io.h"

namespace kz::drawing2d {
namespace {
constexpr double kMaxMillimetres = 320.0;
constexpr double kScreenDpi = 96.0;

struct DibOwner {
    kz::crt::GlobalHandle dib;
    ~DibOwner() {
        if (dib) kz::crt::global_free(dib);
    }
};

// The context's window, device, resolution, pens and background, switched for the picture and put back after.
class PictureSettings {
public:
    explicit PictureSettings(drawing_context* ctx) : ctx_(ctx), saved_(Fields::of(*ctx)) {}
    ~PictureSettings() {
        saved_.put(*ctx_);
        delete_pens(ctx_);
    }
    PictureSettings(const PictureSettings&) = delete;
    PictureSettings& operator=(const PictureSettings&) = delete;

private:
    struct Fields {
        double dw[4], dv[4], sizes[4], bscale, device_dpi, meta_dpi;
        int32_t pen_color[kSlots], disp_pen_width, back_color, print_device;
        device_context* dc;
        static Fields of(const drawing_context& c) {
            Fields f{{c.dwxmin, c.dwymin, c.dwxmax, c.dwymax},
                     {c.dvxmin, c.dvymin, c.dvxmax, c.dvymax},
                     {c.dv_width, c.dv_height, c.dw_width, c.dw_height},
                     c.disp_bscale,
                     c.device_dpi,
                     c.meta_dpi,
                     {},
                     c.disp_pen_width,
                     c.back_color,
                     c.print_device,
                     c.current_dc};
            std::copy(std::begin(c.pen_color), std::end(c.pen_color), f.pen_color);
            return f;
        }
        void put(drawing_context& c) const {
            c.dwxmin = dw[0], c.dwymin = dw[1], c.dwxmax = dw[2], c.dwymax = dw[3];
            c.dvxmin = dv[0], c.dvymin = dv[1], c.dvxmax = dv[2], c.dvymax = dv[3];
            c.dv_width = sizes[0], c.dv_height = sizes[1], c.dw_width = sizes[2], c.dw_height = sizes[3];
            c.disp_bscale = bscale, c.device_dpi = device_dpi, c.meta_dpi = meta_dpi;
            std::copy(std::begin(pen_color), std::end(pen_color), c.pen_color);
            c.disp_pen_width = disp_pen_width, c.back_color = back_color, c.print_device = print_device;
            c.current_dc = dc;
        }
    };
    drawing_context* ctx_;
    Fields saved_;
};

// The records drawn as for print, in print colours, the frame filling the image.
void draw_records(drawing_context* ctx, int32_t row, kz::crt::GlobalHandle dib, const PictureFrame& f) {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_memory_over_dib(dib);
    if (!dc) return;
    PictureSettings keep(ctx);
    ctx->dwxmin = f.xmin, ctx->dwymin = f.ymin, ctx->dwxmax = f.xmax, ctx->dwymax = f.ymax;
    ctx->dvxmin = ctx->dvymin = 0, ctx->dvxmax = f.width, ctx->dvymax = f.height;
    ctx->dv_width = f.width, ctx->dv_height = f.height;
    ctx->dw_width = f.xmax - f.xmin, ctx->dw_height = f.ymax - f.ymin;
    ctx->disp_bscale = f.width / (f.xmax - f.xmin);
    ctx->meta_dpi = kScreenDpi;  // a picture of pixels at the screen's resolution stands in for the metafile
    ctx->print_device = 2;
    std::copy(std::begin(ctx->print_pen_color), std::end(ctx->print_pen_color), ctx->pen_color);
    ctx->disp_pen_width = -1;
    ctx->back_color = 0xFFFFFF;
    delete_pens(ctx);
    xlum_gdisp(ctx, dc.get(), row, 13, ctx->paint_mode);
}
}  // namespace

PictureFrame picture_frame(drawing_context* ctx, int32_t row) {
    PictureFrame f{};
    row_range_extents(ctx, row, &f.xmin, &f.ymin, &f.xmax, &f.ymax, 0);
    const double units_per_mm = ctx->print_scale / ctx->plot_scale;
    f.xmin -= units_per_mm, f.ymin -= units_per_mm, f.xmax += units_per_mm, f.ymax += units_per_mm;
    // A side longer than the limit is cut back from its lower edge.
    auto side = [&](double lo, double* hi) {
        double mm = (*hi - lo + 1) / units_per_mm;
        if (!(mm <= kMaxMillimetres)) {
            mm = kMaxMillimetres;
            *hi = lo + mm * units_per_mm - 1;
        }
        return std::max(1, static_cast<int>(std::lround(mm / 25.4 * kScreenDpi)));
    };
    f.width = side(f.xmin, &f.xmax);
    f.height = side(f.ymin, &f.ymax);
    return f;
}

int copy_picture_to_clipboard(drawing_context* ctx, int32_t row) {
    if (!(ctx->print_scale > 0) || !(ctx->plot_scale > 0)) return 0;
    const PictureFrame frame = picture_frame(ctx, row);
    DibOwner image{kz::platform::allocate_packed_dib(frame.width, frame.height, 24)};
    if (!image.dib) return 0;
    auto* bytes = static_cast<unsigned char*>(kz::crt::global_lock(image.dib));
    std::fill(bytes + 40, bytes + kz::crt::global_size(image.dib), 0xFF);
    kz::crt::global_unlock(image.dib);
    draw_records(ctx, row, image.dib, frame);
    std::optional<std::string> png = kz::platform::encode_dib_as_png(image.dib);
    return png && kz::platform::set_clipboard_data(kz::platform::kClipboardPicture, *png, true) ? 1 : 0;
}

}  // namespace kz::drawing2d
