// What an OpenGL context offers beyond version 1.1 that the shadows use: a stencil that counts with wrap-around and
// occlusion queries. Asked of each context when it is made for a pixel format, as a host program may hold contexts
// of two drivers at once.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

// The query functions of OpenGL 1.5, as the context's driver offers them; null where it has none.
struct O3duQueryFunctions {
    PFNGLGENQUERIESPROC generate = nullptr;
    PFNGLDELETEQUERIESPROC remove = nullptr;
    PFNGLBEGINQUERYPROC begin = nullptr;
    PFNGLENDQUERYPROC end = nullptr;
    PFNGLGETQUERYOBJECTUIVPROC result = nullptr;
    bool usable() const { return generate && remove && begin && end && result; }
};

struct O3duGLCapabilities {
    // GL_INCR_WRAP and GL_DECR_WRAP: OpenGL 1.4, or the extension before it.
    bool stencil_wraps = false;
    O3duQueryFunctions queries;
};

// What the current context offers (nothing when none is current).
O3duGLCapabilities o3du_gl_capabilities();
// Whether the current context offers OpenGL major.minor or later.
bool o3du_gl_version_at_least(int major, int minor);

// Makes the contexts asked from now on answer no to what is switched off here, whatever their driver offers; both
// on, they answer as the driver does. For the tests of the roads a driver without them takes.
void limit_gl_capabilities_for_testing(bool stencil_wraps, bool queries);
