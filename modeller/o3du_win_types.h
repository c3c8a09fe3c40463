// The handle and rectangle types the modeller's interface is written in, mapped onto the platform layer:
// a device-context handle is a pointer to the platform's device context (null for "none").
#pragma once
#include <cstdint>

namespace kz::platform {
class DeviceContext;
struct Window;
}  // namespace kz::platform

using HDC = kz::platform::DeviceContext*;
using HWND = kz::platform::Window*;
using BYTE = std::uint8_t;
using DWORD = std::uint32_t;

// A window-pixel rectangle; width and height are taken as absolute differences wherever it is used.
struct _OFURECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The perspective window of the frustum projection, in units of the near distance.
struct _OFUDRECT {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};
