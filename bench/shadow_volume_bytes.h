// What a shape's shadow volumes hold in memory, as the shadow benchmarks report it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "modeller/gl_entity.h"

namespace kz_bench {

// The bytes the volumes' corners and both index lists have taken, narrow or wide.
inline std::size_t volume_bytes(const CO3duShadowVolumes& v) {
    const auto index_bytes = [](const CO3duVolumeIndices& i) {
        return i.narrow.capacity() * sizeof(std::uint16_t) + i.wide.capacity() * sizeof(std::uint32_t);
    };
    return v.corners.capacity() * sizeof(float) + index_bytes(v.walls) + index_bytes(v.lit);
}

}  // namespace kz_bench
