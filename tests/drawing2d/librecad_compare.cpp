// LibreCAD's pictures and the stroke registration (see librecad_compare.h).
#include "librecad_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "device_test_support.h"
#include "platform/file_system.h"
#include "platform/image_io.h"
#include "support/test_paths.h"

namespace kz::drawing2d::test {

namespace {

constexpr int kNear = 2;    // pixels
constexpr int kSearch = 8;  // translation search, pixels each way

std::vector<std::pair<int, int>> dark_pixels(const GreyImage& image) {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.dark(x, y)) out.push_back({x, y});
    return out;
}

// Pixels within kNear (Euclidean) of a dark pixel of the image.
std::vector<char> near_mask(const GreyImage& image) {
    std::vector<char> mask(static_cast<std::size_t>(image.width) * image.height, 0);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (!image.dark(x, y)) continue;
            for (int dy = -kNear; dy <= kNear; ++dy)
                for (int dx = -kNear; dx <= kNear; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (dx * dx + dy * dy > kNear * kNear || nx < 0 || ny < 0 || nx >= image.width ||
                        ny >= image.height)
                        continue;
                    mask[static_cast<std::size_t>(ny) * image.width + nx] = 1;
                }
        }
    return mask;
}

double share_near(const std::vector<std::pair<int, int>>& pixels, const std::vector<char>& mask, int w, int h, int dx,
                  int dy) {
    if (pixels.empty()) return 0;
    std::size_t hits = 0;
    for (const auto& [x, y] : pixels) {
        const int nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < w && ny < h && mask[static_cast<std::size_t>(ny) * w + nx]) ++hits;
    }
    return static_cast<double>(hits) / pixels.size();
}

}  // namespace

GreyImage read_png(const std::string& path) {
    GreyImage image;
    crt::GlobalHandle dib = platform::load_image_dib(platform::from_native_path(path));
    if (!dib) return image;
    const std::vector<std::uint8_t> bgr = dib_pixels(dib, &image.width, &image.height);
    crt::global_free(dib);
    image.pixels.resize(bgr.size() / 3);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = bgr[3 * i + 1];
    return image;
}

GreyImage librecad_picture(const std::string& dxf_path, double scale, const std::string& png_path) {
    std::ostringstream cmd;
    cmd.precision(17);
    cmd << "bash '" << kz::test::data_dir() << "/../../scripts/librecad_picture.sh' '" << dxf_path << "' " << scale
        << " '" << png_path << "'";
    if (std::system(cmd.str().c_str()) != 0) return {};
    return read_png(png_path);
}

StrokeMatch match_strokes(const GreyImage& ours, const GreyImage& theirs) {
    StrokeMatch m;
    const auto our_pixels = dark_pixels(ours), their_pixels = dark_pixels(theirs);
    m.ours = static_cast<int>(our_pixels.size());
    m.theirs = static_cast<int>(their_pixels.size());
    if (our_pixels.empty() || their_pixels.empty()) return m;
    const std::vector<char> theirs_near = near_mask(theirs), ours_near = near_mask(ours);
    // Both shares count: thin strokes inside wider ones fit over a range of shifts, and its middle is wanted.
    double best = -1;
    for (int dy = -kSearch; dy <= kSearch; ++dy)
        for (int dx = -kSearch; dx <= kSearch; ++dx) {
            const double there = share_near(our_pixels, theirs_near, theirs.width, theirs.height, dx, dy),
                         back = share_near(their_pixels, ours_near, ours.width, ours.height, -dx, -dy);
            if (there + back > best) {
                best = there + back;
                m = {there, back, dx, dy, m.ours, m.theirs};
            }
        }
    return m;
}

void write_overlay(const std::string& path, const GreyImage& ours, const GreyImage& theirs, const StrokeMatch& m) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << theirs.width << " " << theirs.height << "\n255\n";
    const std::vector<char> theirs_near = near_mask(theirs);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(theirs.width) * theirs.height * 3);
    for (std::size_t i = 0; i < theirs.pixels.size(); ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = theirs.pixels[i] < 128 ? 170 : 255;
    for (int y = 0; y < ours.height; ++y)
        for (int x = 0; x < ours.width; ++x) {
            const int tx = x + m.dx, ty = y + m.dy;
            if (!ours.dark(x, y) || tx < 0 || ty < 0 || tx >= theirs.width || ty >= theirs.height) continue;
            const std::size_t i = static_cast<std::size_t>(ty) * theirs.width + tx;
            const bool near = theirs_near[i] != 0;
            rgb[3 * i] = near ? 220 : 0;
            rgb[3 * i + 1] = 0;
            rgb[3 * i + 2] = near ? 0 : 255;
        }
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

}  // namespace kz::drawing2d::test
