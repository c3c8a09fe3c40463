// The expansions' arithmetic follows Shewchuk ("Adaptive precision floating-point arithmetic and fast robust
// geometric predicates", 1997): sums grow one part at a time, products scale one expansion by each part of the other,
// and a product is compressed so that its parts stay few. Every routine relies on round-to-nearest doubles.
#include "modeller/shadow/exact_sign.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Scratch for the parts of exact values: blocks taken from in turn, all handed back at once.
struct Scratch {
    std::vector<std::unique_ptr<double[]>> blocks;
    std::vector<std::size_t> sizes;
    std::size_t block = 0, used = 0;
    int scopes = 0;

    double* take(std::size_t n) {
        for (;; ++block, used = 0) {
            if (block == blocks.size()) {
                sizes.push_back(std::max<std::size_t>(n, std::size_t(1) << 14));
                blocks.emplace_back(new double[sizes.back()]);
            }
            if (used + n <= sizes[block]) {
                double* p = blocks[block].get() + used;
                used += n;
                return p;
            }
        }
    }
};
thread_local Scratch t_scratch;

// a + b as its rounded value s and the error e of that rounding (Knuth); the second where |a| >= |b| (Dekker).
void two_sum(double a, double b, double& s, double& e) {
    s = a + b;
    const double virt = s - a;
    e = (a - (s - virt)) + (b - virt);
}
void fast_two_sum(double a, double b, double& s, double& e) {
    s = a + b;
    e = b - (s - a);
}

// Adds x to the n parts at e, in place; the new count (one more at most). Zeros are dropped.
std::size_t grow(double* e, std::size_t n, double x) {
    std::size_t kept = 0;
    double q = x, h;
    for (std::size_t i = 0; i < n; ++i) {
        two_sum(q, e[i], q, h);
        if (h != 0.0) e[kept++] = h;
    }
    if (q != 0.0) e[kept++] = q;
    return kept;
}

// The n parts at e times b, into out (room for 2 n); the count.
std::size_t scale(const double* e, std::size_t n, double b, double* out) {
    std::size_t k = 0;
    double q, h, t, product;
    q = e[0] * b;
    h = std::fma(e[0], b, -q);
    if (h != 0.0) out[k++] = h;
    for (std::size_t i = 1; i < n; ++i) {
        product = e[i] * b;
        t = std::fma(e[i], b, -product);
        two_sum(q, t, q, h);
        if (h != 0.0) out[k++] = h;
        fast_two_sum(product, q, q, h);
        if (h != 0.0) out[k++] = h;
    }
    if (q != 0.0) out[k++] = q;
    return k;
}

// The n parts at e made fewer, in place, the value unchanged; the new count.
std::size_t compress(double* e, std::size_t n) {
    if (n == 0) return 0;
    double q = e[n - 1], sum, h;
    std::size_t bottom = n - 1;
    for (std::size_t i = n - 1; i-- > 0;) {
        fast_two_sum(q, e[i], sum, h);
        if (h != 0.0) {
            e[bottom--] = sum;
            q = h;
        } else {
            q = sum;
        }
    }
    e[bottom] = q;
    std::size_t top = 0;
    for (std::size_t i = bottom + 1; i < n; ++i) {
        fast_two_sum(e[i], q, sum, h);
        if (h != 0.0) e[top++] = h;
        q = sum;
    }
    if (q != 0.0) e[top++] = q;
    return top;
}

}  // namespace

O3duExact::O3duExact(double x) {
    if (x == 0.0) return;
    double* p = t_scratch.take(1);
    *p = x;
    parts_ = p, size_ = 1;
}

O3duExact combine(const O3duExact& a, const O3duExact& b, double b_sign) {
    O3duExact s;
    double* out = t_scratch.take(a.size_ + b.size_);
    std::copy(a.parts_, a.parts_ + a.size_, out);
    std::size_t n = a.size_;
    for (std::size_t i = 0; i < b.size_; ++i) n = grow(out, n, b_sign * b.parts_[i]);
    s.parts_ = out, s.size_ = compress(out, n);
    return s;
}

O3duExact operator+(const O3duExact& a, const O3duExact& b) { return combine(a, b, 1.0); }
O3duExact operator-(const O3duExact& a, const O3duExact& b) { return combine(a, b, -1.0); }

O3duExact operator*(const O3duExact& a, const O3duExact& b) {
    O3duExact p;
    if (a.size_ == 0 || b.size_ == 0) return p;
    double* out = t_scratch.take(2 * a.size_ * b.size_);
    double* scaled = t_scratch.take(2 * a.size_);
    std::size_t n = 0;
    for (std::size_t i = 0; i < b.size_; ++i) {
        const std::size_t k = scale(a.parts_, a.size_, b.parts_[i], scaled);
        for (std::size_t j = 0; j < k; ++j) n = grow(out, n, scaled[j]);
    }
    p.parts_ = out, p.size_ = compress(out, n);
    return p;
}

O3duExactScope::O3duExactScope() { ++t_scratch.scopes; }

O3duExactScope::~O3duExactScope() {
    if (--t_scratch.scopes == 0) t_scratch.block = 0, t_scratch.used = 0;
}
