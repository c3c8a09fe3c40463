// Ear clipping: the ear with the smallest circumcircle goes first, so long thin triangles are left for last and
// usually never made. Only the two neighbours of a clipped corner are rescored, which keeps the work near n^2.
#include "geometry/ear_clipping.h"

#include <algorithm>
#include <cmath>

#include "platform/crt/c_numbers.h"

namespace {

constexpr double kTolerance = 1e-5;
constexpr int kGrid = 100;

// The outline's point numbers, or with simplify one representative per claimed grid neighbourhood.
std::vector<int> outline_entries(const OfuVector3* flat, int count, bool simplify) {
    std::vector<int> entries;
    entries.reserve(static_cast<size_t>(count));
    if (!simplify) {
        for (int i = 0; i < count; ++i) entries.push_back(i);
        return entries;
    }
    double min_x = flat[0].x, max_x = flat[0].x, min_y = flat[0].y, max_y = flat[0].y;
    for (int i = 1; i < count; ++i) {
        min_x = std::min(min_x, flat[i].x);
        max_x = std::max(max_x, flat[i].x);
        min_y = std::min(min_y, flat[i].y);
        max_y = std::max(max_y, flat[i].y);
    }
    // A flat outline has no usable scale; it lands in one row or column instead of producing NaN cells. A point that
    // is no number, or an outline out to infinity, gives NaN all the same, which the checked step puts in cell 0.
    const double scale_x = max_x - min_x > 0.0 ? (kGrid - 1) / (max_x - min_x) : 0.0;
    const double scale_y = max_y - min_y > 0.0 ? (kGrid - 1) / (max_y - min_y) : 0.0;
    std::vector<int> owner(kGrid * kGrid, -1);
    for (int p = 0; p < count; ++p) {
        const int i = std::clamp(kz::crt::truncate_to_int((flat[p].x - min_x) * scale_x), 0, kGrid - 1);
        const int j = std::clamp(kz::crt::truncate_to_int((flat[p].y - min_y) * scale_y), 0, kGrid - 1);
        if (owner[i * kGrid + j] < 0) {
            for (int a = std::max(i - 1, 0); a <= i; ++a)
                for (int b = std::max(j - 1, 0); b <= j; ++b) owner[a * kGrid + b] = p;
        }
        const int o = owner[i * kGrid + j];
        if (entries.empty() || entries.back() != o) entries.push_back(o);
    }
    // The outline came back to its first point: the wrap-around closes there.
    for (size_t k = 1; k < entries.size(); ++k)
        if (entries[k] == entries[0]) {
            entries.resize(k);
            break;
        }
    return entries;
}

class EarClipper {
public:
    EarClipper(const OfuVector3* flat, std::vector<int> entries)
        : flat_(flat), entry_(std::move(entries)), m_(static_cast<int>(entry_.size())) {
        prev_.resize(m_);
        next_.resize(m_);
        alive_.assign(m_, 1);
        score_.assign(m_, 0.0);
        for (int e = 0; e < m_; ++e) {
            prev_[e] = e == 0 ? m_ - 1 : e - 1;
            next_[e] = e + 1 == m_ ? 0 : e + 1;
        }
        remaining_ = m_;
    }

    std::vector<int> run() {
        std::vector<int> triangles;
        if (m_ < 3) return triangles;
        for (int e = 0; e < m_; ++e) score_[e] = score(e);
        for (int iteration = 0; iteration < m_ && remaining_ >= 3; ++iteration) {
            const int best = pick();
            if (best < 0) break;
            triangles.push_back(entry_[prev_[best]]);
            triangles.push_back(entry_[best]);
            triangles.push_back(entry_[next_[best]]);
            const int p = prev_[best], x = next_[best];
            alive_[best] = 0;
            next_[p] = x;
            prev_[x] = p;
            --remaining_;
            score_[p] = score(p);
            score_[x] = score(x);
        }
        return triangles;
    }

private:
    int pick() const {
        int best = -1;
        for (int e = 0; e < m_; ++e)
            if (alive_[e] && score_[e] > kTolerance && (best < 0 || score_[e] < score_[best])) best = e;
        return best;
    }

    double score(int e) const {
        if (remaining_ < 3) return 0.0;
        const int ep = prev_[e], ex = next_[e];
        if (entry_[ep] == entry_[ex]) return 1.0;
        const OfuVector3& p = flat_[entry_[ep]];
        const OfuVector3& c = flat_[entry_[e]];
        const OfuVector3& x = flat_[entry_[ex]];
        const double area2 = (x.x - c.x) * (p.y - c.y) - (x.y - c.y) * (p.x - c.x);
        if (area2 <= kTolerance) return 0.0;
        const double lo_x = std::min({p.x, c.x, x.x}), hi_x = std::max({p.x, c.x, x.x});
        const double lo_y = std::min({p.y, c.y, x.y}), hi_y = std::max({p.y, c.y, x.y});
        for (int k = next_[ex]; k != ep; k = next_[k]) {
            const OfuVector3& q = flat_[entry_[k]];
            if (q.x < lo_x || q.x > hi_x || q.y < lo_y || q.y > hi_y) continue;
            const double wp = ((c.x - q.x) * (x.y - q.y) - (c.y - q.y) * (x.x - q.x)) / area2;
            const double wc = ((x.x - q.x) * (p.y - q.y) - (x.y - q.y) * (p.x - q.x)) / area2;
            const double wx = ((p.x - q.x) * (c.y - q.y) - (p.y - q.y) * (c.x - q.x)) / area2;
            if (wp >= kTolerance && wc >= kTolerance && wx >= kTolerance) return 0.0;
        }
        const double a = std::hypot(p.x - c.x, p.y - c.y);
        const double b = std::hypot(x.x - c.x, x.y - c.y);
        const double d = std::hypot(x.x - p.x, x.y - p.y);
        return a * b * d / (2.0 * area2);
    }

    const OfuVector3* flat_;
    std::vector<int> entry_;
    int m_;
    std::vector<int> prev_, next_;
    std::vector<char> alive_;
    std::vector<double> score_;
    int remaining_ = 0;
};

}  // namespace

std::vector<int> ear_clip_outline(const OfuVector3* flat, int count, bool simplify) {
    if (!flat || count < 3) return {};
    return EarClipper(flat, outline_entries(flat, count, simplify)).run();
}
