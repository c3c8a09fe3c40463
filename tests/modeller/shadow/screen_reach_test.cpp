// The rectangle a shape counted alone confines its work to, against the rasterizer: seeded triangle soups' volumes,
// and pyramids whose apex rises above the walls along their foot, under random suns, seen by random eyes
// around them, among them and under them (inside their prisms, their walls crossing the near plane), every wall and lit
// face drawn into a cleared stencil with nothing culled or depth tested; no pixel they touch may lie outside the
// rectangle.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <random>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/shadow/screen_reach.h"
#include "platform/gl_context.h"
#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

void draw_indices(const CO3duShadowVolumes& v, const CO3duVolumeIndices& indices) {
    glVertexPointer(3, GL_FLOAT, 0, v.corners.data());
    const auto count = static_cast<GLsizei>(indices.size());
    if (indices.narrow.empty())
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, indices.wide.data());
    else
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, indices.narrow.data());
}

TEST(ShadowReach, HoldsEveryPixelTheWallsAndLitFacesTouch) {
    constexpr int kWidth = 160, kHeight = 120;
    HeadlessScene scene(kWidth, kHeight);
    ASSERT_TRUE(kz::platform::make_current(scene.dc.get(), scene.modeller->renderer().context()));
    std::mt19937 rng(83);
    std::uniform_real_distribution<double> u(-1, 1);
    const auto point = [&](double r) { return OfuVector3(r * u(rng), r * u(rng), r * u(rng)); };
    int touched = 0, small = 0, whole = 0;
    std::vector<std::uint8_t> stencil(std::size_t(kWidth) * kHeight);
    for (int seed = 0; seed < 400; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<std::array<OfuVector3, 3>> triangles;
        const OfuVector3 centre = point(5);
        for (int t = 0; t < (seed % 2 ? 0 : 1 + int(rng() % 12)); ++t)
            triangles.push_back({centre + point(3), centre + point(3), centre + point(3)});
        // A pyramid lit from above, whose apex stands over the walls along its foot.
        const OfuVector3 foot[4] = {{-2, -2, 0}, {2, -2, 0}, {2, 2, 0}, {-2, 2, 0}}, apex(0, 0, 6);
        for (int k = 0; k < 4 * (seed % 2); ++k)
            triangles.push_back({centre + foot[k], centre + foot[(k + 1) % 4], centre + apex});
        const OfuVector3 travel(u(rng), u(rng), -0.2 - std::fabs(u(rng)));
        CO3duShadowVolumes outlines, v;
        build_volumes(indexed_mesh(triangles, make_material({1, 1, 1, 1}, {1, 1, 1, 1})), travel, outlines, v);
        if (v.walls.size() == 0) continue;
        // The camera in light space, where the volumes are: an eye far off, near, or within the walls' box.
        const float* lo = v.walls_lo;
        const float* hi = v.walls_hi;
        const OfuVector3 middle((lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2);
        const double reach[3] = {60, 12, 3};
        const OfuVector3 eye = middle + point(reach[seed % 3]) + OfuVector3(0, 0, -8.0 * (seed % 4 == 3));
        const OfuVector3 target = middle + point(6);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(30 + 60 * std::fabs(u(rng)), double(kWidth) / kHeight, 0.05 + std::fabs(u(rng)), 5000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, u(rng), u(rng), 1);
        OfuMatrix4x4 to_clip, projection;
        glGetDoublev(GL_MODELVIEW_MATRIX, &to_clip.m[0][0]);
        glGetDoublev(GL_PROJECTION_MATRIX, &projection.m[0][0]);
        MultiplyMatrix4x4(to_clip, projection);
        const O3duPixelRect r = o3du_screen_reach(v, to_clip, kWidth, kHeight);

        glViewport(0, 0, kWidth, kHeight);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glStencilMask(0xFF);
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        glEnableClientState(GL_VERTEX_ARRAY);
        draw_indices(v, v.walls);
        draw_indices(v, v.lit);
        glDisableClientState(GL_VERTEX_ARRAY);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
        int outside = 0, any = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (!stencil[std::size_t(y) * kWidth + x]) continue;
                ++any;
                outside += x < r.x || x >= r.x + r.width || y < r.y || y >= r.y + r.height;
            }
        EXPECT_EQ(outside, 0) << any << " pixels touched; rectangle " << r.x << ", " << r.y << ", " << r.width << " x "
                              << r.height;
        touched += any > 0;
        small += any > 0 && 4 * r.width * r.height < kWidth * kHeight;
        whole += any > 0 && r.width == kWidth && r.height == kHeight;
    }
    kz::platform::make_current(nullptr, nullptr);
    // The seeds reach both: shapes seen small, and eyes among the walls.
    EXPECT_GT(small, touched / 20) << touched;
    EXPECT_GT(whole, touched / 20) << touched;
}

}  // namespace
}  // namespace kz::test
