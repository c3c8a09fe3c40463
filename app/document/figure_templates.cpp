// Named templates of figure text ("pushref" keeps an item, "popref" places a copy of it) and the removal of the
// items read while "notreal" was in force.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_record.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::COBJECTA;

namespace {
int rounded_column(const COBJECTA& record, int column) {
    double v = 0.0;
    record.GetFieldByColumn(column, &v);
    return kz::scene::truncate_to_int(v + 0.5);
}
}  // namespace

int XView::FindPushref(const char* name) const {
    if (!name) return -1;
    const std::size_t n = std::min(document.pushref_table.size(), document.pushref_names.size());
    for (std::size_t i = 0; i < n; ++i)
        if (fnd::compare_nocase(document.pushref_names[i].c_str(), name) == 0) return static_cast<int>(i);
    return -1;
}

int XView::RegisterPushref(const char* name, int length, int trunk_index) {
    // The view empties the index table with a new model; the names follow it.
    document.pushref_names.resize(document.pushref_table.size());
    const std::string key(name ? name : "", name ? static_cast<std::size_t>(std::max(length, 0)) : 0);
    const int found = FindPushref(key.c_str());
    if (found >= 0) {
        document.pushref_table[found] = trunk_index;
        return found;
    }
    document.pushref_table.push_back(trunk_index);
    document.pushref_names.push_back(key);
    return static_cast<int>(document.pushref_table.size()) - 1;
}

void XView::ClearPushrefTable() {
    document.pushref_table.clear();
    document.pushref_names.clear();
}

int XView::ApplyPopref(const char* line) {
    // Read without the view, so the template name in the paste column stays as written and is not taken for a
    // path to resolve.
    COBJECTA record(nullptr, nullptr, nullptr);
    record.ReadFigureLine(line);
    if (record.paste_count < 1 || !record.paste_entries || !record.paste_entries[0].source) return 0;
    const int entry = FindPushref(record.paste_entries[0].source);
    if (entry < 0 || !*record.paste_entries[0].source) return 0;
    const int source = document.pushref_table[entry];
    if (source < 1 || source >= trunk_count()) return 0;
    const double position[3] = {record.dx, record.dy, record.dz};
    const double rotation[3] = {record.rx, record.ry, record.rz};
    const int copy = CopyTrunkAt(source, position, rotation, rounded_column(record, 18));
    if (copy >= 0) document.current_trunk_index = copy;
    return 0;
}

int XView::CopyTrunkAt(int source_index, const double* position, const double* rotation, int with_children) {
    if (source_index < 1 || source_index >= trunk_count() || !document.trunks[source_index]) return -1;
    XTrunk* source = document.trunks[source_index];
    const COBJECTA* from = source->base_record();
    const int index = CreateTrunk(nullptr, nullptr, nullptr, nullptr, from->name);
    XTrunk* copy = TrunkAt(index);
    if (!copy) return -1;
    XTrunk* owner = document.reference_stack.empty() ? nullptr : document.reference_stack.back().owner;
    if (owner && owner != copy) copy->SetParent(owner);
    NoteRowSource(copy);
    copy->lock_owner = fnd::free_and_null(copy->lock_owner);
    copy->CopyLeavesFrom(source, 1);
    copy->CopyAttributesFrom(source);
    copy->ClearPoses();
    copy->CopyPosesFrom(source);
    COBJECTA* base = copy->base_record();
    const double zero[3] = {0.0, 0.0, 0.0};
    const double* p = position ? position : zero;
    const double* r = rotation ? rotation : zero;
    base->dx = p[0], base->dy = p[1], base->dz = p[2];
    base->rx = r[0], base->ry = r[1], base->rz = r[2];
    if (with_children == 1) BuildTrunks(source, copy);
    copy->RecalcMatrices(1);
    return copy->index;
}

int XView::RemoveNotRealTrunks() {
    if (trunk_count() < 2) return 0;
    int removed = 0;
    for (int i = 1; i < trunk_count();) {
        XTrunk* t = document.trunks[i];
        if (!t || t->notreal != 1) {
            ++i;
            continue;
        }
        if (i == document.current_trunk_index) document.current_trunk_index = -1;
        if (!DeleteTrunk(i, 1)) {
            ++i;
            continue;
        }
        ++removed;
    }
    return removed;
}

}  // namespace kz::view
