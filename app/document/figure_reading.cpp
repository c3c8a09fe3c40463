// Opening a model: the figure file and every unit file it references, read whole as bytes and fed line by line
// to the record interpreter inside the stack of reference levels that tells it where new items go.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/crt/mbcs.h"
#include "platform/file_system.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr int kPath = fnd::kPathBufferSize;

const char* frefer_of(const XTrunk* trunk) {
    const kz::scene::COBJECTA* r = trunk ? trunk->base_record() : nullptr;
    return r && r->frefer ? r->frefer : "";
}

// A unit name as LoadReferenceFile reads it: ".fig" added when it has none, resolved against the base folder.
std::string resolved_unit_name(const DocumentState& document, const char* frefer) {
    char name[kPath] = {}, full[kPath] = {};
    fnd::add_default_extension(name, frefer, ".fig");
    fnd::resolve_relative_path(full, name, base_folder_of(document.base_folder).c_str(), 0);
    return full;
}

bool has_prefix(const std::string& name, const char* prefix) {
    return fnd::compare_prefix_nocase(name.c_str(), prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

// What a unit name stands for: the file it maps to (its identity when it exists, so that every spelling and
// every link of one file is one unit), or the mapped name itself. Nothing is fetched.
std::string unit_identity(const DocumentState& document, const char* frefer) {
    std::string local = resolved_unit_name(document, frefer);
    if (has_prefix(local, "http:")) {
        fnd::to_forward_slashes(local.data(), nullptr);
        // Without a cache the address itself names the unit.
        if (std::string cached = cache_file_name(document.work_folder, local.c_str()); !cached.empty())
            local = std::move(cached);
    } else if (has_prefix(local, "file:")) {
        // A name on another machine maps to nothing: it stands for itself.
        if (std::string file = kz::platform::file_url_local_name(local); !file.empty()) local = file;
    }
    const std::string id = kz::platform::file_identity(local);
    if (!id.empty()) return id;
    for (char& c : local) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "name " + local;
}

// True when the text ends inside a double-byte character: the file was cut short.
bool ends_inside_character(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (kz::crt::is_sjis_lead(c)) {
            if (i + 1 >= bytes.size()) return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

}  // namespace

int XView::OpenModel(const char* path) {
    if (!path || !*path) return 0;
    document.opened_model_paths.emplace_back(path);
    // Items read now are placed by the one pass over the whole tree below, not each as it is read as well.
    document.placing_at_end = 1;
    const int r = OpenModelFile(path, 1);
    document.placing_at_end = 0;
    if (r <= 0) return r;
    // The window is being closed: placing what was read, fitting the eye to it and drawing it would only hold the
    // close up.
    if (document.close_pending) return r;
    SendTitle();
    if (XTrunk* root = TrunkAt(0)) {
        ClearChangedFlags(root);
        root->RecalcMatrices(1);
    }
    if (document.link_jump) {
        document.link_jump = 0;
        return r;
    }
    if (settings.eye_point_given) {
        AnimateEyeTo(settings.settings_target, 0, settings.settings_eye,
                     camera.immediate_eye_move == 1 ? 0.0 : camera.eye_move_time, settings.settings_lens, 0.0, 0.0);
        camera.immediate_eye_move = 0;
        settings.eye_point_given = 0;
    } else {
        FitEyeToModel(camera.eye_move_time);
    }
    return r;
}

int XView::OpenModelFile(const char* path, int as_new) {
    if (!path || !*path) return 0;
    // A close noted before belongs to work the program has come back from (or it would not open anything now).
    if (!document.guard.opening()) document.close_pending = false;
    // The open's budgets run from here to every return; a new model's downloads count from here on.
    struct OpenScope {
        LoadGuard& guard;
        OpenScope(LoadGuard& g, const char* name, bool new_model) : guard(g) { guard.begin(name, new_model); }
        ~OpenScope() { guard.end(); }
    } scope(document.guard, path, as_new == 1);
    char name[kPath] = {}, local[kPath] = {};
    fnd::copy_string_bounded(name, path, kPath);
    MapDataName(name, local);
    if (!kz::platform::file_exists(local) || kz::platform::is_directory(local)) {
        if (!document.guard.stopped()) report_unit_problem(path, "figure file not found");
        return 0;
    }
    settings.eye_point_given = 0;
    document.current_command_block = -1;
    ClearNamedLists();
    if (as_new == 1) {
        NewModel();
        ClearPushrefTable();
        document.first_trunk_index = -1;
    }
    TruncateReferenceStack(1);
    if (fnd::has_extension(local, ".om3")) {
        if (output.bridge) {
            output.bridge->LoadMeshFile(local, [this] { return KeepWorking(); });
            output.bridge->device_dirty = 1;
        }
        // A mesh opened as the model is the scene: it shows (a figure set's settings, applied next, may hide it).
        if (as_new == 1) {
            settings.mesh_world = 1;
            settings.given_keys |= kGivenMeshWorld;
        }
        return 1;
    }
    PushDataFolder();
    document.notreal_mark = 0;
    XTrunk* current = CurrentTrunk();
    if (!current) current = TrunkAt(0);
    if (current) {
        kz::scene::COBJECTA* record = current->base_record();
        record->frefer = ToAbsolutePath(record->frefer, name, current);
        document.loading_settings = as_new;
        ExpandReference(current, 0, 1);
        SelectItem(-1, 0, 0);
        document.loading_settings = 0;
    }
    RemoveNotRealTrunks();
    document.notreal_mark = 0;
    PopDataFolder();
    if (as_new == 1) {
        // The opened file's folder stays the model's data folder: top-level names resolve and are written
        // against it, and its name is the window's title.
        char folder[kPath] = {}, file[kPath] = {};
        fnd::split_folder_and_file(name, folder, file);
        document.data_folder = fnd::set_heap_string(document.data_folder, folder, nullptr, -1);
        document.data_file_name = fnd::set_heap_string(document.data_file_name, file, nullptr, -1);
    }
    if (output.bridge) output.bridge->device_dirty = 1;
    // Nobody will see what was read when the window is being closed.
    if (document.close_pending) return 1;
    ApplyVisibility();
    CountScene();
    return 1;
}

void XView::SendTitle() {
    // The model's file as the user knows it, by its native path.
    const std::string file = std::string(document.data_folder ? document.data_folder : "") +
                             (document.data_file_name ? document.data_file_name : "");
    char title[2 * kPath + 64];
    kz::crt::c_snprintf(title, sizeof title, "%s[%dmm](%5.3f)", shown_name_sjis(file.c_str()).c_str(),
                        camera.eye ? static_cast<int>(camera.eye->lens) : camera.base_lens, camera.stereo_factor);
    kz::platform::send_message(output.parent, UM_SET_TITLE, 0,
                               static_cast<LParam>(reinterpret_cast<std::uintptr_t>(title)));
}

int XView::ExpandReference(XTrunk* trunk, int reload, int on_demand) {
    if (!trunk) return 0;
    const int saved = document.loading_settings;
    // Over the whole subtree without recursion; children are visited by position, and loading a unit only adds
    // children below the one being expanded.
    kz::scene::walk_subtree(trunk, [&](XTrunk* t) {
        if (document.guard.stopped()) return false;
        if (*frefer_of(t)) {
            if (reload == 1) {
                UnloadReference(t, 1);
                LoadReferenceFile(t);
                t->changed = 0;
            } else if (!t->loaded && !(on_demand == 1 && LoadsOnDemand(t))) {
                // Units read while this expansion runs leave their on-demand units unread as well.
                const int saved_on_demand = document.on_demand;
                document.on_demand = on_demand;
                LoadReferenceFile(t);
                document.on_demand = saved_on_demand;
                t->changed = 0;
            }
        }
        // Settings lines count only in the part expanded first.
        document.loading_settings = 0;
        return true;
    });
    document.loading_settings = saved;
    return 1;
}

int XView::LoadsOnDemand(const XTrunk* trunk) const {
    const kz::scene::COBJECTA* r = trunk ? trunk->base_record() : nullptr;
    return r && r->frmode && (std::strchr(r->frmode, 'E') || std::strchr(r->frmode, 'e')) ? 1 : 0;
}

int XView::CanLoadReference(XTrunk* trunk) {
    const char* own = frefer_of(trunk);
    if (!*own || !trunk->parent) return 1;
    // Compared as the files they map to, not as written: "file:" followed by any two characters, another case,
    // a relative spelling or a link all name the same unit.
    const std::string mine = unit_identity(document, own);
    for (XTrunk* p = trunk->parent; p; p = p->parent) {
        if (p->index == 0) continue;
        const char* other = frefer_of(p);
        if (*other && (fnd::compare_nocase(other, own) == 0 || unit_identity(document, other) == mine)) return 0;
    }
    return 1;
}

void XView::LoadReferenceFile(XTrunk* trunk) {
    if (!trunk || trunk->loaded || !*frefer_of(trunk)) return;
    const std::string unit = frefer_of(trunk);
    // Marked loaded even when refused: the item is expanded again on every later walk, and one report is enough.
    trunk->loaded = 1;
    trunk->unit_part_start = trunk->unit_part_end = trunk->part_count();
    // Until the file is read whole the item holds less than the file, and a save must leave the file alone.
    trunk->flags |= kTrunkUnitNotWhole;
    trunk->unit_file = trunk->agreed_file = {};
    if (trunk->index == 0) document.model_file_path.clear();
    if (!CanLoadReference(trunk)) {
        report_unit_problem(unit.c_str(), "refers to itself through an enclosing unit, skipped");
        return;
    }
    if (document.unit_nesting >= kMaxReferenceNesting ||
        static_cast<int>(document.reference_stack.size()) + 2 > kMaxBlockNesting) {
        report_unit_problem(unit.c_str(), "units nested too deep, skipped");
        return;
    }
    if (!document.guard.add_unit(unit.c_str())) return;
    char full[kPath] = {}, local[kPath] = {};
    UnitFullName(trunk, full);
    const int kind = MapDataName(full, local);
    // Its download stopped the open (past the budget, or the window closed): the stop's line says it all.
    if (document.guard.stopped()) return;
    std::string bytes;
    const bool exists = kz::platform::file_exists(local) && !kz::platform::is_directory(local);
    if (kind == 1 && !document.last_download_error.empty()) {
        const std::string why = "download failed (" + document.last_download_error +
                                (exists ? "), an older cached copy is read" : "), no cached copy");
        // A refusal by the model's download budget has had its line.
        if (!document.last_download_told) report_unit_problem(full, why.c_str());
        if (!exists) return;
    } else if (!exists) {
        report_unit_problem(full, "unit file not found");
        trunk->flags &= ~kTrunkUnitNotWhole;  // nothing to lose: a save may create it
        return;
    }
    std::string why;
    // A save that rewrote the file in place and was cut short left the file as it was beside it: that is read.
    if (kind != 1) kz::platform::put_back_cut_rewrite(local);
    std::string* read_path = trunk->index == 0 ? &document.model_file_path : nullptr;
    if (!kz::platform::read_whole_file(local, &bytes, kz::platform::kMaxReadBytes, &why, &trunk->unit_file,
                                       read_path)) {
        report_unit_problem(full, ("unit file cannot be read: " + why).c_str());
        return;
    }
    if (kind == 1) trunk->flags |= kTrunkDownloadedUnit;
    bool whole = true;
    if (bytes.find('\0') != std::string::npos) {
        report_unit_problem(full, "holds NUL bytes (not a text file)");
        whole = false;
    } else if (ends_inside_character(bytes)) {
        report_unit_problem(full, "ends inside a character (cut short)");
        whole = false;
    }

    EnterUnitFile(full);
    // Unknown lines of the referring file still wait for its next item: the unit's text must not take them for its
    // own trailing lines.
    std::vector<std::string> outer_pending = std::move(document.pending_lines);
    document.pending_lines.clear();
    ++document.unit_nesting;
    // A unit's blocks balance within the unit, refused ones too.
    const int outer_refused = document.guard.refused_blocks();
    document.guard.set_refused_blocks(0);
    XTrunk* const outer_unit = document.reading_unit;
    document.reading_unit = trunk;
    trunk->trailing_lines.clear();
    const int outer_floor = document.level_floor;
    const int base_depth = static_cast<int>(document.reference_stack.size());
    PushReferenceLevel(trunk, "");
    ApplyFigureLine("{", 0);
    // The unit's own "}" lines cannot climb out of the two levels that wrap it.
    document.level_floor = base_depth + 2;
    if (apply_figure_bytes(&bytes, full) > 0) whole = false;
    if (static_cast<int>(document.reference_stack.size()) > base_depth + 2) {
        // A stopped open or a close leaves the blocks it cut open; its own line has said why.
        if (!document.guard.stopped() && !document.close_pending)
            report_unit_problem(full, "ends inside an open \"{\" block (cut short?)");
        TruncateReferenceStack(base_depth + 2);
        whole = false;
    }
    document.level_floor = outer_floor;
    if (static_cast<int>(document.reference_stack.size()) == base_depth + 2) {
        ApplyFigureLine("}", 0);
        PopReferenceLevel("");
    }
    document.guard.set_refused_blocks(outer_refused);
    --document.unit_nesting;
    document.reading_unit = outer_unit;
    document.pending_lines = std::move(outer_pending);
    LeaveUnitFile();
    trunk->unit_part_end = trunk->part_count();
    if (whole) trunk->flags &= ~kTrunkUnitNotWhole;
    // However quickly the unit was read, what it added is weighed before anything further is read.
    document.guard.weigh_memory();
}

void XView::NoteRowSource(XTrunk* trunk) {
    XTrunk* parent = trunk ? trunk->parent : nullptr;
    if (trunk) trunk->read_from_unit = parent && parent == document.reading_unit && parent->HasFrefer() ? 1 : 0;
}

void XView::UnitFullName(const XTrunk* trunk, char* full) {
    fnd::copy_string_bounded(full, resolved_unit_name(document, frefer_of(trunk)).c_str(), kPath);
}

int XView::apply_figure_bytes(std::string* bytes, const char* unit) {
    char* data = bytes->data();
    const std::size_t size = bytes->size();
    std::size_t pos = 0;
    int line_number = 0, skipped = 0;
    // A stopped open (or a close of the window meanwhile) reads no further line.
    bool stopped = false;
    while (pos < size) {
        if (!KeepWorking()) {
            stopped = true;
            break;
        }
        std::size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n') ++end;
        ++line_number;
        const std::size_t length = end - pos;
        if (length > static_cast<std::size_t>(kMaxFigureLineBytes)) {
            const std::string why = "line " + kz::crt::int_text(line_number) + " is longer than " +
                                    kz::crt::int_text(kMaxFigureLineBytes) + " bytes, skipped";
            report_unit_problem(unit, why.c_str());
            ++skipped;
        } else if (length > 0) {
            // The byte after the line is the line end (or the string's own terminator) and goes back afterwards.
            const char kept = data[end];
            data[end] = '\0';
            ApplyFigureLine(data + pos, line_number);
            data[end] = kept;
        }
        if (end >= size) break;
        const char first = data[end];
        pos = end + 1;
        if (pos < size && (data[pos] == '\r' || data[pos] == '\n') && data[pos] != first) ++pos;
    }
    // The lines a stopped open left unread count as skipped too, and so does a line the stop cut short (a "dup"
    // that made only some of its copies, a unit read in part): what was read holds less than the text.
    if (stopped || document.guard.stopped()) ++skipped;
    // Unknown lines after the file's last item wait for no item of this file: the unit being read keeps them for
    // the end of its file when saved, and they join no item of the next file read (another unit, the next model).
    if (document.reading_unit && document.unit_nesting > 0)
        for (std::string& line : document.pending_lines)
            document.reading_unit->trailing_lines.push_back(std::move(line));
    ClearPendingLines();
    return skipped;
}

void XView::ApplyFigureText(char* text) {
    if (!text) return;
    std::string bytes(text);
    apply_figure_bytes(&bytes, document.data_file_name);
}

int XView::PushReferenceLevel(XTrunk* trunk, const char* name) {
    ReferenceLevel level;
    level.owner = trunk;
    level.file = fnd::set_heap_string(nullptr, name ? name : "", nullptr, -1);
    document.reference_stack.push_back(std::move(level));
    document.current_trunk_index = trunk ? trunk->index : -1;
    return static_cast<int>(document.reference_stack.size()) - 1;
}

int XView::PopReferenceLevel(const char* name) {
    auto owner_index = [this](int i) {
        const XTrunk* t = document.reference_stack[i].owner;
        return t ? t->index : -1;
    };
    int depth = static_cast<int>(document.reference_stack.size());
    if (depth == 0) return 0;
    document.current_trunk_index = owner_index(depth - 1);
    const int floor = document.level_floor > 1 ? document.level_floor : 1;
    if (depth <= floor) return depth - 1;
    if (name && *name) {
        const int lowest = floor > 2 ? floor : 2;
        int keep = lowest;
        for (int i = depth - 1; i >= lowest; --i) {
            const char* level_name = document.reference_stack[i].file;
            if (level_name && fnd::compare_nocase(level_name, name) == 0) {
                keep = i + 1;
                break;
            }
        }
        if (keep < depth) TruncateReferenceStack(keep);
        depth = static_cast<int>(document.reference_stack.size());
    }
    if (depth > floor) {
        document.current_trunk_index = owner_index(depth - 1);
        TruncateReferenceStack(depth - 1);
    } else {
        document.current_trunk_index = owner_index(depth - 1);
    }
    return static_cast<int>(document.reference_stack.size()) - 1;
}

void XView::EnterUnitFile(const char* path) {
    PushDataFolder();
    if (!path || !*path) return;
    char folder[kPath] = {}, file[kPath] = {};
    fnd::split_folder_and_file(path, folder, file);
    document.data_folder = fnd::set_heap_string(document.data_folder, folder, nullptr, -1);
    document.data_file_name = fnd::set_heap_string(document.data_file_name, file, nullptr, -1);
    if (XTrunk* root = TrunkAt(0)) root->id = 1;
}

void XView::LeaveUnitFile() { PopDataFolder(); }

}  // namespace kz::view
