// A hull whose corners all lie beyond the near plane is seen as the hull of its corners' pictures, so the box of
// those pictures holds every pixel drawn from it; a margin takes in the rounding of the corners' floats through the
// driver's matrices and of its rasterizer's pixel centres.
#include "modeller/shadow/screen_reach.h"

#include <algorithm>
#include <cmath>

#include "platform/crt/c_numbers.h"

namespace {

// Pixels added on every side.
constexpr double kMargin = 2.0;
// How far beyond the near plane a corner must lie, relative to its clip coordinates' size, for the driver's
// rounding to keep it there.
constexpr double kBeyondNear = 1e-6;

}  // namespace

O3duPixelRect o3du_screen_reach(const CO3duShadowVolumes& volumes, const OfuMatrix4x4& to_clip, int width, int height) {
    const O3duPixelRect whole{0, 0, width, height};
    const float* boxes[3][2] = {
        {volumes.walls_lo, volumes.walls_hi}, {volumes.ends_lo, volumes.ends_hi}, {volumes.lit_lo, volumes.lit_hi}};
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const auto& box : boxes) {
        if (box[0][0] > box[1][0]) continue;  // empty
        for (int corner = 0; corner < 8; ++corner) {
            double p[3], clip[4];
            for (int i = 0; i < 3; ++i) p[i] = box[(corner >> i) & 1][i];
            for (int k = 0; k < 4; ++k)
                clip[k] = p[0] * to_clip.m[0][k] + p[1] * to_clip.m[1][k] + p[2] * to_clip.m[2][k] + to_clip.m[3][k];
            const double size = std::fabs(clip[2]) + std::fabs(clip[3]);
            // Beyond the near plane: z > -w, and w > 0 so that the picture is not turned about the eye.
            if (!(clip[3] > 0.0) || !(clip[2] + clip[3] > kBeyondNear * size) || !std::isfinite(size)) return whole;
            const double x = (clip[0] / clip[3] + 1.0) * 0.5 * width, y = (clip[1] / clip[3] + 1.0) * 0.5 * height;
            if (!std::isfinite(x) || !std::isfinite(y)) return whole;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    if (!(x0 <= x1)) return {};
    const auto clamped = [](double v, int most) { return kz::crt::truncate_to_int(std::clamp(v, 0.0, double(most))); };
    O3duPixelRect r;
    r.x = clamped(std::floor(x0 - kMargin), width);
    r.y = clamped(std::floor(y0 - kMargin), height);
    r.width = clamped(std::ceil(x1 + kMargin), width) - r.x;
    r.height = clamped(std::ceil(y1 + kMargin), height) - r.y;
    return r;
}
