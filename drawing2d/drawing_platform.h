// What the drawing data code needs of the platform: the clipboard format id, the Escape key and the temporary
// folder (and, for the display, text measuring). The platform layer installs an implementation; tests fake it.
#pragma once
#include <string>

namespace kz::drawing2d {

struct device_context;

class DrawingPlatform {
public:
    virtual ~DrawingPlatform() = default;
    // Id of a registered clipboard format (the same id for the same name); 0 when none can be registered.
    virtual unsigned register_clipboard_format(const char* name) = 0;
    // Whether the Escape key is held down right now.
    virtual bool escape_key_down() = 0;
    // The user's temporary folder in the system's path form, ending with its separator.
    virtual std::string temporary_folder() = 0;
    // Width of `text` in a font of the given face and pixel height on a device; false when it cannot measure.
    virtual bool text_width(device_context* /*dc*/, const char* /*face*/, const char* /*text*/, int /*pixel_height*/,
                            int /*width*/, int /*bold*/, int /*height_type*/, int /*italic*/, double* /*out*/) {
        return false;
    }
};

// The installed platform; until one is installed, a quiet one: no clipboard, no key, no temporary folder.
DrawingPlatform& drawing_platform();
// Installs `platform` (not owned; null restores the quiet one) and returns the previous one.
DrawingPlatform* set_drawing_platform(DrawingPlatform* platform);

}  // namespace kz::drawing2d
