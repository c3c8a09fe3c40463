// Copying all settings of one drawing into another. Everything is copied except what belongs to the receiving
// drawing itself: its records and row limits, its active attributes, its pens and the blocks it owns, which are
// kept (a pointer field added to the drawing must be listed here or given a fresh copy).
#include <cstring>
#include <memory>

#include "drawing2d/active_attributes.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/text_utils.h"

namespace kz::drawing2d {

int xlum_equ(drawing_context* dst, const drawing_context* src) {
    if (!dst || !src || dst == src) return 1;
    auto kept = std::make_unique<drawing_context>(*dst);
    std::memcpy(static_cast<void*>(dst), src, sizeof *dst);
#define KZ_KEEP(field) std::memcpy(&dst->field, &kept->field, sizeof dst->field)
    KZ_KEEP(pen_cache);
    KZ_KEEP(pen_entry_state);
    KZ_KEEP(pen_last_entry);
    KZ_KEEP(linked_font);
    KZ_KEEP(current_dc);
    KZ_KEEP(active_layer);
    KZ_KEEP(active_group);
    KZ_KEEP(active_color);
    KZ_KEEP(active_style);
    KZ_KEEP(saved_attributes);
    KZ_KEEP(layer_display_stack);
    KZ_KEEP(layer_display_top);
    KZ_KEEP(data_end);
    KZ_KEEP(layer_exist);
    KZ_KEEP(selected_variable);
    KZ_KEEP(selected_type);
    KZ_KEEP(selected_count);
    KZ_KEEP(max);
    KZ_KEEP(mau);
    KZ_KEEP(mat);
    KZ_KEEP(c1);
    KZ_KEEP(c2);
    KZ_KEEP(c3);
    KZ_KEEP(c4);
    KZ_KEEP(c5);
    KZ_KEEP(c6);
    KZ_KEEP(c7);
    KZ_KEEP(work_buffer);
    KZ_KEEP(work_buffer2);
    KZ_KEEP(last_joined_row);
    KZ_KEEP(last_joined_code);
    KZ_KEEP(active_stack);
    KZ_KEEP(active_stack_top);
    KZ_KEEP(active_stack_bottom);
    KZ_KEEP(append_scan_hint);
    KZ_KEEP(client_locks);
#undef KZ_KEEP
    dst->pen_width_mili_in_use =
        src->pen_width_mili_in_use == src->pen_width_mili_white ? dst->pen_width_mili_white : dst->pen_width_mili;
    for (int i = 0; i < kLayers; ++i) {
        release_block(kept->layer_name[i]);
        release_block(kept->layer_group_name[i]);
        dst->layer_name[i] = src->layer_name[i] ? string_assign(nullptr, src->layer_name[i], nullptr, 0) : nullptr;
        dst->layer_group_name[i] =
            src->layer_group_name[i] ? string_assign(nullptr, src->layer_group_name[i], nullptr, 0) : nullptr;
    }
    // The slots refer to fonts of the font block linked to this drawing, not to the other drawing's.
    resolve_font_slots(dst);
    return 1;
}

}  // namespace kz::drawing2d
