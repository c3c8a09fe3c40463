// The view's keyboard: the key message routed by the interaction class, the camera classes' Shift and Ctrl
// cursors, and the command of every key of the key table; what a key did shows as one overlay line on the frame.
#include <cstdint>
#include <string>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/color_text.h"
#include "app/foundation/date_time.h"
#include "app/scene/figure_record.h"
#include "app/scene/xtrunk.h"
#include "app/view/overlay_texts.h"
#include "platform/crt/c_numbers.h"
#include "platform/cursors.h"
#include "platform/dialogs.h"
#include "platform/window.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr int kF5 = plat::VK_F1 + 4;

// "Ａ　座標軸の表示　　ＯＮ　　　", "Ａ　座標軸の表示　ＯＦＦ　　　"
constexpr char kAxisOn[] = "\x82`\x81@\x8d\xc0\x95W\x8e\xb2\x82\xcc\x95\\\x8e\xa6\x81@\x81@\x82n\x82m\x81@\x81@\x81@";
constexpr char kAxisOff[] =
    "\x82`\x81@\x8d\xc0\x95W\x8e\xb2\x82\xcc\x95\\\x8e\xa6\x81@\x82n\x82"
    "e\x82"
    "e\x81@\x81@\x81@";
// "Ｃ　コメント表示　　ＯＮ　　　", "Ｃ　コメント表示　ＯＦＦ　　　"
constexpr char kCommentOn[] =
    "\x82"
    "b\x81@\x83R\x83\x81\x83\x93\x83g\x95\\\x8e\xa6\x81@\x81@\x82n\x82m\x81@\x81@\x81@";
constexpr char kCommentOff[] =
    "\x82"
    "b\x81@\x83R\x83\x81\x83\x93\x83g\x95\\\x8e\xa6\x81@\x82n\x82"
    "e\x82"
    "e\x81@\x81@\x81@";
// "Ｄ　断面表示　ＯＦＦ　　　", "Ｄ　断面表示　ＯＮ　　　　"
constexpr char kSectionOff[] =
    "\x82"
    "c\x81@\x92"
    "f\x96\xca\x95\\\x8e\xa6\x81@\x82n\x82"
    "e\x82"
    "e\x81@\x81@\x81@";
constexpr char kSectionOn[] =
    "\x82"
    "c\x81@\x92"
    "f\x96\xca\x95\\\x8e\xa6\x81@\x82n\x82m\x81@\x81@\x81@\x81@";
// "Ｅ　高速３Ｄエンジンで描画　　　", "Ｅ　デバグ用エンジンで描画　　　", "Ｅ　描画　なし　　　　　　　　　"
constexpr char kEngineFast[] =
    "\x82"
    "d\x81@\x8d\x82\x91\xac\x82R\x82"
    "c\x83G\x83\x93\x83W\x83\x93\x82\xc5\x95`\x89\xe6\x81@\x81@\x81@";
constexpr char kEngineDebug[] =
    "\x82"
    "d\x81@\x83"
    "f\x83o\x83O\x97p\x83G\x83\x93\x83W\x83\x93\x82\xc5\x95`\x89\xe6\x81@\x81@\x81@";
constexpr char kEngineNone[] =
    "\x82"
    "d\x81@\x95`\x89\xe6\x81@\x82\xc8\x82\xb5\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@";
// "現在のデータに変更履歴がありますが、\r\n新規に呼び出していいですか？" titled "【新規読み込み】"
constexpr char kNewModelQuestion[] =
    "\x8c\xbb\x8d\xdd\x82\xcc\x83"
    "f\x81[\x83^\x82\xc9\x95\xcf\x8dX\x97\x9a\x97\xf0\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7\x82\xaa\x81"
    "A\r\n\x90V\x8bK\x82\xc9\x8c\xc4\x82\xd1\x8fo\x82\xb5\x82\xc4\x82\xa2\x82\xa2\x82\xc5\x82\xb7\x82\xa9\x81H";
constexpr char kNewModelTitle[] = "\x81y\x90V\x8bK\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x81z";
// "H　注視点回りだけじゃなく全部表示。　　　"
constexpr char kNearAll[] =
    "H\x81@\x92\x8d\x8e\x8b\x93_\x89\xf1\x82\xe8\x82\xbe\x82\xaf\x82\xb6\x82\xe1\x82\xc8\x82\xad\x91S\x95\x94\x95\\\x8e"
    "\xa6\x81"
    "B\x81@\x81@\x81@";
// "Ｊ　前後クリップ位置を設定し直しました。　　　"
constexpr char kClipReset[] =
    "\x82i\x81@\x91O\x8c\xe3\x83N\x83\x8a\x83"
    "b\x83v\x88\xca\x92u\x82\xf0\x90\xdd\x92\xe8\x82\xb5\x92\xbc\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81"
    "B\x81@\x81@\x81@";
// "shift+M　作業平面メッシュ　　表示　　　", "shift+M　作業平面メッシュ　　非表示　　　"
constexpr char kGridShown[] =
    "shift+M\x81@\x8d\xec\x8b\xc6\x95\xbd\x96\xca\x83\x81\x83"
    "b\x83V\x83\x85\x81@\x81@\x95\\\x8e\xa6\x81@\x81@\x81@";
constexpr char kGridHidden[] =
    "shift+M\x81@\x8d\xec\x8b\xc6\x95\xbd\x96\xca\x83\x81\x83"
    "b\x83V\x83\x85\x81@\x81@\x94\xf1\x95\\\x8e\xa6\x81@\x81@\x81@";
// "イメージ貼り付け範囲　" and "面だけ変更　　　　", "リーブス全部変更　", "トランク全部変更　", "全体変更　　　　　"
constexpr const char* kPasteRanges[4] = {
    "\x83"
    "C\x83\x81\x81[\x83W\x93\\\x82\xe8\x95t\x82\xaf\x94\xcd\x88\xcd\x81@\x96\xca\x82\xbe\x82\xaf\x95\xcf\x8dX\x81@\x81@"
    "\x81@\x81@",
    "\x83"
    "C\x83\x81\x81[\x83W\x93\\\x82\xe8\x95t\x82\xaf\x94\xcd\x88\xcd\x81@\x83\x8a\x81["
    "\x83u\x83X\x91S\x95\x94\x95\xcf\x8d"
    "X\x81@",
    "\x83"
    "C\x83\x81\x81[\x83W\x93\\\x82\xe8\x95t\x82\xaf\x94\xcd\x88\xcd\x81@\x83g\x83\x89\x83\x93\x83N\x91S\x95\x94\x95\xcf"
    "\x8dX\x81@",
    "\x83"
    "C\x83\x81\x81[\x83W\x93\\\x82\xe8\x95t\x82\xaf\x94\xcd\x88\xcd\x81@\x91S\x91\xcc\x95\xcf\x8dX\x81@\x81@\x81@\x81@"
    "\x81@",
};
// "Ｓ　影の表示　　ＯＦＦ　時刻： %2d月%2d日%2d時%2d分  北(%3.0f度) "
constexpr char kShadowOff[] =
    "\x82r\x81@\x89"
    "e\x82\xcc\x95\\\x8e\xa6\x81@\x81@\x82n\x82"
    "e\x82"
    "e\x81@\x8e\x9e\x8d\x8f\x81"
    "F %2d\x8c\x8e%2d\x93\xfa%2d\x8e\x9e%2d\x95\xaa  \x96k(%3.0f\x93x) ";
// "Ｓ　影の表示　　ＯＮ　　時刻： %2d月%2d日%2d時%2d分  北(%3.0f度) 影時刻変更(ﾎｲｰﾙ +SHIFT=10分 , +CTRL=1日 ,
// +SH+CT=北方角)"
constexpr char kShadowOn[] =
    "\x82r\x81@\x89"
    "e\x82\xcc\x95\\\x8e\xa6\x81@\x81@\x82n\x82m\x81@\x81@\x8e\x9e\x8d\x8f\x81"
    "F %2d\x8c\x8e%2d\x93\xfa%2d\x8e\x9e%2d\x95\xaa  \x96k(%3.0f\x93x) \x89"
    "e\x8e\x9e\x8d\x8f\x95\xcf\x8dX(\xce\xb2\xb0\xd9 +SHIFT=10\x95\xaa , +CTRL=1\x93\xfa , +SH+CT=\x96k\x95\xfb\x8ap)";

// A new model from the clipboard: the item tree was rebuilt, playback stopped, stages and items were added.
constexpr int kNewModelList[10] = {static_cast<int>(UM_VIEW_ITEMS_CHANGED),
                                   0,
                                   2,
                                   static_cast<int>(UM_VIEW_PLAYBACK_STOPPED),
                                   static_cast<int>(UM_VIEW_STAGE_ADDED),
                                   static_cast<int>(UM_VIEW_ITEMS_ADDED),
                                   0,
                                   0,
                                   0,
                                   0};

// Keys act on what lies under the pointer: the point of the last mouse move over the view.
std::int64_t pointer_point(const XView& view) {
    return pack_view_point(view.input.mouse.current.x, view.input.mouse.current.y);
}

// The item under the pointer, 1 and above; 0 when the pointer is over no item.
int item_under_pointer(XView& view) {
    int item = 0;
    double hit[3] = {};
    view.PickItem(pointer_point(view), &item, nullptr, nullptr, 1, 0, hit);
    return item >= 1 && item < view.trunk_count() && view.document.trunks[item] ? item : 0;
}

void set_cursor_named(const char* name) {
    // A cursor that is not among the program's resources leaves the cursor as it is.
    if (const plat::CursorHandle cursor = plat::load_cursor(name)) plat::set_cursor(cursor);
}

void redraw_with(XView& view, const char* message) {
    view.Redraw(0);
    view.DrawOverlayText(message);
}

// D: Shift flips the plane, Ctrl asks its colour; else the axis steps x, y, z, off, or the part under the
// pointer lays a new plane.
void section_key(XView& view, bool ctrl, bool shift) {
    DisplaySwitches& d = view.display;
    if (shift) {
        d.section_side = d.section_side == 0 ? 1 : 0;
        view.Redraw(0);
        return;
    }
    if (ctrl) {
        const auto byte = [](double v) { return static_cast<int>(v < 0 ? 0 : v > 255 ? 255 : v) & 0xFF; };
        const int current =
            byte(d.section_cap_color[0]) | byte(d.section_cap_color[1]) << 8 | byte(d.section_cap_color[2]) << 16;
        int chosen = 0;
        if (!fnd::choose_color(current, view.output.view_window[0], &chosen)) return;
        for (int k = 0; k < 3; ++k) d.section_cap_color[k] = (chosen >> (8 * k)) & 0xFF;
        view.Redraw(0);
        return;
    }
    if (d.section_switch == 1) {
        if (++d.section_axis > 2) {
            d.section_axis = 0;
            d.section_switch = 0;
            redraw_with(view, kSectionOff);
            return;
        }
        view.Redraw(0);
        return;
    }
    int item = 0, part = -1;
    if (view.PartUnderPoint(view.input.mouse.current, &item, &part) && view.SetSectionAtPart(item, part) == 1) {
        d.section_switch = 1;
        redraw_with(view, kSectionOn);
    }
}

// E: 0 and 1 swap the 3D view and the plan outline; with Shift the view draws nothing, and Shift again returns.
void engine_key(XView& view, bool shift) {
    int& plan = view.display.plan_display;
    if (shift) {
        plan = plan == 2 ? 0 : 2;
    } else {
        plan = plan == 0 ? 1 : 0;
    }
    redraw_with(view, plan == 1 ? kEngineDebug : plan == 2 ? kEngineNone : kEngineFast);
}

// G: a new model from what the clipboard holds, after asking when the open one has unsaved changes. A clipboard
// that holds no model leaves the open one as it is.
void new_model_key(XView& view) {
    if (view.ClipboardPasteKind() == kPasteNothing) {
        print_viewer_line("G: the clipboard holds no model; the open model stays");
        return;
    }
    XTrunk* root = view.TrunkAt(0);
    if (root && view.HasChangedUnits(root) > 0 &&
        plat::message_box(view.output.view_window[0], kNewModelQuestion, kNewModelTitle, plat::MB_OKCANCEL) !=
            plat::IDOK)
        return;
    view.NewModel();
    view.PasteFromClipboard();
    if (XTrunk* r = view.TrunkAt(0)) {
        view.ClearChangedFlags(r);
        r->RecalcMatrices(1);
    }
    view.ApplyVisibility();
    view.Redraw(0);
    view.SendNotifyList(kNewModelList);
}

void near_target_key(XView& view) {
    if (view.display.near_target_display) {
        view.display.near_target_display = 0;
        view.RestoreNearHidden();
        redraw_with(view, kNearAll);
    } else {
        view.display.near_target_display = 1;
        view.ResetShownFlags();
        redraw_with(view, kNearOnlyText);
    }
}

void reload_key(XView& view) {
    if (view.document.current_figure_path.empty()) return;
    const std::string path = view.document.current_figure_path;
    view.document.force_download = 1;
    view.OpenModel(path.c_str());
    view.document.force_download = 0;
}

void shadow_key(XView& view) {
    SceneSettings& s = view.settings;
    s.shadow_display = s.shadow_display == 1 ? 0 : 1;
    int month = 1, day = 1, hour = 0, minute = 0;
    fnd::day_of_year_to_month_day(static_cast<int>(s.shadow_date), &month, &day);
    fnd::hours_to_hour_minute(s.shadow_time, &hour, &minute);
    char text[256];
    kz::crt::c_snprintf(text, sizeof text, s.shadow_display == 1 ? kShadowOn : kShadowOff, month, day, hour, minute,
                        s.north_angle);
    plat::send_message(view.output.parent, UM_VIEW_SHADOW_CHANGED, 0, 0);
    redraw_with(view, text);
}

void hide_item_key(XView& view, bool shift) {
    if (const int item = item_under_pointer(view)) view.document.trunks[item]->SetVisible(0, shift ? 1 : 0);
    view.Redraw(0);
}

void hide_layer_key(XView& view) {
    if (const int item = item_under_pointer(view)) {
        const kz::scene::COBJECTA* base = view.document.trunks[item]->base_record();
        // The layer name is copied: hiding may rebuild what holds it.
        const std::string layer = base && base->layer ? base->layer : "";
        view.HideLayer(view.TrunkAt(0), layer.c_str());
    }
    view.Redraw(0);
}

void background_key(XView& view) {
    int chosen = 0;
    if (!fnd::choose_color(static_cast<int>(view.settings.background_color), view.output.view_window[0], &chosen))
        return;
    view.settings.background_color = static_cast<std::uint32_t>(chosen);
    view.Redraw(0);
}

void stand_key(XView& view) {
    if (view.input.view_mode == 1) {
        view.ApproachFace(pointer_point(view), 0);
    } else {
        view.input.view_mode = 1;
        view.camera.current_camera_part = nullptr;
    }
}

void eye_spacing_key(XView& view, bool wider) {
    if (view.output.window_layout == 0) return;
    view.camera.stereo_factor = wider ? view.camera.stereo_factor * 1.1 : view.camera.stereo_factor / 1.1;
    view.Redraw(0);
}

}  // namespace

void XView::OnKeyMessage(int virtual_key) {
    switch (input.interaction_class) {
    case 1:
    case 3: OnCameraKey(virtual_key); break;
    case 2:
        if (!OnKeyDown(virtual_key) && Navigate(nullptr, nullptr, 0, virtual_key)) Redraw(0);
        break;
    default: break;
    }
    input.last_key = virtual_key;
}

void XView::OnCameraKey(int virtual_key) {
    const bool moving_mode = input.view_mode >= 1 && input.view_mode <= 3;
    if (virtual_key == plat::VK_SHIFT) {
        // Auto-repeat sends Shift again and again; the cursor changes on the first press only.
        if (input.last_key == plat::VK_SHIFT || !moving_mode) return;
        set_cursor_named(input.view_mode == 1 ? "CURSOR_WALK" : "CURSOR_MOVE_UPDOWN_TRUNK");
        ShowAttributePopup(input.mouse.current, 2);
    } else if (virtual_key == plat::VK_CONTROL) {
        if (!moving_mode) return;
        set_cursor_named(input.view_mode == 3 ? "CURSOR_WALK" : "CURSOR_HEAD");
        ShowAttributePopup(input.mouse.current, 1);
    } else if (!OnKeyDown(virtual_key) && Navigate(nullptr, nullptr, 0, virtual_key)) {
        Redraw(0);
    }
}

int XView::OnKeyDown(int virtual_key) {
    if (virtual_key < plat::VK_ESCAPE || virtual_key > kF5) return 0;
    const bool ctrl = key_held(plat::VK_CONTROL), shift = key_held(plat::VK_SHIFT);
    switch (virtual_key) {
    case plat::VK_ESCAPE: DrawKeyHelp(); break;
    case plat::VK_PRIOR:
    case plat::VK_NEXT:
        Navigate(nullptr, nullptr, virtual_key == plat::VK_PRIOR ? 1 : -1, 0);
        Redraw(0);
        break;
    case plat::VK_HOME:
        FitEyeToModel(camera.fit_time);
        Redraw(0);
        break;
    case plat::VK_DELETE: DeleteSelected(); break;
    case 'A':
        display.axis_display = display.axis_display ? 0 : 1;
        redraw_with(*this, display.axis_display ? kAxisOn : kAxisOff);
        break;
    case 'B': StopPlayback(); break;
    case 'C':
        if (display.comment_display == 0) {
            display.comment_display = 1;
            DrawOverlayText(kCommentOn);
        } else if (!shift) {
            display.comment_display = 0;
            DrawOverlayText(kCommentOff);
        } else {
            display.comment_text_factor *= 1.5;
            if (display.comment_text_factor > 3.0) display.comment_text_factor = 1.0;
        }
        break;
    case 'D': section_key(*this, ctrl, shift); break;
    case 'E': engine_key(*this, shift); break;
    case 'F':
        // The walk runs its own message loop: it starts from the queue, so this key's handling ends first.
        if (camera.walk_run_flag != 1)
            plat::post_message(output.view_window[0], VIEW_SWALOW, 0, 0);
        else
            plat::send_message(output.view_window[0], VIEW_SWALOW_OFF, 0, 0);
        break;
    case 'G': new_model_key(*this); break;
    case 'H': near_target_key(*this); break;
    case 'I': plat::send_message(output.view_window[0], DISP_WIRE, 0, 0); break;
    case 'J':
        camera.scene_radius = 0.0;
        redraw_with(*this, kClipReset);
        break;
    case 'K': reload_key(*this); break;
    case 'L': hide_layer_key(*this); break;
    case 'M':
        if (output.bridge && output.bridge->mesh_shape) {
            settings.mesh_world = settings.mesh_world ? 0 : 1;
            Redraw(0);
        }
        break;
    case 'N':
        display.ground_grid_switch = display.ground_grid_switch ? 0 : 1;
        redraw_with(*this, display.ground_grid_switch ? kGridShown : kGridHidden);
        break;
    case 'O':
        input.image_paste_range =
            input.image_paste_range + 1 > 3 || input.image_paste_range < 0 ? 0 : input.image_paste_range + 1;
        DrawOverlayText(kPasteRanges[input.image_paste_range]);
        break;
    case 'P': PrintView(0xFFFFFF); break;
    case 'Q': InvertVisibility(); break;
    case 'R': DrawSceneReport(); break;
    case 'S':
        if (ctrl) return 0;  // Ctrl+S belongs to the main window
        shadow_key(*this);
        break;
    case 'T': hide_item_key(*this, shift); break;
    case 'U': plat::send_message(output.view_window[0], DISP_TRANSPA, 0, 0); break;
    case 'V': input.view_mode = input.view_mode >= 1 && input.view_mode < 3 ? input.view_mode + 1 : 1; break;
    case 'W':
        CycleLayout();
        Redraw(0);
        break;
    case 'X': background_key(*this); break;
    case 'Y': stand_key(*this); break;
    case 'Z': plat::send_message(output.view_window[0], ACTION_LEAVES_DISP, 0, 0); break;
    case plat::VK_ADD: eye_spacing_key(*this, true); break;
    case plat::VK_SUBTRACT: eye_spacing_key(*this, false); break;
    case kF5: ClearDownloadCache(); break;
    default: return 0;
    }
    return 1;
}

}  // namespace kz::view
