// The display tests' device and its reference images.
#include "device_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"
#include "platform/image_io.h"
#include "support/test_paths.h"

namespace kz::drawing2d::test {
std::vector<std::uint8_t> dib_pixels(crt::GlobalHandle dib, int* width, int* height) {
    std::vector<std::uint8_t> out;
    auto* p = static_cast<const std::uint8_t*>(crt::global_lock(dib));
    if (!p) return out;
    platform::DibInfoHeader h;
    std::memcpy(&h, p, sizeof h);
    *width = h.width;
    *height = std::abs(h.height);
    const int bpp = h.bit_count / 8, stride = platform::dib_stride(h.width, h.bit_count);
    for (int y = 0; y < *height; ++y) {
        const std::uint8_t* row = p + sizeof h + static_cast<std::size_t>(h.height > 0 ? *height - 1 - y : y) * stride;
        for (int x = 0; x < *width; ++x) out.insert(out.end(), row + x * bpp, row + x * bpp + 3);
    }
    crt::global_unlock(dib);
    return out;
}

namespace {
std::string windows_path(const std::string& native) { return platform::from_native_path(native); }
}  // namespace

Device::Device(int width, int height)
    : width_(width), height_(height), dib_(platform::allocate_packed_dib(width, height, 24)) {
    dc_ = platform::DeviceContext::create_memory_over_dib(dib_);
    clear();
}

Device::~Device() {
    dc_.reset();
    crt::global_free(dib_);
}

void Device::clear(platform::ColorRef colour) {
    platform::fill_rect(*dc_, {0, 0, width_, height_}, platform::Brush{false, colour});
}

platform::ColorRef Device::at(int x, int y) const {
    return static_cast<platform::ColorRef>(platform::get_pixel(*dc_, x, y));
}

std::vector<platform::ColorRef> Device::at(std::initializer_list<std::pair<int, int>> points) const {
    std::vector<platform::ColorRef> out;
    for (const auto& [x, y] : points) out.push_back(at(x, y));
    return out;
}

std::vector<bool> Device::row(int y, platform::ColorRef background) const {
    std::vector<bool> out(width_);
    for (int x = 0; x < width_; ++x) out[x] = at(x, y) != background;
    return out;
}

int Device::drawn(platform::ColorRef background) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) n += at(x, y) != background;
    return n;
}

::testing::AssertionResult Device::matches_reference(const std::string& name, int max_diff, double mean_diff) const {
    const std::string actual_path = kz::test::output_file("drawing2d_" + name + "_actual.png");
    const bool write = std::getenv("KZ_WRITE_REFERENCE") != nullptr;
    if (write) platform::save_dib_as_png(windows_path(actual_path), dib_);
    crt::GlobalHandle reference =
        platform::load_image_dib(windows_path(kz::test::data_file("drawing2d/" + name + ".png")));
    if (!reference) {
        platform::save_dib_as_png(windows_path(actual_path), dib_);
        return ::testing::AssertionFailure()
               << "no reference image " << name << ".png; the actual one is " << actual_path;
    }
    int w = 0, h = 0, rw = 0, rh = 0;
    const std::vector<std::uint8_t> got = dib_pixels(dib_, &w, &h), want = dib_pixels(reference, &rw, &rh);
    if (w != rw || h != rh) {
        crt::global_free(reference);
        platform::save_dib_as_png(windows_path(actual_path), dib_);
        return ::testing::AssertionFailure() << name << ": size " << w << "x" << h << " against " << rw << "x" << rh;
    }
    int largest = 0;
    double sum = 0;
    crt::GlobalHandle diff = platform::allocate_packed_dib(w, h, 24);
    auto* d = static_cast<std::uint8_t*>(crt::global_lock(diff)) + sizeof(platform::DibInfoHeader);
    const int stride = platform::dib_stride(w, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3 + k;
                const int v = std::abs(got[i] - want[i]);
                largest = std::max(largest, v);
                sum += v;
                d[static_cast<std::size_t>(h - 1 - y) * stride + x * 3 + k] = static_cast<std::uint8_t>(255 - v);
            }
    crt::global_unlock(diff);
    const double mean = sum / (static_cast<double>(w) * h * 3);
    const bool ok = largest <= max_diff && mean <= mean_diff;
    if (!ok || write) {
        platform::save_dib_as_png(windows_path(actual_path), dib_);
        platform::save_dib_as_png(windows_path(kz::test::output_file("drawing2d_" + name + "_diff.png")), diff);
    }
    crt::global_free(diff);
    crt::global_free(reference);
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": largest difference " << largest << ", mean " << mean
                                         << "; actual and difference images in " << kz::test::output_dir();
}

std::vector<std::pair<int, int>> runs(const std::vector<bool>& row) {
    std::vector<std::pair<int, int>> out;
    for (int x = 0; x < static_cast<int>(row.size()); ++x) {
        if (!row[x]) continue;
        if (out.empty() || out.back().second != x) out.push_back({x, x});
        out.back().second = x + 1;
    }
    return out;
}

}  // namespace kz::drawing2d::test
