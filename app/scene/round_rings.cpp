// Ring helpers of the round builders (cone, cylinder, bent cylinder).
#include "app/scene/round_rings.h"

#include <cmath>

#include "app/foundation/vector_geometry.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kHalfDegree = 0.5 / 180.0 * kPi;
}  // namespace

int round_divisions(std::int32_t value) {
    return value < 3 ? 24 : value > kMaxRoundDivisions ? kMaxRoundDivisions : value;
}

std::vector<double> ring_angles(const SweepParameters& s, int divisions) {
    const double step = 2.0 * kPi / divisions;
    std::vector<double> angles{s.start_rad};
    // A sweep is at most a whole turn, so the ring never takes more than divisions + 1 points.
    for (int i = 1; i <= divisions + 1; ++i) {
        const double next = s.start_rad + i * step;
        if (!(next + kHalfDegree <= s.end_rad)) {
            angles.push_back(s.end_rad);
            break;
        }
        angles.push_back(next);
    }
    return angles;
}

std::vector<double> ring_points(const std::vector<double>& angles, double rx, double ry, double z, bool full_turn) {
    std::vector<double> points(3 * angles.size());
    for (std::size_t i = 0; i < angles.size(); ++i) {
        double* p = &points[3 * i];
        if (full_turn && i + 1 == angles.size() && i > 0) {
            p[0] = points[0];
            p[1] = points[1];
            p[2] = points[2];
            continue;
        }
        p[0] = rx * std::cos(angles[i]);
        p[1] = ry * std::sin(angles[i]);
        p[2] = z;
    }
    return points;
}

std::vector<double> ring_corner_normals(const std::vector<double>& face_normals, bool full_turn) {
    const int faces = static_cast<int>(face_normals.size() / 3);
    std::vector<double> normals(3 * (faces + 1), 0.0);
    for (int i = 0; i <= faces; ++i) {
        int before = i - 1, after = i;
        if (full_turn) {
            before = (before + faces) % faces;
            after = after % faces;
        } else {
            if (before < 0) before = after;
            if (after >= faces) after = before;
        }
        if (faces == 0) break;
        double sum[3];
        for (int c = 0; c < 3; ++c) sum[c] = face_normals[3 * before + c] + face_normals[3 * after + c];
        kz::foundation::normalize_vector(sum, &normals[3 * i]);
    }
    return normals;
}

void add_round_side(XLeaves& shape, const std::vector<double>& bottom, const std::vector<double>& top, bool inner,
                    bool full_turn, double slant, bool apex) {
    const int n = static_cast<int>(bottom.size() / 3);
    std::vector<double> face_normals(3 * (n - 1)), chords(n, 0.0);
    for (int k = 0; k + 1 < n; ++k) {
        const double quad[12] = {bottom[3 * k],     bottom[3 * k + 1], bottom[3 * k + 2], bottom[3 * k + 3],
                                 bottom[3 * k + 4], bottom[3 * k + 5], top[3 * k + 3],    top[3 * k + 4],
                                 top[3 * k + 5],    top[3 * k],        top[3 * k + 1],    top[3 * k + 2]};
        kz::foundation::polygon_normal(quad, 4, &face_normals[3 * k], nullptr);
        chords[k + 1] = chords[k] + kz::foundation::distance_3d(&bottom[3 * k], &bottom[3 * k + 3]);
    }
    const std::vector<double> corner_normals = ring_corner_normals(face_normals, full_turn);
    const bool smooth = smooth_normals(shape);
    for (int k = 0; k + 1 < n; ++k) {
        const int a = inner ? k + 1 : k, b = inner ? k : k + 1;
        // An apex repeats one point: the face maker keeps one of the two and makes a triangle.
        const double* corners[4] = {&bottom[3 * a], &bottom[3 * b], &top[3 * b], &top[3 * a]};
        const int corner_index[4] = {a, b, b, a};
        double points[12], normals[12];
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < 3; ++i) {
                points[3 * c + i] = corners[c][i];
                normals[3 * c + i] = (inner ? -1.0 : 1.0) * (apex && c >= 2 ? face_normals[3 * k + i]
                                                                            : corner_normals[3 * corner_index[c] + i]);
            }
        const std::int32_t code = (inner ? 6000 : 5000) + k;
        ImageWindow window;
        const PasteEntry* image = image_entry_of(shape, code);
        if (image) {
            const double width = image->size > 0.0 ? image->size : chords[n - 1];
            const double height = image->lift > 0.0 ? image->lift : slant;
            window = {chords[inner ? n - 1 - a : k] / width, 1.0 / width, 0.0, 1.0 / height};
        }
        make_shape_face(shape, FaceMaker::plain, points, 4, smooth ? normals : nullptr, code,
                        image ? &window : nullptr);
    }
}

void add_ring_cap(XLeaves& shape, const std::vector<double>& ring, const double* centre, bool full_turn, bool up,
                  std::int32_t code) {
    const int n = static_cast<int>(ring.size() / 3);
    const int last = full_turn ? n - 2 : n - 1;
    std::vector<double> outline;
    if (!full_turn) outline.insert(outline.end(), centre, centre + 3);
    for (int k = 0; k <= last; ++k) {
        const int i = up ? k : last - k;
        outline.insert(outline.end(), &ring[3 * i], &ring[3 * i] + 3);
    }
    make_shape_face(shape, FaceMaker::cap, outline.data(), static_cast<int>(outline.size() / 3), nullptr, code);
}

void add_ring_band(XLeaves& shape, const std::vector<double>& outer, const std::vector<double>& inner, bool up,
                   std::int32_t code) {
    const int n = static_cast<int>(outer.size() / 3);
    for (int k = 0; k + 1 < n; ++k) {
        const double* corners[4] = {&outer[3 * k], &outer[3 * (k + 1)], &inner[3 * (k + 1)], &inner[3 * k]};
        if (!up) {
            corners[0] = &outer[3 * (k + 1)];
            corners[1] = &outer[3 * k];
            corners[2] = &inner[3 * k];
            corners[3] = &inner[3 * (k + 1)];
        }
        double points[12];
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < 3; ++i) points[3 * c + i] = corners[c][i];
        make_shape_face(shape, FaceMaker::plain, points, 4, nullptr, code);
    }
}

}  // namespace kz::scene
