// The scene drawn by the view itself onto a GDI device context: every face of every shown item projected through
// the eye record, farthest first so nearer faces cover farther ones, with the selection's axes on top.
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/index_sort.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/heap_release.h"

namespace kz::view {

namespace {

struct FaceEntry {
    kz::scene::XLeaf* face;
    XTrunk* trunk;
};

// Faces made for one drawing, past which their pages are handed back once they are freed: a few MiB.
constexpr std::size_t kFacesWorthGivingBack = 10000;

}  // namespace

void XView::DrawPlanOutline(kz::platform::DeviceContext* dc) {
    display.face_total = 0;
    for (int k = 1; k < trunk_count(); ++k)
        if (XTrunk* t = document.trunks[k])
            for (int i = 1; i < t->part_count(); ++i)
                if (t->parts[i]) display.face_total += t->parts[i]->face_count();
    if (display.face_total == 0 || !camera.eye) return;
    UpdateViewMatrices();
    std::vector<FaceEntry> entries;
    std::vector<double> depth;
    // Faces a part does not keep are made for this drawing and go with it: the plan of a large model would
    // otherwise stay in memory as faces long after it was left.
    std::vector<XLeaves::FaceWalk> walks;
    std::size_t made_faces = 0;
    entries.reserve(display.face_total);
    depth.reserve(display.face_total);
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (!t || !t->shown) continue;
        for (int i = 1; i < t->part_count(); ++i) {
            if (!t->parts[i]) continue;
            walks.push_back(t->parts[i]->WalkFaces());
            if (walks.back().made()) made_faces += static_cast<std::size_t>(walks.back().size());
            for (kz::scene::XLeaf* face : walks.back()) {
                // An empty face slot takes no part in the ordering.
                if (!face) continue;
                entries.push_back({face, t});
                depth.push_back(face->ComputeDepth(camera.eye->eye, camera.eye->target));
            }
        }
    }
    std::vector<int> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    kz::foundation::sort_index_range(depth.data(), order.data(), 0, static_cast<int>(order.size()));
    for (int e : order) {
        const FaceEntry& entry = entries[e];
        // Without a device the faces are only brought up to date; what sits on the screen or rides with the
        // camera has no world place to keep.
        if (!dc && entry.trunk->HasPartFlag(0, 8 | 16)) continue;
        entry.face->Draw(dc);
    }
    XTrunk* selected = input.selected_trunk >= 0 && input.selected_trunk < trunk_count()
                           ? document.trunks[input.selected_trunk]
                           : nullptr;
    if (dc && display.axis_display == 1 && selected) {
        selected->DrawAxes(dc, 7, 500.0);
        XLeaves* part = input.selected_part >= 0 && input.selected_part < selected->part_count()
                            ? selected->parts[input.selected_part]
                            : nullptr;
        if (part) {
            part->DrawAxes(dc, 7, 50.0, 0);
            part->DrawAxes(dc, 7, 300.0, 1);
            part->DrawAxes(dc, 7, 300.0, 2);
        }
    }
    // The faces of the whole model were held at once, their blocks among others that stay: the allocator would
    // keep their pages for reuse, and the process would stay that much larger after the plan was left.
    walks.clear();
    if (made_faces >= kFacesWorthGivingBack) kz::platform::release_free_heap();
}

}  // namespace kz::view
