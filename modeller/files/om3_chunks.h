// The OM3 mesh file's chunk types and record sizes, shared by its reader and writer. Every field is little-endian
// and packed; a chunk opens with its int32 type and its int32 size, which counts the whole chunk.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

enum : std::int32_t {
    OM3_THUMBNAIL = 1,
    OM3_VERTEX = 2,
    OM3_INDEX = 3,
    OM3_TRIANGLE_SET = 4,
    OM3_TEXTURE = 5,
    OM3_PRIMITIVE = 6,
    OM3_CAMERA = 7,
    OM3_LIGHT = 8,
    OM3_VIEW_SETTINGS = 9,
    OM3_PARALLEL_CAMERA = 10,
    OM3_SHADOW_LIGHT = 11,
};

inline constexpr std::int32_t kOm3Version = 1001;
inline constexpr int kOm3HeaderSize = 12;
inline constexpr int kOm3ChunkHead = 8;
inline constexpr int kOm3VertexSize = 88;
inline constexpr int kOm3IndexSize = 20;
inline constexpr int kOm3SetSize = 80;
inline constexpr int kOm3PrimitiveSize = 280;
inline constexpr int kOm3PrimitiveMinimum = 140;  // draw mode and model matrix: what the oldest files hold
inline constexpr int kOm3CameraSize = 88;
inline constexpr int kOm3LightSize = 120;
inline constexpr int kOm3ViewSettingsSize = 84;
inline constexpr int kOm3ViewSettingsMinimum = 24;  // background and cull mode
inline constexpr int kOm3ShadowLightSize = 116;
inline constexpr int kOm3ThumbnailSide = 96;

// The header's first four bytes, "OM3" and a zero byte, read as one little-endian int32.
inline constexpr std::int32_t kOm3Magic = 0x00334D4F;

// Plain little-endian field access (the machines we build for are little-endian; memcpy keeps it aligned-safe).
template <typename T>
inline T om3_get(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}
template <typename T>
inline unsigned char* om3_put(unsigned char* p, T value) {
    std::memcpy(p, &value, sizeof value);
    return p + sizeof value;
}
