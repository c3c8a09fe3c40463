// Image files to packed DIBs and back, in place of the GDI+ image codecs: bmp, jpg/jpeg, gif, tif and png are read
// (by content, not by name), BMP and PNG written. Hostile sizes are refused before any pixel memory is taken.
// Not here: animation (the first frame is read), colour profiles, metadata, palettes on output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/crt/global_memory.h"

namespace kz::platform {

// Largest image accepted, in pixels (8192 x 8192), for the file's declared size and for every frame it holds,
// checked before any pixel is decoded: a few bytes of header must not cost gigabytes.
constexpr std::int64_t kMaxImageSide = 8192;
constexpr std::int64_t kMaxImagePixels = kMaxImageSide * kMaxImageSide;

// A caller's memory budget for one image. `may_take` is asked with the bytes the pixels will take before they are
// decoded, when the header tells the size (the image and its DIB, 8 bytes a pixel; a negative height counts as its
// absolute value); false: nothing is decoded. Headers may say less than the file holds (an icon's directory) or
// nothing: the pixels are then decoded under Qt's allocation limit set to `room()`, the bytes the budget has left,
// and `may_take` is asked again with the DIB's bytes before it is made. An image Qt refuses for passing that limit
// is asked for as more than is left, so the budget names it.
struct ImageBudget {
    std::function<std::uint64_t()> room;
    std::function<bool(std::uint64_t bytes)> may_take;
};

// A new packed DIB (movable, zero-initialised block: 40-byte header, bottom-up rows padded to 4 bytes, no palette)
// with the image's first row as its top row. 24 bits for opaque direct-colour images; 32 bits (BGRA, straight
// alpha) for direct-colour images with an alpha channel; palette and other images become 24 bits over opaque
// magenta (0xFF00FF), so their transparent pixels come out magenta. Null when the file is missing or not an image.
// `fit_side` above 0: a side longer than it may come decoded shorter (never below it) where the format's reader
// can scale while it decodes; the texture path passes its largest side. An image over the limit, and a file that
// is there but cannot give a whole picture (empty, cut short, damaged, no picture, unreadable, not a regular file),
// is refused with one line on standard error naming the file and why, in place of anything the decoder itself
// would say; a missing file is left to the caller to name. A `budget` given is asked as it says.
crt::GlobalHandle load_image_dib(std::string_view windows_path, int fit_side = 0, const ImageBudget& budget = {});
crt::GlobalHandle load_image_dib_from_memory(const void* data, std::size_t size, int fit_side = 0);

// Writes the DIB as a BMP file (14-byte file header, then the DIB bytes as they are, pixel offset 54). On failure
// the file there stays as it was, and `why` (when given) receives the reason.
bool save_dib_as_bmp(std::string_view windows_path, crt::GlobalHandle dib, std::string* why = nullptr);
// Writes the DIB as a 32-bit RGBA PNG, opaque except that pixels of `transparent` (a 0x00BBGGRR colour, -1 for
// none) become transparent white. A 32-bit DIB's own alpha is not carried over. Failure as save_dib_as_bmp.
bool save_dib_as_png(std::string_view windows_path, crt::GlobalHandle dib, std::int64_t transparent = -1,
                     std::string* why = nullptr);
// The same PNG as bytes; nothing when the DIB is not one we can read.
std::optional<std::string> encode_dib_as_png(crt::GlobalHandle dib, std::int64_t transparent = -1);

}  // namespace kz::platform
