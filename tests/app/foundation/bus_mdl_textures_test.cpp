// The bridge's texture table end to end on llvmpipe, and frames written as BMP and PNG read back by Pillow.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "bridge_fixture.h"
#include "platform/file_system.h"
#include "support/all_near.h"
#include "support/test_paths.h"

namespace kz::foundation::test {
namespace {

using kz::test::Frame;
using kz::test::Rgb;

constexpr int kN = 64;
constexpr double kHalf = 20.0;     // the textured square's half side
const Rgb kBackground{0, 0, 178};  // the default scene's 0.7 blue

std::string windows_path(const std::string& native) { return kz::platform::from_native_path(native); }

// A white face carrying the texture, with texture coordinates (0, 0) at its bottom left and (1, 1) at its top right.
void add_textured_square(CBusMDL& b, int id) {
    const auto square = square_facing_camera(0, 0, kHalf);
    const double uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    MaterialRecord white = colour_material(255, 255, 255);
    white.texture = id;
    b.AddPolygon(square.data(), 4, white, nullptr, uv, 0);
    FakeShape shape;
    ASSERT_NE(b.CommitPolygons(&shape), nullptr);
    b.FreePolygonBuffers();
}

// The frame pixel nearest the centre of texel (tx, ty), ty counted from the top of a tw x th texture.
Rgb texel_on_screen(const Frame& frame, const _O3duCamera& camera, int tx, int ty, int tw, int th) {
    const OfuVector3 p(-kHalf + (tx + 0.5) / tw * 2 * kHalf, 0, kHalf - (ty + 0.5) / th * 2 * kHalf);
    double x = 0, y = 0;
    kz::test::project(camera, kN, kN, p, x, y);
    return frame.at(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

_OfuBitmap texture_of(CBusMDL& b, int id) {
    _OfuBitmap image;
    EXPECT_EQ(b.modeller->GetTexture(static_cast<unsigned>(id - 1), image), 1);
    return image;
}

// Blue, green, red (and alpha) of texture pixel (x, y from the top).
const std::uint8_t* texture_pixel(const _OfuBitmap& image, int x, int y) {
    const int bytes = image.info_header.biBitCount / 8;
    const int stride = (image.info_header.biWidth * bytes + 3) / 4 * 4;
    return image.pixels.GetData() + (image.info_header.biHeight - 1 - y) * stride + x * bytes;
}

struct FormatCase {
    const char* file;
    int width, height, bits;                    // of the texture the image becomes
    std::function<Rgb(int sx, int sy)> source;  // the picture's pixel (x, y from its top)
    int source_width, source_height;
};

// The source pixel under the centre of texel t when a side of `source` pixels was stretched to `side` texels.
int source_of(int t, int source, int side) { return static_cast<int>(std::floor((t + 0.5) * source / side)); }

// The fixtures of tests/data/platform, made by make_images.py.
Rgb pattern(int x, int y) { return {x * 36, y * 60, 255 - x * 30}; }

TEST(BridgeTextures, EveryImageFormatRendersItsPixelsOnAFace) {
    const FormatCase cases[] = {
        {"pattern.bmp", 8, 8, 24, pattern, 7, 5},
        {"pattern.png", 8, 8, 24, pattern, 7, 5},
        {"pattern.tif", 8, 8, 24, pattern, 7, 5},
        {"halves.jpg", 32, 16, 24,
         [](int x, int) {
             return x < 16 ? Rgb{200, 40, 30} : Rgb{20, 90, 220};
         },
         32, 16},
        // Index 0 is transparent: those pixels come out magenta.
        {"palette.gif", 4, 4, 24,
         [](int, int y) {
             return y == 0 ? Rgb{255, 0, 0} : y == 1 ? Rgb{255, 0, 255} : Rgb{0, 0, 255};
         },
         4, 3},
        // Alpha x * 40: a translucent texture, blended over the background and then over itself once.
        {"alpha.png", 8, 8, 32,
         [](int x, int y) {
             const Rgb t = pattern(x, y);
             const double a = x * 40 / 255.0;
             auto blend = [&](int f, int bg) { return int(std::lround(a * f + (1 - a) * (a * f + (1 - a) * bg))); };
             return Rgb{blend(t.r, kBackground.r), blend(t.g, kBackground.g), blend(t.b, kBackground.b)};
         },
         7, 5},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.file);
        BridgeScene s(kN);
        CBusMDL& b = *s.bridge;
        const int id = b.LoadTexture(windows_path(kz::test::data_file(std::string("platform/") + c.file)).c_str(), 0);
        ASSERT_GE(id, 1);
        const _OfuBitmap image = texture_of(b, id);
        EXPECT_EQ(std::tuple(image.info_header.biWidth, image.info_header.biHeight, image.info_header.biBitCount),
                  std::tuple(c.width, c.height, c.bits));
        add_textured_square(b, id);
        const Frame frame = s.render();
        for (int ty = 0; ty < c.height; ++ty)
            for (int tx = 0; tx < c.width; ++tx) {
                // The jpeg's texels are too small on screen next to its seam; its flat halves say enough.
                if (c.width == 32 && (std::abs(tx - 15.5) < 6 || tx < 2 || tx > 29 || ty < 2 || ty > 13)) continue;
                const Rgb want =
                    c.source(source_of(tx, c.source_width, c.width), source_of(ty, c.source_height, c.height));
                const Rgb got = texel_on_screen(frame, s.camera(), tx, ty, c.width, c.height);
                ASSERT_TRUE(kz::test::all_near({got.r, got.g, got.b}, {want.r, want.g, want.b}, 12)) << tx << "," << ty;
            }
    }
}

TEST(BridgeTextures, ChangedFilesReloadAndAFailedReloadIsTriedAgain) {
    for (const char* kind : {"rgb", "rgba"}) {  // 24 and 32 bits: (200, 40, 30) in the a file, (20, 90, 220) in b
        SCOPED_TRACE(kind);
        BridgeScene s(kN);
        CBusMDL& b = *s.bridge;
        const int other = b.LoadTexture(windows_path(kz::test::data_file("platform/pattern.png")).c_str(), 0);
        const std::string native = kz::test::output_file(std::string("reload_") + kind + ".png");
        const std::string path = windows_path(native);
        auto put = [&](const char* which, int seconds) {
            const std::string from = kz::test::data_file(std::string("textures/") + kind + "_" + which + ".png");
            if (*which == 'x')
                std::ofstream(native, std::ios::binary | std::ios::trunc) << "\x89PNG broken";
            else
                std::filesystem::copy_file(from, native, std::filesystem::copy_options::overwrite_existing);
            std::filesystem::last_write_time(native, std::filesystem::file_time_type(std::chrono::seconds(seconds)));
        };
        auto red = [&](int id) {
            const _OfuBitmap image = texture_of(b, id);
            return int(texture_pixel(image, 1, 1)[2]);
        };
        put("a", 1000);
        const int id = b.LoadTexture(path.c_str(), 1);
        ASSERT_EQ(id, other + 1);
        EXPECT_EQ(red(id), 200);
        b.device_dirty = 0;
        EXPECT_EQ(b.LoadTexture(path.c_str(), 1), id);
        EXPECT_EQ(b.device_dirty, 0) << "an unchanged file was read again";
        put("b", 2000);
        EXPECT_EQ(b.LoadTexture(path.c_str(), 0), id);
        EXPECT_EQ(red(id), 200) << "reloaded without being asked";
        EXPECT_EQ(b.LoadTexture(path.c_str(), 1), id);
        EXPECT_EQ(std::tuple(red(id), b.device_dirty), std::tuple(20, 1));
        EXPECT_EQ(texture_of(b, id).info_header.biBitCount, std::string(kind) == "rgb" ? 24 : 32);
        const _OfuBitmap untouched = texture_of(b, other);
        EXPECT_EQ(texture_pixel(untouched, 0, 0)[0], 255) << "another texture changed";
        // Caught half-written, the reload fails; the next look reads the file again although its stamp is the
        // one the failed attempt saw.
        put("x", 3000);
        EXPECT_EQ(b.LoadTexture(path.c_str(), 1), id);
        EXPECT_EQ(red(id), 20);
        put("a", 3000);
        EXPECT_EQ(b.LoadTexture(path.c_str(), 1), id);
        EXPECT_EQ(red(id), 200);
    }
}

TEST(BridgeTextures, TableKeepsTheLastFoundFirstAndRemembersMissingFiles) {
    BridgeScene s(kN);
    CBusMDL& b = *s.bridge;
    for (const char* name : {"one", "two", "three"}) b.AddTextureName(name);
    EXPECT_EQ(b.LookupTexture("three"), 0);
    EXPECT_EQ((std::vector<std::string>{b.texture_names[0], b.texture_names[1], b.texture_names[2]}),
              (std::vector<std::string>{"three", "one", "two"}));
    EXPECT_EQ(b.LookupTexture("TWO"), -1);
    EXPECT_EQ(b.AddTextureName("two"), 0);
    EXPECT_EQ(b.texture_count, 3);

    const std::string missing = windows_path(kz::test::output_file("no_such_image.png"));
    EXPECT_EQ(b.LoadTexture(missing.c_str(), 1), 0);
    EXPECT_EQ(b.LookupTexture(missing.c_str()), 0);
    EXPECT_EQ(b.LoadResourceTexture("IDB_NONE", nullptr), -1);
    b.RemoveAllTextures();
    EXPECT_EQ(std::tuple(b.texture_count, b.modeller->GetTexCount()), std::tuple(0, 0));
}

// A picture cut short is a face without its picture, as a missing one is, and is named once however many faces ask.
TEST(BridgeTextures, ADamagedPictureIsNamedOnceAndGivesNoTexture) {
    BridgeScene s(kN);
    CBusMDL& b = *s.bridge;
    std::string whole;
    ASSERT_TRUE(kz::platform::read_whole_file(windows_path(kz::test::data_file("platform/pattern.png")), &whole));
    const std::string native = kz::test::output_file("cut_texture.png");
    std::ofstream(native, std::ios::binary) << whole.substr(0, whole.size() / 2);
    testing::internal::CaptureStderr();
    const int first = b.LoadTexture(windows_path(native).c_str(), 0);
    const int again = b.LoadTexture(windows_path(native).c_str(), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::tuple(first, again), std::tuple(0, 0));
    EXPECT_EQ(said, native + ": picture not read: the file is cut short\n");
}

// The host learns 1 or 0; the reason goes to standard error, and the file a failed write would have replaced stays.
TEST(BridgeTextures, FailedPictureWritesSayWhyAndKeepTheOldFile) {
    BridgeScene s(kN);
    CBusMDL& b = *s.bridge;
    const std::string native = kz::test::output_file("kept_picture");
    for (int png : {0, 1}) {
        SCOPED_TRACE(png ? "png" : "bmp");
        std::ofstream(native, std::ios::binary | std::ios::trunc) << "old";
        kz::crt::GlobalHandle dib = kz::platform::allocate_packed_dib(4, 4, 24);
        kz::platform::set_write_capacity_for_tests(10);
        testing::internal::CaptureStderr();
        const int written = png ? b.WritePngFile(windows_path(native).c_str(), dib, -1)
                                : b.WriteBmpFile(windows_path(native).c_str(), dib);
        const std::string said = testing::internal::GetCapturedStderr();
        kz::platform::set_write_capacity_for_tests(-1);
        if (png) kz::crt::global_free(dib);
        EXPECT_EQ(written, 0);
        EXPECT_EQ(said.rfind(native + ": picture not written: ", 0), 0u) << said;
        EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
        EXPECT_EQ(kz::test::count_of(said, "\n"), 1) << said;
        EXPECT_EQ(kz::test::read_all(native), "old");
    }
}

TEST(BridgeTextures, FrameWrittenAsBmpAndPngReadsBackAlikeInPillow) {
    BridgeScene s(kN);
    CBusMDL& b = *s.bridge;
    add_textured_square(b, b.LoadTexture(windows_path(kz::test::data_file("platform/pattern.png")).c_str(), 0));
    const Frame frame = s.render();
    auto frame_dib = [&] {
        kz::crt::GlobalHandle dib = kz::platform::allocate_packed_dib(kN, kN, 24);
        std::memcpy(static_cast<std::uint8_t*>(kz::crt::global_lock(dib)) + 40, frame.bytes.data(), frame.bytes.size());
        kz::crt::global_unlock(dib);
        return dib;
    };
    int background_pixels = 0;
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x) {
            const Rgb p = frame.at(x, y);
            background_pixels += p.r == kBackground.r && p.g == kBackground.g && p.b == kBackground.b;
        }
    ASSERT_GT(background_pixels, 0);
    ASSERT_LT(background_pixels, kN * kN);

    const std::string bmp = kz::test::output_file("frame.bmp"), png = kz::test::output_file("frame.png"),
                      keyed = kz::test::output_file("frame_keyed.png"), raw = kz::test::output_file("frame.raw");
    for (const std::string& f : {bmp, png, keyed}) std::remove(f.c_str());
    EXPECT_EQ(b.WriteBmpFile(windows_path(bmp).c_str(), frame_dib()), 1);
    kz::crt::GlobalHandle dib = frame_dib();
    EXPECT_EQ(b.WritePngFile(windows_path(png).c_str(), dib, -1), 1);
    EXPECT_EQ(b.WritePngFile(windows_path(keyed).c_str(), dib, 0xB20000), 1);  // the background's COLORREF
    kz::crt::global_free(dib);
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(frame.bytes.data()), static_cast<std::streamsize>(frame.bytes.size()));
    EXPECT_EQ(std::filesystem::file_size(bmp), 54u + frame.bytes.size());

    // Pillow's reading of both files against the frame itself (bottom-up BGR rows), and the keyed PNG's
    // transparent pixels against the frame's background pixels.
    const std::string script = kz::test::output_file("frame_check.py");
    std::ofstream(script)
        << "import sys\nfrom PIL import Image\n"
           "n = int(sys.argv[5])\nraw = open(sys.argv[4], 'rb').read()\nstride = (n * 3 + 3) // 4 * 4\n"
           "want = [(raw[(n-1-y)*stride+x*3+2], raw[(n-1-y)*stride+x*3+1], raw[(n-1-y)*stride+x*3])"
           " for y in range(n) for x in range(n)]\n"
           "bmp = Image.open(sys.argv[1]); png = Image.open(sys.argv[2])\n"
           "print(bmp.format, png.format, bmp.size == (n, n), png.size == (n, n))\n"
           "print(list(bmp.convert('RGB').getdata()) == want, list(png.convert('RGB').getdata()) == want)\n"
           "k = list(Image.open(sys.argv[3]).convert('RGBA').getdata())\n"
           "print(sum(1 for p in k if p[3] == 0), all(p[3] in (0, 255) for p in k))\n";
    const std::string out = kz::test::command_output("/usr/bin/python3 '" + script + "' '" + bmp + "' '" + png + "' '" +
                                                     keyed + "' '" + raw + "' " + std::to_string(kN));
    EXPECT_EQ(out, "BMP PNG True True\nTrue True\n" + std::to_string(background_pixels) + " True\n");
}

}  // namespace
}  // namespace kz::foundation::test
