// TEMPORARY skeleton: the face tools and drops is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

void XView::ToolPasteImage(std::int64_t) { last_tool_id = 0x5729; }
void XView::ToolPickImage(std::int64_t) { last_tool_id = 0x5729; }
void XView::ToolUnpasteFace(std::int64_t) { last_tool_id = 0x572B; }
void XView::ToolUnpastePart(std::int64_t) { last_tool_id = 0x572C; }
void XView::ToolUnpasteItem(std::int64_t) { last_tool_id = 0x572D; }
void XView::DropAtPoint(const char*) {}
void XView::UpdateCursor() {}

}  // namespace kz::view
