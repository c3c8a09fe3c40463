// The depth sort runs on every redraw of the GDI views over all faces: a split around the mean down to ranges of
// 200, then a plain exchange sort. The pivot is kept strictly above the smallest value so that equal depths (a
// flat plan view) end the split instead of recursing on the same range forever.
#include "app/foundation/index_sort.h"

#include <utility>

namespace kz::foundation {

namespace {
constexpr int kCutoff = 200;

void swap_at(double* values, int* indices, int a, int b) {
    std::swap(values[a], values[b]);
    if (indices) std::swap(indices[a], indices[b]);
}

// NaN is "smaller" than everything, so it sinks to the end.
bool smaller(double v, double pivot) { return !(v >= pivot); }
}  // namespace

void sort_index_exchange(double* values, int* indices, int lo, int hi) {
    for (int i = lo; i < hi; ++i)
        for (int k = i + 1; k < hi; ++k)
            if (values[k] > values[i] || (values[i] != values[i] && values[k] == values[k]))
                swap_at(values, indices, i, k);
}

int sort_index_partition(double* values, int* indices, int lo, int hi) {
    double sum = 0.0, low = 0.0, high = 0.0;
    int numbers = 0;
    for (int i = lo; i < hi; ++i) {
        const double v = values[i];
        if (v != v) continue;
        if (numbers == 0 || v < low) low = v;
        if (numbers == 0 || v > high) high = v;
        sum += v;
        ++numbers;
    }
    if (numbers == 0) return hi;                       // only NaN: nothing to order
    if (low == high && numbers == hi - lo) return hi;  // all equal: already in order
    double pivot = sum / numbers;
    // The rounded mean of nearly equal values may fall outside them; keep it in (low, high], or at high when
    // only NaN has to leave.
    if (!(pivot > low && pivot <= high)) pivot = high;
    int end = hi;
    for (int i = lo; i < end;) {
        if (smaller(values[i], pivot))
            swap_at(values, indices, i, --end);
        else
            ++i;
    }
    return end;
}

void sort_index_range(double* values, int* indices, int lo, int hi) {
    if (!values || lo < 0 || hi < 1 || hi <= lo) return;
    while (hi - lo > kCutoff) {
        const int split = sort_index_partition(values, indices, lo, hi);
        if (split >= hi) return;
        // The smaller side is sorted by a call and the larger one by the loop, so the depth stays logarithmic
        // whatever the values.
        if (split - lo < hi - split) {
            sort_index_range(values, indices, lo, split);
            lo = split;
        } else {
            sort_index_range(values, indices, split, hi);
            hi = split;
        }
    }
    sort_index_exchange(values, indices, lo, hi);
}

}  // namespace kz::foundation
