// Splitting and scaling COLORREF values for the modeller's 0..1 colours, and the bridge to the colour dialog.
// The dialog itself belongs to the platform layer.
#include "app/foundation/color_text.h"

#include <cstdint>
#include <cstdlib>

#include "platform/dialogs.h"

namespace kz::foundation {

void color_to_rgb(int color, int* red, int* green, int* blue) {
    if (red) *red = color & 255;
    if (green) *green = (color >> 8) & 255;
    if (blue) *blue = (color >> 16) & 255;
}

void color_to_rgb_scaled(int color, double level, double* red, double* green, double* blue) {
    int rgb[3];
    color_to_rgb(color, &rgb[0], &rgb[1], &rgb[2]);
    double* out[3] = {red, green, blue};
    for (int i = 0; i < 3; ++i) {
        if (out[i]) *out[i] = level == 255.0 ? rgb[i] : rgb[i] * level / 255.0;
    }
}

int choose_color(int current, void* owner, int* chosen) {
    std::uint32_t custom[16];
    custom[0] = static_cast<std::uint32_t>(current);
    for (int i = 1; i < 16; ++i) {
        double v = std::rand() / 32767.0 * 16777215.0;
        custom[i] = v > 16777215.0 ? 0xFFFFFFu : static_cast<std::uint32_t>(v);
    }
    std::uint32_t picked = 0;
    if (!kz::platform::choose_color(static_cast<kz::platform::WindowHandle>(owner), static_cast<std::uint32_t>(current),
                                    custom, &picked))
        return 0;
    if (chosen) *chosen = static_cast<int>(picked);
    return 1;
}

}  // namespace kz::foundation
