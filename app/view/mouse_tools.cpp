// The tools class of the mouse: moving and turning items, parts and pasted images by drags with their axis
// locks and lock owners, the eye that follows a camera-linked item, the face image tools and dropped files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/vector_geometry.h"
#include "app/foundation/view_projection.h"
#include "app/scene/figure_record.h"
#include "app/scene/paste_list.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/dialogs.h"
#include "platform/window.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kDropTextLimit = 1024;
constexpr int kPartFlagWindowCoordinates = 8;
constexpr int kPartFlagCameraRelative = 16;

constexpr char kReadOnlyOwner[] = "#Read_Only";
constexpr char kReadOnlyText[] =  // "読み取り専用です。"
    "\x93\xc7\x82\xdd\x8e\xe6\x82\xe8\x90\xea\x97p\x82\xc5\x82\xb7\x81\x42";
constexpr char kLockedBySuffix[] =  // "\r\nがロックしています。"
    "\r\n\x82\xaa\x83\x8d\x83\x62\x83N\x82\xb5\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81\x42";
constexpr char kCannotMoveTitle[] =  // "移動できません"
    "\x88\xda\x93\xae\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
constexpr char kAdministratorTitle[] = "\x8a\xc7\x97\x9d\x8e\xd2";  // "管理者"
constexpr char kHonorific[] = " \x97l\r\n";                         // " 様\r\n"
constexpr char kPlaceOnSomethingText[] =  // "申し訳ありませんが、備品は何かの上に置いてください。"
    "\x90\x5c\x82\xb5\x96\xf3\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x82\xaa\x81\x41\x94\xf5\x95i\x82\xcd\x89\xbd"
    "\x82\xa9\x82\xcc\x8f\xe3\x82\xc9\x92u\x82\xa2\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";
constexpr char kLockedBaseText[] =  // "申し訳ありませんが、ロックされた備品上に物は置けません。"
    "\x90\x5c\x82\xb5\x96\xf3\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x82\xaa\x81\x41\x83\x8d\x83\x62\x83N\x82\xb3"
    "\x82\xea\x82\xbd\x94\xf5\x95i\x8f\xe3\x82\xc9\x95\xa8\x82\xcd\x92u\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x81\x42";

bool has_text(const char* text) { return text && *text; }

std::int64_t packed(plat::Point p) { return pack_view_point(p.x, p.y); }

// The face tools get their point as a message's lParam: signed 16-bit x low and y high.
std::int64_t from_lparam_point(std::int64_t lparam_point) {
    const auto value = static_cast<LParam>(lparam_point);
    return pack_view_point(plat::lparam_x(value), plat::lparam_y(value));
}

// Pixel differences of a rotation drag as degrees about x, y and z, by the rotation tool bits.
bool rotation_by_tool(int bits, int dx, int dy, double* a, double* b, double* c) {
    switch (bits) {
    case 8: *a = dy, *b = 0, *c = 0; return true;
    case 16: *a = 0, *b = dx, *c = 0; return true;
    case 32: *a = 0, *b = 0, *c = dx; return true;
    case 24: *a = dy, *b = dx, *c = 0; return true;
    case 48: *a = 0, *b = dy, *c = dx; return true;
    case 40: *a = dy, *b = 0, *c = dx; return true;
    default: return false;
    }
}

}  // namespace

// --- Moving items, parts and pasted images ----------------------------------------------------------------------

void XView::BeginMoveItem(plat::Point point) {
    input.button_state = 1;
    input.mouse.last = input.mouse.current = point;
    int item = 0, part = 0, face = 0;
    double hit[3] = {};
    PickItem(packed(point), &item, &part, &face, 1, 0, hit);
    if (item >= 1 && item < trunk_count() && input.target == 1 && !document.trunks[item]->HasFrefer()) {
        item = std::max(0, IndexOfTrunk(FindUnitTrunk(document.trunks[item])));
        part = face = 0;
    }
    if (item < 1 || item >= trunk_count() || !document.trunks[item]) {
        SelectItem(-1, -1, -1);
        Redraw(0);
        return;
    }
    XTrunk* trunk = document.trunks[item];
    if (has_text(trunk->lock_owner)) {
        const std::string text = kz::foundation::compare_nocase(trunk->lock_owner, kReadOnlyOwner) == 0
                                     ? std::string(kReadOnlyText)
                                     : std::string(trunk->lock_owner) + kLockedBySuffix;
        plat::message_box(output.parent, text, kCannotMoveTitle, plat::MB_OK);
        input.button_state = 2;
        SelectItem(-1, -1, -1);
        return;
    }
    SetDragPlane(item, part, face, hit, 1);
    // The drag starts where the press hit, not where the cursor was when the tool was chosen: otherwise the
    // first move jumps the item by the distance between the two.
    for (int k = 0; k < 3; ++k)
        input.mouse.tool_reference[k] = input.mouse.drag_start[k] = input.drag.last[k] = input.drag.last_copy[k] =
            hit[k];
    if (const kz::scene::COBJECTA* base = trunk->base_record()) {
        input.mouse.drag_origin[0] = base->dx, input.mouse.drag_origin[1] = base->dy,
        input.mouse.drag_origin[2] = base->dz;
    }
    SelectItem(item, part, face);
    input.mouse.selected_face_count =
        part >= 0 && part < trunk->part_count() && trunk->parts[part] ? trunk->parts[part]->face_count() : 0;
}

void XView::MoveItemStep(plat::Point point) {
    input.mouse.current = point;
    if ((input.button_state & 1) && input.selected_trunk >= 0 && input.selected_trunk < trunk_count() &&
        DragItem(input.selected_trunk, input.mouse.last, point) == 1) {
        if (XTrunk* trunk = document.trunks[input.selected_trunk]) {
            trunk->RecalcMatrices(1);
            Redraw(0);
            MarkTrunkChanged(trunk);  // marks the unit too, and nothing under the change lock
        }
    }
    input.mouse.last = point;
    input.button_state |= 4;
}

void XView::EndMoveItem(plat::Point) {
    input.button_state = 2;
    if (output.bridge && display.ground_grid_shape) output.bridge->SetShapeVisible(display.ground_grid_shape, 0);
    if (input.selected_trunk < 1) return;
    plat::send_message(output.parent, UM_VIEW_ITEM_CHANGED, 0, 0);
    plat::send_message(output.parent, UM_VIEW_ITEMS_CHANGED, 0, 0);
    Redraw(0);
    if (input.tool_origin_state == 1) {
        input.interaction_class = 1;
        input.tool_origin_state = -1;
    }
}

int XView::DragImageOnFace(int item, plat::Point current, int dx, int dy) {
    if (input.selected_trunk < 1 || input.selected_trunk >= trunk_count() || !document.trunks[input.selected_trunk])
        return 0;
    XTrunk* trunk = document.trunks[input.selected_trunk];
    if (input.selected_part < 0 || input.selected_part >= trunk->part_count() || !trunk->parts[input.selected_part])
        return 0;
    XLeaves* part = trunk->parts[input.selected_part];
    if (!part->record || input.selected_face < 0 || input.selected_face >= part->face_count()) return 0;
    double u = 0.0, v = 0.0, turn = 0.0;
    if (input.tool_bits & (8 | 16 | 32)) {
        turn = std::abs(dx) > std::abs(dy) ? dx : dy;
    } else {
        double delta[3] = {};
        DragPointOnPlane(packed(current), delta, item);
        u = -delta[0], v = -delta[1];
        if (input.tool_bits == 1) v = 0.0;
        if (input.tool_bits == 2) u = 0.0;
    }
    const int index = kz::scene::paste_entry_holding(*part->record, part->faces()[input.selected_face]->face_code);
    if (index < 0 || part->record->paste_entries[index].kind != 2) return 0;
    kz::scene::PasteEntry& e = part->record->paste_entries[index];
    const double q = e.angle * kPi / 180.0;
    e.x += std::cos(q) * u - std::sin(q) * v;
    e.y += std::sin(q) * u + std::cos(q) * v;
    e.angle = kz::foundation::wrap_degrees(e.angle + turn);
    RebuildPastedPart(part);
    return 1;
}

int XView::DragItem(int item, plat::Point last, plat::Point current) {
    if (item < 0 || item >= trunk_count() || !document.trunks[item]) return 0;
    const int dx = current.x - last.x, dy = current.y - last.y;
    if (input.target == 4) return DragImageOnFace(item, current, dx, dy);
    XTrunk* trunk = document.trunks[item];
    const XLeaves* part = input.target == 3 ? (input.selected_part >= 0 && input.selected_part < trunk->part_count()
                                                   ? trunk->parts[input.selected_part]
                                                   : nullptr)
                                            : trunk->base();
    if (const kz::scene::COBJECTA* record = part ? part->record : nullptr) {
        // With every move locked, the one free turn is the only thing a drag can do.
        const kz::scene::ChangeLocks& locks = record->change_locks;
        const int free_turns = !locks[4] + !locks[5] + !locks[6];
        if (locks[1] && locks[2] && locks[3] && free_turns == 1) input.tool_bits = !locks[4] ? 8 : !locks[5] ? 16 : 32;
    }
    double a = 0.0, b = 0.0, c = 0.0;
    if (key_held(plat::VK_SHIFT) || input.tool_bits == 4) {
        input.tool_bits = 4;
        DragHeight(packed(current), input.mouse.tool_reference, &c);
    } else if (!rotation_by_tool(input.tool_bits, dx, dy, &a, &b, &c)) {
        double delta[3] = {};
        DragPointOnPlane(packed(current), delta, item);
        a = delta[0], b = delta[1], c = delta[2];
    }
    ApplyPartOperation(item, input.target, input.tool_bits, a, b, c);
    FollowDraggedItem(item);
    return 1;
}

void XView::FollowDraggedItem(int item) {
    if (item < 0 || item >= trunk_count() || !document.trunks[item] || !camera.eye) return;
    XTrunk* trunk = document.trunks[item];
    if (trunk != camera.camera_link_item || (input.target != 1 && input.target != 2)) return;
    bool camera_relative = false;
    for (XTrunk* t = trunk; t && !camera_relative; t = t->parent)
        camera_relative = t->HasPartFlag(0, kPartFlagCameraRelative) != 0;
    if (!camera_relative && !trunk->HasPartFlag(0, kPartFlagWindowCoordinates)) return;
    const kz::scene::COBJECTA* base = trunk->base_record();
    if (!base) return;
    const double* n = camera.camera_link_numbers;  // origin xyz, offset xyz, divisor xyz, distance, two angle factors
    double* carried[3] = {input.mouse.tool_reference, input.mouse.drag_start, input.drag.point};
    double in_view[3][3] = {};
    if (camera_relative)
        for (int i = 0; i < 3; ++i) kz::foundation::transform_to_view(*camera.eye, carried[i], in_view[i]);
    double polar[3] = {}, direction[3] = {};
    kz::foundation::vector_to_polar(camera.eye->eye, camera.eye->target, polar, direction);
    double new_eye[3] = {camera.eye->eye[0], camera.eye->eye[1], camera.eye->eye[2]};
    const double position[3] = {base->dx, base->dy, base->dz};
    for (int k = 0; k < 3; ++k)
        if (n[6 + k] != 0.0) new_eye[k] = (position[k] - n[3 + k]) * n[6 + k] + n[k];
    if (n[9] != 0.0) polar[0] = n[9];
    if (n[10] != 0.0) polar[1] = -(base->rx / n[10]);
    if (n[11] != 0.0) polar[2] = (base->rz - 90.0) / n[11];
    double new_target[3] = {};
    kz::foundation::polar_to_point(new_eye, polar, new_target);
    SetEye(new_eye, new_target, 0, camera.collision_check);
    if (!camera_relative) return;
    for (int i = 0; i < 3; ++i) kz::foundation::transform_from_view(*camera.eye, in_view[i], carried[i]);
    SetDragPlane(input.drag.pick_trunk, input.drag.pick_part, input.drag.pick_face, input.drag.point, 0);
}

// --- Face image tools -------------------------------------------------------------------------------------------

bool XView::PickToolFace(std::int64_t point, int* item, int* part, int* face) {
    *item = 0, *part = -1, *face = -1;
    double hit[3] = {};
    PickItem(from_lparam_point(point), item, part, face, 1, 0, hit);
    if (*item < 1 || *item >= trunk_count() || !document.trunks[*item]) return false;
    const XTrunk* trunk = document.trunks[*item];
    if (*part < 1 || *part >= trunk->part_count() || !trunk->parts[*part] || !trunk->parts[*part]->record) return false;
    return *face >= 0 && *face < trunk->parts[*part]->face_count();
}

void XView::RebuildPastedPart(XLeaves* part) {
    part->record->WritePasteList();
    input.face_paste = 1;
    part->Build(part->record);
    input.face_paste = 0;
}

void XView::UnpasteAll(XLeaves* part) {
    while (part->record->paste_count > 0) part->record->RemovePasteEntry(0);
    RebuildPastedPart(part);
}

void XView::EndFaceTool(int item) {
    if (item < 1 || item >= trunk_count() || !document.trunks[item]) return;
    XTrunk* trunk = document.trunks[item];
    if (trunk->parent) trunk->parent->RecalcMatrices(1);
    ApplyVisibility();
    if (output.bridge) output.bridge->device_dirty = 1;
    Redraw(1);
    plat::send_message(output.parent, UM_VIEW_ITEM_CHANGED, 0, 0);
    MarkTrunkChanged(trunk);
    trunk->UpdateCalcAttributes();
}

void XView::ToolUnpastePart(std::int64_t point) {
    input.last_tool_id = UM_VIEW_TOOL_UNPASTE_PART;
    int item, part, face;
    if (!PickToolFace(point, &item, &part, &face)) return;
    UnpasteAll(document.trunks[item]->parts[part]);
    EndFaceTool(item);
}

void XView::ToolUnpasteFace(std::int64_t point) {
    input.last_tool_id = UM_VIEW_TOOL_UNPASTE_FACE;
    int item, part, face;
    if (!PickToolFace(point, &item, &part, &face)) return;
    XLeaves* shape = document.trunks[item]->parts[part];
    const int index = kz::scene::paste_entry_holding(*shape->record, shape->faces()[face]->face_code);
    if (index < 0) return;
    shape->record->RemovePasteEntry(index);
    RebuildPastedPart(shape);
    EndFaceTool(item);
}

void XView::ToolUnpasteItem(std::int64_t point) {
    input.last_tool_id = UM_VIEW_TOOL_UNPASTE_ITEM;
    int item, part, face;
    if (!PickToolFace(point, &item, &part, &face)) return;
    XTrunk* trunk = document.trunks[item];
    for (int i = 1; i < trunk->part_count(); ++i) {
        if (trunk->parts[i] && trunk->parts[i]->record) UnpasteAll(trunk->parts[i]);
    }
    EndFaceTool(item);
}

void XView::ToolPasteImage(std::int64_t point) {
    input.last_tool_id = UM_VIEW_TOOL_PASTE_IMAGE;
    int item, part, face;
    if (!PickToolFace(point, &item, &part, &face) || input.paste_image_name.empty()) return;
    int range = key_held(plat::VK_SHIFT) ? 0 : key_held(plat::VK_CONTROL) ? 1 : key_held(plat::VK_MENU) ? 3 : 2;
    const int image = document.trunks[item]->parts[part]->faces()[face]->paste_image;
    const std::string current = image >= 0 && image < static_cast<int>(document.image_names.size())
                                    ? document.image_names[image]
                                    : std::string();
    if (current.empty()) range = 0;
    const char* name = input.paste_image_name.c_str();
    int reported = 0;
    if (range == 0) {
        // The face paste answers 1 for done, not an item: the ending belongs to the picked item.
        // The face paste answers 1 for done, not an item: the ending belongs to the picked item.
        reported = PasteImageOnFace(name, item, part, face) > 0 ? item : 0;
    } else if (range == 3) {
        for (int k = 1; k < trunk_count(); ++k) SwapImageOnParts(name, current.c_str(), k, part, 2);
        const XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
        reported = root && !root->children.empty() ? IndexOfTrunk(root->children[0]) : 0;
    } else {
        reported = SwapImageOnParts(name, current.c_str(), item, part, range);
    }
    if (reported > 0) EndFaceTool(reported);
}

void XView::ToolPickImage(std::int64_t point) {
    // The picked image is what an Alt+click pastes next.
    input.last_tool_id = UM_VIEW_TOOL_PASTE_IMAGE;
    int item, part, face;
    if (!PickToolFace(point, &item, &part, &face)) return;
    const XLeaves* shape = document.trunks[item]->parts[part];
    const int index = kz::scene::paste_entry_holding(*shape->record, shape->faces()[face]->face_code);
    if (index < 0) return;
    const kz::scene::PasteEntry& e = shape->record->paste_entries[index];
    if (e.kind != 2) return;
    input.paste_size[0] = e.size, input.paste_size[1] = e.lift;
    input.paste_image_name = e.source ? e.source : "";
    plat::send_message(output.parent, UM_VIEW_IMAGE_PICKED, 0, 0);
}

// --- Dropped files ----------------------------------------------------------------------------------------------

void XView::DropAtPoint(const char* text) {
    if (!text || !*text) return;
    const std::string copy(text, strnlen(text, kDropTextLimit));
    const std::size_t first = copy.find(',');
    const std::size_t second = first == std::string::npos ? std::string::npos : copy.find(',', first + 1);
    plat::Point point{kz::crt::c_atoi(copy.c_str()),
                      first == std::string::npos ? 0 : kz::crt::c_atoi(copy.c_str() + first + 1)};
    point = plat::screen_to_client(output.view_window[0], point);
    int item = 0, part = -1, face = -1;
    double hit[3] = {};
    PickItem(packed(point), &item, &part, &face, 1, 0, hit);
    if (item < 0 || item >= trunk_count() || !document.trunks[item]) item = 0;
    if (has_text(document.user_name)) {
        const std::string greeting = std::string(document.user_name) + kHonorific;
        if (item < 1) {
            plat::message_box(output.view_window[0], greeting + kPlaceOnSomethingText, kAdministratorTitle,
                              plat::MB_OK);
            return;
        }
        if (has_text(document.trunks[item]->lock_owner)) {
            plat::message_box(output.view_window[0], greeting + kLockedBaseText, kAdministratorTitle, plat::MB_OK);
            return;
        }
    }
    // A text without a file name names nothing to add.
    if (second == std::string::npos || second + 1 >= copy.size()) return;
    const std::string name = copy.substr(second + 1);
    if (key_held(plat::VK_CONTROL)) {
        const int replaced = ReplaceItemWithFile(item, name.c_str());
        if (replaced < 1 || replaced >= trunk_count() || !document.trunks[replaced]) return;
        document.trunks[replaced]->RecalcMatrices(1);
        plat::send_message(output.parent, UM_VIEW_ITEMS_CHANGED, static_cast<WParam>(replaced), 2);
        plat::send_message(output.parent, UM_VIEW_ITEMS_ADDED, 0, 0);
        return;
    }
    if (key_held(plat::VK_MENU)) {
        camera.immediate_eye_move = 0;
        if (OpenModel(name.c_str()) != 1) return;
        plat::send_message(output.parent, UM_VIEW_OPENED, 0, 0);
        const int list[10] = {int(UM_VIEW_ITEMS_CHANGED),
                              0,
                              2,
                              int(UM_VIEW_SHADOW_CHANGED),
                              int(UM_VIEW_SELECTION_CHANGED),
                              int(UM_VIEW_ITEMS_ADDED),
                              0,
                              0,
                              0,
                              0};
        SendNotifyList(list);
        FireStartActions();
        return;
    }
    const int added = AddReferFile(name.c_str());
    if (added < 1 || added >= trunk_count()) return;
    // A file whose own shapes went into the new item stays a referenced item: dissolving it would drop them.
    const bool keep = document.trunks[added]->part_count() > 1;
    if (key_held(plat::VK_SHIFT)) {
        if (!keep) DeleteTrunk(added, 1);
    } else {
        XTrunk* holder = nullptr;
        const int placed = PlaceItemAtPoint(added, packed(point));
        if (placed >= 0 && placed < trunk_count()) holder = document.trunks[placed];
        if (!keep) DeleteTrunk(added, 1);  // its children now hang on the item at the point
        const int index = std::max(0, IndexOfTrunk(holder));
        SelectItem(index, 1, 0);
        if (index < trunk_count() && document.trunks[index]) document.trunks[index]->RecalcMatrices(1);
    }
    Redraw(0);
}

}  // namespace kz::view
