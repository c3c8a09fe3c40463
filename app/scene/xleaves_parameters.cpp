// A shape's parameters by column number: reading and setting them with the model following at once, movement
// limits, and the timed motions that the document's actions start.
#include <algorithm>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/action_list.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr int kLightColumn = 42;
constexpr int kLightClass = 8;

std::vector<std::string> split_items(const char* text, const char* separator) {
    std::vector<std::string> items;
    if (!text || !*text) return items;
    const FieldSeparators seps(separator);
    int pos = 0;
    while (pos >= 0) {
        int start = pos, len = 0;
        const int next = get_field(text, start, len, seps);
        items.emplace_back(len > 0 ? std::string(text + start, len) : std::string());
        pos = next;
    }
    return items;
}

// An empty item or "free" leaves the bound unset; an empty one also keeps the stored value.
void read_bound(const std::string& item, double* bound, std::int32_t* set) {
    if (item.empty()) {
        *set = 0;
        return;
    }
    if (item.size() == 4 && compare_nocase(item.c_str(), "free") == 0) {
        *set = 0;
        return;
    }
    *bound = kz::crt::c_atof(item.c_str());
    *set = 1;
}

}  // namespace

void XLeaves::AllocMotionTable() {
    if (!motions) motions = new MotionSlot[kParameterColumns]();
}

void XLeaves::AllocLimitTable() {
    if (!limits) limits = new MoveLimit[kParameterColumns]();
}

void XLeaves::StopMotions() {
    AllocMotionTable();
    for (int c = 1; c < kParameterColumns; ++c) motions[c].active = 0;
}

double XLeaves::GetParameter(int column) {
    XViewServices* v = view();
    if (column == kLightColumn) return v ? v->LightValue() : 1.0;
    double value = 0.0;
    return record->GetFieldByColumn(column, &value) ? value : 0.0;
}

int XLeaves::SetParameter(int column, double value) {
    XViewServices* v = view();
    if (v) v->MarkTrunkChanged(owner);
    // The faces keep the colour and corner normals their build gave them, as the model does: made now, they
    // would take the record's new ones.
    if (column >= 21 && column <= 24 && face_count() > 0) KeepFaces();
    int column_class = 0;
    if (column == kLightColumn) {
        if (v) v->SetLightValue(value);
        column_class = kLightClass;
    } else {
        column_class = record->SetFieldByColumn(column, value);
    }
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (column_class & kColumnPlacement) placement_valid = 0;
    if (column_class & kColumnColor) {
        if (!IsBaseShape()) {
            RefreshMaterials();
            if (bridge) bridge->ApplyObjectColors(this, nullptr, kPartDiffuse | kPartAmbient | kPartSpecular);
        } else if (v && owner) {
            v->ApplyTrunkColor(owner->index);
        }
    }
    if ((column_class & kColumnDisplayMode) && bridge)
        bridge->SetFaceDrawMode(model, record->draw_style, record->line_width_digit);
    if (column_class & kColumnTransparency) {
        if (!IsBaseShape()) {
            CopyTransparencyToMaterials();
            if (bridge) {
                bridge->SetOpacityProps(model, record->trans, record->hit_flag);
                bridge->ApplyObjectColors(this, nullptr, kPartAlpha);
            }
        } else if (v && owner) {
            v->ApplyTrunkTransparency(owner->index);
        }
    }
    return column_class;
}

void XLeaves::ClampParameter(int column) {
    AllocLimitTable();
    if (column < 0 || column >= kParameterColumns) return;
    const MoveLimit& limit = limits[column];
    double value = GetParameter(column);
    if (limit.lower_set && limit.lower > value) value = limit.lower;
    if (limit.upper_set && limit.upper < value) value = limit.upper;
    SetParameter(column, value);
}

int XLeaves::ParseMoveLimits(const char* text) {
    if (!text || !*text) return 0;
    for (const std::string& item : split_items(text, "|")) {
        const std::vector<std::string> parts = split_items(item.c_str(), ";");
        if (parts.size() < 2 || (parts[0] != "A" && parts[0] != "a")) continue;
        const std::string name = parts[1].substr(0, 128);
        const int column = motion_target_index(name.c_str());
        if (column < 0 || column >= kParameterColumns) continue;
        AllocLimitTable();
        MoveLimit& limit = limits[column];
        read_bound(parts.size() > 2 ? parts[2] : std::string(), &limit.lower, &limit.lower_set);
        read_bound(parts.size() > 3 ? parts[3] : std::string(), &limit.upper, &limit.upper_set);
        if (limit.lower_set && limit.upper_set && limit.lower > limit.upper) std::swap(limit.lower, limit.upper);
    }
    return 1;
}

int XLeaves::AnimateParameters(const kz::foundation::SystemTime& now) {
    AllocMotionTable();
    XViewServices* v = view();
    int any = 0;
    for (int column = 1; column < kParameterColumns; ++column) {
        MotionSlot& slot = motions[column];
        if (!slot.active) continue;
        any = 1;
        if (!v) continue;
        if (slot.active == 1 && slot.from_now == 1) slot.from = GetParameter(column);
        double value = slot.from;
        const int state =
            v->InterpolateAtTime(slot.start, slot.from, slot.to, now, slot.duration_ms, &value, slot.easing);
        if (state < 0) continue;
        int column_class = 0;
        if (state > 0) {
            slot.active = 0;
            column_class = SetParameter(column, slot.to);
        } else {
            ++slot.active;
            column_class = SetParameter(column, value);
        }
        // The finishing step re-places the part too: a motion that ends on its first tick must still show.
        if (owner) owner->update_bits |= column_class;
    }
    return any;
}

}  // namespace kz::scene
