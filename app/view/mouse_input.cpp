// TEMPORARY skeleton: mouse input is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

void XView::OnMouseMove(LParam) {}
void XView::OnLeftDown(LParam) {}
void XView::OnLeftUp(LParam) {}
void XView::OnLeftDoubleClick(LParam) {}
void XView::OnRightDown(LParam) {}
void XView::OnMiddleDown(LParam) {}
void XView::OnWheelMessage(int, int, kz::platform::Point) {}
void XView::CameraPress(kz::platform::Point) {}
void XView::CameraRelease(kz::platform::Point) {}
void XView::CameraDoubleClick(kz::platform::Point) {}
void XView::DragCamera(kz::platform::Point) {}
void XView::BeginMoveItem(kz::platform::Point) {}
void XView::MoveItemStep(kz::platform::Point) {}
void XView::EndMoveItem(kz::platform::Point) {}
int XView::DragItem(int, kz::platform::Point, kz::platform::Point) { return 0; }
void XView::FollowDraggedItem(int) {}

}  // namespace kz::view
