// The fixed skeleton of every model: the root item with its hidden template box, and the reset to a new model.
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

namespace {
constexpr const char* kRootRecord = "box,0,0,0,,,,,,0,,,,0.1,0.1,0.1,,,,,,1,0,0,0,,,,1,,,,,";
}

void XView::MakeRootTrunk() {
    document.current_trunk_index = -1;
    TruncateReferenceStack(0);
    if (!document.trunks.empty()) return;  // one root only; a new model closes the scene first
    const int root = CreateTrunk(nullptr, nullptr, nullptr, nullptr, "Root Trunk");
    XTrunk* trunk = TrunkAt(root);
    if (!trunk) return;
    const int part = trunk->AddLeaves();
    trunk->parts[part]->record->ReadFigureLine(kRootRecord);
    trunk->parts[part]->line_number = -1;
    trunk->parts[part]->Build(nullptr);
    trunk->ShowPart(0, part);
    document.reference_stack.push_back(ReferenceLevel{});
    document.reference_stack.back().owner = trunk;
    document.reference_stack.back().file = kz::foundation::set_heap_string(nullptr, "", nullptr, -1);
    if (!display.sky_shape && output.bridge) {
        display.sky_shape = output.bridge->AddGroundGrid(display.sky_color, static_cast<int>(display.sky_color & 0xFF));
        // The ground lies where most models put the top of their floor: drawn under everything, it shows only where
        // there is no floor instead of fighting the floor for its pixels.
        if (CO3duGLModelar* m = display.sky_shape ? output.bridge->modeller.get() : nullptr)
            m->SetDrawMode(display.sky_shape, m->GetDrawMode(display.sky_shape) | O3DU_DRAW_UNDERLAY);
    }
    trunk->changed = 0;
}

void XView::NewModel() {
    while (document.folder_stack && document.folder_stack->below) PopDataFolder();
    document.loading_settings = 1;
    CloseScene();
    MakeRootTrunk();
    SetShadowDefaults();
    if (XTrunk* root = TrunkAt(0)) root->RecalcMatrices(1);
    document.user_name = kz::foundation::free_and_null(document.user_name);
    document.pushref_table.clear();
    // What the user answered about the last model's programs does not hold for another model's.
    document.program_answers.clear();
    // Nor does what the last model downloaded count against this one's budget (an open of a file started it).
    document.guard.new_model();
    document.missing_pasted.clear();
    document.set_overlay = {};
    settings.given_keys = 0;
    document.current_trunk_index = 0;
    input.selected_trunk = -1;
    display.wire_display = 0;
}

}  // namespace kz::view
