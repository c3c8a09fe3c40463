// Thinning (two-pass parallel erosion that never breaks a line), pixel-graph tracing and chain simplification
// for the stroke font generator.
#include "glyph_skeleton.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace fontgen {
namespace {

// Neighbours clockwise from north; the thinning's transition count depends on this order.
constexpr int kDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

bool diagonal(int d) { return (d & 1) != 0; }

// A diagonal step is no edge of its own when an orthogonal pixel already joins its two ends: otherwise every
// staircase of the thinned line would become a chain of tiny triangles.
bool has_edge(const InkGrid& g, int x, int y, int d) {
    if (!g.at(x + kDx[d], y + kDy[d])) return false;
    if (!diagonal(d)) return true;
    return !g.at(x + kDx[d], y) && !g.at(x, y + kDy[d]);
}

double chain_length(const Chain& c) {
    double total = 0;
    for (std::size_t i = 1; i < c.size(); ++i) total += std::hypot(c[i].x - c[i - 1].x, c[i].y - c[i - 1].y);
    return total;
}

class ChainTracer {
public:
    explicit ChainTracer(const InkGrid& g) : g_(g), used_(g.ink.size(), 0), degree_(g.ink.size(), 0) {
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) {
                if (!g.at(x, y)) continue;
                int n = 0;
                for (int d = 0; d < 8; ++d) n += has_edge(g, x, y, d);
                degree_[index(x, y)] = static_cast<unsigned char>(n);
            }
    }

    std::vector<Chain> trace(double spur_length) {
        std::vector<Chain> chains;
        // Chains from line ends and crossings first, so that only closed loops are left for the second sweep.
        for (int pass = 0; pass < 2; ++pass)
            for (int y = 0; y < g_.height; ++y)
                for (int x = 0; x < g_.width; ++x) {
                    if (!g_.at(x, y)) continue;
                    const int deg = degree_[index(x, y)];
                    if (deg == 0) {
                        if (pass == 0) chains.push_back({Point{double(x), double(y)}});
                        continue;
                    }
                    if ((deg == 2) != (pass == 1)) continue;
                    for (int d = 0; d < 8; ++d) {
                        if (!has_edge(g_, x, y, d) || (used_[index(x, y)] & (1u << d))) continue;
                        int end_degree = 0;
                        Chain c = walk(x, y, d, &end_degree);
                        const bool spur = (deg == 1 && end_degree >= 3) || (deg >= 3 && end_degree == 1);
                        if (spur && chain_length(c) < spur_length) continue;
                        chains.push_back(std::move(c));
                    }
                }
        return chains;
    }

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * g_.width + x; }

    void mark(int x, int y, int d) {
        used_[index(x, y)] |= static_cast<unsigned char>(1u << d);
        used_[index(x + kDx[d], y + kDy[d])] |= static_cast<unsigned char>(1u << ((d + 4) & 7));
    }

    Chain walk(int x0, int y0, int d, int* end_degree) {
        Chain c{Point{double(x0), double(y0)}};
        int x = x0, y = y0;
        for (;;) {
            mark(x, y, d);
            x += kDx[d];
            y += kDy[d];
            c.push_back(Point{double(x), double(y)});
            *end_degree = degree_[index(x, y)];
            if (*end_degree != 2 || (x == x0 && y == y0)) return c;
            int next = -1;
            for (int k = 0; k < 8 && next < 0; ++k)
                if (has_edge(g_, x, y, k) && !(used_[index(x, y)] & (1u << k))) next = k;
            if (next < 0) return c;
            d = next;
        }
    }

    const InkGrid& g_;
    std::vector<unsigned char> used_;
    std::vector<unsigned char> degree_;
};

void simplify_range(const Chain& c, std::size_t first, std::size_t last, double tolerance, std::vector<bool>& keep) {
    if (last <= first + 1) return;
    const double dx = c[last].x - c[first].x, dy = c[last].y - c[first].y;
    const double len = std::hypot(dx, dy);
    double worst = -1;
    std::size_t at = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        const double px = c[i].x - c[first].x, py = c[i].y - c[first].y;
        const double dist = len > 1e-9 ? std::fabs(px * dy - py * dx) / len : std::hypot(px, py);
        if (dist > worst) {
            worst = dist;
            at = i;
        }
    }
    if (worst <= tolerance) return;
    keep[at] = true;
    simplify_range(c, first, at, tolerance, keep);
    simplify_range(c, at, last, tolerance, keep);
}

}  // namespace

void hollow_solid_ink(InkGrid& g, int radius) {
    // City-block distance to the background, in two sweeps.
    const std::size_t n = g.ink.size();
    std::vector<int> depth(n, 0);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (g.at(x, y)) {
                const int up = y > 0 ? depth[(y - 1) * std::size_t(g.width) + x] : 0;
                const int left = x > 0 ? depth[y * std::size_t(g.width) + x - 1] : 0;
                depth[y * std::size_t(g.width) + x] = std::min(up, left) + 1;
            }
    for (int y = g.height - 1; y >= 0; --y)
        for (int x = g.width - 1; x >= 0; --x)
            if (g.at(x, y)) {
                const int down = y + 1 < g.height ? depth[(y + 1) * std::size_t(g.width) + x] : 0;
                const int right = x + 1 < g.width ? depth[y * std::size_t(g.width) + x + 1] : 0;
                int& d = depth[y * std::size_t(g.width) + x];
                d = std::min(d, std::min(down, right) + 1);
            }
    // Every piece that holds a deep pixel loses its inside.
    std::vector<unsigned char> solid(n, 0);
    std::vector<std::size_t> stack;
    for (std::size_t i = 0; i < n; ++i)
        if (depth[i] >= radius && !solid[i]) {
            solid[i] = 1;
            stack.push_back(i);
            while (!stack.empty()) {
                const std::size_t j = stack.back();
                stack.pop_back();
                const int x = static_cast<int>(j % g.width), y = static_cast<int>(j / g.width);
                for (int d = 0; d < 8; ++d) {
                    const int nx = x + kDx[d], ny = y + kDy[d];
                    const std::size_t k = static_cast<std::size_t>(ny) * g.width + nx;
                    if (g.at(nx, ny) && !solid[k]) {
                        solid[k] = 1;
                        stack.push_back(k);
                    }
                }
            }
        }
    for (std::size_t i = 0; i < n; ++i)
        if (solid[i] && depth[i] > 1) g.ink[i] = 0;
}

void thin_ink(InkGrid& g) {
    // Whether a pixel may go depends only on its eight neighbours, so both sub-steps are tables over the
    // neighbourhood bits (bit d = neighbour d, clockwise from north).
    static const auto removable = [] {
        std::array<std::array<bool, 256>, 2> table{};
        for (int m = 0; m < 256; ++m) {
            auto p = [m](int d) { return (m >> (d & 7)) & 1; };
            int count = 0, rises = 0;
            for (int d = 0; d < 8; ++d) {
                count += p(d);
                rises += !p(d) && p(d + 1);
            }
            const bool shape = count >= 2 && count <= 6 && rises == 1;
            table[0][m] = shape && !(p(0) && p(2) && p(4)) && !(p(2) && p(4) && p(6));
            table[1][m] = shape && !(p(0) && p(2) && p(6)) && !(p(0) && p(4) && p(6));
        }
        return table;
    }();
    // Ink never touches the picture's edge (the caller pads it), so neighbours are plain index offsets; a pixel
    // on the edge is left alone rather than read around.
    const std::ptrdiff_t w = g.width;
    const std::ptrdiff_t offset[8] = {-w, 1 - w, 1, 1 + w, w, w - 1, -1, -1 - w};
    std::vector<std::size_t> live, doomed;
    for (int y = 1; y + 1 < g.height; ++y)
        for (int x = 1; x + 1 < g.width; ++x)
            if (g.ink[static_cast<std::size_t>(y) * w + x]) live.push_back(static_cast<std::size_t>(y) * w + x);
    // Thinning wears small square blocks (the dots of a colon) away to nothing; each piece of ink keeps the
    // pixel nearest its centre when nothing of it survives.
    std::vector<int> piece(g.ink.size(), -1);
    std::vector<std::size_t> centre;
    for (std::size_t seed : live) {
        if (piece[seed] >= 0) continue;
        const int id = static_cast<int>(centre.size());
        std::vector<std::size_t> members{seed};
        piece[seed] = id;
        double sx = 0, sy = 0;
        for (std::size_t k = 0; k < members.size(); ++k) {
            const std::size_t i = members[k];
            sx += static_cast<double>(i % g.width);
            sy += static_cast<double>(i / g.width);
            for (std::ptrdiff_t o : offset) {
                const std::size_t j = i + o;
                if (g.ink[j] && piece[j] < 0) {
                    piece[j] = id;
                    members.push_back(j);
                }
            }
        }
        sx /= static_cast<double>(members.size());
        sy /= static_cast<double>(members.size());
        std::size_t best = seed;
        double best_distance = 1e300;
        for (std::size_t i : members) {
            const double d = std::hypot(static_cast<double>(i % g.width) - sx, static_cast<double>(i / g.width) - sy);
            if (d < best_distance) {
                best_distance = d;
                best = i;
            }
        }
        centre.push_back(best);
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (int step = 0; step < 2; ++step) {
            doomed.clear();
            for (std::size_t i : live) {
                unsigned m = 0;
                for (int d = 0; d < 8; ++d) m |= static_cast<unsigned>(g.ink[i + offset[d]] != 0) << d;
                if (removable[step][m]) doomed.push_back(i);
            }
            for (std::size_t i : doomed) g.ink[i] = 0;
            if (!doomed.empty()) {
                changed = true;
                std::erase_if(live, [&](std::size_t i) { return !g.ink[i]; });
            }
        }
    }
    std::vector<bool> survived(centre.size(), false);
    for (std::size_t i : live) survived[static_cast<std::size_t>(piece[i])] = true;
    for (std::size_t id = 0; id < centre.size(); ++id)
        if (!survived[id]) g.ink[centre[id]] = 1;
}

std::vector<Chain> trace_chains(const InkGrid& grid, double spur_length) {
    return ChainTracer(grid).trace(spur_length);
}

Chain simplify_chain(const Chain& chain, double tolerance) {
    if (chain.size() < 3) return chain;
    std::vector<bool> keep(chain.size(), false);
    keep.front() = keep.back() = true;
    // A closed loop has coinciding ends; split it at its farthest point so the recursion has a real base line.
    std::size_t split = chain.size() - 1;
    if (std::hypot(chain.back().x - chain.front().x, chain.back().y - chain.front().y) < 1e-9) {
        double far = -1;
        for (std::size_t i = 1; i + 1 < chain.size(); ++i) {
            const double d = std::hypot(chain[i].x - chain.front().x, chain[i].y - chain.front().y);
            if (d > far) {
                far = d;
                split = i;
            }
        }
        keep[split] = true;
    }
    simplify_range(chain, 0, split, tolerance, keep);
    simplify_range(chain, split, chain.size() - 1, tolerance, keep);
    Chain out;
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (keep[i]) out.push_back(chain[i]);
    return out;
}

}  // namespace fontgen
