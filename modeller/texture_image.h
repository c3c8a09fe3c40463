// _OfuBitmap, the texture image of the modeller (BMP headers, palette, bottom-up pixel rows), the rule for which
// images can become textures, and PrepareDibBuffers, which sizes an image's buffers from its info header.
#pragma once
#include <cstdint>

#include "geometry/ofu_array.h"

// The 14 bytes that open a BMP file, kept as fields (written out field by field, never as a block).
struct BITMAPFILEHEADER {
    std::uint16_t bfType = 0x4D42;  // "BM"
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 54;
};

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

using COfuPaletteArray = COfuArray<std::uint32_t>;
using COfuByteArray = COfuArray<std::uint8_t>;

// Copies are deep: palette and pixels are copied with the headers.
struct _OfuBitmap {
    BITMAPFILEHEADER file_header;
    BITMAPINFOHEADER info_header;
    COfuPaletteArray palette;
    COfuByteArray pixels;  // rows bottom-up, each padded to 4 bytes
};

// Bytes in one stored row of the image (padded to 4); 0 for a width or bit count that makes no row.
std::int64_t bitmap_row_bytes(std::int32_t width, int bits_per_pixel);

// Sizes pixels from the info header (rows padded to 4 bytes, |height| rows) and the palette (two entries at 1 bit
// per pixel, none otherwise), and sets the file size to 54 + palette bytes + pixel bytes. 1 on success; 0 for a bit
// count other than 1, 24 or 32, an empty image, or one too large to hold.
int PrepareDibBuffers(COfuByteArray& pixels, COfuPaletteArray& palette, BITMAPFILEHEADER& file_header,
                      const BITMAPINFOHEADER& info_header);

// Whether width x height is a power of two from 2 to 0x1000000 pixels.
bool is_power_of_two_area(std::int32_t width, std::int32_t height);
// A texture the table accepts: an allowed bit count, a power-of-two area, and pixel bytes enough for every row
// that the upload reads.
bool is_texture_image(const _OfuBitmap& image, bool allow_32_bits);
