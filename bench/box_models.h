// Generated models of boxes for the large-model benchmarks: items of ten boxes laid out on a square grid, written
// once as a figure file and once as a Wavefront OBJ of the same boxes (what other viewers open). The OBJ gives each
// box its 8 corners once and six quads over them, without normals: the least a reader has to read for a box, so
// the hardest peer to beat.
#pragma once
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace kz_bench {

constexpr int kBoxesPerItem = 10;

struct BoxModel {
    std::string fig;  // POSIX paths
    std::string obj;
};

// One box of an item: its corner and size in millimetres, in the item's frame.
struct BoxShape {
    int x, y, z, w, d, h;
};

inline BoxShape box_in_item(int s) { return {(s % 5) * 220, (s / 5) * 320, 0, 200, 300, 300 + (s % 3) * 250}; }

// Writes (once) the figure file and the OBJ of `boxes` boxes under the temporary folder. With storeys above 1, item
// i stands (i mod storeys) x 3 m above the ground.
inline BoxModel box_model(int boxes, int storeys = 1) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kz-bench-boxes";
    fs::create_directories(dir);
    const std::string name =
        "boxes" + std::to_string(boxes) + (storeys > 1 ? "-storeys" + std::to_string(storeys) : std::string());
    BoxModel m{(dir / (name + ".fig")).string(), (dir / (name + ".obj")).string()};
    if (fs::exists(m.fig) && fs::exists(m.obj)) return m;
    const int items = boxes / kBoxesPerItem;
    const int side = static_cast<int>(std::ceil(std::sqrt(double(items))));
    std::ofstream fig(m.fig, std::ios::binary), obj(m.obj, std::ios::binary);
    fig << "set,eye point," << side * 700 << "," << -side * 900 << "," << side * 800 << "," << side * 600 << ","
        << side * 600 << ",0,35\r\n";
    long vertex = 1;
    for (int i = 0; i < items; ++i) {
        const int ix = (i % side) * 1200, iy = (i / side) * 1200, iz = storeys > 1 ? (i % storeys) * 3000 : 0;
        fig << "trunk," << ix << "," << iy << "," << iz << std::string(26, ',') << "item " << i << "\r\n";
        for (int s = 0; s < kBoxesPerItem; ++s) {
            const BoxShape b = box_in_item(s);
            fig << "box," << b.x << "," << b.y << "," << b.z << ",,,,,,,,,," << b.w << "," << b.d << "," << b.h
                << ",,,,,,1," << 120 + s * 12 << ",170,130,,,,,part " << s << "\r\n";
            const double x0 = ix + b.x, y0 = iy + b.y, z0 = iz + b.z, x1 = x0 + b.w, y1 = y0 + b.d, z1 = z0 + b.h;
            for (int k = 0; k < 8; ++k)
                obj << "v " << (k & 1 ? x1 : x0) << " " << (k & 2 ? y1 : y0) << " " << (k & 4 ? z1 : z0) << "\n";
            // Corners 0..7 as bits x, y, z; each face counter-clockwise seen from outside.
            static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                            {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
            for (const auto& f : faces)
                obj << "f " << vertex + f[0] << " " << vertex + f[1] << " " << vertex + f[2] << " " << vertex + f[3]
                    << "\n";
            vertex += 8;
        }
    }
    return m;
}

}  // namespace kz_bench
