// The picture of a copied drawing for other programs: the records drawn in print colours on white into an image
// of the drawing's paper size (at most 320 mm a side) at the screen's 96 pixels per inch, put on the clipboard as
// PNG in place of the metafile picture Windows programs take.
#include <algorithm>
#include <cmath>
#include <memory>

#include "drawing2d/clipboard_picture.h"
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

// Temporary: the records are drawn once the device display is in place; until then the picture stays white.
void draw_records(drawing_context*, int32_t, kz::crt::GlobalHandle, const PictureFrame&) {}
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
