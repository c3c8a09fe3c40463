// The document half of the view's state: the open model's folders and names, its item array and the units read
// into it, the interpreter's pending lines and pushref names, the answers about programs, and the model's tables.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/document/load_guard.h"
#include "app/document/scene_settings.h"
#include "app/foundation/date_time.h"
#include "platform/file_system.h"

namespace kz::scene {
class XTrunk;
class COBJECTA;
}  // namespace kz::scene
namespace kz::foundation {
class EString;
struct StringPairNode;
}  // namespace kz::foundation

namespace kz::view {

using kz::foundation::SystemTime;

// Bit of XTrunk::flags: the item's unit file came over "http:" (never started from, never written back).
inline constexpr std::int32_t kTrunkDownloadedUnit = 0x100;
// Bit of XTrunk::flags: the item's unit file exists but was not read whole (refused, unreadable, cut short, lines
// skipped); saving leaves that file alone.
inline constexpr std::int32_t kTrunkUnitNotWhole = 0x200;
// Unit files nested deeper than this are not read: spellings and links of one file cannot recurse forever.
inline constexpr int kMaxReferenceNesting = 32;
// A record line longer than this is not a record anybody wrote; it is skipped and reported.
inline constexpr int kMaxFigureLineBytes = 512 * 1024;

inline constexpr int kKindNameCount = 32;

// What the clipboard's text pastes as (XView::ClipboardPasteKind).
inline constexpr int kPasteNothing = 0;
inline constexpr int kPasteFigureText = 1;
inline constexpr int kPasteBangRecords = 2;

// A named list: items of owned heap texts.
struct NamedList {
    char* name = nullptr;
    std::vector<char*> items;
};

// An "excoms" block: its lines, its name and its two numbers.
struct CommandBlock {
    std::vector<char*> lines;
    char* name = nullptr;
    double first = 0.0;
    double second = 0.0;
};

// An object a reference level keeps alive while its unit is read.
class ReferenceLevelObject {
public:
    virtual ~ReferenceLevelObject() = default;
};
struct ReferenceLevel {
    kz::scene::XTrunk* owner = nullptr;  // the item new items go under while this level is open
    char* file = nullptr;
    char* text = nullptr;
    std::unique_ptr<ReferenceLevelObject> object;
};

// A (trunk, name) pair whose count or sum is being computed.
struct AttributeEval {
    kz::scene::XTrunk* trunk = nullptr;
    std::string name;
};

// The user's answer about one program the open model would start (1 start it, 0 not): the file itself, whatever
// name or link reached it, with the native arguments shown.
struct ProgramAnswer {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t change_time = 0;
    std::string arguments;
    int allowed = 0;
};

// One save of the whole model walks the units twice: first only to judge each changed unit's file where the write
// would land (gathering those outside the model's folder, and those no longer the file that was read, for one
// question), then, with the user's answer about those, to write each where it was judged to land.
struct SaveRun {
    struct Judged {
        std::string refusal;              // why it is not written; empty when it may be
        bool refusal_box = false;         // the refusal is a write that failed: the failure box shows it too
        std::string declined;             // asked about: why it is not written when the user does not agree
        std::string landing;              // the POSIX path of the file it lands on
        kz::platform::FileIdentity file;  // the file there when judged, with the digest it was judged by
        bool written = false;             // the second walk put the unit's text there
    };
    // One file this save replaced: the file found there when the first unit landing on it was judged, and the files
    // the units written there put in its place in turn (the last is there now).
    struct Replaced {
        kz::platform::FileIdentity found;
        std::vector<kz::platform::FileIdentity> put;
    };
    int planning = 0;                   // 1: the walk judges; it writes and reports nothing
    int outside_allowed = 0;            // 1: the user agreed to write the files asked about
    std::string model_folder;           // the folder of the model's own file
    std::vector<std::string> outside;   // landings of changed units outside it that the walk would write
    std::vector<std::string> replaced;  // landings that are no longer the files their units were read from
    std::map<const kz::scene::XTrunk*, Judged> judged;
    std::map<const kz::scene::XTrunk*, std::string> names;  // where each unit the first walk visited is written
    std::map<std::string, Replaced> rewritten;              // by landing
    // Files this save's renames took a name from while another name kept them: each as it stood before the rename
    // and as the rename left it (one link less, its change time moved), in the order of the renames; and files it
    // rewrote in place that other names hold too, each before and after (the digest of the text written known).
    std::vector<std::pair<kz::platform::FileIdentity, kz::platform::FileIdentity>> left;
};

struct DocumentState {
    // The open model: where it came from and what was opened.
    std::string program_folder;   // the program file's folder, with a trailing backslash
    std::string temp_folder;      // the user's private folder, with a trailing backslash; empty when untrusted
    std::string work_folder;      // its "kz3d_temp", the download cache's home; empty without a private folder
    std::string link_base{};      // the address link names are appended to
    char* base_folder = nullptr;  // owned heap texts: the open model's folder and name
    char* data_folder = nullptr;
    char* data_file_name = nullptr;
    kz::foundation::StringPairNode* folder_stack = nullptr;  // (folder, name) pairs saved while units are read
    std::string current_figure_path;
    // Where the model's own file was read from (or its save last put it): its folder's real path and its name.
    std::string model_file_path;
    std::vector<std::string> opened_model_paths;  // every name handed to the figure loader, in order
    int force_download = 0;
    int leave_without_asking = 0;                // 1: a link leaves a changed model without asking first
    std::vector<ProgramAnswer> program_answers;  // asked while this model is open, kept until another opens
    int change_lock = 0;                         // 1: changes are not marked on their items
    SetSettingsOverlay set_overlay;              // the figure set's settings laid over the figure file's
    SaveRun save_run;

    // The item array and the units read into it.
    std::vector<kz::scene::XTrunk*> trunks;  // owned; entry 0 is the root
    int current_trunk_index = -1;            // the item new items go under
    std::vector<ReferenceLevel> reference_stack;
    int first_trunk_index = -1;
    int relative_paths = 1;
    int unit_nesting = 0;                            // unit files being read right now
    int on_demand = 0;                               // 1 while an open leaves units marked "E" unread
    int level_floor = 1;                             // reference depth a "}" cannot pop below
    int link_jump = 0;                               // set by a link that opens a model: keep the eye where it is
    std::string last_download_error;                 // why the latest download failed; empty after a success
    bool last_download_told = false;                 // its failure has had its line already (the model's budget)
    std::unordered_set<std::string> missing_pasted;  // pictures and drawings of the model said to be missing
    int build_shapes = 1;                            // 0 only to measure the reader without the shape builders
    int loading_settings = 0;                        // 1 while a new model's settings are being read
    LoadGuard guard;                                 // the running open's budgets and block nesting
    int placing_at_end = 0;                     // 1 while OpenModel reads: its one pass over the tree places every item
    kz::scene::XTrunk* reading_unit = nullptr;  // the item whose unit file is being read; null: none

    // Long work on the user-interface thread (XView::KeepWorking): when it last served the windows, and whether a
    // close came meanwhile that the program has not yet returned to its loop for.
    std::chrono::steady_clock::time_point windows_served{};
    bool close_pending = false;

    // What the interpreter keeps between lines.
    std::vector<std::string> pending_lines;  // unrecognised lines waiting for the next item or shape
    std::vector<int> pushref_table;          // item indices
    std::vector<std::string> pushref_names;  // parallel to pushref_table
    int notreal = 0;                         // 1 between "notreal" and "real": new items are marked not real
    int notreal_mark = 0;
    int paste_target = 0;
    std::int32_t pose_number_memory = 0x7FFFFFFF;

    // Tables read with the model.
    std::array<std::string, kKindNameCount> kind_names;  // record kind names by kind number
    std::vector<NamedList> named_lists;
    int current_named_list = -1;
    std::vector<CommandBlock*> command_blocks;  // owned
    int current_command_block = -1;
    std::vector<char*> text_table;              // owned heap texts
    std::vector<std::string> image_names;       // XView::InternName's table
    std::vector<int> range_lower, range_upper;  // XView::ParseNumberRanges' table
    std::vector<AttributeEval> attribute_evals;
    kz::scene::XTrunk* last_top_trunk = nullptr;
    std::string last_top_name;

    // Lock files and stamp names.
    char* user_name = nullptr;  // owned heap text: the owner name in lock files
    int user_lock_number = 0;
    int random_number = 0;  // drawn at construction, part of lock-file names
    SystemTime stamp_time{};
    std::unordered_set<std::string> stamp_names;  // stamp-like names of items and those handed out, lower case
    std::size_t stamp_scanned = 0;                // the items looked through for them
};

// One line of the viewer's on standard error, after its name, escaped (kz::platform::escape_line) so that no name
// in it reaches the terminal as a control; the libraries' lines come here too once the program has started (their
// report function), from any thread and while the program exits: it writes each line whole in one call and
// touches nothing else.
void print_viewer_line(std::string_view line);
// One line on standard error for a unit that could not be read or written: its name as the user knows it, and why.
void report_unit_problem(const char* unit, const char* reason);
// A name as the user knows it (kz::platform::display_name: a file by its native path) in the Shift_JIS text the
// windows take (a title, the attribute popup); a character Shift_JIS cannot hold shows as "?".
std::string shown_name_sjis(const char* name);

// The folder names outside any unit resolve against: the base folder, else the process's own folder; with a
// trailing backslash.
std::string base_folder_of(const char* base_folder);
// The download cache: its folder below the work folder, and the file an address is kept in there; both empty
// without a work folder.
std::string cache_folder(const std::string& work_folder);
std::string cache_file_name(const std::string& work_folder, const char* url);

}  // namespace kz::view
