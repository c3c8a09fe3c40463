// Colour values of the application: COLORREF integers with red in bits 0-7, green 8-15 and blue 16-23
// (colour text itself is read by parse_color in field_tokenizer.h), and the colour dialog.
#pragma once

namespace kz::foundation {

void color_to_rgb(int color, int* red, int* green, int* blue);
// The bytes times level / 255; the bytes themselves when level is exactly 255.
void color_to_rgb_scaled(int color, double level, double* red, double* green, double* blue);
// The colour dialog opened on `current` with custom colours; 1 with the chosen colour on OK, 0 on cancel.
// owner is the owning window (a platform handle), or null.
int choose_color(int current, void* owner, int* chosen);

}  // namespace kz::foundation
