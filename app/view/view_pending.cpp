// TEMPORARY: bodies of view and document operations that later work on the view fills in (mouse tools,
// navigation, layout and paint, clipboard, figure writers, property table). Each does nothing, or
// the least that keeps the program usable, and never touches data it does not own.
#include <cstring>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"

namespace kz::view {

void XView::CopyItemToClipboard(int, int) {}
void XView::PasteFromClipboard() {}
void XView::PasteAsTrunk(int) {}
// TEMPORARY until the referenced-unit work lands: no file is brought in, so drops of figure files add nothing.
int XView::ReplaceItemWithFile(int, const char*) { return -1; }
int XView::AddReferFile(const char*) { return -1; }

}  // namespace kz::view
