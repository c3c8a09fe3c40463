// The exact sign of a sum of products of floats, as the winding depth's sweep decides every order by: worked out in
// doubles beside a bound of its rounding, and only where that rounding could change the sign, again exactly, as an
// expansion (Shewchuk's: doubles that do not overlap, smallest first, summing to the value). Products of up to five
// floats stay within a double's range, so no part of one is lost below it. Files using these are compiled without
// products contracted into sums (modeller/CMakeLists.txt): each product and each sum must round on its own.
#pragma once
#include <cmath>
#include <cstddef>

// A value worked out in doubles with the same sum over the magnitudes beside it. Every sum these serve rounds at
// most ten times on its way from the floats, so the value lies within 1e-14 of the magnitudes of the exact one, and
// one further from 0 than that has the exact one's sign. A difference of two floats that is exact in doubles (most
// are) keeps its own magnitude.
struct O3duApprox {
    double v = 0.0, m = 0.0;
    O3duApprox() = default;
    explicit O3duApprox(double x) : v(x), m(std::fabs(x)) {}
    O3duApprox(double value, double magnitude) : v(value), m(magnitude) {}
    static constexpr double kRounding = 1e-14;
    // 1 or -1 where the sign is sure, else 0.
    int sure_sign() const { return v > kRounding * m ? 1 : v < -kRounding * m ? -1 : 0; }
};
inline O3duApprox operator+(O3duApprox a, O3duApprox b) { return {a.v + b.v, a.m + b.m}; }
inline O3duApprox operator-(O3duApprox a, O3duApprox b) { return {a.v - b.v, a.m + b.m}; }
inline O3duApprox operator*(O3duApprox a, O3duApprox b) { return {a.v * b.v, a.m * b.m}; }

// a - b in doubles, and whether that is exact (Knuth's two-sum leaves no error).
inline bool o3du_exact_difference(double a, double b, double& d) {
    d = a - b;
    const double virt = d - a, error = (a - (d - virt)) + (-b - virt);
    return error == 0.0;
}
inline O3duApprox o3du_difference(float a, float b, O3duApprox) {
    double d;
    return o3du_exact_difference(a, b, d) ? O3duApprox(d) : O3duApprox(d, std::fabs(double(a)) + std::fabs(double(b)));
}

// The exact sign of a b - c d for doubles: Kahan's 2 x 2 determinant with fused multiply-adds, whose error stays
// within twice a double's rounding of the value (Jeannerod, Louvet and Muller), so that its sign is the value's.
inline int o3du_sign_of_products(double a, double b, double c, double d) {
    const double w = c * d, e = std::fma(-c, d, w), f = std::fma(a, b, -w), r = f + e;
    return r > 0.0 ? 1 : r < 0.0 ? -1 : 0;
}

// A value kept exactly. Its parts live in scratch of the thread's own, handed back when the outermost
// O3duExactScope ends, so that a sign worked out exactly allocates nothing on the way.
class O3duExact {
public:
    O3duExact() = default;
    explicit O3duExact(double x);
    friend O3duExact operator+(const O3duExact& a, const O3duExact& b);
    friend O3duExact operator-(const O3duExact& a, const O3duExact& b);
    friend O3duExact operator*(const O3duExact& a, const O3duExact& b);
    // The largest part outweighs all the others together.
    int sign() const { return size_ == 0 ? 0 : parts_[size_ - 1] > 0.0 ? 1 : -1; }
    // Parts kept elsewhere, smallest first, seen as a value; and a value's parts, to keep.
    static O3duExact of(const double* parts, std::size_t size) {
        O3duExact e;
        e.parts_ = parts, e.size_ = size;
        return e;
    }
    const double* parts() const { return parts_; }
    std::size_t size() const { return size_; }

private:
    const double* parts_ = nullptr;
    std::size_t size_ = 0;
    friend O3duExact combine(const O3duExact& a, const O3duExact& b, double b_sign);
};
inline O3duExact o3du_difference(float a, float b, O3duExact) {
    double d;
    return o3du_exact_difference(a, b, d) ? O3duExact(d) : O3duExact(a) - O3duExact(b);
}

class O3duExactScope {
public:
    O3duExactScope();
    ~O3duExactScope();
    O3duExactScope(const O3duExactScope&) = delete;
    O3duExactScope& operator=(const O3duExactScope&) = delete;
};

// The sign of the sum `f` makes of a number type (called with O3duApprox(), then where need be with O3duExact()).
template <class F>
int o3du_exact_sign(const F& f) {
    if (const int s = f(O3duApprox()).sure_sign(); s != 0) return s;
    O3duExactScope scope;
    return f(O3duExact()).sign();
}
