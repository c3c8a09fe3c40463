// The structure of PNG (chunks and their checksums up to IEND), GIF (the first image's data blocks), BMP (the
// rows the header promises) and JPEG (the segments up to the scan), walked by offsets checked against the size.
#include "platform/image_damage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace kz::platform {
namespace {

constexpr std::string_view kCutShort = kPictureCutShort;

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string png_damage(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 8;;) {
        if (size - at < 12) return std::string(kCutShort);
        const std::uint32_t length = be32(data + at);
        if (length > size - at - 12) return std::string(kCutShort);
        // An ancillary chunk (lower-case first letter) with a wrong checksum is skipped by the decoder, as libpng
        // does, and takes nothing from the picture.
        const bool critical = (data[at + 4] & 0x20) == 0;
        if (critical && crc32(data + at + 4, length + 4) != be32(data + at + 8 + length))
            return "the checksum of its chunk " + std::string(reinterpret_cast<const char*>(data + at + 4), 4) +
                   " is wrong";
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return {};
        at += 12 + std::size_t(length);
    }
}

std::string gif_damage(const std::uint8_t* data, std::size_t size) {
    // Past a run of data sub-blocks, or npos when the file ends inside it.
    auto sub_blocks_end = [&](std::size_t at) -> std::size_t {
        while (at < size && data[at] != 0) at += std::size_t(data[at]) + 1;
        return at < size ? at + 1 : std::string_view::npos;
    };
    if (size < 13) return std::string(kCutShort);
    std::size_t at = 13;
    if (data[10] & 0x80) at += 3 * (std::size_t(1) << ((data[10] & 7) + 1));
    while (at < size) {
        if (data[at] == 0x21) {
            at = at + 2 <= size ? sub_blocks_end(at + 2) : std::string_view::npos;
        } else if (data[at] == 0x2C) {
            if (size - at < 11) return std::string(kCutShort);
            const std::uint8_t flags = data[at + 9];
            at += 10;
            if (flags & 0x80) at += 3 * (std::size_t(1) << ((flags & 7) + 1));
            // The LZW code size, then the first image's data.
            return at + 1 < size && sub_blocks_end(at + 1) != std::string_view::npos ? std::string()
                                                                                     : std::string(kCutShort);
        } else {
            return "it holds no picture";
        }
        if (at == std::string_view::npos) return std::string(kCutShort);
    }
    return std::string(kCutShort);
}

std::string bmp_damage(const std::uint8_t* data, std::size_t size) {
    if (size < 18) return std::string(kCutShort);
    if (le32(data + 14) < 40) return {};  // the older, smaller header: not judged
    if (size < 54) return std::string(kCutShort);
    const std::uint32_t header = le32(data + 14), offset = le32(data + 10), compression = le32(data + 30);
    // Rows are promised only where they are stored as they are (no run-length coding, no embedded JPEG or PNG).
    if (header < 40 || (compression != 0 && compression != 3 && compression != 6)) return {};
    const std::int64_t width = static_cast<std::int32_t>(le32(data + 18));
    std::int64_t height = static_cast<std::int32_t>(le32(data + 22));
    const std::int64_t bits = data[28] | (data[29] << 8);
    if (height < 0) height = -height;
    if (width <= 0 || bits <= 0) return {};
    const std::uint64_t need =
        std::uint64_t(offset) + std::uint64_t((width * bits + 31) / 32 * 4) * std::uint64_t(height);
    return need > size ? std::string(kCutShort) : std::string();
}

std::string jpeg_damage(const std::uint8_t* data, std::size_t size) {
    // The segments before the scan, walked by their lengths, so that what an APPn segment holds (an EXIF
    // thumbnail's own scan and end marker) is never taken for the picture's. Whether the scan itself is whole, and
    // whether its end marker may be missing, is the decoder's to say.
    for (std::size_t at = 2;;) {
        while (at < size && data[at] == 0xFF && at + 1 < size && data[at + 1] == 0xFF) ++at;  // fill bytes
        if (size - at < 2) return std::string(kCutShort);
        if (data[at] != 0xFF) return {};
        const std::uint8_t marker = data[at + 1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9) return {};
        if (size - at < 4) return std::string(kCutShort);
        const std::size_t length = std::size_t(data[at + 2]) << 8 | data[at + 3];
        if (length > size - at - 2) return std::string(kCutShort);
        if (marker == 0xDA) return {};
        at += 2 + std::max<std::size_t>(length, 2);
    }
}

}  // namespace

std::string image_damage(const std::uint8_t* data, std::size_t size) {
    if (!data) return {};
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1A\n", 8) == 0) return png_damage(data, size);
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return gif_damage(data, size);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return bmp_damage(data, size);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return jpeg_damage(data, size);
    return {};
}

}  // namespace kz::platform
