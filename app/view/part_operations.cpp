// TEMPORARY skeleton: part operations is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

int XView::ApplyPartOperation(int, int, int, double, double, double) { return 0; }
int XView::MovePart(XLeaves*, double, double, double) { return 0; }
int XView::RotatePart(XLeaves*, double, double, double) { return 0; }
void XView::FireMatchingLeafActions(int, int, XTrunk*, const kz::scene::ConditionList*, int) {}
int XView::HideLayer(XTrunk*, const char*) { return 0; }
void XView::ToggleWalk(int on) { builtin_walk = on; }
void XView::StartCameraMove(const char*) {}
int XView::DuplicateTrunkGrid(int, const double*, const double*, const double*, int) { return 0; }

}  // namespace kz::view
