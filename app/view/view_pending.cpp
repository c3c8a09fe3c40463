// TEMPORARY: bodies of view and document operations that later work on the view fills in (mouse tools,
// navigation, keys, layout and paint, actions, clipboard, figure writers, property table). Each does nothing, or
// the least that keeps the program usable, and never touches data it does not own.
#include <cstring>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/document/xview.h"

namespace kz::view {

void XView::UpdateCursor() {}
void XView::OnMouseMove(LParam) {}
void XView::OnLeftDown(LParam) {}
void XView::OnLeftUp(LParam) {}
void XView::OnLeftDoubleClick(LParam) {}
void XView::OnRightDown(LParam) {}
void XView::OnMiddleDown(LParam) {}
void XView::OnKeyMessage(int virtual_key) { last_key = virtual_key; }
void XView::OnWheelMessage(int, int, kz::platform::Point) {}
void XView::ToolPasteImage(std::int64_t) { last_tool_id = 0x5729; }
void XView::ToolPickImage(std::int64_t) { last_tool_id = 0x572A; }
void XView::ToolUnpasteFace(std::int64_t) { last_tool_id = 0x572B; }
void XView::ToolUnpastePart(std::int64_t) { last_tool_id = 0x572C; }
void XView::ToolUnpasteItem(std::int64_t) { last_tool_id = 0x572D; }
void XView::DropAtPoint(const char*) {}
void XView::GoToStartEye() {}
void XView::FireStartActions() {}
int XView::RunSchedule(const SystemTime&) { return 0; }
void XView::ClearActions() { active_motions = 0; }
void XView::ToggleWalk(int on) { builtin_walk = on; }
void XView::FitEyeToModel(double) {}
void XView::QueueItemCamera(int, double) {}
void XView::CopyItemToClipboard(int, int) {}
void XView::PasteFromClipboard() {}
void XView::PasteAsTrunk(int) {}
void XView::ExecExelData(const char*, int*, int*) {}
void XView::AnimateEyeTo(const double* to_eye, const double* to_target, double) {
    if (!eye || !to_eye || !to_target) return;
    std::memcpy(eye->eye, to_eye, sizeof eye->eye);
    std::memcpy(eye->target, to_target, sizeof eye->target);
}
void XView::NextCamera() {}

int XView::AddAction(const char*, XLeaves*, const SystemTime&) { return -1; }
char* XView::PartPropertyTable(int, XLeaves*, int) { return kz::foundation::set_heap_string(nullptr, "", nullptr, -1); }
char* XView::ComputeAttributes(char* old_value, XTrunk*, const char*, const char*) { return old_value; }

}  // namespace kz::view
