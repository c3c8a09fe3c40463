// XTrunk, one part of the model's part tree: its shapes (entry 0 the base shape carrying the part's own record),
// its children, its placement chain, the display state it pushes to the bridge and the writer of its own line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/scene/figure_record.h"
#include "app/scene/trunk_attributes.h"
#include "platform/file_system.h"

namespace kz::scene {

class XLeaves;
class XViewServices;
struct ConditionList;

// One part's stored placement in a pose (a stage's one entry is named "trunk"). An entry no line has set yet keeps
// the values the part had when the pose was opened and is skipped when the pose plays.
struct PoseEntry {
    std::int32_t unset = 1;
    std::string part_name;
    double position[3] = {};
    double rotation[3] = {};
};

// A named pose (kind 0: one entry per part that records poses) or stage (kind 1: the whole item).
struct PoseRecord {
    std::vector<PoseEntry> entries;
    std::string name;
    std::int32_t kind = 0;
    double duration = 0.0;     // seconds the play takes
    double second_time = 0.0;  // handed to every motion as its easing
};

class XTrunk {
public:
    XTrunk(XViewServices* view, const double* position, const double* rotation, const double* origin_offset,
           const double* origin_rotation, const char* name, int index);
    virtual ~XTrunk();
    XTrunk(const XTrunk&) = delete;
    XTrunk& operator=(const XTrunk&) = delete;

    int AddLeaves();
    int FindPart(const char* name, int start);
    int FindPartParent(int part_index);
    int GetParentPartIndex();
    void SetParent(XTrunk* parent);
    void RemoveChild(XTrunk* child);
    void MoveChildrenToParent(int keep_place);
    void FindTrunkInSubtree(const XTrunk* sought, int* index);
    int CopyLeavesFrom(XTrunk* source, int with_placement);
    // Deletes parts first..end-1 (never the base part); parts left behind stop following the deleted ones.
    void RemoveParts(int first, int end);
    void SetPlacement(const double* position, const double* rotation);
    void GetPartBounds(double* point, double* box, int reset);
    void RecalcMatrices(int recursive);
    void UpdateMatricesForFrame(int recursive);
    void ClearPartPlacedFlags();
    int HasPartFlag(int part_index, int mask);
    int HasFrefer();
    void ShowPart(int show, int part_index);
    void SetVisible(int show, int recursive);
    void PushShadowFlags(int recursive, int part_index);
    void PushDrawStyle();
    void UpdateSelectionDisplay();
    int UpdateHighlightColor();
    void RefreshHighlight();
    std::uint32_t GetDrawColor();
    double GetTransparency();
    int DrawAxes(void* device_context, int mask, double length);
    void AddCommentLine(const char* text);
    void EnsureName();
    void ResetMotions();
    char* MakeHeaderRecord(char* old_text, char separator);

    // --- Targets (xtrunk_targets.cpp) and attributes (xtrunk_attributes.cpp) ---------------------------------
    int MatchTerm(const ConditionList* condition, int term);
    int MatchTarget(const ConditionList* condition);
    // 0 the item itself, -1 none, minus the part count for every part 1..count-1.
    int FindTargetPart(const ConditionList* condition);
    int AttributeEquals(const char* name, const char* value);
    // Writes "-" first; -1 for a system attribute, the record index for a user attribute, -99 for none.
    int GetAttribute(const char* name, char* buffer, int size);
    void UpdateCalcAttributes();
    // "name.unit" moves the value into the expression; "#del" deletes, "#=" keeps the value or expression.
    void SetAttribute(const char* name, const char* value, const char* expression);
    // -1 for a system attribute, the record index for a user one, -2 when absent and add is 0.
    int SetSystemAttribute(const char* name, const char* value, const char* expression, int add);
    int SetAttributeDefault(const char* name, const char* value, const char* expression);
    // Indexes 0..9 the system attributes, 10 + k user attribute k; 0 when a rename would duplicate a name.
    int SetAttributeByIndex(int index, const char* name, const char* value, const char* expression);
    // Rows 0..9 the system attributes, then the user ones; new heap arrays of heap texts, freed with
    // free_attribute_rows. The row count.
    int CollectAttributes(char*** names, char*** values, char*** expressions);
    void CopyAttributesFrom(XTrunk* source);
    int DeleteAttribute(const char* name);
    int DeleteAttributeAt(int index);
    void ClearAttributes();
    void SortAttributes();
    void RecomputeAttributes();
    static int IsCountSumExpression(const char* expression);
    double EvalCountSum(const char* expression);
    XTrunk* FindTrunkForExpression(const char* expression);
    // `rest` holds the items after "=calc;area;"; the area, also stored formatted as record `index`'s value.
    double CalcFilteredArea(int index, const char* rest, char* work, int work_size);
    AttributeArray attributes;

    // --- Poses and stages (xtrunk_poses.cpp) -----------------------------------------------------------------
    // Consecutive entries with the same pose index fill one pose part by part; *last_pose follows the index.
    void AddPoseEntry(int pose_index, double duration, double second_time, const char* pose_name, const char* part_name,
                      const double* position, const double* rotation, int* last_pose);
    void AddPoseEntryFromRecord(const COBJECTA* record, int* last_pose);
    void AddStage(double duration, double second_time, const char* name, const double* position,
                  const double* rotation);
    void AddStageFromRecord(const COBJECTA* record);
    void ClearPoses();
    // Same-kind records whose names match before their first ":" are replaced in place; the rest are appended.
    void CopyPosesFrom(const XTrunk* source);
    // Queues one timed motion per set value; the duration used (0 when nothing plays).
    double PlayPose(int pose_index, double start, double duration, double last);
    // start plus the duration played, or start when no record of that kind and name exists.
    double FindAndPlayPose(const char* name, double start, double duration, int kind, double last);
    std::vector<PoseRecord> poses;

    XLeaves* base() const { return parts.empty() ? nullptr : parts[0]; }
    COBJECTA* base_record() const;
    int part_count() const { return static_cast<int>(parts.size()); }

    std::int32_t mark_state = 0;
    std::int32_t changed = 0;
    std::int32_t update_bits = 0;
    XViewServices* view = nullptr;
    std::int32_t shown = 1, shown_too = 1;
    std::int32_t saved_visible = 1;
    std::int32_t sw = 0;
    std::int32_t id = 0;
    char* lock_owner = nullptr;  // heap text
    std::int32_t index = 0;
    std::int32_t parent_part_cache = 0;
    std::vector<XLeaves*> parts;  // owned
    std::uint32_t highlight_color = 0;
    double highlight_transparency = 0.0;
    std::int32_t placed_this_frame = 0;
    XTrunk* parent = nullptr;
    std::vector<XTrunk*> children;  // not owned
    CNEWTONLIST newton_list;
    std::vector<char*> text_list;      // heap texts
    std::vector<char*> comment_lines;  // heap texts
    // Unknown lines after the last item of the unit's own file, written back at its end.
    std::vector<std::string> trailing_lines;
    // Kept for the document and view.
    std::int32_t loaded = 0;
    // The parts a unit read into the item added (start..end-1); lines of the referring file after the reference
    // add theirs behind them, so unloading the unit removes only this range (-1: no unit read).
    std::int32_t unit_part_start = -1, unit_part_end = -1;
    // 1 while the item's row is one its parent unit's own file gave it (the document's reader sets it); a move
    // clears it. Other items under a unit live in the file that refers to the unit.
    std::int32_t read_from_unit = 0;
    // The file the unit was read from (or its save last wrote), as the reader's descriptor saw it; unknown when
    // there was none. A save asks before it writes over another file that has come under the unit's name.
    kz::platform::FileIdentity unit_file;
    // The file under the unit's name that the user last agreed to replace, as it stood when asked (its bytes' digest
    // too), while no save has written the unit since: a save that finds it there asks nothing again. Unknown: none.
    kz::platform::FileIdentity agreed_file;
    std::int32_t animating = 0;
    std::int32_t flags = 0;
    std::int32_t delete_mark = 0;
    std::int32_t notreal = 0;

private:
    void PlaceBase(const double* anchor, const double* anchor_inverse);
    void PlaceParts();
    // One trunk's share of the whole-tree walks above.
    void PlaceOnParent();
    void PlaceForFrame();
    void SetOwnVisible(int show);
    void PushOwnShadowFlags(int part_index);
};

}  // namespace kz::scene
