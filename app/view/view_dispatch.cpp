// The view's private messages: the command table of the view windows, the tick of the timer slot, pause and
// resume of the timeline, the command-block exchange over the clipboard and the notification lists.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/timer_slots.h"
#include "app/scene/xtrunk.h"
#include "platform/clipboard.h"
#include "platform/crt/c_numbers.h"
#include "platform/shell.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

constexpr int kItemsChangedList[10] = {0x5513, 0, 2, 0, 0, 0, 0, 0, 0, 0};
constexpr int kItemsPastedList[10] = {0x5513, 0, 2, 0x5515, 0, 0, 0, 0, 0, 0};

// Tool commands: target and bits for the move and rotate ids.
struct ToolCommand {
    std::uint32_t id;
    int target;
    int bits;
};
constexpr ToolCommand kToolCommands[] = {
    {0x5741, 2, 1}, {0x5742, 2, 2},  {0x5743, 2, 4},  {0x5744, 2, 3},  {0x5751, 3, 1},  {0x5752, 3, 2},
    {0x5753, 3, 4}, {0x5754, 3, 3},  {0x5749, 2, 16}, {0x574B, 2, 24}, {0x574C, 2, 40}, {0x574D, 2, 48},
    {0x5758, 3, 8}, {0x5759, 3, 16}, {0x575A, 3, 32}, {0x575B, 3, 24}, {0x575C, 3, 40}, {0x575D, 3, 48},
};

bool is_tool_command(std::uint32_t m) {
    return (m >= 0x5741 && m <= 0x5744) || (m >= 0x5751 && m <= 0x5754) || (m >= 0x5748 && m <= 0x574D) ||
           (m >= 0x5758 && m <= 0x575D);
}

const char* text_param(WParam w) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(w)); }
const char* text_param(LParam l) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(l)); }

}  // namespace

LResult XView::OnViewMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    const int item = static_cast<int>(static_cast<std::int64_t>(wparam));
    const bool item_valid = item >= 0 && item < trunk_count();
    if (is_tool_command(message)) {
        SetToolCommand(message);
        return 0;
    }
    switch (message) {
    case UM_VIEW_SETCURSOR: UpdateCursor(); break;
    case UM_VIEW_TICK: OnTimerTick(); break;
    case UM_VIEW_NEXT_CAMERA: FocusNextMatch(); break;
    case UM_VIEW_SET_BKCOLOR:
        settings.background_color = static_cast<std::uint32_t>(lparam);
        Redraw(0);
        break;
    case UM_VIEW_OPEN_LINK: OpenLink(text_param(wparam)); break;
    case UM_VIEW_OPEN_DATA: {
        const char* text = text_param(lparam);
        if (!text) break;
        const std::size_t n = strnlen(text, 1024);
        if (n == 0 || n >= 1024) break;
        char rest[1024], path[1024];
        std::memcpy(rest, text, n + 1);
        const kz::foundation::FieldSeparators comma(",");
        kz::foundation::split_field(rest, path, sizeof path, comma);
        OpenModelFile(path, kz::crt::c_atoi(rest) == 0 ? 1 : 0);
        break;
    }
    case UM_VIEW_DROP: {
        const char* text = text_param(wparam);
        if (!text) break;
        std::string formatted =
            kz::crt::int_text(plat::lparam_x(lparam)) + "," + kz::crt::int_text(plat::lparam_y(lparam)) + "," + text;
        DropAtPoint(formatted.c_str());
        break;
    }
    case UM_EXELDATA:
        ExchangeCommandBlock(lparam, [wparam](std::int64_t a, std::int64_t b) {
            plat::send_message(plat::handle_from_wparam(wparam), UM_EXELDATA, static_cast<WParam>(a), b);
        });
        break;
    case PLAY_POSE: PauseTimeline(); break;
    case PLAY_RESTART: ResumeTimeline(); break;
    case VIEW_AROUND:
    case VIEW_WALK:
    case VIEW_HEAD:
        input.interaction_class = 1;
        input.view_mode = static_cast<int>(message - VIEW_AROUND) + 1;
        input.target = 0;
        break;
    case VIEW_CENTER: ToggleCentrePick(); break;
    case DISP_MAX: FitEyeToModel(camera.fit_time); break;
    case DISP_REDRAW:
        if (output.bridge) {
            output.bridge->device_dirty = 1;
            ApplyVisibility();
            Redraw(1);
        }
        break;
    case PLAY_STOP: StopAll(0); break;
    case VIEW_SWALOW: StopAll(1); break;
    case VIEW_SWALOW_OFF: StopAll(0); break;
    case EYE_SET: QueueItemCamera(item, camera.eye_move_time); break;
    case EYE_OUT: camera.current_camera_part = nullptr; break;
    case DISP_WIRE:
        display.wire_display = !display.wire_display;
        Redraw(1);
        break;
    case DISP_TRANSPA:
        display.selection_display_mode =
            display.selection_display_mode + 1 > 2 ? 0 : display.selection_display_mode + 1;
        Redraw(1);
        break;
    case UM_VIEW_COPY_ITEM:
    case UM_VIEW_COPY_TREE:
        if (item_valid) CopyItemToClipboard(item, message == UM_VIEW_COPY_TREE ? 1 : 0);
        break;
    case UM_VIEW_CUT_ITEM:
        if (item >= 1 && item_valid) {
            CopyItemToClipboard(item, 0);
            DeleteTrunk(item, 1);
            Redraw(0);
            SendNotifyList(kItemsChangedList);
        }
        break;
    case UM_VIEW_CUT_TREE:
        if (item_valid) {
            CopyItemToClipboard(item, 1);
            DeleteTrunkTree(document.trunks[item], 1);
            Redraw(0);
            SendNotifyList(kItemsChangedList);
        }
        break;
    case UM_VIEW_DELETE_SELECTED: DeleteSelected(); break;
    case UM_VIEW_SET_SHADOW_MODE: SetShadowModeTree(item, static_cast<int>(lparam)); break;
    case UM_VIEW_PASTE: PasteIntoRoot(); break;
    case VIEW_SKY: LookFromSky(); break;
    case UM_VIEW_TOOL_PASTE_IMAGE: ToolPasteImage(static_cast<std::int64_t>(wparam)); break;
    case UM_VIEW_TOOL_PICK_IMAGE: ToolPickImage(static_cast<std::int64_t>(wparam)); break;
    case UM_VIEW_TOOL_UNPASTE_FACE: ToolUnpasteFace(static_cast<std::int64_t>(wparam)); break;
    case UM_VIEW_TOOL_UNPASTE_PART: ToolUnpastePart(static_cast<std::int64_t>(wparam)); break;
    case UM_VIEW_TOOL_UNPASTE_ITEM: ToolUnpasteItem(static_cast<std::int64_t>(wparam)); break;
    case ACTION_LEAVES_DISP: ToggleActionPartsDisplay(); break;
    case UM_VIEW_PASTE_INTO:
        if (item_valid) PasteAsTrunk(item);
        break;
    default:
        // Not ours: the parent learns which view window it came from; the wParam that came is not passed on.
        plat::send_message(output.parent, message, plat::handle_to_wparam(window), lparam);
        break;
    }
    return 0;
}

void XView::SetToolCommand(std::uint32_t message) {
    input.interaction_class = 2;
    if (message == rotate_trunk_x) {
        input.target = 2;
        input.tool_bits = input.tool_bits == 32 ? 40 : 8;
    } else if (message == rotate_trunk_z) {
        input.target = 2;
        input.tool_bits = input.tool_bits == 8 ? 40 : 32;
    } else {
        for (const ToolCommand& c : kToolCommands) {
            if (c.id != message) continue;
            input.target = c.target;
            input.tool_bits = c.bits;
        }
    }
    const bool move = (message >= move_trunk_x && message <= move_trunk_xy) ||
                      (message >= move_leaves_x && message <= move_leaves_xy);
    if (move && input.tool_origin_state != 2)
        input.tool_point = plat::screen_to_client(output.view_window[0], plat::cursor_position());
}

void XView::ToggleCentrePick() {
    input.target = 0;
    if (input.interaction_class != 3) {
        input.interaction_class = 3;
    } else {
        input.interaction_class = 1;
        input.view_mode = 1;
    }
}

void XView::ToggleActionPartsDisplay() {
    display.action_parts_display = display.action_parts_display ? 0 : 1;
    if (display.action_parts_display) ShowActionParts(1);
    Redraw(display.action_parts_display ? 0 : 1);
}

void XView::DeleteSelected() {
    if (input.selected_trunk < 1) return;
    const int old = input.selected_trunk;
    SelectItem(-1, -1, -1);
    DeleteTrunk(old, 1);
    Redraw(0);
}

void XView::SetShadowModeTree(int index, int mode) {
    if (index < 0 || index >= trunk_count() || !document.trunks[index]) return;
    // Children first, depth first, with an explicit stack so a deep tree cannot exhaust the call stack.
    std::vector<std::pair<XTrunk*, int>> stack{{document.trunks[index], 0}};
    while (!stack.empty()) {
        auto& [trunk, next] = stack.back();
        if (next < static_cast<int>(trunk->children.size())) {
            XTrunk* child = trunk->children[next++];
            stack.push_back({child, 0});
            continue;
        }
        if (kz::scene::COBJECTA* record = trunk->base_record()) {
            record->shadow_mode = mode;
            MarkTrunkChanged(trunk);
        }
        stack.pop_back();
    }
    Redraw(0);
}

void XView::PasteIntoRoot() {
    document.paste_target = 0;
    document.current_trunk_index = 0;
    PasteFromClipboard();
    if (!document.trunks.empty()) document.trunks[0]->RecalcMatrices(1);
    if (output.bridge) output.bridge->device_dirty = 1;
    ApplyVisibility();
    Redraw(1);
    SendNotifyList(kItemsPastedList);
}

void XView::LookFromSky() {
    input.view_mode = 3;
    if (!camera.eye) return;
    const double to_eye[3] = {camera.eye->eye[0], camera.eye->eye[1], camera.eye->eye[2] + 100000.0};
    AnimateEyeTo(camera.eye->target, 0, to_eye, camera.fit_time, 0.0, 0.0, 0.0);
}

void XView::OpenLink(const char* text) {
    if (!text) return;
    const bool http = kz::foundation::compare_prefix_nocase(document.link_base.c_str(), "http:", 5) == 0;
    const std::string address = (http ? document.link_base : "file://" + document.link_base) + text;
    plat::shell_open(address);
}

void XView::ExchangeCommandBlock(LParam number, const std::function<void(std::int64_t, std::int64_t)>& answer) {
    const std::string format = "exeldata-" + kz::crt::int_text(static_cast<long long>(number));
    const unsigned id = plat::register_clipboard_format(format);
    const std::optional<std::string> data = id ? plat::get_announced_clipboard_data(id) : std::nullopt;
    if (!data) {
        // Told at once, so that the sender need not wait for an answer that would never come.
        print_viewer_line("command block " + format + ": not on the clipboard, nothing run");
        answer(-2, -2);
        return;
    }
    // A block from another program is not trusted to be terminated; the copy is.
    std::string text(data->c_str());
    const bool figure_text = kz::foundation::compare_prefix_nocase(text.c_str(), "ExelData", 8) == 0;
    if (!figure_text) answer(-1, -1);
    int a = -1, b = -1;
    ExecExelData(text.c_str(), &a, &b);
    if (figure_text) answer(a, b);
}

void XView::SendNotifyList(const int numbers[10]) {
    char text[160];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", output.notify_mode == 1 ? 0 : numbers[0],
                  numbers[1], numbers[2], numbers[3], numbers[4], numbers[5], numbers[6], numbers[7], numbers[8],
                  numbers[9]);
    plat::send_message(output.parent, UM_VIEW_NOTIFY_LIST, 0,
                       static_cast<LParam>(reinterpret_cast<std::uintptr_t>(text)));
}

void XView::PauseTimeline() {
    kz::foundation::timer_stop(timeline.timer_slot);
    GetClockTime(&timeline.pause_time);
}

void XView::ResumeTimeline() {
    if (timeline.pause_time.year == 0) return;
    SystemTime now;
    GetClockTime(&now);
    timeline.resume_time = now;
    timeline.pause_time = SystemTime{};
    StartViewTimer();
}

void XView::StopAll(int walk) {
    kz::foundation::timer_stop(timeline.timer_slot);
    ClearTimedLists();
    ClearActions();
    ToggleWalk(walk);
}

void XView::OnTimerTick() {
    if (timeline.schedule_suspended == 1) return;
    SystemTime now;
    GetClockTime(&now);
    timeline.schedule_time = now;
    timeline.running_count = RunSchedule(now);
    if (timeline.schedule_suspended == 1) return;
    const bool idle = timeline.running_count < 1 && timeline.keep_running != 1 && timeline.actions.empty();
    if (timeline.schedule_halted || idle) {
        kz::foundation::timer_stop(timeline.timer_slot);
        timeline.clock_offset_ms = 0.0;
    } else {
        kz::foundation::timer_rearm(timeline.timer_slot);
    }
}

}  // namespace kz::view
