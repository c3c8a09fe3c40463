// The pattern of every exported drawing function: lock the handle for the call, run the operation on the drawing,
// unlock, and give the function's failure value when the handle cannot be locked.
#pragma once
#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

template <class R, class F>
R forward(drawing_handle handle, R failure, LockedDrawing::Hint hint, F f) {
    LockedDrawing ctx(handle, hint);
    if (!ctx) return failure;
    return f(ctx.get());
}

// Two drawings locked for one call (the first given is locked first), the same drawing once when both are one.
template <class R, class F>
R forward_pair(drawing_handle first, drawing_handle second, R failure, F f) {
    LockedDrawing a(first);
    if (!a) return failure;
    if (second == first) return f(a.get(), a.get());
    LockedDrawing b(second);
    if (!b) return failure;
    return f(a.get(), b.get());
}

}  // namespace kz::drawing2d
