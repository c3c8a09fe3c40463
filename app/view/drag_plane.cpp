// TEMPORARY skeleton: drag geometry is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

void XView::SetDragPlane(int, int, int, const double*, int) {}
void XView::BeginDragAt(std::int64_t) {}
void XView::DragPointOnPlane(std::int64_t, double*, int) {}
void XView::DragHeight(std::int64_t, double*, double*) {}
int XView::WorldToPartLocal(const double*, int, int, double*) { return 0; }

}  // namespace kz::view
