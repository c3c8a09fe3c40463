// What a shape's shadow volumes hold in memory, as the shadow benchmarks report it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "modeller/gl_entity.h"

namespace kz_bench {

// The bytes the volumes' corners and both index lists have taken, narrow or wide.
inline std::size_t volume_bytes(const CO3duShadowVolumes& v) { return v.bytes(); }

}  // namespace kz_bench
