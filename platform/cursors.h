// Stands in for cursor and icon resources: the program's own cursors ("CURSOR_AROUND", "CURSOR_WALK", ...) and
// its icon "IDI_KZVIEW" are small PNG images drawn by resources/cursors/make_cursors.py and built into the
// program with their hotspots; the system arrow and wait cursors come from Qt. No animated cursors, no cursor
// hiding or clipping.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/window.h"

namespace kz::platform {

struct Cursor;  // opaque; lives for the whole run
using CursorHandle = const Cursor*;

// The cursor resource of that name, or null when there is none ("not found": the caller keeps its cursor).
CursorHandle load_cursor(std::string_view name);
// The system arrow (IDC_ARROW) and hourglass (IDC_WAIT).
CursorHandle arrow_cursor();
CursorHandle wait_cursor();
// Shows the cursor over the window that has the pointer (or the capture); null leaves it unchanged. Returns
// the cursor shown before.
CursorHandle set_cursor(CursorHandle cursor);
// The cursor last set over the window, or null.
CursorHandle window_cursor(WindowHandle window);

struct CursorImage {
    int width = 0;
    int height = 0;
    int hotspot_x = 0;
    int hotspot_y = 0;
};
// Size and hotspot of a cursor (zeros for null); a cursor's pixel at (x, y) as 0xAARRGGBB.
CursorImage cursor_image(CursorHandle cursor);
std::uint32_t cursor_pixel(CursorHandle cursor, int x, int y);

// Gives a window the icon resource of that name; false when there is no such icon.
bool set_window_icon(WindowHandle window, std::string_view icon_name);

// The images built into the program: filled in by the build from resources/cursors (cursor_images.txt).
struct EmbeddedImage {
    const char* name;
    const unsigned char* png;
    unsigned long size;
    int hotspot_x;
    int hotspot_y;
};
const EmbeddedImage* embedded_images(int* count);

}  // namespace kz::platform
