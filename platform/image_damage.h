// Whether a picture file holds all of its first picture, judged from its own structure before any decoder sees it:
// the decoders take a file cut short quietly (GIF, BMP, JPEG fill the rest in) or say so in words of their own on
// standard error (libpng), naming no file.
// Not here: damage inside compressed data whose structure is whole (the decoder finds that).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kz::platform {

// The reason given for a picture that ends before all of it is there.
inline constexpr char kPictureCutShort[] = "the file is cut short";

// Why the PNG, GIF, BMP or JPEG bytes cannot give their first picture whole ("cut short", a chunk's checksum),
// empty when they can, or when they are of another kind.
std::string image_damage(const std::uint8_t* data, std::size_t size);

}  // namespace kz::platform
