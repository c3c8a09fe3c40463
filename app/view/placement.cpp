// TEMPORARY skeleton: placement is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

int XView::PlaceItemAtPoint(int, std::int64_t) { return 0; }
void XView::ShowSubtreeShapes(int, int) {}

}  // namespace kz::view
