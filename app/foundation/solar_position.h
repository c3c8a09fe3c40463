// The sun's direction for a place, date and clock time (x east, y north, z up), from a closed-form fit good to
// about a degree, and points and normals of an ellipsoid by azimuth and elevation for the round shapes.
#pragma once

namespace kz::foundation {

// Unit vector towards the sun. The clock is the local time of the meridian 135 degrees east; the date is month
// and day of a 365-day year. z below 0: the sun is below the horizon.
void solar_position(double latitude, double longitude, int month, int day, int hour, int minute, double* out);

// Radii rx, ry, rz, then the centre cx, cy, cz.
struct Ellipsoid {
    double rx = 0.0, ry = 0.0, rz = 0.0;
    double cx = 0.0, cy = 0.0, cz = 0.0;
};
void set_ellipsoid(Ellipsoid& e, double rx, double ry, double rz, double cx, double cy, double cz);
// Point and outward unit normal (inward for side < 0) at azimuth (wrapped into 0..360) and elevation (clamped to
// -90..90), degrees; either output may be null.
void ellipsoid_point_normal(const Ellipsoid& e, double azimuth, double elevation, double* point, double* normal,
                            int side);

}  // namespace kz::foundation
