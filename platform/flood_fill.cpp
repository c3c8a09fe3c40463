// ExtFloodFill for our device contexts: Qt's painter has no flood fill, so the spans are found here on the
// surface's own rows (24 or 32 bits, either row order), within the clip rectangle.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/device_context_impl.h"
#include "platform/gdi.h"

namespace kz::platform {

namespace {

struct Span {
    int left, right, y;  // pixels left .. right - 1 of row y, all to be filled
};

class FloodSurface {
public:
    FloodSurface(const SurfaceView& view, const GdiRect& bounds) : view_(view), bounds_(bounds) {
        marked_.assign(static_cast<std::size_t>(bounds.right - bounds.left) * (bounds.bottom - bounds.top), 0);
    }
    ColorRef at(int x, int y) const {
        const std::uint8_t* p = pixel(x, y);
        return rgb(p[2], p[1], p[0]);
    }
    void put(int x, int y, ColorRef c) {
        std::uint8_t* p = pixel(x, y);
        p[0] = (c >> 16) & 0xFF;
        p[1] = (c >> 8) & 0xFF;
        p[2] = c & 0xFF;
    }
    // Marked pixels are taken already; marks keep a fill whose brush matches the surface colour from looping.
    bool marked(int x, int y) const { return marked_[index(x, y)] != 0; }
    void mark(int x, int y) { marked_[index(x, y)] = 1; }
    const GdiRect& bounds() const { return bounds_; }

private:
    std::uint8_t* pixel(int x, int y) const {
        return view_.row(y) + static_cast<std::ptrdiff_t>(x) * (view_.bits_per_pixel / 8);
    }
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y - bounds_.top) * (bounds_.right - bounds_.left) + (x - bounds_.left);
    }
    SurfaceView view_;
    GdiRect bounds_;
    std::vector<std::uint8_t> marked_;
};

}  // namespace

bool ext_flood_fill(DeviceContext& dc, int x, int y, ColorRef color, int type) {
    const GdiState& s = gdi_state(dc);
    const SurfaceView view = dc.impl()->surface();
    if (!view || s.brush.hollow || (type != kFloodBorder && type != kFloodSurface)) return false;
    GdiRect bounds{0, 0, view.width, view.height};
    if (s.clipping)
        bounds = {std::max(bounds.left, s.clip.left), std::max(bounds.top, s.clip.top),
                  std::min(bounds.right, s.clip.right), std::min(bounds.bottom, s.clip.bottom)};
    if (x < bounds.left || x >= bounds.right || y < bounds.top || y >= bounds.bottom) return false;
    FloodSurface surface(view, bounds);
    color &= 0xFFFFFF;
    const auto fillable = [&](int px, int py) {
        if (surface.marked(px, py)) return false;
        return (surface.at(px, py) == color) == (type == kFloodSurface);
    };
    if (!fillable(x, y)) return false;

    // Span fill: each popped seed grows into its whole run on its row, and the runs above and below are seeded.
    std::vector<GdiPoint> seeds{{x, y}};
    while (!seeds.empty()) {
        const GdiPoint seed = seeds.back();
        seeds.pop_back();
        if (!fillable(seed.x, seed.y)) continue;
        Span span{seed.x, seed.x + 1, seed.y};
        while (span.left > bounds.left && fillable(span.left - 1, span.y)) --span.left;
        while (span.right < bounds.right && fillable(span.right, span.y)) ++span.right;
        for (int px = span.left; px < span.right; ++px) {
            surface.mark(px, span.y);
            surface.put(px, span.y, s.brush.color & 0xFFFFFF);
        }
        for (int ny : {span.y - 1, span.y + 1}) {
            if (ny < bounds.top || ny >= bounds.bottom) continue;
            for (int px = span.left; px < span.right; ++px)
                if (fillable(px, ny) && (px == span.left || !fillable(px - 1, ny))) seeds.push_back({px, ny});
        }
    }
    after_gdi_drawing(dc);
    return true;
}

}  // namespace kz::platform
