// The installed platform services of the drawing library and the quiet stand-in used before one is installed.
#include "drawing2d/drawing_platform.h"

namespace kz::drawing2d {
namespace {
class QuietPlatform final : public DrawingPlatform {
public:
    unsigned register_clipboard_format(const char*) override { return 0; }
    bool escape_key_down() override { return false; }
    std::string temporary_folder() override { return {}; }
};

QuietPlatform g_quiet;
DrawingPlatform* g_platform = &g_quiet;
}  // namespace

DrawingPlatform& drawing_platform() { return *g_platform; }

DrawingPlatform* set_drawing_platform(DrawingPlatform* platform) {
    DrawingPlatform* previous = g_platform == &g_quiet ? nullptr : g_platform;
    g_platform = platform ? platform : &g_quiet;
    return previous;
}

}  // namespace kz::drawing2d
