// The d3poly: an outline whose points each stand at their own height, raised by "h": walls along its edges and
// flat caps at its foot and its raised top.
#include <cmath>
#include <vector>

#include "app/foundation/vector_geometry.h"
#include "app/scene/polygon_outline.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {
constexpr int kMaxD3polyPoints = 4000;
}  // namespace

int XLeaves::MakeD3poly() {
    const COBJECTA& r = *record;
    if (!r.poldat || !*r.poldat) return 0;
    const std::vector<double> numbers = section_numbers(poldat_sections(r.poldat)[0]);
    if (numbers.size() / 3 > kMaxD3polyPoints) return 0;
    Outline outline = outline_from_numbers(numbers, 3);
    drop_closing_point(outline);
    const int n = outline.size();
    if (n < 3 || !all_finite({r.h}) || !is_buildable_3d(outline)) return 0;
    const double h = r.h;
    // Walls and caps face out of the solid whichever way the outline runs and whichever way it is raised.
    if ((twice_signed_area(outline) < 0.0) != (h < 0.0)) reverse_outline(outline);

    const bool smooth = smooth_normals(*this);
    for (int k = 0; k < n; ++k) {
        const double* a = outline.at(k);
        const double* b = outline.at((k + 1) % n);
        const double points[12] = {a[0], a[1], a[2], b[0], b[1], b[2], b[0], b[1], b[2] + h, a[0], a[1], a[2] + h};
        double face_normal[3], normals[12];
        kz::foundation::polygon_normal(points, 4, face_normal, nullptr);
        double horizontal[3];
        kz::foundation::normalize_xyz(face_normal[0], face_normal[1], 0.0, horizontal);
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < 3; ++i) normals[3 * c + i] = horizontal[i];
        make_shape_face(*this, FaceMaker::plain, points, 4, smooth ? normals : nullptr, 5000);
    }
    std::vector<double> ring;
    if (r.dometop == 0.0) {
        for (int k = 0; k < n; ++k) ring.insert(ring.end(), {outline.at(k)[0], outline.at(k)[1], outline.at(k)[2] + h});
        make_shape_face(*this, FaceMaker::cap, ring.data(), n, nullptr, 2000);
    }
    if (r.domebtm == 0.0) {
        ring.clear();
        for (int k = n - 1; k >= 0; --k) ring.insert(ring.end(), outline.at(k), outline.at(k) + 3);
        make_shape_face(*this, FaceMaker::cap, ring.data(), n, nullptr, 1000);
    }
    plan_area = std::fabs(twice_signed_area(outline)) / 2.0;
    volume = plan_area * std::fabs(h);
    height = h;
    length = 0.0;
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
