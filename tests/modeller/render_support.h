// Helpers of the modeller tests: primitives built from plain numbers, a headless frame read back through the
// modeller, and the fixed-function lighting of one vertex worked out on the CPU as the pixels' oracle.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/primitive.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"

namespace kz::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// A frame as DrawTo24DIBPixel gives it: bottom-up BGR rows padded to 4 bytes; (x, y) count from the bottom left,
// as OpenGL's window coordinates do.
struct Frame {
    Frame() = default;
    // A frame of the size, every byte `fill`.
    Frame(int w, int h, std::uint8_t fill = 0) : width(w), height(h), bytes(std::size_t(stride()) * h, fill) {}
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;
    int stride() const { return (width * 3 + 3) / 4 * 4; }
    Rgb at(int x, int y) const;
    // Writes the frame as a BMP into the test output folder.
    void save(const std::string& name) const;
};

// Whether every channel is within tolerance; on failure the frame goes to the output folder under `name`.
::testing::AssertionResult pixel_near(const Frame& frame, int x, int y, Rgb want, int tolerance,
                                      const std::string& name);

// One material with all four colours given and the rest zero.
_OfuMaterial make_material(OfuColorValue diffuse, OfuColorValue ambient, OfuColorValue specular = {0, 0, 0, 1},
                           float power = 0.0f);

// An axis-aligned box from lo to hi: six triangle-strip faces with outward normals, one set each.
CO3duPrimitive make_box(const OfuVector3& lo, const OfuVector3& hi, const _OfuMaterial& material);
// A rectangle in the plane y = y0 from (x0, z0) to (x1, z1), facing -y, as one triangle strip, texture
// coordinates running from (0, 0) at (x0, z0) to (1, 1) at (x1, z1).
CO3duPrimitive make_quad_facing_minus_y(double x0, double z0, double x1, double z1, double y0,
                                        const _OfuMaterial& material);

// A zero-filled image of the given size and bit count, its buffers sized by PrepareDibBuffers.
_OfuBitmap blank_image(int width, int height, int bits);

// A modeller initialised on a window device context of a fixed size, with every light switched off; the camera
// looks from (0, -100, 0) at the origin.
struct HeadlessScene {
    static constexpr int kSize = 64;
    explicit HeadlessScene(int width = kSize, int height = kSize);
    Frame render();
    // The stencil of the last frame rendered, a byte a pixel, rows from the bottom.
    std::vector<std::uint8_t> stencil();
    // Puts a modeller of a derived class in place of the plain one, initialised, with the same camera.
    void replace_modeller(std::unique_ptr<CO3duGLModelar> other);
    std::unique_ptr<kz::platform::DeviceContext> dc;
    std::unique_ptr<CO3duGLModelar> modeller;
};

OfuLight make_light(int type, OfuColorValue diffuse, OfuColorValue ambient, OfuColorValue specular,
                    const OfuVector3& direction = {0, 1, 0});
// White directional light 1 travelling along +y, straight into the faces that look at the default camera.
void white_light_along_y(CO3duGLModelar& m);
// The modeller's camera turned to look from eye to target with the field of view, reaching from near_distance to
// far_distance; not yet set.
_O3duCamera camera_looking(CO3duGLModelar& m, const OfuVector3& eye, const OfuVector3& target, double fov,
                           double near_distance, double far_distance);

// One light as the fixed-function pipeline sees it, in world coordinates.
struct OracleLight {
    bool positional = false;
    OfuVector3 position;      // positional
    OfuVector3 toward_light;  // directional: unit vector from the scene towards the light
    OfuColorValue diffuse{0, 0, 0, 1};
    OfuColorValue ambient{0, 0, 0, 1};
    OfuColorValue specular{0, 0, 0, 1};
    double linear_attenuation = 0.0;
};

// OpenGL 1.1 lighting of one vertex (emission 0, global ambient 0.2, infinite viewer looking along view_dir,
// one-sided), clamped, as bytes rounded to nearest.
Rgb lit_vertex(const OfuVector3& p, const OfuVector3& normal, const _OfuMaterial& m,
               const std::vector<OracleLight>& lights, const OfuVector3& view_dir);

// Where a world point lands in the window (OpenGL pixel coordinates from the bottom left) for a perspective
// camera with up (0, 0, 1).
void project(const _O3duCamera& camera, int width, int height, const OfuVector3& p, double& x, double& y);
// The pixel whose centre is nearest to where the world point lands in a window of HeadlessScene::kSize square.
void pixel_of(const _O3duCamera& camera, const OfuVector3& p, int& x, int& y);

// The numbers of a peer's text from `from` on up to the first `until`, apart by blanks and commas ("C" locale).
std::vector<double> numbers_in(const std::string& text, std::size_t from = 0, char until = '\0');
void expect_near_all(const std::vector<double>& got, const std::vector<double>& want, double tolerance,
                     const char* what = "");

}  // namespace kz::test
