// A due hit runs here: the link tag at the head of its field does its own work (jumps, documents, programs,
// folders, web pages, sounds, captions, stop, view commands, command blocks, texts to the host, the linked
// camera), then the text after the tag fires the matching parts' actions or plays a pose or stage on them.
// Model content never starts a program unasked, and a unit that came over "http:" never starts one at all.
#include <cstring>
#include <string>

#include "app/document/action_words.h"
#include "app/document/target_condition.h"
#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/action_list.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/sound.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr int kPath = fnd::kPathBufferSize;
constexpr std::uint32_t UM_VIEW_ATTR_TEXT = 0x5623;

enum TagCode {
    kFile = 1,
    kOpen = 2,
    kExec = 3,
    kWeb = 4,
    kViewLink = 5,
    kExplore = 8,
    kWave = 16,
    kMedia = 32,
    kPose = 64,
    kStage = 128,
    kCaption = 256,
    kStop = 512,
    kCommandOne = 1024,
    kCommand = 2048,
    kCommandBlock = 8192,
    kCommandText = 16384,
    kToHost = 32768,
    kAttributeToHost = 65536,
};

// "データに変更があります。\r\n先に進みますか？" / "ジャンプします。"
constexpr const char* kChangedModelText =
    "\x83"
    "f\x81[\x83^\x82\xC9\x95\xCF\x8DX\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B\x0D\x0A\x90\xE6\x82\xC9\x90i\x82\xDD\x82\xDC\x82\xB7\x82\xA9\x81H";
constexpr const char* kJumpCaption =
    "\x83W\x83\x83\x83\x93\x83v\x82\xB5\x82\xDC\x82\xB7\x81"
    "B";
// "このモデルはプログラムを起動しようとしています。\r\n" ... "\r\n起動しますか？" / "プログラムの起動"
constexpr const char* kProgramQuestionHead =
    "\x82\xB1\x82\xCC\x83\x82\x83"
    "f\x83\x8B\x82\xCD\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xF0\x8BN\x93\xAE\x82\xB5\x82\xE6\x82\xA4\x82\xC6\x82\xB5"
    "\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\x0D\x0A";
constexpr const char* kProgramQuestionTail = "\x0D\x0A\x8BN\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H";
constexpr const char* kProgramCaption = "\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x8BN\x93\xAE";

const fnd::FieldSeparators& semicolon() {
    static const fnd::FieldSeparators s(";");
    return s;
}

// The content of a tag: from its start up to the first "]" or ">" inside the field.
std::string tag_content(const char* entry, int content_start, int field_end) {
    if (content_start < 0 || content_start > field_end) return {};
    int end = content_start;
    while (end < field_end && entry[end] != ']' && entry[end] != '>') ++end;
    return std::string(entry + content_start, static_cast<std::size_t>(end - content_start));
}

// A name completed against a folder ("http:" names with forward slashes).
std::string completed(const std::string& name, const char* folder) {
    if (name.empty()) return name;
    char full[kPath] = {};
    fnd::resolve_relative_path(full, name.c_str(), folder ? folder : "", 0);
    if (fnd::compare_prefix_nocase(full, "http:", 5) == 0) fnd::to_forward_slashes(full, nullptr);
    return full;
}

bool begins_target_stop(const char* text) { return !*text || *text == ':' || *text == ';'; }

}  // namespace

bool XView::CameFromDownload(int item) {
    // A command read at load time has no item: the unit being read is where it came from.
    XTrunk* trunk = item >= 0 ? TrunkAt(item)
                              : (document.reference_stack.empty() ? nullptr : document.reference_stack.back().owner);
    for (; trunk; trunk = trunk->parent)
        if (TrunkDownloaded(trunk)) return true;
    return false;
}

bool XView::MayStartProgram(const std::string& target, const plat::ProgramJudgement& program, int item,
                            int downloaded) {
    if (downloaded || CameFromDownload(item)) {
        print_viewer_line(plat::display_name(target) + ": a model read over http: starts no program");
        return false;
    }
    // A yes to one command line says nothing of the same program given other arguments, nor of another file
    // that a name spelt in another case reaches, nor of the file once it was changed; a link to the same file is
    // that file.
    for (const ProgramAnswer& a : document.program_answers)
        if (a.device == program.device && a.inode == program.inode && a.change_time == program.change_time &&
            a.arguments == program.arguments)
            return a.allowed == 1;
    // The user judges what will really run: the file at the end of any link, with the native arguments as they
    // are handed over, shown as the link's target when the model named a link.
    const std::string shown =
        program.given_name.empty() ? program.command_text : program.given_name + " -> " + program.command_text;
    const std::string question = kProgramQuestionHead + shown + kProgramQuestionTail;
    const int answer =
        plat::message_box(output.parent, question, kProgramCaption, plat::MB_YESNO | plat::MB_ICONQUESTION);
    document.program_answers.push_back(
        {program.device, program.inode, program.change_time, program.arguments, answer == plat::IDYES ? 1 : 0});
    return answer == plat::IDYES;
}

bool XView::OpenTarget(const std::string& target, const std::string& parameters, int item, int downloaded) {
    // What was judged, asked about and remembered is what starts or opens: the name is not looked up again.
    const plat::ProgramJudgement program = plat::judge_program(target, parameters);
    if (program.program && !MayStartProgram(target, program, item, downloaded)) return false;
    return plat::shell_open(program);
}

int XView::PlaySoundTag(const char* name, int mode) {
    if (!name || !*name || (mode != 1 && mode != 2)) return 0;
    char full[kPath] = {}, local[kPath] = {};
    fnd::resolve_relative_path(full, name, document.base_folder ? document.base_folder : "", 0);
    MapDataName(full, local);
    return mode == 1 ? plat::play_wave_file(local) : plat::play_media_file(local);
}

int XView::ExecTag(const char* entry, int downloaded) {
    if (timeline.actions_off || !entry) return 0;
    int pos = 0, length = 0;
    const int item = fnd::get_field_int(entry, pos, length, semicolon(), 0);
    const int part = fnd::get_field_int(entry, pos, length, semicolon(), 0);
    if (pos < 0) return 0;
    int tag_start = pos, tag_length = 0;
    pos = fnd::get_field(entry, tag_start, tag_length, semicolon());
    fnd::get_field_double(entry, pos, length, semicolon(), 0.0);  // the offset was used when it was queued
    const double pose_duration = fnd::get_field_double(entry, pos, length, semicolon(), 0.0);
    const double pose_easing = fnd::get_field_double(entry, pos, length, semicolon(), -1.0);
    const int mask = fnd::get_field_int(entry, pos, length, semicolon(), 0);

    int content_start = -1, after_close = tag_start;
    const int code = kz::scene::parse_action_link(entry, tag_start, tag_length, &content_start, &after_close);
    const int field_end = tag_start + tag_length;
    const std::string content = tag_content(entry, content_start, field_end);
    std::string target = after_close >= 0 && after_close < field_end
                             ? std::string(entry + after_close, static_cast<std::size_t>(field_end - after_close))
                             : std::string();
    const char* data_folder = document.data_folder ? document.data_folder : "";
    int own_item = item, own_part = part, opened = 0, pose_kind = -1;

    switch (code) {
    case kFile: {
        std::string path;
        int number = 0;
        split_jump_target(content, &path, &number);
        path = completed(path, data_folder);
        if (XTrunk* root = TrunkAt(0); root && HasChangedUnits(root) && document.leave_without_asking == 0) {
            input.button_state = 2;
            const std::string text = std::string(kChangedModelText) + "\r\n" + path + "\r\n";
            if (plat::message_box(output.parent, text, kJumpCaption, plat::MB_OKCANCEL) != plat::IDOK) return 0;
        }
        if (begins_target_stop(target.c_str())) target = "start=start(start)";
        document.link_jump = number != 0 ? 1 : 0;
        if (OpenModel(path.c_str()) < 1) {
            document.link_jump = 0;
            return 0;
        }
        plat::set_window_text(output.parent, shown_name_sjis(path.c_str()));
        plat::send_message(output.parent, UM_VIEW_OPENED, 0, 0);
        const int notices[10] = {0x5513, 0, 2, 0x5514, 0x5516, 0x5515, 0, 0, 0, 0};
        SendNotifyList(notices);
        // The entry's numbers named items of the model that is gone.
        own_item = own_part = -1;
        opened = 1;
        break;
    }
    case kOpen: {
        std::string path = completed(content, data_folder);
        OpenTarget(path, {}, item, downloaded);
        break;
    }
    case kExec: {
        const std::size_t blank = content.find(' ');
        const std::string program = completed(content.substr(0, blank), data_folder);
        const std::string parameters =
            blank == std::string::npos ? std::string() : completed(content.substr(blank + 1), data_folder);
        OpenTarget(program, parameters, item, downloaded);
        break;
    }
    case kWeb: {
        char address[kPath] = {};
        fnd::copy_string_bounded(address, content.c_str(), kPath);
        CompleteDataPath(address);
        const int generation = timeline.timed_list_generation;
        OpenTarget(address, {}, item, downloaded);
        // The lists were emptied while the page opened: the tick that ran this hit has nothing left to run.
        if (generation != timeline.timed_list_generation) {
            timeline.schedule_halted = 1;
            return 0;
        }
        break;
    }
    case kViewLink: {
        camera.camera_link_item = nullptr;
        if (item <= 0) break;
        static const fnd::FieldSeparators colon(":");
        int p = 0, n = 0;
        for (double& number : camera.camera_link_numbers)
            number = fnd::get_field_double(content.c_str(), p, n, colon, 0.0);
        if (fnd::get_field_int(content.c_str(), p, n, colon, 1) != 0) camera.camera_link_item = TrunkAt(item);
        break;
    }
    case kExplore: plat::shell_explore(completed(content, data_folder)); break;
    case kWave: PlaySoundTag(content.c_str(), 1); break;
    case kMedia: PlaySoundTag(content.c_str(), 2); break;
    case kPose: pose_kind = 0; break;
    case kStage: pose_kind = 1; break;
    case kCaption:
        if (output.bridge) output.bridge->TextLabelCommand(content.c_str());
        break;
    case kStop: StopPlayback(); break;
    case kCommandOne:
    case kCommand: {
        const int id = command_id_from_name(content.substr(0, content.find(':')).c_str());
        input.tool_origin_state = code == kCommandOne ? 1 : 2;
        if (code == kCommandOne) {
            if (id <= 0) return 0;
            int chosen_item = 0, chosen_part = 0;
            if (begins_target_stop(target.c_str())) {
                const plat::Point at = plat::screen_to_client(output.view_window[0], plat::cursor_position());
                if (!PartUnderPoint(at, &chosen_item, &chosen_part)) chosen_item = chosen_part = 0;
            } else {
                FirstMatchingItem(target.c_str(), item, part, &chosen_item, &chosen_part);
            }
            SelectItem(chosen_item, chosen_part, 0);
            SendViewCommand(id);
            return 0;
        }
        SelectItem(0, 0, 0);
        if (id > 0) SendViewCommand(id);
        break;
    }
    case kCommandBlock: {
        const std::string name = content.substr(0, content.find(':'));
        for (std::size_t b = 0; b < document.command_blocks.size(); ++b) {
            const CommandBlock* block = document.command_blocks[b];
            if (!block || fnd::compare_before_colon(block->name ? block->name : "", name.c_str()) != 0) continue;
            SystemTime now;
            GetClockTime(&now);
            for (const char* line : block->lines)
                AddTimedCommand(line, now, static_cast<int>(b), item, part, downloaded || CameFromDownload(item));
            StartViewTimer();
            break;
        }
        break;
    }
    case kCommandText: ExecActionCommand(content.c_str(), 0.0, item, part, downloaded); break;
    case kToHost:
        plat::send_message(output.parent, UM_VIEW_ATTR_TEXT, reinterpret_cast<std::uintptr_t>(content.c_str()), 0);
        break;
    case kAttributeToHost: {
        XTrunk* trunk = TrunkAt(item);
        char value[1023] = {};
        if (!trunk || trunk->GetAttribute(content.c_str(), value, sizeof value) < -1) break;
        const std::string text = "atr:" + content + "=" + value;
        plat::send_message(output.parent, UM_VIEW_ATTR_TEXT, reinterpret_cast<std::uintptr_t>(text.c_str()), 0);
        break;
    }
    default: break;
    }

    // The target: without a tag the whole field, else what follows the tag's closing bracket.
    if (after_close < 0 || target.empty() || target[0] == ':' || target[0] == ';') return opened;
    const TargetCondition condition(target, TrunkAt(own_item), own_item, own_part);
    if (pose_kind < 0) {
        if (XTrunk* root = TrunkAt(condition.list.search_root))
            FireMatchingLeafActions(own_item, own_part, root, &condition.list, mask);
    } else {
        for (int i = 1; i < trunk_count(); ++i) {
            XTrunk* t = document.trunks[i];
            if (t && t->MatchTarget(&condition.list))
                t->FindAndPlayPose(content.c_str(), 0.0, pose_duration, pose_kind, pose_easing);
        }
        StartViewTimer();
    }
    return opened;
}

void XView::SendViewCommand(int id) {
    // The built-in walk runs a loop of its own: it must not start inside the hit that asked for it.
    if (id == static_cast<int>(VIEW_SWALOW))
        plat::post_message(output.view_window[0], static_cast<std::uint32_t>(id), 0, 0);
    else
        plat::send_message(output.view_window[0], static_cast<std::uint32_t>(id), 0, 0);
}

int XView::FirstMatchingItem(const char* target, int own_item, int own_part, int* item, int* part) {
    const TargetCondition condition(target ? target : "", TrunkAt(own_item), own_item, own_part);
    for (int i = 1; i < trunk_count(); ++i) {
        const int p = condition.SelectedPart(document.trunks[i]);
        if (p == -1) continue;
        if (item) *item = i;
        if (part) *part = p < 0 ? 1 : p;
        return 1;
    }
    return 0;
}

}  // namespace kz::view
