// Bang records, the polygon export of a drawing program ("!trunk", "!color", "!poly", "!atr", "!atr_layname"),
// pasted as items of flat polygon shapes whose normals are then smoothed where neighbouring polygons meet.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/cursors.h"
#include "platform/window.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr std::size_t kLongestBangLine = 4090;
constexpr int kFewestPoints = 3, kMostPoints = 255;
// Points closer than this in each of x, y and z are one point of the surface.
constexpr double kSamePoint = 0.01;
// Normals of neighbours meeting at less than 60 degrees are averaged.
constexpr double kSmoothCosine = 0.5;

const std::string kBlankColumns(29, ',');

std::string number_text(double v) {
    char buffer[fnd::kNumberTextSize];
    return fnd::format_number(v, buffer, sizeof buffer);
}

// The items of a bang line after its first one: comma separated, blanks around them dropped.
std::vector<std::string> comma_items(const char* text) {
    std::vector<std::string> items;
    const fnd::FieldSeparators commas(",");
    char item[kLongestBangLine + 1];
    for (int pos = 0; pos >= 0;) {
        int len = 0;
        pos = fnd::get_field(text, pos, len, commas, item, sizeof item);
        items.emplace_back(item);
    }
    return items;
}

// Newell's normal of the outline; false when the points span no plane or are not all finite.
bool spans_a_plane(const std::vector<double>& p) {
    const std::size_t n = p.size() / 3;
    double normal[3] = {0.0, 0.0, 0.0}, extent = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double* a = &p[3 * i];
        const double* b = &p[3 * ((i + 1) % n)];
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(a[k])) return false;
            extent = std::max(extent, std::fabs(a[k] - p[k]));
        }
        normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
        normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
        normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    // Twice the area against the square of the outline's size: a sliver this thin shows nothing.
    return extent > 0.0 && length > 1e-12 * extent * extent;
}

// Attribute items cut at "[a]", "[A]", "<a>" or "<A>", each holding name, value and expression.
void set_bang_attributes(XView* view, XTrunk* trunk, const char* text, std::size_t keep_above) {
    static const char* const kMarkers[] = {"[a]", "[A]", "<a>", "<A>"};
    std::string rest = text;
    while (rest.size() > keep_above) {
        std::size_t cut = std::string::npos, marker = 0;
        for (const char* m : kMarkers) {
            const std::size_t at = rest.find(m);
            if (at < cut) cut = at, marker = std::strlen(m);
        }
        const std::string item = rest.substr(0, cut);
        rest = cut == std::string::npos ? std::string() : rest.substr(cut + marker);
        if (item.empty() || !trunk) continue;
        const std::vector<std::string> f = comma_items(item.c_str());
        trunk->SetAttribute(f[0].c_str(), f.size() > 1 ? f[1].c_str() : "", f.size() > 2 ? f[2].c_str() : "");
    }
    if (trunk && view->document.change_lock != 1) view->MarkTrunkChanged(trunk);
}

// The text up to "," or the double-byte comma, and where the rest begins.
std::string wide_comma_item(const char* text, const char** rest) {
    const char* p = text;
    while (*p && *p != ',' && !(static_cast<unsigned char>(p[0]) == 0x81 && p[1] == 0x43)) p += fnd::sjis_char_size(p);
    std::string item(text, p);
    *rest = *p == ',' ? p + 1 : *p ? p + 2 : p;
    return item;
}

// One point of an imported face where neighbouring polygons may meet.
struct SurfacePoint {
    int part = 0;
    int face = 0;
    int point = 0;
    double position[3] = {};
    double normal[3] = {};
};

// Clusters of points that lie within kSamePoint of a cluster's first point in each axis. A point joins the
// earliest such cluster; the grid of cells twice that size finds the candidates without a walk over them all.
class PointClusters {
public:
    int add(int point_index, const double* p) {
        // Cells are numbered in 64 bits: in the int range, every point beyond 42.9 km (surveyed coordinates in
        // millimetres) would fall in one cell per axis, and each would be compared with all before it. Only beyond
        // 10^11 km do the cells saturate into one, whose points are still told apart by their distance; the
        // neighbours' numbers wrap there.
        std::uint64_t key[3];
        for (int k = 0; k < 3; ++k)
            key[k] = static_cast<std::uint64_t>(kz::crt::truncate_to_int64(std::floor(p[k] / (2 * kSamePoint))));
        int found = -1;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = cells_.find(hash(key[0] + dx, key[1] + dy, key[2] + dz));
                    if (it == cells_.end()) continue;
                    for (int c : it->second)
                        if ((found < 0 || c < found) && near(origins_[c].data(), p)) found = c;
                }
        if (found < 0) {
            found = static_cast<int>(members.size());
            members.emplace_back();
            origins_.push_back({p[0], p[1], p[2]});
            cells_[hash(key[0], key[1], key[2])].push_back(found);
        }
        members[found].push_back(point_index);
        return found;
    }
    std::vector<std::vector<int>> members;

private:
    static bool near(const double* a, const double* b) {
        for (int k = 0; k < 3; ++k)
            if (!(std::fabs(a[k] - b[k]) <= kSamePoint)) return false;
        return true;
    }
    static std::uint64_t hash(std::uint64_t x, std::uint64_t y, std::uint64_t z) {
        return x * 0x9E3779B97F4A7C15ull ^ y * 0xC2B2AE3D27D4EB4Full ^ z * 0x165667B19E3779F9ull;
    }
    std::unordered_map<std::uint64_t, std::vector<int>> cells_;
    std::vector<std::array<double, 3>> origins_;
};

bool smoothable(const kz::scene::XLeaf* face) { return face && face->face_code == 2000 && face->point_count() < 5; }

// Averages the normals where the flat polygons of one item meet, writes them into the polygon texts and rebuilds.
void smooth_item_normals(XView* view, XTrunk* trunk) {
    std::vector<SurfacePoint> points;
    PointClusters clusters;
    std::vector<int> parts;
    for (int p = 1; p < trunk->part_count(); ++p) {
        kz::scene::XLeaves* part = trunk->parts[p];
        if (part->record->kind != kz::scene::kKindPoly && part->record->kind != kz::scene::kKindHpoly) continue;
        parts.push_back(p);
        for (int f = 0; f < part->face_count(); ++f) {
            kz::scene::XLeaf* face = part->faces()[f];
            if (!smoothable(face)) continue;
            double plane_point[3], face_normal[3];
            face->GetWorldPlane(plane_point, face_normal);
            for (int i = 0; i < face->point_count(); ++i) {
                SurfacePoint s;
                s.part = p, s.face = f, s.point = i;
                const std::array<double, 3> at = face->world_point(i);
                std::copy(at.begin(), at.end(), s.position);
                // A flat face keeps no normals of its points: its own is theirs.
                const std::array<double, 3> along = face->world_normal(i);
                const double* n = along.data();
                const bool own = n[0] * n[0] + n[1] * n[1] + n[2] * n[2] > 1e-24;
                kz::foundation::vec3_normalize(own ? n : face_normal, s.normal);
                points.push_back(s);
                clusters.add(static_cast<int>(points.size()) - 1, s.position);
            }
        }
    }
    if (parts.empty()) return;
    // New normals come from the old ones only, so the result does not depend on the order of the parts. In each
    // cluster, a part's first point takes the sum for that part (a walk over the clusters for every part would
    // take as long as parts times points).
    std::vector<std::pair<int, std::array<double, 3>>> updates;
    for (const std::vector<int>& cluster : clusters.members) {
        for (auto at = cluster.begin(); at != cluster.end(); ++at) {
            const int own = *at, p = points[own].part;
            if (std::any_of(cluster.begin(), at, [&](int m) { return points[m].part == p; })) continue;
            const double* n = points[own].normal;
            std::array<double, 3> sum = {n[0], n[1], n[2]};
            for (int m : cluster) {
                const double* o = points[m].normal;
                if (points[m].part == p || n[0] * o[0] + n[1] * o[1] + n[2] * o[2] < kSmoothCosine) continue;
                for (int k = 0; k < 3; ++k) sum[k] += o[k];
            }
            updates.push_back({own, sum});
        }
    }
    for (auto& [index, sum] : updates) {
        const SurfacePoint& s = points[index];
        kz::scene::XLeaf* face = trunk->parts[s.part]->faces()[s.face];
        double unit[3], local[3];
        kz::foundation::vec3_normalize(sum.data(), unit);
        kz::foundation::transform_direction(local, unit, face->world_inverse().data());
        kz::foundation::vec3_normalize(local, local);
        face->SetPointNormal(s.point, local);
        trunk->parts[s.part]->record->sides = 2;
    }
    for (int p : parts) {
        kz::scene::XLeaves* part = trunk->parts[p];
        for (const kz::scene::XLeaf* face : part->faces()) {
            if (!smoothable(face)) continue;
            std::string text;
            for (int i = 0; i < face->point_count(); ++i)
                text += number_text(face->local_point(i)[0]) + ";" + number_text(face->local_point(i)[1]) + ";";
            text += "|";
            for (int i = 0; i < face->point_count(); ++i) {
                const double* n = face->local_normal(i);
                if (n[0] == 0.0 && n[1] == 0.0 && n[2] == 0.0) n = face->normal;
                for (int k = 0; k < 3; ++k) text += number_text(n[k]) + ";";
            }
            text += "|";
            part->record->poldat = fnd::set_heap_string(part->record->poldat, text.c_str(), nullptr, -1);
            break;
        }
    }
    view->RebuildTrunkParts(trunk->index);
}

}  // namespace

void XView::PasteBangRecords(const std::int64_t* point) {
    document.current_command_block = -1;
    plat::set_cursor(plat::wait_cursor());
    TruncateReferenceStack(1);
    const int before = trunk_count();
    ApplyFigureLine(("trunk,0,0,0" + std::string(26, ',') + "3Dtop,,").c_str(), 0);
    XTrunk* top = document.current_trunk_index >= before ? CurrentTrunk() : nullptr;
    if (!top || document.current_trunk_index <= 0) {
        PopReferenceLevel("");
        return;
    }
    XTrunk* holder = TrunkAt(0);
    if (point) holder = TrunkAt(PlaceItemAtPoint(top->index, *point));
    ApplyFigureLine("{", 0);
    ConvertBangRecords();
    ApplyFigureLine("}", 0);
    if (holder) holder->RecalcMatrices(1);
    smooth_item_normals(this, top);
    for (std::size_t i = 0; i < top->children.size(); ++i) smooth_item_normals(this, top->children[i]);
    ApplyVisibility();
    Redraw(0);
    plat::set_cursor(plat::arrow_cursor());
}

int XView::ConvertBangRecords() {
    std::string text;
    if (!GetClipboardText(&text, 0)) return -1;
    int red = 255, green = 255, blue = 255;
    for (const std::string& line : fnd::nonempty_lines(text)) {
        if (line.size() >= kLongestBangLine) continue;
        const std::size_t comma = line.find(',');
        const std::string word = line.substr(0, comma);
        const char* rest = comma == std::string::npos ? "" : line.c_str() + comma + 1;
        if (fnd::compare_nocase(word.c_str(), "!trunk") == 0) {
            ApplyFigureLine(("trunk" + kBlankColumns + "3Dsub,,").c_str(), 0);
        } else if (fnd::compare_nocase(word.c_str(), "!color") == 0) {
            const std::vector<std::string> f = comma_items(rest);
            red = kz::crt::c_atoi(f[0].c_str());
            green = f.size() > 1 ? kz::crt::c_atoi(f[1].c_str()) : 0;
            blue = f.size() > 2 ? kz::crt::c_atoi(f[2].c_str()) : 0;
        } else if (fnd::compare_nocase(word.c_str(), "!poly") == 0) {
            const std::vector<std::string> f = comma_items(rest);
            const int n = kz::crt::c_atoi(f[0].c_str());
            if (n < kFewestPoints || n > kMostPoints || f.size() < 1 + 3 * static_cast<std::size_t>(n)) continue;
            std::vector<double> points(3 * static_cast<std::size_t>(n));
            for (std::size_t i = 0; i < points.size(); ++i) points[i] = kz::crt::c_atof(f[1 + i].c_str());
            if (!spans_a_plane(points)) continue;
            std::vector<double> flat;
            fnd::PlaneFrame frame;
            if (!fnd::polygon_to_plane(points.data(), n, flat, &frame)) continue;
            std::string outline;
            for (int i = 0; i < n; ++i) outline += number_text(flat[3 * i]) + ";" + number_text(flat[3 * i + 1]) + ";";
            std::string record = "poly";
            for (double v : frame.origin) record.append(1, ',').append(number_text(v));
            for (double v : frame.rotation) record.append(1, ',').append(number_text(v));
            record += ",0,0,0,0,0," + number_text(frame.edge_angle) + ",0,0,0,,,,-11,,0," +
                      kz::crt::int_text(red & 255) + "," + kz::crt::int_text(green & 255) + "," +
                      kz::crt::int_text(blue & 255) + ",0,0,0,0,,,,," + outline;
            AddShapeRecord(record.c_str(), 0);
        } else if (fnd::compare_nocase(word.c_str(), "!atr") == 0) {
            set_bang_attributes(this, CurrentTrunk(), rest, 10);
        } else if (fnd::compare_nocase(word.c_str(), "!atr_layname") == 0) {
            const char* after = rest;
            wide_comma_item(rest, &after);
            const std::string second = wide_comma_item(after, &after);
            if (fnd::compare_nocase(second.c_str(), "atr") == 0) set_bang_attributes(this, CurrentTrunk(), after, 2);
        }
    }
    return -1;
}

}  // namespace kz::view
