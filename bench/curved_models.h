// A generated model of curved shapes for the shadow benchmarks: 256 items on a square grid, each turned about its
// own axes, of eight shapes (a pipe, a bent pipe, a ball, a cone, a frustum, an L extrusion and two boxes pasted
// with a picture): 2,048 shapes, written once as a figure file with its picture beside it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace kz_bench {

constexpr int kCurvedItems = 256;
constexpr int kShapesPerCurvedItem = 8;

// A 64 x 64 24-bit BMP of stripes.
inline void write_stripes_bmp(const std::filesystem::path& path) {
    constexpr int side = 64;
    std::ofstream out(path, std::ios::binary);
    const auto u16 = [&](unsigned v) { out.put(char(v & 0xFF)).put(char((v >> 8) & 0xFF)); };
    const auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
    const unsigned image = side * side * 3;
    u16(0x4D42), u32(54 + image), u32(0), u32(54);
    u32(40), u32(side), u32(side), u16(1), u16(24), u32(0), u32(image), u32(0), u32(0), u32(0), u32(0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool dark = ((x + y) / 8) % 2 != 0;
            out.put(char(dark ? 40 : 220)).put(char(dark ? 90 : 200)).put(char(dark ? 140 : 180));
        }
}

// The figure file (POSIX path) of the model, written under the temporary folder on first use.
inline std::string curved_model() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kz-bench-curved";
    fs::create_directories(dir);
    const fs::path fig = dir / "curved2048-midsummer.fig";
    if (fs::exists(fig) && fs::exists(dir / "stripes.bmp")) return fig.string();
    write_stripes_bmp(dir / "stripes.bmp");
    std::ofstream out(fig, std::ios::binary);
    constexpr int side = 16;
    out << "set,eye point," << side * 1500 / 2 << "," << -side * 1500 << "," << side * 1500 << "," << side * 1500 / 2
        << "," << side * 1500 / 2 << ",0,35\r\n";
    // The sun of a midsummer morning from the first frame on: a model that names no date and hour takes the
    // clock's, so the frame opening draws would cast the shadows of whatever hour the benchmark runs at.
    out << "set,shadow_month,6,21,10,0\r\n";
    for (int i = 0; i < kCurvedItems; ++i) {
        const int x = (i % side) * 1500, y = (i / side) * 1500;
        const int rx = (i * 7) % 20, ry = (i * 11) % 20, rz = (i * 37) % 360;
        out << "trunk," << x << "," << y << ",0," << rx << "," << ry << "," << rz << std::string(23, ',') << "item "
            << i << "\r\n{\r\n";
        const std::string tilt = ",rx=" + std::to_string((i * 13) % 30) + ",ry=" + std::to_string((i * 17) % 30);
        out << "cylinder,dx=0,dz=100,w=200,h=600,div=32,thick=20,dispmode=1,red=90,green=150,blue=200" << tilt
            << ",name=pipe\r\n";
        out << "cylinder,dx=300,dz=300,w=70,h=10,div=24,dispmode=1,red=60,green=200,blue=200,poldat=magari;200;120;24"
            << tilt << ",name=bent pipe\r\n";
        out << "ball,dx=700,dz=150,w=250,div=32,dispmode=1,red=220,green=60,blue=60" << tilt << ",name=ball\r\n";
        out << "sui,dx=1050,w=250,h=400,div=32,dispmode=1,red=230,green=220,blue=50" << tilt << ",name=cone\r\n";
        out << "cylinder,dx=0,dy=500,w=250,wtop=120,h=350,div=32,dispmode=1,red=80,green=200,blue=80" << tilt
            << ",name=frustum\r\n";
        out << "poly,dx=350,dy=400,h=300,red=70,green=110,blue=230,poldat=0;0;300;0;300;80;80;80;80;300;0;300" << tilt
            << ",name=L\r\n";
        out << "box,dx=750,dy=450,w=250,d=250,h=250,red=200,green=200,blue=200,paste=A;1000-6000;stripes.bmp" << tilt
            << ",name=pasted box\r\n";
        out << "box,dx=1100,dy=500,w=200,d=60,h=400,red=200,green=200,blue=200,paste=A;2000;stripes.bmp" << tilt
            << ",name=pasted board\r\n";
        out << "}\r\n";
    }
    return fig.string();
}

}  // namespace kz_bench
