// The pick roads the picking benchmarks time over the same window points: the click pick (XView::PickItem),
// the hover cursor's XView::PartAtPoint, and the modeller's bare one-entry HitTest as the peer.
#pragma once
#include <cstdint>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"

inline bool pick_item_at(kz::view::XView& view, std::int64_t p) {
    int t = 0, part = -1, f = -1;
    double hit[3];
    view.PickItem(p, &t, &part, &f, 1, 0, hit);
    return t > 0;
}

inline bool part_at(kz::view::XView& view, std::int64_t p) { return view.PartAtPoint(p) != nullptr; }

inline bool bare_hit_test(kz::view::XView& view, std::int64_t p) {
    _O3duSelect select[1] = {};
    return view.output.bridge->modeller->HitTest(view.output.bridge->device_context, kz::view::view_point_x(p),
                                                 kz::view::view_point_y(p), select, 1) > 0;
}
