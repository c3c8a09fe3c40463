// A white device of fixed size for the display tests (a memory DC over a 24-bit packed DIB), its pixels read
// back, the runs of drawn pixels along one row, and the comparison with a stored reference image.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gdi.h"

namespace kz::drawing2d::test {

class Device {
public:
    Device(int width, int height);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    platform::DeviceContext* dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    void clear(platform::ColorRef colour = 0xFFFFFF);
    platform::ColorRef at(int x, int y) const;
    // The colours at several points, in order.
    std::vector<platform::ColorRef> at(std::initializer_list<std::pair<int, int>> points) const;
    // Whether each pixel of row y differs from the background.
    std::vector<bool> row(int y, platform::ColorRef background = 0xFFFFFF) const;
    // Pixels that differ from the background.
    int drawn(platform::ColorRef background = 0xFFFFFF) const;
    // Compares with the reference PNG tests/data/drawing2d/<name>.png: the largest difference of a channel at most
    // max_diff and their mean at most mean_diff. On failure, and whenever KZ_WRITE_REFERENCE is set, the actual
    // image and (when there is a reference) the difference image go to the output folder.
    ::testing::AssertionResult matches_reference(const std::string& name, int max_diff, double mean_diff) const;

private:
    int width_, height_;
    crt::GlobalHandle dib_;
    std::unique_ptr<platform::DeviceContext> dc_;
};

// The pixels of a 24-bit packed DIB as top-down BGR rows without padding.
std::vector<std::uint8_t> dib_pixels(crt::GlobalHandle dib, int* width, int* height);

// Runs [from, to) of true values.
std::vector<std::pair<int, int>> runs(const std::vector<bool>& row);

}  // namespace kz::drawing2d::test
