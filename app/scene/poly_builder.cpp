// The poly: a closed plane outline from the polygon text extruded along z, with further outlines cut through both
// caps as holes that get walls of their own; bottom, sides and top can each be switched off.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/polygon_outline.h"
#include "app/scene/shape_faces.h"
#include "app/scene/view_services.h"
#include "geometry/hole_mesh.h"

namespace kz::scene {

namespace {

constexpr int kTimingPoly = 7;
constexpr int kMaxOutlinePoints = 2000;
constexpr int kMaxFurtherOutlines = 16;

struct PolyText {
    Outline outline;
    std::vector<double> directions, texcoords;
    std::vector<std::vector<double>> further;  // numbers of each non-empty further outline, as read
    bool refused = false;                      // more points or outlines than a poly holds
};

PolyText read_poly_text(const char* text) {
    PolyText t;
    const std::vector<std::string> sections = poldat_sections(text);
    t.outline = outline_from_numbers(section_numbers(sections[0]), 2);
    if (sections.size() > 1) t.directions = section_numbers(sections[1]);
    if (sections.size() > 2) t.texcoords = section_numbers(sections[2]);
    for (std::size_t i = 3; i < sections.size(); ++i) {
        std::vector<double> numbers = section_numbers(sections[i]);
        // A lone number right after the texture coordinates is the count the writer puts before the outlines.
        if (i == 3 && numbers.size() == 1) continue;
        if (!numbers.empty()) t.further.push_back(std::move(numbers));
    }
    t.refused = t.outline.size() > kMaxOutlinePoints || static_cast<int>(t.further.size()) > kMaxFurtherOutlines;
    for (const std::vector<double>& f : t.further) t.refused = t.refused || f.size() / 2 > kMaxOutlinePoints;
    return t;
}

std::string write_poly_text(const Outline& outline, const PolyText& t) {
    std::string out;
    std::vector<double> xy;
    for (int i = 0; i < outline.size(); ++i) xy.insert(xy.end(), {outline.at(i)[0], outline.at(i)[1]});
    append_numbers(out, xy.data(), static_cast<int>(xy.size()));
    out += '|';
    append_numbers(out, outline.directions.data(), static_cast<int>(outline.directions.size()));
    out += '|';
    append_numbers(out, outline.texcoords.data(), static_cast<int>(outline.texcoords.size()));
    if (!t.further.empty()) {
        const double count = static_cast<double>(t.further.size());
        out += '|';
        append_numbers(out, &count, 1);
        for (const std::vector<double>& f : t.further) {
            out += '|';
            append_numbers(out, f.data(), static_cast<int>(f.size()));
        }
    }
    return out;
}

// The loops of the caps: the outline counter-clockwise, the holes clockwise, each buildable.
std::vector<Outline> cap_loops(const Outline& outline, const PolyText& t) {
    std::vector<Outline> loops{outline};
    for (const std::vector<double>& numbers : t.further) {
        Outline hole = outline_from_numbers(numbers, 2);
        drop_closing_point(hole);
        drop_repeated_points(hole);
        if (!is_buildable(hole)) continue;
        if (twice_signed_area(hole) > 0.0) reverse_outline(hole);
        loops.push_back(std::move(hole));
    }
    return loops;
}

void push_at(std::vector<double>& out, const double* p, double z) { out.insert(out.end(), {p[0], p[1], z}); }

// Caps of a holed outline as triangles; mesh points that fall on a loop edge are given to that edge's wall.
struct HoledCaps {
    std::vector<double> points;  // x, y, 0 per mesh point
    std::vector<int> triangles;
    std::vector<std::vector<std::pair<double, int>>> edge_points;  // per loop edge, by its parameter
};

bool mesh_caps(const std::vector<Outline>& loops, HoledCaps& caps) {
    COfuHolePolygon polygon;
    int loop_points = 0;
    for (std::size_t l = 0; l < loops.size(); ++l) {
        COfuPoint3Array& target = l == 0 ? polygon.points : polygon.holes[polygon.holes.Add(COfuPolygon())].points;
        for (int i = 0; i < loops[l].size(); ++i) target.Add(OfuVector3(loops[l].at(i)[0], loops[l].at(i)[1], 0.0));
        loop_points += loops[l].size();
    }
    HoleMesh mesh;
    if (!mesh_hole_polygon(polygon, mesh) || mesh.triangles.empty()) return false;
    caps.triangles = mesh.triangles;
    caps.points.clear();
    caps.edge_points.assign(loop_points, {});
    std::vector<const double*> originals;
    std::vector<int> edge_end;
    for (const Outline& loop : loops)
        for (int i = 0; i < loop.size(); ++i) {
            originals.push_back(loop.at(i));
            edge_end.push_back(static_cast<int>(originals.size()) - 1 - i + (i + 1) % loop.size());
        }
    for (std::size_t p = 0; p < mesh.points.size(); ++p) {
        // Loop points keep their own numbers: the walls meet the caps exactly.
        if (p < originals.size()) {
            caps.points.insert(caps.points.end(), {originals[p][0], originals[p][1], 0.0});
            continue;
        }
        const double x = mesh.points[p].x, y = mesh.points[p].y;
        caps.points.insert(caps.points.end(), {x, y, 0.0});
        for (int e = 0; e < loop_points; ++e) {
            const double* a = originals[e];
            const double* b = originals[edge_end[e]];
            const double dx = b[0] - a[0], dy = b[1] - a[1], length2 = dx * dx + dy * dy;
            if (length2 <= 0.0) continue;
            const double s = ((x - a[0]) * dx + (y - a[1]) * dy) / length2;
            const double off = std::fabs((x - a[0]) * dy - (y - a[1]) * dx) / std::sqrt(length2);
            if (s > 0.0 && s < 1.0 && off <= 1e-9 * std::sqrt(length2) + 1e-12) {
                caps.edge_points[e].emplace_back(s, static_cast<int>(p));
                break;
            }
        }
    }
    for (auto& list : caps.edge_points) std::sort(list.begin(), list.end());
    return true;
}

}  // namespace

int XLeaves::MakePoly() {
    COBJECTA& r = *record;
    if (!r.poldat || !*r.poldat) return 0;
    TimingSlot timing(*this, kTimingPoly);
    const PolyText text = read_poly_text(r.poldat);
    if (text.refused) return 0;
    Outline outline = text.outline;
    drop_closing_point(outline);
    attach_point_data(outline, outline_from_numbers(text.directions, 3).points, text.texcoords);
    drop_repeated_points(outline);
    if (!is_buildable(outline)) return 0;
    if (twice_signed_area(outline) < 0.0) reverse_outline(outline);
    XViewServices* v = view();
    if (v && v->EditFlag()) {
        const std::string rewritten = write_poly_text(outline, text);
        r.poldat = kz::foundation::set_heap_string(r.poldat, rewritten.c_str(), nullptr, -1);
    }

    const double h = r.h;
    bool bottom = true, sides = h != 0.0, top = true;
    if (r.domebtm < 0.0) {
        const std::int64_t code = -static_cast<std::int64_t>(truncate_to_int(r.domebtm));
        if (code % 10 == 1) bottom = false;
        if (code / 10 % 10 == 1) sides = false;
    }
    if (r.dometop < 0.0 && -static_cast<std::int64_t>(truncate_to_int(r.dometop)) % 10 == 1) top = false;
    if (!bottom && !sides && !top) return 0;
    if (!std::isfinite(h)) return 0;

    // The bottom cap of a negative height lies at its absolute value; the caps stay on the two ends of the sides
    // and each faces away from the solid.
    const double z_bottom = h < 0.0 ? -h : 0.0, z_top = h;
    const bool upright = z_top >= z_bottom;
    const std::vector<Outline> loops = cap_loops(outline, text);
    HoledCaps holed;
    const bool with_holes = loops.size() > 1 && mesh_caps(loops, holed);

    auto cap = [&](double z, bool up, std::int32_t code) {
        if (!with_holes) {
            // The top of a smooth outline takes the points' own directions as its normals.
            const bool directed = code == 2000 && up && smooth_normals(*this) &&
                                  outline.directions.size() == 3 * static_cast<std::size_t>(outline.size());
            std::vector<double> points, uv;
            for (int k = 0; k < outline.size(); ++k) {
                const int i = up ? k : outline.size() - 1 - k;
                push_at(points, outline.at(i), z);
                if (!outline.texcoords.empty())
                    uv.insert(uv.end(), {outline.texcoords[2 * i], outline.texcoords[2 * i + 1]});
            }
            make_shape_face(*this, FaceMaker::cap, points.data(), outline.size(),
                            directed ? outline.directions.data() : nullptr, code, nullptr,
                            uv.empty() ? nullptr : uv.data(), static_cast<int>(uv.size() / 2));
            return;
        }
        for (std::size_t t = 0; t + 2 < holed.triangles.size(); t += 3) {
            std::vector<double> points;
            for (int c = 0; c < 3; ++c) push_at(points, &holed.points[3 * holed.triangles[t + (up ? c : 2 - c)]], z);
            make_shape_face(*this, FaceMaker::plain, points.data(), 3, nullptr, code);
        }
    };
    if (bottom) cap(z_bottom, !upright, 1000);
    if (top) cap(z_top, upright, 2000);

    double perimeter = 0.0;
    for (int k = 0; k < outline.size(); ++k)
        perimeter += std::hypot(outline.at((k + 1) % outline.size())[0] - outline.at(k)[0],
                                outline.at((k + 1) % outline.size())[1] - outline.at(k)[1]);
    if (sides) {
        const bool smooth = smooth_normals(*this);
        std::int32_t code = 5000;
        int first_point = 0;
        double before = 0.0;
        for (std::size_t l = 0; l < (with_holes ? loops.size() : 1); ++l) {
            const Outline& loop = loops[l];
            const int n = loop.size();
            const std::vector<double> normals = point_normals(edge_normals(loop, true), n, true);
            for (int k = 0; k < n; ++k, ++code) {
                const int next = (k + 1) % n;
                // Bottom edge forward with any mesh points on it, top edge back: the wall meets the caps.
                std::vector<double> bottom_run{loop.at(k)[0], loop.at(k)[1]}, corner_normals;
                auto normal_of = [&](int i) {
                    if (l == 0 && !loop.directions.empty()) return &loop.directions[3 * i];
                    return &normals[3 * i];
                };
                if (with_holes)
                    for (const auto& [s, p] : holed.edge_points[first_point + k])
                        bottom_run.insert(bottom_run.end(), {holed.points[3 * p], holed.points[3 * p + 1]});
                bottom_run.insert(bottom_run.end(), {loop.at(next)[0], loop.at(next)[1]});
                const int m = static_cast<int>(bottom_run.size() / 2);
                std::vector<double> points, face_normals;
                auto add = [&](int j, double z) {
                    points.insert(points.end(), {bottom_run[2 * j], bottom_run[2 * j + 1], z});
                    const double* nn = normal_of(j == 0 ? k : j == m - 1 ? next : k);
                    face_normals.insert(face_normals.end(), nn, nn + 3);
                };
                const double z0 = upright ? z_bottom : z_top, z1 = upright ? z_top : z_bottom;
                for (int j = 0; j < m; ++j) add(j, z0);
                for (int j = m - 1; j >= 0; --j) add(j, z1);
                const double edge = std::hypot(loop.at(next)[0] - loop.at(k)[0], loop.at(next)[1] - loop.at(k)[1]);
                ImageWindow window;
                const PasteEntry* image = l == 0 ? image_entry_of(*this, code) : nullptr;
                if (image) {
                    const double width = image->size > 0.0 ? image->size : perimeter;
                    const double height = image->lift > 0.0 ? image->lift : std::fabs(z_top - z_bottom);
                    window = {before / width, 1.0 / width, 0.0, 1.0 / height};
                }
                if (l == 0) before += edge;
                make_shape_face(*this, FaceMaker::plain, points.data(), static_cast<int>(points.size() / 3),
                                smooth ? face_normals.data() : nullptr, code, image ? &window : nullptr);
            }
            first_point += n;
        }
    }
    double area = twice_signed_area(outline) / 2.0;
    if (with_holes)
        for (std::size_t l = 1; l < loops.size(); ++l) area += twice_signed_area(loops[l]) / 2.0;
    plan_area = area;
    volume = area * std::fabs(z_top - z_bottom);
    height = h;
    length = 0.0;
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
