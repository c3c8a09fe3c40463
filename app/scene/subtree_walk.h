// Walks over a part and everything below it without recursion: models nest as deep as their authors (or a
// hostile file) make them, and the stack must not be what limits that.
#pragma once
#include <cstddef>
#include <vector>

#include "app/scene/xtrunk.h"

namespace kz::scene {

// Visits `top` and each part below it: `enter(trunk)` before the part's children (false leaves them out),
// `leave(trunk)` after them; children in order. Children added while the walk runs are visited too (by position).
template <class Enter, class Leave>
void walk_subtree(XTrunk* top, Enter enter, Leave leave) {
    struct Frame {
        XTrunk* trunk;
        std::size_t next;
    };
    std::vector<Frame> stack;
    if (top && enter(top)) stack.push_back({top, 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.trunk->children.size()) {
            XTrunk* done = frame.trunk;
            stack.pop_back();
            leave(done);
            continue;
        }
        XTrunk* child = frame.trunk->children[frame.next++];
        if (child && enter(child)) stack.push_back({child, 0});
    }
}

// Each part before its children.
template <class Visit>
void walk_subtree(XTrunk* top, Visit visit) {
    walk_subtree(top, visit, [](XTrunk*) {});
}

// Each part after its children, `top` last.
template <class Visit>
void walk_subtree_children_first(XTrunk* top, Visit visit) {
    walk_subtree(
        top, [](XTrunk*) { return true; }, visit);
}

}  // namespace kz::scene
