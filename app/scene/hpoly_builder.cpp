// The hpoly: a wall without thickness raised along an open path, seen from its front (right of the way), its
// back, or both.
#include <cmath>
#include <vector>

#include "app/scene/polygon_outline.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {
constexpr int kTimingHpoly = 8;
constexpr int kMaxPathPoints = 2000;
constexpr std::int32_t kFrontCode = 5000, kLastBackCode = 5999;
}  // namespace

int XLeaves::MakeHpoly() {
    const COBJECTA& r = *record;
    if (!r.poldat || !*r.poldat) return 0;
    TimingSlot timing(*this, kTimingHpoly);
    const std::vector<double> numbers = section_numbers(poldat_sections(r.poldat)[0]);
    if (numbers.size() / 2 > kMaxPathPoints) return 0;
    Outline path = outline_from_numbers(numbers, 2);
    for (double v : path.points)
        if (!std::isfinite(v)) return 1;
    // A segment of no length has no way to face; its points are one point of the wall.
    Outline kept;
    for (int i = 0; i < path.size(); ++i)
        if (kept.size() == 0 ||
            std::hypot(path.at(i)[0] - kept.at(kept.size() - 1)[0], path.at(i)[1] - kept.at(kept.size() - 1)[1]) > 1e-6)
            kept.points.insert(kept.points.end(), path.at(i), path.at(i) + 3);
    path = std::move(kept);
    const int n = path.size();
    const double h = r.h;
    double total = 0.0;
    std::vector<double> before(n, 0.0);
    for (int k = 0; k + 1 < n; ++k) {
        total += std::hypot(path.at(k + 1)[0] - path.at(k)[0], path.at(k + 1)[1] - path.at(k)[1]);
        before[k + 1] = total;
    }
    length = total;
    height = h;
    plan_area = total * h;
    volume = 0.0;
    if (n < 2 || !std::isfinite(h)) return 1;

    // At an inner point the normals of its two segments meet (mitred); an end keeps its segment's.
    const std::vector<double> normals = point_normals(edge_normals(path, false), n, false);
    const bool smooth = smooth_normals(*this);
    const std::int32_t sides = truncate_to_int(r.dtop + 0.5);
    auto wall = [&](int k, bool back, std::int32_t code) {
        const int a = back ? k + 1 : k, b = back ? k : k + 1;
        const double* p = path.at(a);
        const double* q = path.at(b);
        const double points[12] = {p[0], p[1], 0.0, q[0], q[1], 0.0, q[0], q[1], h, p[0], p[1], h};
        const double sign = back ? -1.0 : 1.0;
        double corner_normals[12];
        for (int i = 0; i < 3; ++i) {
            corner_normals[i] = corner_normals[9 + i] = sign * normals[3 * a + i];
            corner_normals[3 + i] = corner_normals[6 + i] = sign * normals[3 * b + i];
        }
        ImageWindow window;
        const PasteEntry* image = back ? nullptr : image_entry_of(*this, code);
        if (image) {
            const double width = image->size > 0.0 ? image->size : total;
            const double tall = image->lift > 0.0 ? image->lift : std::fabs(h);
            window = {before[k] / width, 1.0 / width, 0.0, 1.0 / tall};
        }
        make_shape_face(*this, FaceMaker::plain, points, 4, smooth ? corner_normals : nullptr, code,
                        image ? &window : nullptr);
    };
    if (sides != 2)
        for (int k = 0; k + 1 < n; ++k) wall(k, false, kFrontCode + k);
    if (sides & 2)
        for (int k = n - 2, code = kLastBackCode; k >= 0; --k, --code) wall(k, true, code);
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
