// Shapes made of boxes for the shadow benchmarks, built as the modeller takes them.
#pragma once
#include <vector>

#include "modeller/gl_modelar.h"

namespace kz_bench {

// Boxes (x0, y0, z0, x1, y1, z1 each) as one indexed set of one shape, each its eight corners and twelve triangles,
// counter-clockwise seen from outside.
inline CO3duPrimitive boxes_shape(const std::vector<double>& boxes, OfuColorValue colour) {
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material.diffuse = set.material.ambient = colour;
    const int count = int(boxes.size() / 6);
    set.vertices.SetSize(8 * count);
    set.indices.SetSize(12 * count);
    static const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                     {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (int b = 0; b < count; ++b) {
        const double* c = &boxes[6 * std::size_t(b)];
        for (int i = 0; i < 8; ++i)
            set.vertices[8 * b + i].position = OfuVector3(c[i & 1 ? 3 : 0], c[i & 2 ? 4 : 1], c[i & 4 ? 5 : 2]);
        for (int f = 0; f < 12; ++f)
            set.indices[12 * b + f] = _O3duVertexIndex{8 * b + faces[f][0], 8 * b + faces[f][1], 8 * b + faces[f][2]};
    }
    CO3duPrimitive p;
    p.sets.Add(set);
    return p;
}

}  // namespace kz_bench
