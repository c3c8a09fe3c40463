// What the document half of the view keeps while it reads figure files: the scene settings of the "set" lines,
// the interpreter's pending lines, pushref names and the records later machinery takes over, and the load guards.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kz::scene {
class XTrunk;
class COBJECTA;
}  // namespace kz::scene
namespace kz::foundation {
class EString;
}

namespace kz::view {

// Bit of XTrunk::flags: the item's unit file came over "http:" (never started from, never written back).
inline constexpr std::int32_t kTrunkDownloadedUnit = 0x100;
// Unit files nested deeper than this are not read: spellings and links of one file cannot recurse forever.
inline constexpr int kMaxReferenceNesting = 32;
// A record line longer than this is not a record anybody wrote; it is skipped and reported.
inline constexpr int kMaxFigureLineBytes = 512 * 1024;

// Values of the "set" lines that the view has no field for yet (the rest live in XView's scene settings).
struct SettingsBlock {
    int shadow_precision = 0;
    std::uint32_t shadow_color = 0x212121;
    double shadow_transparency = 0.7;
    double latitude = 35.6894, longitude = 139.6917;
    double north_angle = 0.0;
    double sun[3] = {0.2, 0.7, 0.0};        // ambient, diffuse, specular
    double head[4] = {0.0, 0.7, 1.0, 0.0};  // ambient, diffuse, specular, "head gen"
    int eye_point_given = 0;
    int mesh_world = 0;
    std::string last_light_path;
};

// Kinds of the records read now and applied by later machinery.
enum class DeferredKind { Pose, Pose2, Pose3, Stage2, Stage3, Command };

// One such record: the item it belongs to (null: none; check it against the item array before use) and its
// fields as read (the line as it came).
struct DeferredRecord {
    DeferredKind kind = DeferredKind::Pose;
    kz::scene::XTrunk* trunk = nullptr;
    int command_block = -1;
    std::vector<std::string> fields;
};

struct DocumentState {
    SettingsBlock settings;
    std::vector<std::string> pending_lines;  // unrecognised lines waiting for the next item or shape
    std::vector<std::string> pushref_names;  // parallel to XView::pushref_table
    std::int32_t pose_number_memory = 0x7FFFFFFF;
    int first_trunk_index = -1;
    int relative_paths = 1;
    int unit_nesting = 0;  // unit files being read right now
    int on_demand = 0;     // 1 while an open leaves units marked "E" unread
    int level_floor = 1;   // reference depth a "}" cannot pop below
    int link_jump = 0;
    std::string last_download_error;  // why the latest download failed; empty after a success // set by a link that
                                      // opens a model: keep the eye where it is
    std::vector<DeferredRecord> deferred;
    int build_shapes = 1;  // 0 only to measure the reader without the shape builders
};

// One line on standard error for a unit that could not be read as a whole: its name and why.
void report_unit_problem(const char* unit, const char* reason);

}  // namespace kz::view
