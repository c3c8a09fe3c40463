// What a model plays: a part's action items fired into timed motions and the timed camera and hit entries, the
// timed command lines, the start events, and the search for the first item a target names.
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/action_list.h"
#include "app/scene/condition_list.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr double kLateLimitMs = 3600000.0;

// The first field of an action item or entry line: "C", "H" or "M" in any case, alone (variant 1) or followed by
// the digit 1 or 2; letter 0 for anything else.
struct ItemHead {
    char letter = 0;
    int variant = 0;
};

ItemHead read_item_head(const char* text, int length) {
    if (!text || length < 1 || length > 2) return {};
    char letter = text[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter != 'C' && letter != 'H' && letter != 'M') return {};
    if (length == 1 || text[1] == '1') return {letter, 1};
    if (text[1] == '2') return {letter, 2};
    return {};
}

const fnd::FieldSeparators& semicolon_separator() {
    static const fnd::FieldSeparators separator(";");
    return separator;
}

// Calls visit(head, entry, rest) for each item of an action column ("|" between items), rest being where the
// item's fields after the first begin (-1 when none follow), until visit answers false.
template <class Visit>
void for_each_action_item(const std::string& actions, Visit visit) {
    static const fnd::FieldSeparators bar("|");
    for (int pos = 0; pos >= 0;) {
        int start = pos, length = 0;
        pos = fnd::get_field(actions.c_str(), start, length, bar);
        if (length < 1) continue;
        const std::string entry = actions.substr(start, length);
        int head_start = 0, head_length = 0;
        const int rest = fnd::get_field(entry.c_str(), head_start, head_length, semicolon_separator());
        if (!visit(read_item_head(entry.c_str() + head_start, head_length), entry, rest)) return;
    }
}

// The position after `count` more ";" fields from pos; -1 once the text has run out.
int skip_fields(const char* text, int pos, int count) {
    for (int length = 0; count > 0 && pos >= 0; --count) {
        int start = pos;
        pos = fnd::get_field(text, start, length, semicolon_separator());
    }
    return pos;
}

// A due entry taken out of its list, its text copied.
struct DueEntry {
    int kind = 0;
    int trunk = -1;
    int b = 0;
    int downloaded = 0;
    std::string text;
};

// The next due entry from index i on, taken out of the list before it runs, so that whatever the run does to the
// lists (a stop empties them, a jump replaces the model, a tick nested in a dialog scans them) it can neither run
// twice nor cost another entry its place. An entry more than an hour late can never fall due again: it is dropped
// unrun, or it would keep the tick alive for good. False when no due entry is left.
bool take_due_entry(std::vector<TimedEntry>& list, std::size_t& i, const SystemTime& now, double offset_ms,
                    DueEntry* out) {
    while (i < list.size()) {
        TimedEntry& entry = list[i];
        const double elapsed = static_cast<double>(fnd::time_diff_ms(entry.due, now)) - offset_ms;
        if (elapsed < 0.0) {
            ++i;
            continue;
        }
        const bool late = elapsed >= kLateLimitMs;
        if (!late) *out = DueEntry{entry.kind, entry.trunk, entry.b, entry.downloaded, entry.text ? entry.text : ""};
        entry.text = fnd::free_and_null(entry.text);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        if (!late) return true;
    }
    return false;
}

// The entry text with its item field as the item is numbered now: deletes renumber the entry, not its text.
std::string with_current_item(const DueEntry& entry) {
    const std::size_t first = entry.text.find(';');
    return kz::crt::int_text(entry.trunk) + (first == std::string::npos ? std::string() : entry.text.substr(first));
}

}  // namespace

int XView::FireLeafActions(int item, int part, int mask) {
    XTrunk* trunk = TrunkAt(item);
    if (timeline.actions_off || item < 1 || part < 1 || !trunk || part >= trunk->part_count()) return 0;
    XLeaves* leaves = trunk->parts[part];
    if (!leaves || !leaves->record || !leaves->record->action || !leaves->record->action[0]) return 0;
    // A copy: what the items start may rebuild the part and its record.
    const std::string actions = leaves->record->action;
    char id[32];
    kz::crt::c_snprintf(id, sizeof id, "%d;%d", item, part);
    SystemTime stamp;
    GetClockTime(&stamp);
    timeline.last_action_start = stamp;

    for_each_action_item(actions, [&](ItemHead head, const std::string& entry, int rest) {
        if (!head.letter || rest < 0) return true;
        if (head.variant == 1 ? mask > 1 : (mask != 0 && mask != 2)) return true;
        if (head.letter == 'M') {
            AddAction(entry.c_str() + rest, leaves, stamp);
            return true;
        }
        std::string line(1, head.letter);
        if (head.variant == 2) line += '2';
        line.append(";").append(id).append(";").append(entry, rest);
        QueueAction(line.c_str(), stamp, mask);
        return true;
    });
    return 1;
}

bool XView::HasCameraEntry(const XTrunk* item) {
    for (int p = 1; p < item->part_count(); ++p) {
        const char* actions = item->parts[p] && item->parts[p]->record ? item->parts[p]->record->action : nullptr;
        bool found = false;
        if (actions)
            for_each_action_item(actions, [&](ItemHead head, const std::string&, int) {
                found = head.letter == 'C';
                return !found;
            });
        if (found) return true;
    }
    return false;
}

int XView::QueueAction(const char* line, const SystemTime& stamp, int mask) {
    std::vector<TimedEntry>& list = timeline.timed_list[0];
    if (!line) return static_cast<int>(list.size()) - 1;
    int head_start = 0, length = 0;
    const int rest = fnd::get_field(line, head_start, length, semicolon_separator());
    ItemHead head = read_item_head(line + head_start, length);
    if (head.letter == 'M') head = {};
    if (mask >= 1 && mask != head.variant) return static_cast<int>(list.size()) - 1;

    int pos = rest;
    const int item = fnd::get_field_int(line, pos, length, semicolon_separator(), 0);
    pos = skip_fields(line, pos, 2);  // part and target
    int offset_start = pos;
    length = 0;
    if (pos >= 0) fnd::get_field(line, offset_start, length, semicolon_separator());
    const std::string offset = length > 0 ? std::string(line + offset_start, length) : std::string();
    const bool relative = !offset.empty() && (offset[0] == '+' || offset[0] == '-');
    // Before any action has started there is nothing to count from but the stamp itself.
    SystemTime due = relative && timeline.last_action_start.year != 0 ? timeline.last_action_start : stamp;
    fnd::add_seconds_to_time(due, kz::crt::c_atof(offset.c_str()));
    timeline.last_action_start = due;

    TimedEntry entry;
    entry.text = fnd::set_heap_string(nullptr, rest >= 0 ? line + rest : "", nullptr, -1);
    entry.trunk = item;
    entry.kind = head.letter == 'C' ? 1 : head.letter == 'H' ? 2 : 0;
    entry.state = 1;
    entry.due = due;
    list.push_back(entry);
    return static_cast<int>(list.size()) - 1;
}

int XView::AddTimedCommand(const char* line, const SystemTime& due, int id, int a, int b, int downloaded) {
    TimedEntry entry;
    entry.text = fnd::set_heap_string(nullptr, line ? line : "", nullptr, -1);
    entry.trunk = a;
    entry.a = a;
    entry.b = b;
    entry.id = id;
    entry.downloaded = downloaded;
    entry.state = 1;
    entry.due = due;
    timeline.timed_list[1].push_back(entry);
    return static_cast<int>(timeline.timed_list[1].size()) - 1;
}

int XView::FindTargetTrunk(XTrunk* trunk, const kz::scene::ConditionList* target, XTrunk** result) {
    if (!trunk || !target) return 0;
    // An explicit stack: a deep unit nesting must not run the call stack out.
    std::vector<XTrunk*> pending{trunk};
    while (!pending.empty()) {
        XTrunk* t = pending.back();
        pending.pop_back();
        if (!t) continue;
        if (t->MatchTarget(target)) {
            if (result) *result = t;
            return 1;
        }
        pending.insert(pending.end(), t->children.rbegin(), t->children.rend());
    }
    return 0;
}

void XView::FireStartActions() {
    if (timeline.actions_off) return;
    SystemTime stamp;
    GetClockTime(&stamp);
    QueueAction("H;0;0;start=1(s-btn);0;", stamp, 0);
    QueueAction("H;0;0;start=start(start);0;", stamp, 0);
    StartViewTimer();
}

void XView::QueueItemCamera(int item, double seconds) {
    if (timeline.actions_off || item < 1 || item >= trunk_count()) return;
    char line[128];
    kz::crt::c_snprintf(line, sizeof line, "C;%d;%d;;0;%f;1", item, 0, seconds);
    SystemTime stamp;
    GetClockTime(&stamp);
    QueueAction(line, stamp, 0);
    // Nothing else wakes an idle view: without its tick the queued move would wait for some later action.
    StartViewTimer();
}

int XView::RunTimedEntries(const SystemTime& now) {
    std::vector<TimedEntry>& list = timeline.timed_list[0];
    const int waiting = static_cast<int>(list.size());
    DueEntry entry;
    std::size_t i = 0;
    // One scan runs no more entries than the list held as it began (after a jump: as the new model's list holds),
    // so parts whose hits fire each other take turns from tick to tick instead of holding one tick for good.
    for (int budget = waiting; budget-- > 0 && take_due_entry(list, i, now, timeline.clock_offset_ms, &entry);) {
        const std::string text = with_current_item(entry);
        if (entry.kind == 1) {
            StartCameraMove(text.c_str());
        } else if (entry.kind == 2) {
            const int opened = ExecTag(text.c_str(), entry.downloaded);
            if (timeline.schedule_halted) return 0;
            if (opened == 1) i = 0, budget = static_cast<int>(list.size());
        }
    }
    return StepCameraMove(now) + waiting;
}

int XView::RunTimedCommands(const SystemTime& now) {
    std::vector<TimedEntry>& list = timeline.timed_list[1];
    const int waiting = static_cast<int>(list.size());
    int run = 0;
    double chained = 0.0;
    DueEntry entry;
    for (std::size_t i = 0; take_due_entry(list, i, now, timeline.clock_offset_ms, &entry); ++run)
        chained = ExecActionCommand(entry.text.c_str(), chained, entry.trunk, entry.b, entry.downloaded);
    return waiting + run;
}

int XView::RunSchedule(const SystemTime& now) {
    int total = AnimateItems(now);
    total += RunTimedCommands(now);
    const int entries = RunTimedEntries(now);
    if (timeline.schedule_halted) return 0;
    Redraw(0);
    return total + entries;
}

}  // namespace kz::view
