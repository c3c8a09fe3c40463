// What the model bridge needs of the view above it, and what it reads and writes of a scene shape. The view and
// the scene's shape implement these, so the bridge never includes a header from above it.
#pragma once
#include <cstdint>

#include "platform/crt/global_memory.h"

struct _OfuPosition;

namespace kz::foundation {

struct MaterialRecord;

// Signatures match the view's own service interface, so one XView override serves both.
class BridgeServices {
public:
    virtual ~BridgeServices() = default;
    // Statistics only; the bridge's polygon commit uses slot 13.
    virtual void BeginTiming(int slot) = 0;
    virtual void EndTiming(int slot) = 0;
    // The view window's device context (a platform DeviceContext), or null.
    virtual void* ViewDeviceContext() = 0;
    virtual std::uint32_t BackgroundColor() = 0;  // COLORREF
    virtual double LightValue() = 0;              // 1.0 by default
    virtual void SetShadowDisplay(int on) = 0;
    // A new movable 24-bit packed DIB of the view at that size, or null; the caller owns it.
    virtual kz::crt::GlobalHandle RenderToDib(int width, int height) = 0;
    // Whether `bytes` more memory may be taken now for what `name` holds (an image about to be decoded): false
    // when the model being opened would pass its budget, which stops the open.
    virtual bool MemoryAllows(std::uint64_t /*bytes*/, const char* /*name*/) { return true; }
    // The bytes the model being opened may still take (no limit outside an open).
    virtual std::uint64_t MemoryRoom() { return UINT64_MAX; }
};

// A scene shape (XLeaves) as the bridge sees it when it commits the shape's faces and recolours them.
class BridgeShape {
public:
    virtual ~BridgeShape() = default;
    virtual _OfuPosition* ModelHandle() = 0;
    // The bounding box of the committed faces in the shape's coordinates.
    virtual void SetModelBounds(const double* minimum, const double* maximum, const double* centre) = 0;
    // The second item of the record's "shadow" column: 1 never pickable, -1 always, else by transparency.
    virtual int HitFlag() = 0;
    // The shape's own material record of face set `index`, or null past its faces.
    virtual const MaterialRecord* FaceMaterial(int index) = 0;
    // What names the item the shape belongs to, the same for every shape of it; 0 for none.
    virtual std::uint64_t ItemTag() = 0;
};

}  // namespace kz::foundation
