// The figure record interpreter: one line of figure text against the current item, by its first field: items,
// shapes, settings, attributes, poses and stages, levels, command blocks, templates; anything else waits as a
// comment line for the next item or shape.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::COBJECTA;

namespace {

constexpr int kFieldBytes = 2399;  // fields of 2398 bytes and a terminator; a longer one reads as empty

// Adds a counted part to the trunk, lets `fill` write its record and builds it when the document builds shapes.
template <class Fill>
int add_filled_part(XView& view, XTrunk& trunk, int line_number, Fill fill) {
    const int part = trunk.AddLeaves();
    view.document.guard.add_shapes(1);
    kz::scene::XLeaves* leaves = trunk.parts[part];
    leaves->line_number = line_number;
    fill(*leaves->record);
    if (view.document.build_shapes) leaves->Build(nullptr);
    return part;
}

enum class Row {
    Trunk,
    Shape,
    Duplicate,
    Set,
    Attribute,
    Pose,
    Pose2,
    Pose3,
    Stage3,
    Stage2,
    Open,
    Close,
    CommandBlock,
    CommandBlockEnd,
    Command,
    Pushref,
    Popref,
    NotReal,
    Real
};

struct KeywordRow {
    int length_gate;  // 0: any length of field 0
    const char* keyword;
    Row row;
};

// Tried in this order; the first match acts.
constexpr KeywordRow kRows[] = {
    {5, "trunk", Row::Trunk},
    {5, "refer", Row::Trunk},
    {0, "box", Row::Shape},
    {0, "zpoly", Row::Shape},
    {0, "hpoly", Row::Shape},
    {0, "poly", Row::Shape},
    {0, "d3poly", Row::Shape},
    {0, "cylinder", Row::Shape},
    {0, "ball", Row::Shape},
    {0, "sui", Row::Shape},
    {0, "hankyuu", Row::Shape},
    {0, "kaiten", Row::Shape},
    {0, "dup", Row::Duplicate},
    {3, "set", Row::Set},
    {3, "atr", Row::Attribute},
    {4, "pose", Row::Pose},
    {5, "pose2", Row::Pose2},
    {5, "pose3", Row::Pose3},
    {6, "stage3", Row::Stage3},
    {6, "stage2", Row::Stage2},
    {1, "{", Row::Open},
    {1, "}", Row::Close},
    {6, "excoms", Row::CommandBlock},
    {9, "excomsend", Row::CommandBlockEnd},
    {6, "excom;", Row::Command},
    {7, "pushref", Row::Pushref},
    {6, "popref", Row::Popref},
    {7, "notreal", Row::NotReal},
    {4, "real", Row::Real},
};

const fnd::FieldSeparators& separators() {
    static const fnd::FieldSeparators seps("\t", ",");
    return seps;
}

bool is_skipped(char c) { return c == '\t' || c == ' ' || c == ','; }

// The next field after `next` into out (empty when missing or too long); returns the position after it.
int read_field(const char* text, int next, std::string* out) {
    out->clear();
    if (next < 0) return -1;
    char buffer[kFieldBytes] = {};
    int pos = next, len = 0;
    const int after = fnd::get_field(text, pos, len, separators(), buffer, sizeof buffer);
    *out = buffer;
    return after;
}

// Where the items of a text cut at any of the markers begin (outside double quotes); empty items are dropped.
std::vector<std::size_t> item_starts(const char* text, const char* const markers[4]) {
    std::vector<std::size_t> starts;
    std::size_t item = 0;
    bool quoted = false;
    std::size_t i = 0;
    for (; text[i];) {
        if (text[i] == '"') quoted = !quoted;
        bool cut = false;
        for (int m = 0; m < 4 && !quoted && !cut; ++m) cut = std::strncmp(text + i, markers[m], 3) == 0;
        if (cut) {
            if (i > item) starts.push_back(item);
            i += 3;
            item = i;
            continue;
        }
        i += static_cast<std::size_t>(fnd::sjis_char_size(text + i));
    }
    if (i > item) starts.push_back(item);
    return starts;
}

constexpr int kPoseNameBytes = 510;  // a longer pose, stage or part name reads as empty

// One item of a pose or stage line: its two times (stage items only), a name and the placement.
struct PoseItem {
    double times[2] = {};
    std::string name;
    double position[3] = {}, rotation[3] = {};
};

// A name field: empty when longer than a pose name may be.
int read_name(const char* text, int next, std::string* out) {
    const int after = read_field(text, next, out);
    if (static_cast<int>(out->size()) > kPoseNameBytes) out->clear();
    return after;
}

int read_number(const char* text, int next, double* out) {
    std::string field;
    const int after = read_field(text, next, &field);
    *out = kz::crt::c_atof(field.c_str());
    return after;
}

// The items of the text cut at "[p]" markers; each item's fields run on past its marker, as the writer lays them
// out.
std::vector<PoseItem> read_pose_items(const char* text, bool with_times) {
    static const char* const markers[4] = {"[p]", "[P]", "<p>", "<P>"};
    std::vector<PoseItem> items;
    for (std::size_t at : item_starts(text, markers)) {
        while (is_skipped(text[at])) ++at;
        if (!text[at]) continue;
        PoseItem item;
        int p = 0;
        if (with_times) {
            p = read_number(text + at, p, &item.times[0]);
            p = read_number(text + at, p, &item.times[1]);
        }
        p = read_name(text + at, p, &item.name);
        for (double* v : {&item.position[0], &item.position[1], &item.position[2], &item.rotation[0], &item.rotation[1],
                          &item.rotation[2]})
            p = read_number(text + at, p, v);
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

void XView::ApplyPoseRecord(XTrunk* trunk, int form, const char* line, int next) {
    if (!trunk) return;
    std::int32_t* memory = &document.pose_number_memory;
    if (form == 0) {  // "pose": the whole line is a figure record
        COBJECTA record(nullptr, this, trunk);
        record.ReadFigureLine(line);
        trunk->AddPoseEntryFromRecord(&record, memory);
        return;
    }
    if (next < 0) return;
    if (form == 3 || form == 4) {  // "stage3" and "stage2": items right after the keyword
        for (const PoseItem& s : read_pose_items(line + next, true)) {
            // The second form keeps the play time in its second number.
            const double duration = form == 3 ? s.times[0] : s.times[1];
            trunk->AddStage(duration, form == 3 ? s.times[1] : 0.0, s.name.c_str(), s.position, s.rotation);
        }
        return;
    }
    // "pose2" (number, time, name) and "pose3" (number, first and second time, name), then the parts' items.
    double number = 0.0, times[2] = {};
    std::string name;
    int p = read_number(line, next, &number);
    p = read_number(line, p, &times[0]);
    if (form == 2) p = read_number(line, p, &times[1]);
    p = read_name(line, p, &name);
    const int index = form == 1 ? kz::scene::truncate_to_int(number + 0.5) : kz::scene::truncate_to_int(number);
    if (p < 0) return;
    for (const PoseItem& item : read_pose_items(line + p, false))
        trunk->AddPoseEntry(index, times[0], times[1], name.c_str(), item.name.c_str(), item.position, item.rotation,
                            memory);
}

int XView::ApplyFigureLine(const char* line, int line_number) {
    if (!line) return 0;
    const char* start = line;
    while (is_skipped(*start)) ++start;
    if (!*start) return 0;
    int pos = 0, len = 0;
    const int next = fnd::get_field(start, pos, len, separators());
    const char* field0 = start + pos;
    const KeywordRow* match = nullptr;
    for (const KeywordRow& row : kRows) {
        const int k = static_cast<int>(std::strlen(row.keyword));
        if (row.length_gate && len != row.length_gate) continue;
        if (fnd::compare_prefix_nocase(field0, row.keyword, k) != 0) continue;
        // Pose and stage lines need an item; without one they wait like any unknown line.
        const bool needs_item = row.row == Row::Pose || row.row == Row::Pose2 || row.row == Row::Pose3 ||
                                row.row == Row::Stage2 || row.row == Row::Stage3;
        if (needs_item && !CurrentTrunk()) continue;
        match = &row;
        break;
    }
    if (!match) {
        AddPendingLine(line);
        return 0;
    }
    XTrunk* current = CurrentTrunk();
    std::string field;
    switch (match->row) {
    case Row::Trunk: {
        const int index = AddTrunkRecord(start);
        document.current_trunk_index = index;
        if (document.first_trunk_index < 0) document.first_trunk_index = index;
        if (XTrunk* t = TrunkAt(index)) {
            for (const std::string& text : document.pending_lines) t->AddCommentLine(text.c_str());
        }
        ClearPendingLines();
        document.pose_number_memory = 0x7FFFFFFF;
        break;
    }
    case Row::Shape: AddShapeRecord(start, line_number); break;
    case Row::Duplicate: DuplicateShapes(start); break;
    case Row::Set:
        if (document.loading_settings == 1 && document.reference_stack.size() <= 3 && next >= 0)
            ApplySetting(start + next);
        break;
    case Row::Attribute: {
        if (!current || next < 0) break;
        static const char* const markers[4] = {"[a]", "[A]", "<a>", "<A>"};
        const char* rest = start + next;
        // An item's fields run on to the next separator, marker or not, as the writer's layout expects.
        for (std::size_t at : item_starts(rest, markers)) {
            // The writer puts a TAB between a marker and the next name; it separates items, not fields.
            while (is_skipped(rest[at])) ++at;
            if (!rest[at]) continue;
            std::string fields[3];
            int p = 0;
            for (std::string& value : fields) p = read_field(rest + at, p, &value);
            current->SetAttribute(fields[0].c_str(), fields[1].c_str(), fields[2].c_str());
        }
        if (document.change_lock != 1) MarkTrunkChanged(current);
        break;
    }
    case Row::Pose:
    case Row::Pose2:
    case Row::Pose3:
    case Row::Stage3:
    case Row::Stage2:
        ApplyPoseRecord(current, static_cast<int>(match->row) - static_cast<int>(Row::Pose), start, next);
        break;
    case Row::Open:
        if (!current) break;
        if (static_cast<int>(document.reference_stack.size()) >= kMaxBlockNesting) {
            // Deeper blocks are read at this depth: the nesting of a file must not be what the reader's stack
            // and every later walk over the tree pay for.
            document.guard.refuse_block(document.data_file_name);
            break;
        }
        read_field(start, next, &field);
        PushReferenceLevel(current, field.c_str());
        break;
    case Row::Close:
        if (!current || document.guard.swallow_close()) break;
        read_field(start, next, &field);
        PopReferenceLevel(field.c_str());
        break;
    case Row::CommandBlock: {
        int p = read_field(start, next, &field);
        std::string first, second;
        p = read_field(start, p, &first);
        read_field(start, p, &second);
        OpenCommandBlock(field.c_str(), kz::crt::c_atof(first.c_str()), kz::crt::c_atof(second.c_str()));
        break;
    }
    case Row::CommandBlockEnd: document.current_command_block = -1; break;
    case Row::Command: {
        if (std::strlen(start) <= 6) break;
        const char* command = start + 6;
        if (document.current_command_block >= 0 &&
            document.current_command_block < static_cast<int>(document.command_blocks.size())) {
            document.command_blocks[document.current_command_block]->lines.push_back(
                fnd::set_heap_string(nullptr, command, nullptr, -1));
        } else if (document.current_command_block < 0) {
            ExecActionCommand(command, 0.0, -1, -1);
        }
        break;
    }
    case Row::Pushref: {
        int p = next, flen = 0;
        char name[kFieldBytes] = {};
        if (p >= 0) fnd::get_field(start, p, flen, separators(), name, sizeof name);
        RegisterPushref(name, static_cast<int>(std::strlen(name)), document.current_trunk_index);
        break;
    }
    case Row::Popref: ApplyPopref(start); break;
    case Row::NotReal: document.notreal_mark = 1; break;
    case Row::Real: document.notreal_mark = 0; break;
    }
    return 0;
}

int XView::AddTrunkRecord(const char* line) {
    const int index = CreateTrunk(nullptr, nullptr, nullptr, nullptr, nullptr);
    XTrunk* trunk = TrunkAt(index);
    if (!trunk) return index;
    // Hung in place before its record is read, so names in the record resolve against its unit's folder.
    XTrunk* owner = document.reference_stack.empty() ? nullptr : document.reference_stack.back().owner;
    if (owner && owner != trunk) trunk->SetParent(owner);
    NoteRowSource(trunk);
    {
        COBJECTA record(nullptr, this, trunk);
        record.ReadFigureLine(line);
        trunk->base_record()->CopyFrom(&record);
    }
    COBJECTA* base = trunk->base_record();
    trunk->lock_owner =
        fnd::set_heap_string(trunk->lock_owner, document.user_name, nullptr, document.user_name ? -1 : 0);
    trunk->base()->ParseMoveLimits(base->limit);
    trunk->EnsureName();
    // Rounded to the nearest whole number, halves upward, on both sides of zero: a truncation after adding a half
    // would read -4 as -3, and every save would move a negative column one step toward zero.
    auto nearest = [](double v) { return kz::scene::truncate_to_int(std::floor(v + 0.5)); };
    trunk->id = nearest(base->domebtm);
    // 1 minus column 20 rounded: wide, since the column may hold any number a file gives.
    const long long visible = 1LL - nearest(base->dometop);
    trunk->shown = trunk->saved_visible = static_cast<int>(std::min<long long>(visible, INT_MAX));
    trunk->sw = 0;
    const int first_before = document.first_trunk_index;
    if (base->frefer && *base->frefer && !trunk->loaded && !(document.on_demand == 1 && LoadsOnDemand(trunk))) {
        LoadReferenceFile(trunk);
        trunk->changed = 0;
    }
    const int saved = document.loading_settings;
    document.loading_settings = 0;
    for (std::size_t i = 0; i < trunk->children.size(); ++i) ExpandReference(trunk->children[i], 0, 0);
    document.loading_settings = saved;
    document.first_trunk_index = first_before;
    if (!document.placing_at_end) trunk->RecalcMatrices(1);
    return trunk->index;
}

int XView::AddShapeRecord(const char* line, int line_number) {
    if (!CurrentTrunk()) {
        const int index = CreateTrunk(nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!TrunkAt(index)) return -1;
        document.current_trunk_index = index;
        if (document.first_trunk_index < 0) document.first_trunk_index = index;
        for (const std::string& text : document.pending_lines) TrunkAt(index)->AddCommentLine(text.c_str());
        ClearPendingLines();
    }
    XTrunk* trunk = CurrentTrunk();
    // The line is read straight into the new part's record: its texts are made once, not made and copied.
    const int part = add_filled_part(*this, *trunk, line_number, [line](COBJECTA& own) { own.ReadFigureLine(line); });
    if (part >= 0 && part < trunk->part_count())
        for (const std::string& text : document.pending_lines) trunk->parts[part]->AddCommentLine(text.c_str());
    ClearPendingLines();
    return part;
}

int XView::AddPart(int trunk_index, const COBJECTA* record, int line_number) {
    XTrunk* trunk = TrunkAt(trunk_index);
    if (!trunk || !record) return -1;
    return add_filled_part(*this, *trunk, line_number, [record](COBJECTA& own) { own.CopyFrom(record); });
}

int XView::DuplicateShapes(const char* line) {
    XTrunk* current = CurrentTrunk();
    if (!current || current->index == 0 || !line) return 0;
    COBJECTA record(nullptr, this, current);
    record.ReadFigureLine(line);
    const double step[3] = {record.dx, record.dy, record.dz};
    const double increment[3] = {record.rx, record.ry, record.rz};
    const double counts[3] = {record.odx, record.ody, record.odz};
    double children = 0.0;
    record.GetFieldByColumn(18, &children);
    DuplicateTrunkGrid(current->index, step, increment, counts, kz::scene::truncate_to_int(children + 0.5));
    return 0;
}

void XView::AddPendingLine(const char* line) { document.pending_lines.emplace_back(line ? line : ""); }

void XView::ClearPendingLines() {
    document.pending_lines.clear();
    document.pending_lines.shrink_to_fit();
}

}  // namespace kz::view
