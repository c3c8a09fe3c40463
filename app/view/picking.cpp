// TEMPORARY skeleton: picking is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

XTrunk* XView::PickItem(std::int64_t, int*, int*, int*, int, int, double*) { return nullptr; }
kz::scene::XLeaf* XView::PickFace(std::int64_t, XLeaves*, double*, int*) { return nullptr; }
XTrunk* XView::PickByOutline(std::int64_t, int*, int*, int*, double*, int) { return nullptr; }
int XView::PickRay(std::int64_t, double*) { return 0; }
XLeaves* XView::PartAtPoint(std::int64_t) { return nullptr; }
void XView::LookAtPoint(std::int64_t) {}
void XView::ApproachPoint(std::int64_t) {}
void XView::ApproachFace(std::int64_t, double) {}
void XView::GoToStartEye() {}

}  // namespace kz::view
