// Finding a shape's batch must not cost more than the state changes it saves: one pass over the shape's tiles finds
// the first batch free there, however many stand open.
//
// Up to 64 batches stand open at once. Each tile of the viewport holds a bit for every open batch whose shapes'
// walls can reach it, so a shape finds the first batch free over all its tiles in one pass over them, however many
// batches are open; when none is free, the batch opened first is counted and its bits cleared where it set them.
// A batch is counted too once its shapes hold as many corners as one draw takes.
#include "modeller/shadow/wall_batches.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "modeller/shadow/wall_draws.h"

namespace {

using Point = O3duWallBatches::Point;

double turn(const Point& o, const Point& a, const Point& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The convex hull of the points, counter-clockwise, written over their start (scratch: hull); returns how many
// points it has.
int convex_hull(std::vector<Point>& p, std::vector<Point>& hull) {
    std::sort(p.begin(), p.end(),
              [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    const int n = static_cast<int>(p.size());
    if (n < 3) return n;
    hull.resize(2 * p.size());
    int k = 0;
    for (int i = 0; i < n; ++i) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
        hull[k++] = p[i];
    }
    for (int i = n - 2, lower = k + 1; i >= 0; --i) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
        hull[k++] = p[i];
    }
    std::copy(hull.begin(), hull.begin() + k - 1, p.begin());
    return k - 1;
}

}  // namespace

O3duWallBatches::O3duWallBatches(int width, int height, Count count)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      columns_((width_ + kTile - 1) / kTile),
      rows_((height_ + kTile - 1) / kTile),
      count_(std::move(count)),
      taken_(std::size_t(columns_) * rows_, 0),
      row_lo_(rows_, HUGE_VAL),
      row_hi_(rows_, -HUGE_VAL) {}

void O3duWallBatches::footprint(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes,
                                std::vector<Run>& runs) {
    runs.clear();
    points_.clear();
    if (volumes.walls_lo[0] > volumes.walls_hi[0]) return;
    bool everywhere = false;
    const auto clip_of = [&](double x, double y, double z, double out[4]) {
        for (int j = 0; j < 4; ++j)
            out[j] = x * to_clip.m[0][j] + y * to_clip.m[1][j] + z * to_clip.m[2][j] + to_clip.m[3][j];
    };
    const auto place = [&](const double* q) {
        if (!(q[3] > 1e-12)) everywhere = true;
        points_.push_back({(q[0] / q[3] + 1.0) * 0.5 * width_, (q[1] / q[3] + 1.0) * 0.5 * height_});
    };
    // A shape of few corners: the hull of the corners themselves, while all lie on the eye's side of the near
    // plane (z + w >= 0).
    const std::size_t corners = volumes.corners.size() / 3;
    if (corners <= kCornersFollowed) {
        for (std::size_t c = 0; c < corners; ++c) {
            double q[4];
            const float* p = &volumes.corners[c * 3];
            clip_of(p[0], p[1], p[2], q);
            if (q[2] + q[3] < 0.0) {
                points_.clear();
                everywhere = false;
                break;
            }
            place(q);
        }
    }
    if (points_.empty()) {
        // The walls run from their corners straight down the light to their far ends: both lie within one box.
        // Its corners on the eye's side of the near plane, and where its edges cross that plane.
        double lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(volumes.walls_lo[k], volumes.ends_lo[k]);
            hi[k] = std::max(volumes.walls_hi[k], volumes.ends_hi[k]);
        }
        double clip[8][4];  // x, y, z, w
        for (int corner = 0; corner < 8; ++corner)
            clip_of(corner & 1 ? hi[0] : lo[0], corner & 2 ? hi[1] : lo[1], corner & 4 ? hi[2] : lo[2], clip[corner]);
        for (int a = 0; a < 8; ++a) {
            const double da = clip[a][2] + clip[a][3];
            if (da >= 0.0) place(clip[a]);
            for (int bit = 1; bit < 8; bit <<= 1) {
                if (a & bit) continue;
                const int b = a | bit;
                const double db = clip[b][2] + clip[b][3];
                if ((da >= 0.0) == (db >= 0.0)) continue;
                const double t = da / (da - db);
                double q[4];
                for (int j = 0; j < 4; ++j) q[j] = clip[a][j] + t * (clip[b][j] - clip[a][j]);
                place(q);
            }
        }
    }
    if (everywhere) {
        for (int row = 0; row < rows_; ++row) runs.push_back({row, 0, columns_ - 1});
        return;
    }
    if (points_.empty()) return;
    double x_lo = HUGE_VAL, x_hi = -HUGE_VAL, y_lo = HUGE_VAL, y_hi = -HUGE_VAL;
    for (const Point& p : points_) {
        x_lo = std::min(x_lo, p.x), x_hi = std::max(x_hi, p.x);
        y_lo = std::min(y_lo, p.y), y_hi = std::max(y_hi, p.y);
    }
    // A pixel beyond the bounds either way: rasterizing goes by pixel centres.
    if (x_hi < -1.0 || y_hi < -1.0 || x_lo > width_ + 1.0 || y_lo > height_ + 1.0) return;
    const int m = convex_hull(points_, hull_);
    const std::vector<Point>& points = points_;
    // Each row of tiles reaches across the hull from its leftmost to its rightmost edge point within the row's
    // band, a pixel above and below it included.
    const auto row_of = [&](double y) {
        return std::clamp(int(std::floor(std::clamp(y, -2.0 * kTile, height_ + 2.0 * kTile) / kTile)), 0, rows_ - 1);
    };
    int first = rows_, last = -1;
    for (int i = 0; i < m; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % m];
        if (std::max(a.y, b.y) < -1.0 || std::min(a.y, b.y) > height_ + 1.0) continue;
        const int r0 = row_of(std::min(a.y, b.y) - 1.0), r1 = row_of(std::max(a.y, b.y) + 1.0);
        first = std::min(first, r0), last = std::max(last, r1);
        for (int row = r0; row <= r1; ++row) {
            double t0 = 0.0, t1 = 1.0;
            const double dy = b.y - a.y;
            if (dy != 0.0) {
                const double ta = (row * kTile - 1.0 - a.y) / dy, tb = ((row + 1) * kTile + 1.0 - a.y) / dy;
                t0 = std::clamp(std::min(ta, tb), 0.0, 1.0), t1 = std::clamp(std::max(ta, tb), 0.0, 1.0);
            }
            const double xa = a.x + t0 * (b.x - a.x), xb = a.x + t1 * (b.x - a.x);
            row_lo_[row] = std::min(row_lo_[row], std::min(xa, xb) - 1.0);
            row_hi_[row] = std::max(row_hi_[row], std::max(xa, xb) + 1.0);
        }
    }
    const auto column_of = [&](double x) {
        return std::clamp(int(std::floor(std::clamp(x, -2.0 * kTile, width_ + 2.0 * kTile) / kTile)), 0, columns_ - 1);
    };
    for (int row = first; row <= last; ++row) {
        if (row_lo_[row] <= row_hi_[row] && row_hi_[row] >= 0.0 && row_lo_[row] <= width_)
            runs.push_back({row, column_of(row_lo_[row]), column_of(row_hi_[row])});
        row_lo_[row] = HUGE_VAL, row_hi_[row] = -HUGE_VAL;
    }
}

void O3duWallBatches::count(int slot) {
    Batch& batch = open_[slot];
    if (batch.shapes.empty()) return;
    count_(batch.shapes);
    const std::uint64_t keep = ~(1ull << slot);
    for (const Run& r : batch.runs) {
        std::uint64_t* row = &taken_[std::size_t(r.row) * columns_];
        for (int x = r.x0; x <= r.x1; ++x) row[x] &= keep;
    }
    batch.shapes.clear();
    batch.runs.clear();
    batch.corners = 0;
}

void O3duWallBatches::add(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes) {
    footprint(to_clip, volumes, runs_);
    if (runs_.empty()) return;
    std::uint64_t taken = 0;
    for (const Run& r : runs_) {
        const std::uint64_t* row = &taken_[std::size_t(r.row) * columns_];
        for (int x = r.x0; x <= r.x1; ++x) taken |= row[x];
    }
    int slot = 0;
    if (~taken == 0) {
        for (int s = 1; s < kSlots; ++s)
            if (open_[s].opened < open_[slot].opened) slot = s;
        count(slot);
    } else {
        slot = std::countr_zero(~taken);
    }
    Batch& batch = open_[slot];
    const std::size_t corners = volumes.corners.size() / 3;
    if (batch.corners + corners > O3duWallDraws::kCorners) count(slot);
    if (batch.shapes.empty()) batch.opened = added_;
    ++added_;
    batch.shapes.push_back(&volumes);
    batch.corners += corners;
    batch.runs.insert(batch.runs.end(), runs_.begin(), runs_.end());
    const std::uint64_t bit = 1ull << slot;
    for (const Run& r : runs_) {
        std::uint64_t* row = &taken_[std::size_t(r.row) * columns_];
        for (int x = r.x0; x <= r.x1; ++x) row[x] |= bit;
    }
}

void O3duWallBatches::finish() {
    for (int slot = 0; slot < kSlots; ++slot) count(slot);
}
