// The version string and the extension list of the current context, and its functions beyond 1.1 looked up
// through the platform, as wglGetProcAddress gives them on Windows: per context, since another driver's context
// may hand out other ones.
#include "modeller/gl_capabilities.h"

#include <cstring>

#include "platform/crt/c_numbers.h"
#include "platform/gl_context.h"

namespace {
bool g_stencil_wraps_allowed = true;
bool g_queries_allowed = true;
}  // namespace

void limit_gl_capabilities_for_testing(bool stencil_wraps, bool queries) {
    g_stencil_wraps_allowed = stencil_wraps;
    g_queries_allowed = queries;
}

bool o3du_gl_version_at_least(int major, int minor) {
    // "major.minor", then anything.
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!text || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    const long has_major = kz::crt::c_strtol(text, &end, 10);
    if (*end != '.' || end[1] < '0' || end[1] > '9') return false;
    const long has_minor = kz::crt::c_strtol(end + 1, nullptr, 10);
    return has_major > major || (has_major == major && has_minor >= minor);
}

O3duGLCapabilities o3du_gl_capabilities() {
    O3duGLCapabilities offered;
    if (!kz::platform::current_context()) return offered;
    const auto* names = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    offered.stencil_wraps = g_stencil_wraps_allowed &&
                            (o3du_gl_version_at_least(1, 4) || (names && std::strstr(names, "GL_EXT_stencil_wrap")));
    if (g_queries_allowed && o3du_gl_version_at_least(1, 5)) {
        O3duQueryFunctions& q = offered.queries;
        q.generate = reinterpret_cast<PFNGLGENQUERIESPROC>(kz::platform::gl_function("glGenQueries"));
        q.remove = reinterpret_cast<PFNGLDELETEQUERIESPROC>(kz::platform::gl_function("glDeleteQueries"));
        q.begin = reinterpret_cast<PFNGLBEGINQUERYPROC>(kz::platform::gl_function("glBeginQuery"));
        q.end = reinterpret_cast<PFNGLENDQUERYPROC>(kz::platform::gl_function("glEndQuery"));
        q.result = reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(kz::platform::gl_function("glGetQueryObjectuiv"));
    }
    return offered;
}
