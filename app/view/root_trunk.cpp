// The fixed skeleton of every model: the root item with its hidden template box, and the reset to a new model.
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/view/trunk_link.h"

namespace kz::view {

namespace {
constexpr const char* kRootRecord = "box,0,0,0,,,,,,0,,,,0.1,0.1,0.1,,,,,,1,0,0,0,,,,1,,,,,";
}

void XView::MakeRootTrunk() {
    current_trunk_index = -1;
    TruncateReferenceStack(0);
    if (!trunks.empty()) return;  // one root only; a new model closes the scene first
    const int root = CreateTrunk(nullptr, nullptr, nullptr, nullptr, "Root Trunk");
    XTrunk* trunk = TrunkAt(root);
    if (!trunk) return;
    const int part = trunk_add_part_from_text(trunk, kRootRecord, -1);
    trunk_hide_part_shape(trunk, part);
    reference_stack.push_back(ReferenceLevel{});
    reference_stack.back().owner = trunk;
    reference_stack.back().file = kz::foundation::set_heap_string(nullptr, "", nullptr, -1);
    if (!sky_shape && bridge) sky_shape = bridge->AddGroundGrid(sky_color, static_cast<int>(sky_color & 0xFF));
    trunk_set_changed(trunk, 0);
}

void XView::NewModel() {
    while (folder_stack && folder_stack->below) PopDataFolder();
    loading_settings = 1;
    CloseScene();
    MakeRootTrunk();
    SetShadowDefaults();
    if (XTrunk* root = TrunkAt(0)) trunk_recalc_matrices(root, 1);
    user_name = kz::foundation::free_and_null(user_name);
    pushref_table.clear();
    current_trunk_index = 0;
    selected_trunk = -1;
    wire_display = 0;
}

}  // namespace kz::view
