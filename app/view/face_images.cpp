// TEMPORARY skeleton: face images is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

int XView::PasteImageOnFace(const char*, int, int, int) { return 0; }
int XView::SwapFaceImage(int, int, int, const char*, const char*) { return 0; }
int XView::SwapImageOnParts(const char*, const char*, int, int, int) { return 0; }

}  // namespace kz::view
