// TEMPORARY skeleton: navigation is being filled in; every body here does nothing yet.
#include <cstdint>

#include "app/document/xview.h"

namespace kz::view {

int XView::SetEye(const double*, const double*, double, int) { return 0; }
double XView::ObstacleDistance(const double*, const double*) { return 1.0e10; }
int XView::ApproachStep(double, double, int) { return 0; }
int XView::OrbitAzimuth(double, double) { return 0; }
int XView::OrbitElevation(double, double) { return 0; }
int XView::WalkForward(double, double, int) { return 0; }
int XView::WalkSideways(double, double) { return 0; }
int XView::WalkVertical(double, double) { return 0; }
int XView::HeadAzimuth(double, double) { return 0; }
int XView::HeadElevation(double, double) { return 0; }
int XView::LensStep(int) { return 0; }
int XView::Navigate(const kz::platform::Point*, const kz::platform::Point*, int, int) { return 0; }
void XView::OnMouseWheel(int) {}
void XView::FitEyeToModel(double) {}

}  // namespace kz::view
