// Timed part motions: an action line queued as a pending motion of the parts its target selects, started when
// its time comes by handing it to the parts' motion slots, which the tick then animates item by item.
#include <string>
#include <vector>

#include "app/document/action_words.h"
#include "app/document/target_condition.h"
#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/scene/action_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

// The text of each ";" field of an action line, trimmed; missing fields are empty.
std::vector<std::string> action_fields(const char* line, int count) {
    static const fnd::FieldSeparators semicolon(";");
    std::vector<std::string> fields(static_cast<std::size_t>(count));
    for (int pos = 0, i = 0; pos >= 0 && i < count; ++i) {
        int start = pos, length = 0;
        pos = fnd::get_field(line, start, length, semicolon);
        if (length > 0) fields[static_cast<std::size_t>(i)].assign(line + start, static_cast<std::size_t>(length));
    }
    return fields;
}

bool is_relative(const std::string& offset) { return !offset.empty() && (offset[0] == '+' || offset[0] == '-'); }

}  // namespace

int XView::AddAction(const char* line, XLeaves* own, const SystemTime& stamp) {
    if (!line || !own || !own->owner) return -1;
    const int own_item = own->owner->index, own_part = own->index;
    const std::vector<std::string> fields = action_fields(line, 7);
    // A column that names no parameter would have the motion write through no slot at all.
    const int column = kz::scene::motion_target_index(fields[1].c_str());
    if (column < 1 || column >= kz::scene::kParameterColumns) return -1;

    ActionRecord record;
    {
        const TargetCondition condition(fields[0], own->owner, own_item, own_part);
        ResolveActionTargets(&condition.list, condition.list.search_root, &record);
    }
    if (record.targets.empty()) return -1;

    record.column = column;
    record.from_word = fields[2];
    record.to_word = fields[3];
    // Before any action has started there is nothing to count a relative start from but the stamp itself.
    const bool relative = is_relative(fields[4]) && timeline.last_action_start.year != 0;
    record.start = relative ? timeline.last_action_start : stamp;
    fnd::add_seconds_to_time(record.start, kz::crt::c_atof(fields[4].c_str()));
    timeline.last_action_start = record.start;
    record.duration = kz::crt::c_atof(fields[5].c_str());
    record.easing = kz::crt::c_atof(fields[6].c_str());
    timeline.actions.push_back(std::move(record));
    return static_cast<int>(timeline.actions.size()) - 1;
}

void XView::ResolveActionTargets(const kz::scene::ConditionList* condition, int item, ActionRecord* record) {
    XTrunk* root = TrunkAt(item);
    if (!root || !condition || !record) return;
    std::vector<XTrunk*> subtree;
    CollectSubtree(root, &subtree);
    for (XTrunk* trunk : subtree) {
        if (!trunk->MatchTarget(condition)) continue;
        const int part = trunk->FindTargetPart(condition);
        if (part >= 0) {
            record->targets.push_back({trunk->index, part});
        } else if (part < -1) {
            for (int p = 1; p < trunk->part_count(); ++p) record->targets.push_back({trunk->index, p});
        }
    }
}

int XView::RunActions(const SystemTime& now) {
    std::vector<ActionRecord>& actions = timeline.actions;
    for (std::size_t i = 0; i < actions.size();) {
        const double elapsed = static_cast<double>(fnd::time_diff_ms(actions[i].start, now)) - timeline.clock_offset_ms;
        if (elapsed < 0.0) {
            ++i;
            continue;
        }
        // Out of the list before it starts: what the parts do on a start cannot reach it again.
        const ActionRecord record = std::move(actions[i]);
        actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
        StartAction(record);
    }
    return static_cast<int>(actions.size());
}

int XView::StartAction(const ActionRecord& record) {
    const int column = record.column;
    if (column < 1 || column >= kz::scene::kParameterColumns) return 0;
    for (const ActionTarget& target : record.targets) {
        XTrunk* trunk = TrunkAt(target.item);
        if (!trunk || target.part < 0 || target.part >= trunk->part_count()) continue;
        XLeaves* part = trunk->parts[target.part];
        part->AllocMotionTable();
        part->AllocLimitTable();
        const double current = part->GetParameter(column);
        const kz::scene::MoveLimit& limit = part->limits[column];
        const double min = limit.lower_set ? limit.lower : current - 1.0;
        const double max = limit.upper_set ? limit.upper : current + 1.0;
        kz::scene::MotionSlot& slot = part->motions[column];
        slot = kz::scene::MotionSlot{};
        slot.from = parse_range_value(record.from_word.c_str(), min, max, current, &slot.from_now);
        slot.to = parse_range_value_add(record.to_word.c_str(), min, max, current, slot.from, &slot.to_now);
        trunk->update_bits |= part->SetParameter(column, slot.from);
        slot.start = record.start;
        slot.duration_ms = record.duration * 1000.0;
        slot.active = 1;
        slot.easing = kz::scene::truncate_to_int(record.easing);
        trunk->animating = 1;
    }
    return 1;
}

void XView::RemoveAction(int index) {
    if (index < 0 || index >= static_cast<int>(timeline.actions.size())) return;
    timeline.actions.erase(timeline.actions.begin() + index);
}

void XView::ClearActions() {
    timeline.actions.clear();
    timeline.actions.shrink_to_fit();
}

int XView::AnimateItems(const SystemTime& now) {
    RunActions(now);
    int running = 0;
    for (XTrunk* trunk : document.trunks) {
        if (!trunk || !trunk->animating) continue;
        trunk->animating = 0;
        for (XLeaves* part : trunk->parts) {
            const int r = part ? part->AnimateParameters(now) : 0;
            trunk->animating += r;
            running += r;
        }
        if (trunk->update_bits & kz::scene::kColumnPlacement) {
            trunk->update_bits &= ~kz::scene::kColumnPlacement;
            trunk->RecalcMatrices(1);
        }
    }
    return running;
}

void XView::RenumberActions(int deleted) {
    for (ActionRecord& record : timeline.actions) {
        std::erase_if(record.targets, [deleted](const ActionTarget& t) { return t.item == deleted; });
        for (ActionTarget& t : record.targets)
            if (t.item > deleted) --t.item;
    }
    std::erase_if(timeline.actions, [](const ActionRecord& r) { return r.targets.empty(); });
}

}  // namespace kz::view
