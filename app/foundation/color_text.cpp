// Splitting and scaling COLORREF values for the modeller's 0..1 colours, and the bridge to the colour dialog.
// The dialog itself belongs to the platform layer.
#include "app/foundation/color_text.h"

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
    // temporary: answers "cancelled" until the platform colour dialog exists; it will seed custom colour 0 with
    // `current` and 1-15 from rand(), and return 1 with the choice on OK.
    (void)current;
    (void)owner;
    (void)chosen;
    return 0;
}

}  // namespace kz::foundation
