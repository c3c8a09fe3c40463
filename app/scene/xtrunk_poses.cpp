// Poses and stages of an item: the placements its "pose" and "stage" lines store, their copy between items, and
// playing one back as a timed motion per part and placement column.
#include <cstring>
#include <string>

#include "app/foundation/sjis_string.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

// Bit of a part's camera number: the part records poses.
constexpr std::int32_t kRecordsPoses = 4;
constexpr const char* kStageEntryName = "trunk";
constexpr const char* kColumnNames[6] = {"dx", "dy", "dz", "rx", "ry", "rz"};

bool records_poses(const XLeaves* part) {
    return part && part->record && (part->record->camera_number & kRecordsPoses);
}

const char* text_or_empty(const char* text) { return text ? text : ""; }

void set_values(PoseEntry& entry, const double* position, const double* rotation) {
    for (int i = 0; i < 3; ++i) {
        entry.position[i] = position ? position[i] : 0.0;
        entry.rotation[i] = rotation ? rotation[i] : 0.0;
    }
    entry.unset = 0;
}

}  // namespace

void XTrunk::AddPoseEntry(int pose_index, double duration, double second_time, const char* pose_name,
                          const char* part_name, const double* position, const double* rotation, int* last_pose) {
    int recording = 0;
    for (int i = 1; i < part_count(); ++i) recording += records_poses(parts[i]) ? 1 : 0;
    const int last = last_pose ? *last_pose : -1;
    if (last_pose) *last_pose = pose_index;
    if (part_count() < 2 || recording == 0) return;

    // A negative index, or the same one again, adds to the latest pose; the first line of all opens one.
    if ((pose_index >= 0 && pose_index != last) || poses.empty()) poses.emplace_back();
    PoseRecord& pose = poses.back();
    if (pose.entries.empty()) {
        pose.duration = duration;
        pose.second_time = second_time;
        pose.name = text_or_empty(pose_name);
        pose.kind = 0;
        for (int i = 1; i < part_count(); ++i) {
            const COBJECTA* r = parts[i]->record;
            if (!records_poses(parts[i])) continue;
            PoseEntry entry;
            entry.part_name = text_or_empty(r->name);
            const double p[3] = {r->dx, r->dy, r->dz}, q[3] = {r->rx, r->ry, r->rz};
            set_values(entry, p, q);
            entry.unset = 1;
            pose.entries.push_back(entry);
        }
    }
    for (PoseEntry& entry : pose.entries) {
        if (compare_nocase(entry.part_name.c_str(), text_or_empty(part_name)) != 0) continue;
        set_values(entry, position, rotation);
        if (view) view->MarkTrunkChanged(this);
        return;
    }
}

void XTrunk::AddPoseEntryFromRecord(const COBJECTA* record, int* last_pose) {
    if (!record) return;
    const double position[3] = {record->dx, record->dy, record->dz};
    const double rotation[3] = {record->rx, record->ry, record->rz};
    AddPoseEntry(truncate_to_int(record->trans + 0.5), record->specular, 0.0, record->parent_name, record->name,
                 position, rotation, last_pose);
}

void XTrunk::AddStage(double duration, double second_time, const char* name, const double* position,
                      const double* rotation) {
    if (!records_poses(base())) return;
    PoseRecord stage;
    stage.duration = duration;
    stage.second_time = second_time;
    stage.name = text_or_empty(name);
    stage.kind = 1;
    stage.entries.emplace_back();
    stage.entries[0].part_name = kStageEntryName;
    set_values(stage.entries[0], position, rotation);
    poses.push_back(std::move(stage));
    if (view) {
        view->MarkTrunkChanged(this);
        view->NotifyStageAdded();
    }
}

void XTrunk::AddStageFromRecord(const COBJECTA* record) {
    if (!record) return;
    const double position[3] = {record->dx, record->dy, record->dz};
    const double rotation[3] = {record->rx, record->ry, record->rz};
    AddStage(record->specular, 0.0, record->parent_name, position, rotation);
}

void XTrunk::ClearPoses() {
    poses.clear();
    poses.shrink_to_fit();
}

void XTrunk::CopyPosesFrom(const XTrunk* source) {
    if (!source || source == this) return;
    for (const PoseRecord& from : source->poses) {
        PoseRecord* slot = nullptr;
        for (PoseRecord& own : poses)
            if (own.kind == from.kind && compare_before_colon(own.name.c_str(), from.name.c_str()) == 0) {
                slot = &own;
                break;
            }
        if (slot)
            *slot = from;
        else
            poses.push_back(from);
    }
}

double XTrunk::PlayPose(int pose_index, double start, double duration, double last) {
    if (poses.empty()) return 0.0;
    const int count = static_cast<int>(poses.size());
    const PoseRecord& pose = poses[pose_index < 0 ? 0 : pose_index >= count ? count - 1 : pose_index];
    if (pose.entries.empty() || !view) return 0.0;
    SystemTime now;
    view->GetClockTime(&now);
    const double seconds = duration > 0.0 ? duration : pose.duration > 0.0 ? pose.duration : 0.5;
    const double easing = last >= 0.0 ? last : pose.second_time;
    // The motions may rebuild parts; the pose itself is read from a copy.
    const std::vector<PoseEntry> entries = pose.entries;
    for (const PoseEntry& entry : entries) {
        if (entry.unset == 1) continue;
        // The stage moves the item's base part; a pose entry the part of its name, whose locks it honours.
        const bool whole_item = compare_nocase(entry.part_name.c_str(), kStageEntryName) == 0;
        const int part = whole_item ? 0 : FindPart(entry.part_name.c_str(), 1);
        if (!whole_item && part < 1) continue;
        XLeaves* context = parts[part];
        const double values[6] = {entry.position[0], entry.position[1], entry.position[2],
                                  entry.rotation[0], entry.rotation[1], entry.rotation[2]};
        for (int c = 0; c < 6; ++c) {
            if (context->record->change_locks[c + 1]) continue;
            // Room for the name and four numbers in "%f" form, the widest of them included.
            std::string line(entry.part_name.size() + 4 * 330 + 16, '\0');
            kz::crt::c_snprintf(line.data(), line.size(), "%s;%s;now;%f;%f;%f;%f", entry.part_name.c_str(),
                                kColumnNames[c], values[c], start, seconds, easing);
            view->AddAction(line.c_str(), context, now);
        }
    }
    return seconds;
}

double XTrunk::FindAndPlayPose(const char* name, double start, double duration, int kind, double last) {
    for (int i = 0; i < static_cast<int>(poses.size()); ++i)
        if (poses[i].kind == kind && compare_before_colon(poses[i].name.c_str(), text_or_empty(name)) == 0)
            return start + PlayPose(i, start, duration, last);
    return start;
}

}  // namespace kz::scene
