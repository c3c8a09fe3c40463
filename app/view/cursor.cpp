// The cursor of the first view window: what a click will do, by interaction class, hover state, view mode,
// target and tool bits.
#include "app/document/xview.h"
#include "platform/cursors.h"
#include "platform/window.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

// The cursor resource of the current state; null leaves the cursor as it is, "" asks for the arrow.
const char* cursor_name(int interaction_class, int hover, int view_mode, int target, int tool_bits,
                        bool modifier_held) {
    static const char* const kHover[] = {"CURSOR_FINGER_ONE", "CURSOR_FINGER_DBL", "CURSOR_FINGER_ALT",
                                         "CURSOR_FINGER_MOVE"};
    static const char* const kMode[] = {"CURSOR_AROUND", "CURSOR_WALK", "CURSOR_HEAD"};
    const bool item = target == 1 || target == 2, part = target == 3;
    switch (interaction_class) {
    case 1:
        if (hover >= 1 && hover <= 4) return kHover[hover - 1];
        if (hover != 0) return "";
        if (modifier_held) return nullptr;
        return view_mode >= 1 && view_mode <= 3 ? kMode[view_mode - 1] : nullptr;
    case 2:
        if (!item && !part) return "";
        switch (tool_bits) {
        case 3: return item ? "CURSOR_MOVE_TRUNK" : "CURSOR_MOVE_LEAVES";
        case 4: return item ? "CURSOR_MOVE_UPDOWN_TRUNK" : "CURSOR_MOVE_UPDOWN_LEAVES";
        case 8: return item ? "CURSOR_ROTATE_X_TRUNK" : "CURSOR_ROTATE_X_LEAVES";
        case 16: return item ? "CURSOR_ROTATE_Y_TRUNK" : "CURSOR_ROTATE_Y_LEAVES";
        case 32: return item ? "CURSOR_ROTATE_Z_TRUNK" : "CURSOR_ROTATE_Z_LEAVES";
        default: return "";
        }
    case 3: return "CURSOR_CENTER";
    default: return "";
    }
}

}  // namespace

void XView::UpdateCursor() {
    // The cursor shows the hover state of where the pointer rests now, not of a move still queued.
    ResolveHoverPick();
    const bool modifier = key_held(plat::VK_CONTROL) || key_held(plat::VK_SHIFT);
    const char* name = cursor_name(input.interaction_class, input.mouse.hover, input.view_mode, input.target,
                                   input.tool_bits, modifier);
    if (!name) return;
    const plat::CursorHandle cursor = *name ? plat::load_cursor(name) : plat::arrow_cursor();
    if (cursor) plat::set_cursor(cursor);
}

}  // namespace kz::view
