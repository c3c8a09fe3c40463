// Placing an item onto the surface under a window point: the item hangs on the part it lands on, at the hit
// taken into that part's frame, unless another user holds the item below.
#include <cstdint>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

namespace fnd = kz::foundation;

void XView::ShowSubtreeShapes(int item, int on) {
    XTrunk* trunk = item >= 0 ? TrunkAt(item) : nullptr;
    if (!trunk || !output.bridge) return;
    std::vector<XTrunk*> subtree;
    CollectSubtree(trunk, &subtree);
    for (XTrunk* t : subtree) {
        // Showing again must not reveal an item that was hidden before the pick.
        const int visible = on && t->shown ? 1 : 0;
        for (int p = 1; p < t->part_count(); ++p)
            if (t->parts[p] && t->parts[p]->model) output.bridge->SetShapeVisible(t->parts[p]->model, visible);
    }
}

int XView::PlaceItemAtPoint(int item, std::int64_t point) {
    XTrunk* placed = item >= 1 ? TrunkAt(item) : nullptr;
    if (!placed) return 0;
    int hit_trunk = 0, hit_part = -1, hit_face = -1;
    double hit[3] = {0.0, 0.0, 0.0};
    // The item is out of the modeller's sight during the pick, so it never lands on itself or its children.
    ShowSubtreeShapes(item, 0);
    PickItem(point, &hit_trunk, &hit_part, &hit_face, 1, 0, hit);
    ShowSubtreeShapes(item, 1);
    XTrunk* below = hit_trunk >= 0 ? TrunkAt(hit_trunk) : nullptr;
    if (!below) return 0;
    if (document.user_name && *document.user_name && below->lock_owner && *below->lock_owner &&
        fnd::compare_nocase(below->lock_owner, document.user_name) != 0)
        return 0;

    kz::scene::COBJECTA* record = placed->base_record();
    if (hit_trunk >= 1 && hit_trunk != item) {
        const int part_index = hit_part >= 0 && hit_part < below->part_count() ? hit_part : 0;
        XLeaves* part = below->parts[part_index];
        part->EnsureUniqueName();
        record->parent_name =
            fnd::set_heap_string(record->parent_name, part->record->name, nullptr, part->record->name ? -1 : 0);
        double local[3] = {0.0, 0.0, 0.0};
        WorldToPartLocal(hit, hit_trunk, part_index, local);
        placed->SetPlacement(local, nullptr);
        placed->SetParent(below);
        return hit_trunk;
    }
    // On the ground the item hangs on no part; a name kept from its old place would pick one under a new parent.
    record->parent_name = fnd::free_and_null(record->parent_name);
    placed->SetPlacement(hit, nullptr);
    placed->SetParent(nullptr);
    return 0;
}

}  // namespace kz::view
