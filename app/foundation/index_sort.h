// Back-to-front ordering of faces for the GDI views: values sorted descending with an index array carried along.
#pragma once

namespace kz::foundation {

// Sorts values[lo .. hi-1] descending, swapping indices alike; nothing for lo < 0, hi < 1 or hi <= lo. NaN
// values end up behind every number.
void sort_index_range(double* values, int* indices, int lo, int hi);
// The direct sort of small ranges: each later value greater than the current one is swapped into it.
void sort_index_exchange(double* values, int* indices, int lo, int hi);
// One mean split of values[lo .. hi-1]: values not below the pivot to the front; returns where the end part
// starts. Both parts are non-empty whenever the range holds two different numbers.
int sort_index_partition(double* values, int* indices, int lo, int hi);

}  // namespace kz::foundation
