// Records made for an item (a copy of one of its records, or an empty one) and the rebuild of an item's shapes
// from the records they hold.
#include "app/document/xview.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

std::unique_ptr<kz::scene::COBJECTA> XView::CreateObjectRecord(const kz::scene::COBJECTA* from, XTrunk* trunk) {
    return std::make_unique<kz::scene::COBJECTA>(from, this, trunk);
}

int XView::RebuildTrunkParts(int index) {
    XTrunk* trunk = index >= 1 ? TrunkAt(index) : nullptr;
    if (!trunk) return 0;
    for (int p = 1; p < trunk->part_count(); ++p) {
        display.edit_flag = 1;
        trunk->parts[p]->Build(nullptr);
        display.edit_flag = 0;
    }
    trunk->RecalcMatrices(0);
    return 1;
}

}  // namespace kz::view
