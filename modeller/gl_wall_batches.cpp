// A batch keeps a bitmap of the tiles its shapes' walls can reach; a shape joins the first batch where its tiles
// are free, or a new one. Every so many shapes all batches are counted, so that what they hold stays bounded.
#include "modeller/gl_wall_batches.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTile = 4;  // pixels a side
constexpr std::size_t kShapesInWindow = 4096;

// The bits of tiles x0..x1 within word w of a bitmap row.
std::uint64_t word_bits(const O3duTileRect& r, int w) {
    const int from = std::max(r.x0, w * 64) - w * 64, to = std::min(r.x1, w * 64 + 63) - w * 64;
    return (to == 63 ? ~0ull : (2ull << to) - 1) & ~((1ull << from) - 1);
}

}  // namespace

O3duWallBatches::O3duWallBatches(int width, int height, Count count)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      columns_((width_ + kTile - 1) / kTile),
      rows_((height_ + kTile - 1) / kTile),
      words_((columns_ + 63) / 64),
      count_(std::move(count)) {}

O3duTileRect O3duWallBatches::footprint(const OfuMatrix4x4& to_clip, const CO3duShadowVolumes& volumes) const {
    double lo[2] = {HUGE_VAL, HUGE_VAL}, hi[2] = {-HUGE_VAL, -HUGE_VAL};
    const float* boxes[2][2] = {{volumes.walls_lo, volumes.walls_hi}, {volumes.ends_lo, volumes.ends_hi}};
    for (const auto& box : boxes)
        for (int corner = 0; corner < 8; ++corner) {
            double clip[3];  // x, y, w
            o3du_clip_xyw(to_clip, (corner & 1 ? box[1] : box[0])[0], (corner & 2 ? box[1] : box[0])[1],
                          (corner & 4 ? box[1] : box[0])[2], clip);
            if (!(clip[2] > 1e-9 * (std::fabs(clip[0]) + std::fabs(clip[1])))) return everywhere();
            const double x = (clip[0] / clip[2] + 1.0) * 0.5 * width_, y = (clip[1] / clip[2] + 1.0) * 0.5 * height_;
            lo[0] = std::min(lo[0], x), hi[0] = std::max(hi[0], x);
            lo[1] = std::min(lo[1], y), hi[1] = std::max(hi[1], y);
        }
    // A pixel beyond the bounds either way: rasterizing goes by pixel centres.
    if (hi[0] < -1.0 || hi[1] < -1.0 || lo[0] > width_ + 1.0 || lo[1] > height_ + 1.0) return {};
    const auto tile = [](double at, int last) { return std::clamp(int(std::floor(at / kTile)), 0, last); };
    return {tile(lo[0] - 1.0, columns_ - 1), tile(lo[1] - 1.0, rows_ - 1), tile(hi[0] + 1.0, columns_ - 1),
            tile(hi[1] + 1.0, rows_ - 1)};
}

bool O3duWallBatches::fits(const Batch& batch, const O3duTileRect& r) const {
    if (batch.shapes.empty()) return true;
    for (int y = r.y0; y <= r.y1; ++y) {
        const std::uint64_t* row = &batch.taken[std::size_t(y) * words_];
        for (int w = r.x0 / 64; w <= r.x1 / 64; ++w)
            if (row[w] & word_bits(r, w)) return false;
    }
    return true;
}

void O3duWallBatches::take(Batch& batch, const O3duTileRect& r) {
    if (batch.taken.empty()) batch.taken.assign(std::size_t(rows_) * words_, 0);
    for (int y = r.y0; y <= r.y1; ++y) {
        std::uint64_t* row = &batch.taken[std::size_t(y) * words_];
        for (int w = r.x0 / 64; w <= r.x1 / 64; ++w) row[w] |= word_bits(r, w);
    }
}

void O3duWallBatches::count(Batch& batch) {
    if (!batch.shapes.empty()) count_(batch.shapes);
    batch.shapes.clear();
    std::fill(batch.taken.begin(), batch.taken.end(), 0);
}

void O3duWallBatches::add(const CO3duShadowVolumes& volumes, const O3duTileRect& tiles) {
    if (tiles.x0 > tiles.x1 || tiles.y0 > tiles.y1) return;
    std::size_t at = 0;
    while (at < open_.size() && !fits(open_[at], tiles)) ++at;
    if (at == open_.size()) open_.emplace_back();
    open_[at].shapes.push_back(&volumes);
    take(open_[at], tiles);
    if (++pending_ >= kShapesInWindow) finish();
}

void O3duWallBatches::finish() {
    for (Batch& batch : open_) count(batch);
    pending_ = 0;
}
