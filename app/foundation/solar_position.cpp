// Sun direction and ellipsoid points. The sun formula is the shadow setting's own: a Fourier fit of declination
// and equation of time over a year of 366 steps, kept as it is so that shadows match the stored dates.
#include "app/foundation/solar_position.h"

#include <cmath>

#include "app/foundation/date_time.h"
#include "app/foundation/vector_geometry.h"

namespace kz::foundation {

namespace {
constexpr double kPi = 3.141592653589793;
double cosd(double x) { return std::cos(x / 180.0 * kPi); }
double sind(double x) { return std::sin(x / 180.0 * kPi); }
}  // namespace

void solar_position(double latitude, double longitude, int month, int day, int hour, int minute, double* out) {
    const int n = month_day_to_day_of_year(month, day);
    const double t = n * 360.0 / 366.0;
    const double d = 0.362 - 23.3 * cosd(t + 8.8) - 0.377 * cosd(2 * t - 11.9) - 0.185 * cosd(3 * t + 35.5);
    const double e = 7.37 * cosd(t + 85.8) - 0.0167 - 9.93 * cosd(2 * t - 72.3) - 0.321 * cosd(3 * t - 66.3);
    const double h = (e / 60.0 + minute / 60.0 + hour + (longitude - 135.0) / 15.0 - 12.0) * 15.0;
    const double p = latitude;
    out[0] = -sind(h) * cosd(d);
    out[1] = sind(d) * cosd(p) - sind(p) * cosd(h) * cosd(d);
    out[2] = sind(d) * sind(p) + cosd(p) * cosd(h) * cosd(d);
}

void set_ellipsoid(Ellipsoid& e, double rx, double ry, double rz, double cx, double cy, double cz) {
    e = Ellipsoid{rx, ry, rz, cx, cy, cz};
}

void ellipsoid_point_normal(const Ellipsoid& e, double azimuth, double elevation, double* point, double* normal,
                            int side) {
    // Whole turns at once: a loop of single turns never ends on a huge or non-finite angle.
    double a = azimuth;
    if (!std::isfinite(a)) a = 0.0;
    if (a < 0.0 || a > 360.0) {
        a = std::fmod(a, 360.0);
        if (a < 0.0) a += 360.0;
    }
    double b = elevation;
    if (b != b) b = 0.0;
    b = b < -90.0 ? -90.0 : b > 90.0 ? 90.0 : b;
    const double ca = cosd(a), sa = sind(a), cb = cosd(b), sb = sind(b);
    if (point) {
        point[0] = e.rx * ca * cb + e.cx;
        point[1] = e.ry * sa * cb + e.cy;
        point[2] = e.rz * sb + e.cz;
    }
    if (normal) {
        normalize_xyz(e.rz * e.ry * ca * cb, e.rz * e.rx * sa * cb, e.rx * e.ry * sb, normal);
        if (side < 0)
            for (int i = 0; i < 3; ++i) normal[i] = -normal[i];
    }
}

}  // namespace kz::foundation
