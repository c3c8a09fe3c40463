// Sizing and acceptance rules for texture images.
// Every size is worked out in 64 bits first, so a hostile header cannot wrap a length into something small.
#include "modeller/texture_image.h"

#include <climits>
#include <cstdlib>

std::int64_t bitmap_row_bytes(std::int32_t width, int bits_per_pixel) {
    if (width <= 0 || bits_per_pixel <= 0) return 0;
    return ((std::int64_t(width) * bits_per_pixel + 31) / 32) * 4;
}

int PrepareDibBuffers(COfuByteArray& pixels, COfuPaletteArray& palette, BITMAPFILEHEADER& file_header,
                      const BITMAPINFOHEADER& info_header) {
    const int bits = info_header.biBitCount;
    if (bits != 1 && bits != 24 && bits != 32) return 0;
    const std::int64_t rows = std::llabs(std::int64_t(info_header.biHeight));
    const std::int64_t row_bytes = bitmap_row_bytes(info_header.biWidth, bits);
    if (rows == 0 || row_bytes == 0) return 0;
    const std::int64_t pixel_bytes = row_bytes * rows;
    const int palette_entries = bits == 1 ? 2 : 0;
    const std::int64_t file_size = 54 + std::int64_t(palette_entries) * 4 + pixel_bytes;
    // The arrays count in int and the file size field is 32 bits.
    if (pixel_bytes > INT_MAX || file_size > UINT32_MAX) return 0;
    pixels.SetSize(static_cast<int>(pixel_bytes));
    palette.SetSize(palette_entries);
    file_header.bfSize = static_cast<std::uint32_t>(file_size);
    return 1;
}

bool is_power_of_two_area(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return false;
    const std::int64_t count = std::int64_t(width) * height;
    for (std::int64_t p = 2; p <= 0x1000000; p *= 2)
        if (p == count) return true;
    return false;
}

bool is_texture_image(const _OfuBitmap& image, bool allow_32_bits) {
    const int bits = image.info_header.biBitCount;
    if (bits != 1 && bits != 24 && !(allow_32_bits && bits == 32)) return false;
    if (!is_power_of_two_area(image.info_header.biWidth, image.info_header.biHeight)) return false;
    // OpenGL reads whole rows of the size the header states; a short pixel block would be read past its end.
    // 1-bit images never reach OpenGL, so their pixels are not checked.
    if (bits == 1) return true;
    const std::int64_t needed = bitmap_row_bytes(image.info_header.biWidth, bits) * image.info_header.biHeight;
    return image.pixels.GetSize() >= needed;
}
