// Writing the model back as figure text: each changed unit to its own file (through a temporary file and a
// rename), an item or a subtree as text on the clipboard, and the save command of the whole model.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_text.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/cursors.h"
#include "platform/dialogs.h"
#include "platform/file_in_use.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "platform/window.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;
using fnd::EString;

namespace {

constexpr int kPath = fnd::kPathBufferSize;
constexpr const char* kTab = "\t";
constexpr const char* kLineEnd = "\r\n";
constexpr int kAttributesPerLine = 50;
constexpr int kPoseItemsPerLine = 30;

// "ファイルを作れませんでした。\r\n　(1)名前が悪い\r\n　(2)ロックされている\r\n　(3)書き込み禁止媒体"
constexpr const char* kCannotCreateText =
    "\x83t\x83@\x83"
    "C\x83\x8b\x82\xf0\x8d\xec\x82\xea\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81"
    "B\r\n\x81@(1)\x96\xbc\x91O\x82\xaa\x88\xab\x82\xa2\r\n\x81@(2)\x83\x8d\x83"
    "b\x83N\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xe9\r\n\x81@(3)\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x8b\xd6\x8e~"
    "\x94}\x91\xcc";
// "書き出し失敗"
constexpr const char* kWriteFailedTitle = "\x8f\x91\x82\xab\x8f\x6f\x82\xb5\x8e\xb8\x94\x73";
// "次のファイルはモデルのフォルダの外にあります。"
constexpr const char* kOutsideHeading =
    "\x8e\x9f\x82\xcc\x83t\x83@\x83"
    "C\x83\x8b\x82\xcd\x83\x82\x83"
    "f\x83\x8b\x82\xcc\x83t\x83H\x83\x8b\x83_\x82\xcc\x8aO\x82\xc9\x82\xa0\x82\xe8\x82\xdc\x82\xb7\x81"
    "B";
// "次のファイルは読み込んだ後で変更されたか、別のファイルに置き換えられています。"
constexpr const char* kReplacedHeading =
    "\x8e\x9f\x82\xcc\x83t\x83@\x83"
    "C\x83\x8b\x82\xcd\x93\xc7\x82\xdd\x8d\x9e\x82\xf1\x82\xbe\x8c\xe3\x82\xc5\x95\xcf\x8dX\x82\xb3\x82\xea\x82\xbd\x82"
    "\xa9\x81"
    "A\x95\xca\x82\xcc\x83t\x83@\x83"
    "C\x83\x8b\x82\xc9\x92u\x82\xab\x8a\xb7\x82\xa6\x82\xe7\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81"
    "B";
// "書き換えていいですか？"
constexpr const char* kMayRewrite =
    "\x8f\x91\x82\xab\x8a\xb7\x82\xa6\x82\xc4\x82\xa2\x82\xa2\x82\xc5\x82\xb7\x82\xa9\x81H";
// "【フォルダ外への保存】"
constexpr const char* kOutsideTitle = "\x81y\x83t\x83H\x83\x8b\x83_\x8aO\x82\xd6\x82\xcc\x95\xdb\x91\xb6\x81z";
// "名前を付けて保存"
constexpr const char* kSaveAsTitle = "\x96\xbc\x91O\x82\xf0\x95t\x82\xaf\x82\xc4\x95\xdb\x91\xb6";

// Fields that the attribute and pose readers cut at: the line's separators and the item markers.
const fnd::FieldSeparators& attribute_splitters() {
    static const fnd::FieldSeparators s("\t", ",", "[a]", "[A]", "<a>", "<A>");
    return s;
}

// Fields of pose and stage lines, cut at the same separators and at their item markers.
const fnd::FieldSeparators& pose_splitters() {
    static const fnd::FieldSeparators s("\t", ",", "[p]", "[P]", "<p>", "<P>");
    return s;
}

void append_field(EString& out, const char* text, const fnd::FieldSeparators& splitters) {
    out.Append(kTab);
    kz::scene::append_protected_text(out, text ? text : "", splitters);
}

void append_number_field(EString& out, double value) {
    out.Append(kTab);
    kz::scene::append_number(out, value);
}

void append_placement(EString& out, const kz::scene::PoseEntry& e) {
    for (double v : e.position) append_number_field(out, v);
    for (double v : e.rotation) append_number_field(out, v);
}

const char* frefer_of(const XTrunk* trunk) {
    const kz::scene::COBJECTA* r = trunk ? trunk->base_record() : nullptr;
    return r && r->frefer ? r->frefer : "";
}

bool has_prefix(const char* text, const char* prefix) {
    return fnd::compare_prefix_nocase(text, prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

// The file this save put where a unit judged to land on `judged.file`, when an earlier unit of the same file was
// written (inodes are taken again once freed, so a file is known by its place too); null when none was.
const plat::FileIdentity* put_over(const SaveRun& run, const SaveRun::Judged& judged) {
    const auto written = run.rewritten.find(judged.landing);
    return written != run.rewritten.end() && written->second.found == judged.file ? &written->second.put.back()
                                                                                  : nullptr;
}

// `file` as this save's renames and rewrites left it: where one took a name from it while another name kept it, the
// file as it stands since (with the digest of the bytes it was known by, which a rename leaves alone; a rewrite in
// place knows the bytes it wrote); `file` itself where none did.
plat::FileIdentity as_left(const SaveRun& run, plat::FileIdentity file) {
    for (const auto& [before, after] : run.left)
        if (file == before) file = after;
    return file;
}

// Whether this save found `file` where it wrote, put it there, or left it behind under another name.
bool touched(const SaveRun& run, const plat::FileIdentity& file) {
    for (const auto& [landing, replaced] : run.rewritten)
        if (replaced.found == file || std::count(replaced.put.begin(), replaced.put.end(), file) > 0) return true;
    return std::any_of(run.left.begin(), run.left.end(), [&](const auto& left) { return left.first == file; });
}

// The file a unit that knew `file`, and whose name leads to `landing`, knows once the save is done: the last one the
// save put there where it found `file` there or put `file` there itself; else `file` as the save's renames of its
// other names left it.
plat::FileIdentity known_after(const SaveRun& run, const std::string& landing, const plat::FileIdentity& file) {
    const auto written = run.rewritten.find(landing);
    if (written != run.rewritten.end()) {
        const SaveRun::Replaced& replaced = written->second;
        if (replaced.found == file || std::find(replaced.put.begin(), replaced.put.end(), file) != replaced.put.end())
            return replaced.put.back();
    }
    return as_left(run, file);
}

// The busy cursor over the view while a save waits for another program to let a file go (a file server's lease),
// the one shown before given back after.
void show_waiting(bool waiting) {
    static plat::CursorHandle shown = nullptr;
    if (waiting)
        shown = plat::set_cursor(plat::wait_cursor());
    else
        plat::set_cursor(shown ? shown : plat::arrow_cursor());
}

// For as long as it lives, the waits of the save show the busy cursor.
class BusyWhileWaiting {
public:
    BusyWhileWaiting() : before_(plat::set_in_use_notice(show_waiting)) {}
    ~BusyWhileWaiting() { plat::set_in_use_notice(before_); }
    BusyWhileWaiting(const BusyWhileWaiting&) = delete;
    BusyWhileWaiting& operator=(const BusyWhileWaiting&) = delete;

private:
    plat::InUseNotice before_;
};

// A file the question names once, however many units land on it.
void ask_about(std::vector<std::string>* files, const std::string& landing) {
    if (std::find(files->begin(), files->end(), landing) == files->end()) files->push_back(landing);
}

// The parts of an item that its unit file holds: the shapes the file put into it when it was read (the referring
// file's own shapes for the item follow its row there). The root's file holds all of its parts but the template.
void unit_part_range(const XTrunk* trunk, bool is_root, int* first, int* end) {
    if (is_root) {
        *first = 2;
        *end = trunk->part_count();
        return;
    }
    *first = std::max(trunk->unit_part_start, 1);
    *end = std::min(trunk->unit_part_end, trunk->part_count());
    if (*end < *first) *first = *end = 0;
}

void append_parts(EString& out, XTrunk* trunk, int first, int end, int skip_first, int skip_end) {
    for (int p = std::max(first, 1); p < end; ++p) {
        if (p >= skip_first && p < skip_end) continue;
        char* text = trunk->parts[p]->WriteLine(nullptr, '\t');
        if (text && *text) out.AppendParts(text, kLineEnd);
        fnd::free_and_null(text);
    }
}

}  // namespace

// A unit may be written when it is not marked read-only in its mode and, while a user is named, the user owns it
// or nobody does. Beyond that only a file that was read whole (or did not exist) is ever replaced: a unit left
// unread, refused, cut short or fetched over "http:" holds less than its file, and writing it would lose the rest.
int XView::CanWriteUnit(XTrunk* trunk) {
    if (!trunk) return 0;
    const kz::scene::COBJECTA* r = trunk->base_record();
    if (r && r->frmode && (std::strchr(r->frmode, 'R') || std::strchr(r->frmode, 'r'))) return 0;
    if (!UnitFileKeptWhole(trunk)) return 0;
    const char* owner = trunk->lock_owner ? trunk->lock_owner : "";
    if (!document.user_name || !*document.user_name) return 1;
    if (fnd::compare_nocase(owner, document.user_name) == 0) return 1;
    return *owner ? 0 : 1;
}

int XView::UnitFileKeptWhole(const XTrunk* trunk) const {
    const char* name = frefer_of(trunk);
    if (!*name || has_prefix(name, "http:") || TrunkDownloaded(trunk)) return 0;
    if (trunk->flags & kTrunkUnitNotWhole) return 0;
    return trunk->loaded || trunk->index == 0 ? 1 : 0;
}

int XView::WriteUnitModel(EString* buffer, XTrunk* trunk, const char* separator) {
    if (!buffer || !trunk) return -1;
    const char sep = separator && *separator ? *separator : '\t';
    char* header = trunk->MakeHeaderRecord(nullptr, sep);
    buffer->AppendParts(header, kLineEnd);
    fnd::free_and_null(header);
    // The shapes the unit's own file holds are written there, not after the row that refers to it.
    int first = 0, end = 0;
    if (trunk->HasFrefer() && trunk->loaded) unit_part_range(trunk, false, &first, &end);
    append_parts(*buffer, trunk, 1, trunk->part_count(), first, end);
    WriteAttributeLines(buffer, trunk);
    WritePoseLines(buffer, trunk);
    return 0;
}

void XView::WriteAttributeLines(EString* buffer, XTrunk* trunk) {
    const int count = trunk->attributes.count();
    for (int i = 0; i < count; ++i) {
        if (i % kAttributesPerLine == 0) buffer->Append(i ? "\r\natr" : "atr");
        const kz::scene::AttributeRecord& a = trunk->attributes[i];
        append_field(*buffer, a.name, attribute_splitters());
        append_field(*buffer, a.value, attribute_splitters());
        append_field(*buffer, a.expression, attribute_splitters());
        buffer->AppendParts(kTab, "[a]");
    }
    if (count) buffer->Append(kLineEnd);
}

void XView::WritePoseLines(EString* buffer, XTrunk* trunk) {
    // Poses first, each on lines of its own; the stages of all records after them, sharing their lines.
    for (std::size_t i = 0; i < trunk->poses.size(); ++i) {
        const kz::scene::PoseRecord& pose = trunk->poses[i];
        if (pose.kind != 0) continue;
        int on_line = 0;
        for (const kz::scene::PoseEntry& e : pose.entries) {
            if (e.unset == 1) continue;
            if (on_line == kPoseItemsPerLine) {
                buffer->Append(kLineEnd);
                on_line = 0;
            }
            if (on_line++ == 0) {
                buffer->Append("pose3");
                append_number_field(*buffer, static_cast<double>(i));
                append_number_field(*buffer, pose.duration);
                append_number_field(*buffer, pose.second_time);
                append_field(*buffer, pose.name.c_str(), pose_splitters());
            }
            append_field(*buffer, e.part_name.c_str(), pose_splitters());
            append_placement(*buffer, e);
            buffer->AppendParts(kTab, "[p]");
        }
        if (on_line) buffer->Append(kLineEnd);
    }
    int on_line = 0;
    for (const kz::scene::PoseRecord& stage : trunk->poses) {
        if (stage.kind != 1) continue;
        for (const kz::scene::PoseEntry& e : stage.entries) {
            if (e.unset == 1) continue;
            if (on_line == kPoseItemsPerLine) {
                buffer->Append(kLineEnd);
                on_line = 0;
            }
            if (on_line++ == 0) buffer->AppendParts("stage3", kTab);
            kz::scene::append_number(*buffer, stage.duration);
            append_number_field(*buffer, stage.second_time);
            append_field(*buffer, stage.name.c_str(), pose_splitters());
            append_placement(*buffer, e);
            buffer->AppendParts(kTab, "[p]", kTab);
        }
    }
    if (on_line) buffer->Append(kLineEnd);
}

int XView::WriteExcoms(EString* buffer, const char* separator) {
    if (!buffer || document.command_blocks.empty()) return 0;
    const char* sep = separator ? separator : kTab;
    for (CommandBlock* block : document.command_blocks) {
        if (!block) continue;
        buffer->AppendParts("excoms", sep);
        kz::scene::append_text_column(*buffer, block->name ? block->name : "");
        buffer->Append(sep);
        kz::scene::append_number(*buffer, block->first);
        buffer->Append(sep);
        kz::scene::append_number(*buffer, block->second);
        buffer->AppendParts(kLineEnd, "{", kLineEnd);
        for (char* line : block->lines) {
            if (!line) continue;
            fnd::trim_blanks_commas(line);
            buffer->AppendParts("excom;", sep, line, kLineEnd);
        }
        buffer->AppendParts("}", kLineEnd);
    }
    return 0;
}

int XView::SaveChildUnits(XTrunk* unit, EString* buffer) {
    if (!unit) return 0;
    // A unit's own file holds the items it gave; the root's file holds everything under the root.
    const bool own_file_only = unit->index != 0 && unit->HasFrefer();
    // Children are visited by position: saving writes files and never changes the tree.
    for (std::size_t i = 0; i < unit->children.size(); ++i) {
        XTrunk* child = unit->children[i];
        if (child && (!own_file_only || child->read_from_unit == 1)) SaveChildUnit(child, buffer);
    }
    return 0;
}

void XView::SaveChildUnit(XTrunk* child, EString* buffer) {
    WriteUnitModel(buffer, child, kTab);
    if (!child->HasFrefer()) {
        if (child->children.empty()) return;
        if (buffer) buffer->AppendParts("{", kLineEnd);
        SaveChildUnits(child, buffer);
        if (buffer) buffer->AppendParts("}", kLineEnd);
        return;
    }
    if (CanWriteUnit(child))
        SaveUnitFig(child, 0);
    else if (child->changed == 1 && !document.save_run.planning)
        report_unit_problem(frefer_of(child), "changed but not written: read-only, locked, fetched or not read whole");
    // Items this file placed under the unit stay in this file, after the unit's row.
    bool open = false;
    for (std::size_t i = 0; i < child->children.size(); ++i) {
        XTrunk* placed = child->children[i];
        if (!placed || placed->read_from_unit == 1) continue;
        if (!open && buffer) buffer->AppendParts("{", kLineEnd);
        open = true;
        SaveChildUnit(placed, buffer);
    }
    if (open && buffer) buffer->AppendParts("}", kLineEnd);
}

int XView::UnitWriteName(const XTrunk* unit, char* local) {
    char full[kPath] = {};
    UnitFullName(unit, full);
    *local = '\0';
    if (has_prefix(full, "http:")) return 0;
    // Written where it was read from: the name maps as the reader maps it ("file:" on another machine to nothing).
    MapDataName(full, local);
    return *local ? 1 : 0;
}

// Each changed unit is judged once, in the save's first walk, where its write lands: the file there, links followed,
// is the one that is replaced. The second walk only acts on that judgement (and the user's answer).
const char* XView::UnitWriteRefusal(const XTrunk* unit, const char* local) {
    SaveRun& run = document.save_run;
    if (!run.planning) {
        const auto it = run.judged.find(unit);
        if (it == run.judged.end()) return "not written: it was not looked at when the save began";
        const SaveRun::Judged& judged = it->second;
        if (!judged.refusal.empty()) return judged.refusal.c_str();
        if (!judged.declined.empty() && !run.outside_allowed) return judged.declined.c_str();
        return nullptr;
    }
    SaveRun::Judged& judged = run.judged[unit];
    JudgeUnitWrite(unit, local, &judged);
    if (!judged.refusal.empty()) return judged.refusal.c_str();
    return judged.declined.empty() ? nullptr : "";
}

void XView::JudgeUnitWrite(const XTrunk* unit, const char* local, SaveRun::Judged* judged) {
    SaveRun& run = document.save_run;
    if (plat::to_native_path(local).empty()) {
        judged->refusal = "not written: its name names no file on this machine";
        return;
    }
    const plat::WriteLanding landing(local);
    if (!landing.found()) {
        judged->refusal = "not written: where it would land cannot be worked out (" + landing.why() + ")";
        return;
    }
    judged->landing = landing.path();
    // The file that was read, as it stood then, or the one the user last agreed to replace, as it stood when asked:
    // not changed in place (its bytes are looked at where every stamp is as it was), and not another file under its
    // name, even one that took its inode number. The write checks the bytes it was known by.
    // A file another program holds (a file server's lease) is neither changed nor written: the save waits a while.
    bool in_use = false;
    const plat::FileIdentity* known =
        landing.holds(unit->unit_file, &in_use)                                             ? &unit->unit_file
        : !in_use && unit->agreed_file.known() && landing.holds(unit->agreed_file, &in_use) ? &unit->agreed_file
                                                                                            : nullptr;
    if (in_use) {
        judged->refusal = "not written: " + plat::in_use_reason();
        judged->refusal_box = true;
        return;
    }
    const bool unchanged = known != nullptr;
    judged->file = known ? *known : landing.identity();
    // The model's own file is the one the user chose: while the name still leads where it was read from and the
    // file there is the one read, unchanged, it is written wherever that is.
    if (unit->index == 0 && unchanged && landing.path() == document.model_file_path) return;
    // A unit's name could point at any file the user may write; only figure files are ever replaced, and the file
    // judged is the one the write lands on, links followed.
    if (!fnd::has_extension(local, ".fig")) {
        judged->refusal = "not written: only figure files (.fig) are replaced";
    } else if (!fnd::has_extension(landing.path().c_str(), ".fig")) {
        judged->refusal = "not written: it leads to a file that is not a figure file (.fig)";
    } else if (!unchanged) {
        // The question is about the file as it stands now, bytes and all: the user's yes replaces that file only.
        judged->file = landing.with_bytes();
        judged->declined = "not written: it changed since it was read, and the user did not agree";
        ask_about(&run.replaced, landing.path());
    } else if (!landing.inside(run.model_folder)) {
        judged->declined = "not written: outside the model's folder, and the user did not agree";
        ask_about(&run.outside, landing.path());
    }
}

int XView::SaveUnitFig(XTrunk* unit, int top) {
    if (!unit || !*frefer_of(unit)) return 0;
    const bool planning = document.save_run.planning == 1;
    if (!UnitFileKeptWhole(unit)) {
        if (unit->changed == 1 && !planning)
            report_unit_problem(frefer_of(unit), "not written: its file was not read whole");
        return 0;
    }
    char local[kPath] = {};
    UnitWriteName(unit, local);
    if (planning) document.save_run.names[unit] = local;
    bool write = unit->changed == 1;
    if (write) {
        if (const char* refusal = UnitWriteRefusal(unit, local)) {
            if (*refusal && !planning) report_unit_problem(frefer_of(unit), refusal);
            if (*refusal && !planning && document.save_run.judged[unit].refusal_box)
                plat::message_box(output.parent, kCannotCreateText, kWriteFailedTitle, plat::MB_OK);
            write = false;
        }
    }
    // The first walk only judges; the units below are visited all the same.
    if (planning) write = false;
    EString text;
    EString* buffer = write ? &text : nullptr;
    // Names in the unit are written relative to the unit's own folder, as they were read.
    EnterUnitFile(local);
    if (top == 1) {
        WriteSettings(buffer, kTab);
        WriteExcoms(buffer, kTab);
    }
    if (buffer) {
        int first = 0, end = 0;
        unit_part_range(unit, unit->index == 0, &first, &end);
        append_parts(*buffer, unit, first, end, 0, 0);
    }
    SaveChildUnits(unit, buffer);
    if (buffer)
        for (const std::string& line : unit->trailing_lines) buffer->AppendParts(line.c_str(), kLineEnd);
    LeaveUnitFile();
    return buffer ? WriteUnitFile(unit, local, text) : 0;
}

int XView::WriteUnitFile(XTrunk* unit, const char* local, const EString& text) {
    SaveRun& run = document.save_run;
    SaveRun::Judged& judged = run.judged[unit];
    // A unit asked about is written here only after the user agreed, and knows the file agreed to, as it was when
    // asked, until it is written: the next save asks only about a change made after the answer.
    const bool agreed = !judged.declined.empty();
    if (agreed) unit->agreed_file = judged.file;
    const char* changed = agreed ? "it changed after the user agreed to write it" : "its file changed during the save";
    // Written only where the first walk judged it would land, over the file it found there (or over the one this
    // save has put there since, or the one its renames of another name left there): a name that leads elsewhere now,
    // or to another file, is left alone.
    const plat::WriteLanding landing(local);
    const plat::FileIdentity* put = put_over(run, judged);
    const plat::FileIdentity replaced = put ? *put : as_left(run, judged.file);
    if (!landing.found() || landing.path() != judged.landing || landing.identity() != replaced) {
        report_unit_problem(frefer_of(unit), (std::string("not written: ") + changed).c_str());
        plat::message_box(output.parent, kCannotCreateText, kWriteFailedTitle, plat::MB_OK);
        return 0;
    }
    // The new file takes the permissions of the file read (or of the one this save put in its place), whatever is
    // there now; while the file judged is there, its bytes are looked at again just before it is replaced.
    plat::FileWriter file(landing, put ? *put : unit->unit_file, replaced);
    const bool written =
        file.is_open() && file.write(text.text(), static_cast<std::size_t>(text.length())) && file.commit();
    if (!written) {
        // The change stays marked: the next save tries again. The line says why; the box keeps its own text.
        const std::string why = file.target_changed() ? changed : file.failure();
        report_unit_problem(local, ("could not be written: " + why + "; the previous file is kept").c_str());
        plat::message_box(output.parent, kCannotCreateText, kWriteFailedTitle, plat::MB_OK);
        return 0;
    }
    if (file.left_behind().known()) run.left.emplace_back(landing.identity(), file.left_behind());
    SaveRun::Replaced& rewritten =
        run.rewritten.try_emplace(judged.landing, SaveRun::Replaced{judged.file, {}}).first->second;
    rewritten.put.push_back(file.written_identity());
    judged.written = true;
    unit->unit_file = file.written_identity();
    unit->agreed_file = {};
    if (unit->index == 0) document.model_file_path = judged.landing;
    unit->changed = 0;
    return 1;
}

int XView::SaveModel() {
    XTrunk* root = TrunkAt(0);
    if (!root) return 0;
    kz::scene::COBJECTA* record = root->base_record();
    const char* name = frefer_of(root);
    char local[kPath] = {};
    if (!*name || !UnitWriteName(root, local) || !fnd::has_extension(local, ".fig")) {
        // A new model, one fetched from a server, or one opened from a file that is not a figure file: it is
        // written to a file the user names.
        const std::string chosen = plat::save_file_dialog(output.parent, kSaveAsTitle, "Figure (*.fig)|*.fig",
                                                          document.data_file_name ? document.data_file_name : "");
        if (chosen.empty()) return 0;
        char full[kPath] = {}, folder[kPath] = {}, file[kPath] = {};
        fnd::add_default_extension(full, chosen.c_str(), ".fig");
        record->frefer = fnd::set_heap_string(record->frefer, full, nullptr, -1);
        root->flags &= ~(kTrunkUnitNotWhole | kTrunkDownloadedUnit);
        fnd::split_folder_and_file(full, folder, file);
        document.data_folder = fnd::set_heap_string(document.data_folder, folder, nullptr, -1);
        document.data_file_name = fnd::set_heap_string(document.data_file_name, file, nullptr, -1);
        root->changed = 1;
        SendTitle();
        UnitWriteName(root, local);
        // The file the user chose is the model's own now, whatever it held (the dialog asked about that).
        const plat::WriteLanding chosen_landing(local);
        root->unit_file = chosen_landing.identity();
        root->agreed_file = {};
        document.model_file_path = chosen_landing.path();
    }
    SaveRun& run = document.save_run;
    run = SaveRun{};
    char folder[kPath] = {};
    fnd::split_folder_and_file(local, folder, nullptr);
    run.model_folder = folder;
    run.planning = 1;
    const BusyWhileWaiting busy;
    SaveUnitFig(root, 1);
    run.planning = 0;
    if (!run.outside.empty() || !run.replaced.empty()) {
        // One question names every file the save would write that the user may not expect: each by the path of
        // the file the write lands on.
        std::string question;
        for (const auto& [heading, files] :
             {std::pair(kReplacedHeading, &run.replaced), std::pair(kOutsideHeading, &run.outside)}) {
            if (files->empty()) continue;
            question += heading;
            question += "\r\n";
            for (const std::string& landing : *files) question += "\r\n" + plat::utf8_name_to_cp932(landing);
            question += "\r\n\r\n";
        }
        question += kMayRewrite;
        run.outside_allowed =
            plat::message_box(output.parent, question, kOutsideTitle, plat::MB_OKCANCEL) == plat::IDOK ? 1 : 0;
    }
    const int written = SaveUnitFig(root, 1);
    // Every unit that read a file this save replaced, or that the save wrote it through, knows the last file put
    // there, and one that reads another name of a file replaced knows that file as the rename left it: the next
    // save asks about none of them. A unit whose write was declined or refused keeps the file it read, so that the
    // next save asks about it again.
    for (XTrunk* t : document.trunks) {
        const auto judged = run.judged.find(t);
        if (!t || !t->unit_file.known()) continue;
        // Left unwritten, it knows the file it read as this save left it: the next save asks what this one asked.
        if (judged != run.judged.end() && !judged->second.written) {
            t->unit_file = as_left(run, t->unit_file);
            t->agreed_file = as_left(run, t->agreed_file);
            continue;
        }
        if (!touched(run, t->unit_file)) continue;
        std::string landing = judged != run.judged.end() ? judged->second.landing : std::string();
        if (const auto name = run.names.find(t); landing.empty() && name != run.names.end() && !name->second.empty())
            landing = plat::WriteLanding(name->second).path();
        const plat::FileIdentity known = known_after(run, landing, t->unit_file);
        if (!(known == t->unit_file)) t->agreed_file = {};
        t->unit_file = known;
    }
    run = SaveRun{};
    return written;
}

int XView::ItemToText(XTrunk* trunk, EString* buffer, int with_children, int expand_units) {
    if (!trunk || !buffer) return 0;
    const bool is_root = trunk->index == 0;
    bool row_written = false;
    if (!(with_children && is_root)) {
        if (expand_units && trunk->HasFrefer()) {
            // Expanded, the unit travels as a plain item holding everything its file gave it.
            kz::scene::COBJECTA* r = trunk->base_record();
            char* reference = r->frefer;
            r->frefer = nullptr;
            const int start = trunk->unit_part_start, end = trunk->unit_part_end;
            trunk->unit_part_start = trunk->unit_part_end = -1;
            WriteUnitModel(buffer, trunk, kTab);
            trunk->unit_part_start = start, trunk->unit_part_end = end;
            r->frefer = reference;
        } else {
            WriteUnitModel(buffer, trunk, kTab);
        }
        row_written = true;
    }
    // A unit travels as its row and what the referring file placed with it; its file gives the rest again.
    const bool placed_only = row_written && trunk->HasFrefer() && !expand_units;
    bool open = false;
    for (std::size_t i = 0; with_children == 1 && i < trunk->children.size(); ++i) {
        XTrunk* child = trunk->children[i];
        if (placed_only && child->read_from_unit == 1) continue;
        if (!open) buffer->AppendParts("{", kLineEnd);
        open = true;
        ItemToText(child, buffer, 1, expand_units);
    }
    if (open) buffer->AppendParts("}", kLineEnd);
    return 1;
}

void XView::CopyItemToClipboard(int item, int with_children, int expand_units) {
    XTrunk* trunk = TrunkAt(item);
    if (!trunk) return;
    kz::scene::COBJECTA* r = trunk->base_record();
    document.relative_paths = 0;
    const double kept[6] = {r->dx, r->dy, r->dz, r->rx, r->ry, r->rz};
    // The copy lands at the origin of wherever it is pasted, unless Shift keeps its own place.
    if (!key_held(plat::VK_SHIFT)) r->dx = r->dy = r->dz = r->rx = r->ry = r->rz = 0.0;
    EString text;
    ItemToText(trunk, &text, with_children, expand_units);
    if (text.length() > 0) fnd::copy_text_to_clipboard(text.text(), 0);
    r->dx = kept[0], r->dy = kept[1], r->dz = kept[2];
    r->rx = kept[3], r->ry = kept[4], r->rz = kept[5];
    document.relative_paths = 1;
}

}  // namespace kz::view
