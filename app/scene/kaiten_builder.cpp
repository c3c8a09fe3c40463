// The solid of revolution ("kaiten"): a profile of (distance from the axis, height) points turned about z through
// a sweep, optionally doubled into a wall of some thickness, a partial sweep closed by the profile itself.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/shape_faces.h"
#include "app/scene/view_services.h"

namespace kz::scene {

namespace {

constexpr int kTimingKaiten = 11;
constexpr int kMaxProfilePoints = 2000;
constexpr double kPi = 3.141592653589793;
constexpr double kImageSweepLength = 1000.0;
const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

double positive_or(double v, double fallback) { return v > 0.0 && std::isfinite(v) ? v : fallback; }

std::string rewrite_profile(const std::vector<std::string>& sections, const std::vector<double>& pairs) {
    std::string out;
    append_numbers(out, pairs.data(), static_cast<int>(pairs.size()));
    for (std::size_t i = 1; i < sections.size(); ++i) {
        out += '|';
        out += sections[i];
    }
    return out;
}

}  // namespace

int XLeaves::MakeKaiten() {
    COBJECTA& r = *record;
    if (!r.poldat || !*r.poldat) return 0;
    TimingSlot timing(*this, kTimingKaiten);
    const std::vector<std::string> sections = poldat_sections(r.poldat);
    std::vector<double> pairs = section_numbers(sections[0]);
    pairs.resize(pairs.size() / 2 * 2);
    const int n = static_cast<int>(pairs.size() / 2);
    if (n > kMaxProfilePoints) return 0;
    const bool closed = n >= 2 && pairs[0] == pairs[2 * n - 2] && pairs[1] == pairs[2 * n - 1];
    if (n < 3 || (closed && n < 4) || !all_finite({r.dtop, r.dtop_items[0], r.div, r.thick1}) ||
        !std::all_of(pairs.begin(), pairs.end(), [](double v) { return std::isfinite(v); })) {
        add_vector_texts(*this);
        return 1;
    }
    XViewServices* v = view();
    if (v && v->EditFlag()) {
        const std::string rewritten = rewrite_profile(sections, pairs);
        r.poldat = kz::foundation::set_heap_string(r.poldat, rewritten.c_str(), nullptr, -1);
    }

    const double sweep = r.dtop > 0.0 && r.dtop <= 360.0 ? r.dtop : 360.0;
    const bool full_turn = sweep >= 360.0;
    const double start = r.dtop_items[0];
    const double sx = positive_or(r.wtop, 1.0), sy = positive_or(r.wtop_items[0], sx);
    const double sz = positive_or(r.wtop_items[1], 1.0);
    const double divisions = r.div < 1.0 ? 24.0 : r.div > 144.0 ? 144.0 : r.div;

    // The profile as shape points at angle 0 (x the distance, z the height).
    std::vector<double> profile;
    for (int i = 0; i < n; ++i) profile.insert(profile.end(), {pairs[2 * i], 0.0, pairs[2 * i + 1]});
    bool loop = closed;
    if (r.thick_set == 1 && n >= 4 && !closed && r.thick1 != 0.0) {
        // The wall grows to the back of the profile's facing; the way back runs along the offset points.
        const double t = r.thick1;
        std::vector<double> offset(3 * n);
        for (int i = 0; i < n; ++i) {
            double normal[3];
            ProfileVertexNormal(profile.data(), n, 0, i, kIdentity, normal, nullptr, nullptr);
            for (int c = 0; c < 3; ++c) offset[3 * i + c] = profile[3 * i + c] - t * normal[c];
        }
        for (int i = n - 1; i >= 0; --i) profile.insert(profile.end(), &offset[3 * i], &offset[3 * i] + 3);
        profile.insert(profile.end(), profile.begin(), profile.begin() + 3);
        if (t < 0.0) {
            std::vector<double> reversed;
            for (int i = static_cast<int>(profile.size() / 3) - 1; i >= 0; --i)
                reversed.insert(reversed.end(), &profile[3 * i], &profile[3 * i] + 3);
            profile.swap(reversed);
        }
        loop = true;
    }
    const int m = static_cast<int>(profile.size() / 3);

    const double step = 360.0 / divisions;
    const int steps = std::max(1, static_cast<int>(std::ceil(sweep / step - 1e-9)));
    std::vector<double> angles(steps + 1);
    for (int k = 0; k <= steps; ++k) angles[k] = (k == steps ? start + sweep : start + k * step) / 180.0 * kPi;
    // Profile points and normals turned to every angle; a whole turn ends on its own first ring.
    std::vector<double> profile_normals(3 * m);
    for (int i = 0; i < m; ++i)
        ProfileVertexNormal(profile.data(), m, loop ? 1 : 0, i, kIdentity, &profile_normals[3 * i], nullptr, nullptr);
    std::vector<double> rings(3 * m * (steps + 1)), ring_normals(3 * m * (steps + 1));
    for (int k = 0; k <= steps; ++k)
        for (int i = 0; i < m; ++i) {
            double* p = &rings[3 * (k * m + i)];
            double* q = &ring_normals[3 * (k * m + i)];
            if (full_turn && k == steps) {
                std::copy(&rings[3 * i], &rings[3 * i] + 3, p);
                std::copy(&ring_normals[3 * i], &ring_normals[3 * i] + 3, q);
                continue;
            }
            const double c = std::cos(angles[k]), s = std::sin(angles[k]);
            const double* a = &profile[3 * i];
            const double* na = &profile_normals[3 * i];
            p[0] = a[0] * c * sx;
            p[1] = a[0] * s * sy;
            p[2] = a[2] * sz;
            // Normals go through the inverse scale so that they stay square to the scaled surface.
            const double length =
                std::sqrt(std::pow(na[0] * c / sx, 2) + std::pow(na[0] * s / sy, 2) + std::pow(na[2] / sz, 2));
            q[0] = length > 0.0 ? na[0] * c / sx / length : 0.0;
            q[1] = length > 0.0 ? na[0] * s / sy / length : 0.0;
            q[2] = length > 0.0 ? na[2] / sz / length : 0.0;
        }
    auto point = [&](int k, int i) { return &rings[3 * (k * m + i)]; };

    if (!full_turn) {
        // The profile closes the sweep: its own order at the start, the opposite order at the end.
        const int cap_points = loop ? m - 1 : m;
        std::vector<double> outline;
        if (r.domebtm >= 0.0) {
            for (int i = 0; i < cap_points; ++i) outline.insert(outline.end(), point(0, i), point(0, i) + 3);
            make_shape_face(*this, FaceMaker::cap, outline.data(), cap_points, nullptr, 3000);
        }
        if (r.dometop >= 0.0) {
            outline.clear();
            for (int i = cap_points - 1; i >= 0; --i)
                outline.insert(outline.end(), point(steps, i), point(steps, i) + 3);
            make_shape_face(*this, FaceMaker::cap, outline.data(), cap_points, nullptr, 4000);
        }
    }

    std::vector<double> along(m, 0.0);
    for (int i = 0; i + 1 < m; ++i)
        along[i + 1] =
            along[i] + std::hypot(profile[3 * i + 3] - profile[3 * i], profile[3 * i + 5] - profile[3 * i + 2]);
    const bool smooth = smooth_normals(*this);
    for (int k = 0; k < steps; ++k)
        for (int j = 0; j + 1 < m; ++j) {
            const int corners[4][2] = {{k, j}, {k + 1, j}, {k + 1, j + 1}, {k, j + 1}};
            double points[12], normals[12];
            for (int c = 0; c < 4; ++c)
                for (int i = 0; i < 3; ++i) {
                    points[3 * c + i] = point(corners[c][0], corners[c][1])[i];
                    normals[3 * c + i] = ring_normals[3 * (corners[c][0] * m + corners[c][1]) + i];
                }
            const std::int32_t code = 5000 + j;
            ImageWindow window;
            const PasteEntry* image = image_entry_of(*this, code);
            if (image) {
                const double width = image->size > 0.0 ? image->size : kImageSweepLength;
                const double height_span = image->lift > 0.0 ? image->lift : along[m - 1];
                const double chord = std::max(std::hypot(points[3] - points[0], points[4] - points[1]), 1e-9);
                const double share = (angles[k + 1] - angles[k]) / (2.0 * kPi) * kImageSweepLength / width;
                window = {(angles[k] - angles[0]) / (2.0 * kPi) * kImageSweepLength / width, share / chord,
                          along[j] / height_span, 1.0 / height_span};
            }
            make_shape_face(*this, FaceMaker::plain, points, 4, smooth ? normals : nullptr, code,
                            image ? &window : nullptr);
        }
    double low = profile[2], high = profile[2];
    for (int i = 0; i < m; ++i) {
        low = std::min(low, profile[3 * i + 2] * sz);
        high = std::max(high, profile[3 * i + 2] * sz);
    }
    height = high - low;
    length = along[m - 1];
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
