// TEMPORARY skeleton: the eye move is being filled in; every body here does nothing yet.
#include <cstdint>
#include <cstring>

#include "app/document/xview.h"

namespace kz::view {

int XView::AnimateEyeTo(const double* to_target, int, const double* to_eye, double, double, double, double) {
    if (!eye || !to_eye || !to_target) return 1;
    std::memcpy(eye->eye, to_eye, sizeof eye->eye);
    std::memcpy(eye->target, to_target, sizeof eye->target);
    return 1;
}
int XView::StepCameraMove(const SystemTime&) { return 0; }

}  // namespace kz::view
