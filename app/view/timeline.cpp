// TEMPORARY skeleton: the timeline is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

int XView::FireLeafActions(int, int, int) { return 0; }
int XView::QueueAction(const char*, const SystemTime&, int) { return -1; }
int XView::RunTimedEntries(const SystemTime&) { return 0; }
int XView::AddTimedCommand(const char*, const SystemTime&, int, int, int) { return -1; }
int XView::FindTargetTrunk(XTrunk*, const kz::scene::ConditionList*, XTrunk**) { return 0; }
int XView::RunSchedule(const SystemTime&) { return 0; }
void XView::FireStartActions() {}
void XView::QueueItemCamera(int, double) {}

}  // namespace kz::view
