// A target condition parsed for the items and parts of the model and freed with its scope, for the document's
// actions and commands.
#pragma once
#include <string>

#include "app/scene/condition_list.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

class TargetCondition {
public:
    // Parsed for the own item and part (-1 for none); the own item's parent comes from the item itself.
    TargetCondition(const std::string& text, const kz::scene::XTrunk* own_item, int own_item_index, int own_part) {
        kz::scene::init_condition_list(&list);
        const int parent = own_item_index > 0 && own_item && own_item->parent ? own_item->parent->index : -1;
        kz::scene::parse_condition(&list, text.c_str(), 0, static_cast<int>(text.size()), own_item_index, own_part,
                                   parent);
    }
    ~TargetCondition() { kz::scene::free_condition_list(&list); }
    TargetCondition(const TargetCondition&) = delete;
    TargetCondition& operator=(const TargetCondition&) = delete;

    // The part the condition selects in a matching item: -1 when the item does not match or has no such part,
    // else as XTrunk::FindTargetPart (0 the base part, minus the part count for parts 1..count-1).
    int SelectedPart(kz::scene::XTrunk* item) const {
        return item && item->MatchTarget(&list) ? item->FindTargetPart(&list) : -1;
    }

    kz::scene::ConditionList list;
};

}  // namespace kz::view
