// Aids of particular builders: a zpoly's 3D points laid flat into a poly record, the in-plane normals of a
// revolution profile, and grid surfaces with corner normals shared between neighbouring cells.
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/number_text.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/figure_text.h"
#include "app/scene/xleaves.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr int kMaxZpolyPoints = 4000;

// Positions of the first two '|' outside double-byte characters (-1 when missing).
void find_sections(const char* text, int* first, int* second) {
    *first = *second = -1;
    for (int i = 0; text[i];) {
        if (text[i] == '|') {
            if (*first < 0) {
                *first = i;
            } else {
                *second = i;
                return;
            }
        }
        i += sjis_char_size(text + i);
    }
}

// The ';'-separated numbers of a section, read in threes.
std::vector<double> read_triples(const char* text, int length) {
    std::vector<double> values;
    const std::string section(text, length > 0 ? length : 0);
    std::size_t start = 0;
    while (start <= section.size()) {
        const std::size_t end = section.find(';', start);
        const std::string item = section.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty() || end != std::string::npos) values.push_back(kz::crt::c_atof(item.c_str()));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    values.resize(values.size() / 3 * 3);
    return values;
}

}  // namespace

int XLeaves::ZpolyToPoly() {
    // The record becomes a "poly" only once its outline is rewritten: a zpoly that cannot be converted (too few
    // points, all in a line, more points than a zpoly keeps) stays a zpoly and is saved back exactly as it was read.
    COBJECTA& r = *record;
    if (!r.poldat) return 0;
    int first = -1, second = -1;
    find_sections(r.poldat, &first, &second);
    const int poldat_length = static_cast<int>(std::strlen(r.poldat));
    std::vector<double> points = read_triples(r.poldat, first < 0 ? poldat_length : first);
    std::vector<double> directions;
    if (first >= 0) {
        const int end = second < 0 ? poldat_length : second;
        directions = read_triples(r.poldat + first + 1, end - first - 1);
    }
    const std::string rest = second >= 0 ? std::string(r.poldat + second + 1) : std::string();
    int n = static_cast<int>(points.size() / 3);
    if (n < 3 || n > kMaxZpolyPoints + 1) return 0;
    if (points[0] == points[3 * (n - 1)] && points[1] == points[3 * (n - 1) + 1] &&
        points[2] == points[3 * (n - 1) + 2]) {
        --n;
        points.resize(3 * n);
        if (n < 3) return 0;
    }
    if (n > kMaxZpolyPoints) return 0;
    const bool with_directions = static_cast<int>(directions.size() / 3) >= n;
    if (with_directions) {
        directions.resize(3 * n);
        for (int i = 0; i < n; ++i) normalize_vector(&directions[3 * i], &directions[3 * i]);
    }
    std::vector<double> flat, flat_directions;
    PlaneFrame frame;
    if (!polygon_to_plane(points.data(), n, flat, &frame, with_directions ? directions.data() : nullptr,
                          with_directions ? &flat_directions : nullptr))
        return 0;
    EString out;
    char number[kNumberTextSize];
    for (int i = 0; i < n; ++i) {
        out.AppendParts(figure_number_text(flat[3 * i], number), ";");
        out.AppendParts(figure_number_text(flat[3 * i + 1], number), ";");
    }
    out.Append("|");
    if (with_directions)
        for (int i = 0; i < 3 * n; ++i) out.AppendParts(figure_number_text(flat_directions[i], number), ";");
    out.Append("|");
    out.Append(rest.c_str());
    r.poldat = set_heap_string(r.poldat, out.text(), nullptr, -1);
    r.dx = frame.origin[0];
    r.dy = frame.origin[1];
    r.dz = frame.origin[2];
    r.rx = frame.rotation[0];
    r.ry = 0.0;
    r.rz = frame.rotation[2];
    r.orz = frame.edge_angle;
    r.kind = kKindPoly;
    return 1;
}

void XLeaves::ProfileVertexNormal(const double* points, int n, int closed, int i, const double* m1, double* out1,
                                  const double* m2, double* out2) {
    if (!points || n < 2 || i < 0 || i >= n) return;
    auto x = [&](int k) { return points[3 * k]; };
    auto z = [&](int k) { return points[3 * k + 2]; };
    double to_previous[2], to_next[2];
    if (closed) {
        const int m = n - 1 > 0 ? n - 1 : n;
        const int p = wrap_index(i - 1, m), q = wrap_index(i + 1, m), c = wrap_index(i, m);
        to_previous[0] = x(p) - x(c);
        to_previous[1] = z(p) - z(c);
        to_next[0] = x(q) - x(c);
        to_next[1] = z(q) - z(c);
    } else {
        // At an open end the missing neighbour mirrors the one that is there, so the two turned edges agree
        // instead of cancelling.
        const int p = i > 0 ? i - 1 : i + 1, q = i < n - 1 ? i + 1 : i - 1;
        const double sp = i > 0 ? 1.0 : -1.0, sq = i < n - 1 ? 1.0 : -1.0;
        to_previous[0] = sp * (x(p) - x(i));
        to_previous[1] = sp * (z(p) - z(i));
        to_next[0] = sq * (x(q) - x(i));
        to_next[1] = sq * (z(q) - z(i));
    }
    double a[2], b[2];
    rotated_direction_2d(to_previous[0], to_previous[1], 90.0, &a[0], &a[1]);
    rotated_direction_2d(to_next[0], to_next[1], -90.0, &b[0], &b[1]);
    double normal[3];
    normalize_xyz(a[0] + b[0], 0.0, a[1] + b[1], normal);
    if (m1 && out1) transform_point(out1, normal, m1);
    if (m2 && out2) transform_point(out2, normal, m2);
}

void XLeaves::FillGridCell(std::int32_t face_code, PasteEntry* paste, int skip, GridCell* cells, int i,
                           const double* c0, const double* c1, const double* c2, const double* c3) {
    GridCell& cell = cells[i];
    cell.skip = skip;
    if (skip) return;
    cell.face_code = face_code;
    GetFaceMaterial(face_code, &cell.material, nullptr);
    const double* corners[4] = {c0, c1, c2, c3};
    for (int k = 0; k < 4; ++k) std::memcpy(cell.corners[k], corners[k], sizeof cell.corners[k]);
    cell.paste = paste;
    if (paste) cell.paste_copy = *paste;
}

void XLeaves::AddGridFaces(GridCell* cells, int rows, int columns, int open) {
    if (!cells || rows < 1 || columns < 1) return;
    for (int i = 0; i < rows * columns; ++i) polygon_normal(&cells[i].corners[0][0], 4, cells[i].normal, nullptr);
    static const double zero[3] = {0.0, 0.0, 0.0};
    auto cell_normal = [&](int r, int c) -> const double* {
        if (r < 0 || r >= rows) return zero;
        if (c < 0 || c >= columns) {
            if (open) return zero;
            c = wrap_index(c, columns);
        }
        return cells[r * columns + c].normal;
    };
    // Corner k of cell (r, c) is the grid point (r + dr[k], c + dc[k]), shared by the four cells around it.
    static const int dr[4] = {0, 0, 1, 1}, dc[4] = {0, 1, 1, 0};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            for (int k = 0; k < 4; ++k) {
                const int gr = r + dr[k], gc = c + dc[k];
                double sum[3] = {0.0, 0.0, 0.0};
                for (const double* n : {cell_normal(gr - 1, gc - 1), cell_normal(gr - 1, gc), cell_normal(gr, gc - 1),
                                        cell_normal(gr, gc)})
                    for (int j = 0; j < 3; ++j) sum[j] += n[j];
                normalize_vector(sum, cells[r * columns + c].corner_normals[k]);
            }
    // A two-sided record (the first display flag) gets smooth corners and a back face behind each face: the same
    // corners in the opposite turn, so the tube shows from inside too while back faces are culled.
    const bool two_sided = record->sides == 2;
    for (int i = 0; i < rows * columns; ++i) {
        GridCell& cell = cells[i];
        if (cell.skip) continue;
        AddFace(&cell.corners[0][0], 4, cell.material, two_sided ? &cell.corner_normals[0][0] : nullptr, cell.paste,
                cell.face_code);
        if (!two_sided) continue;
        double corners[4][3], normals[4][3];
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 3; ++j) {
                corners[k][j] = cell.corners[(4 - k) % 4][j];
                normals[k][j] = -cell.corner_normals[(4 - k) % 4][j];
            }
        AddFace(&corners[0][0], 4, cell.material, &normals[0][0], cell.paste, cell.face_code);
    }
}

}  // namespace kz::scene
