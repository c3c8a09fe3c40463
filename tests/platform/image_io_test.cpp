// Image files into packed DIBs pixel by pixel, and DIBs out as BMP and PNG read back by Pillow.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/file_system.h"
#include "platform/gdi.h"
#include "platform/image_io.h"
#include "support/all_near.h"
#include "support/test_paths.h"

namespace kz::platform {
namespace {

std::string win(const std::string& native) { return from_native_path(native); }

struct Dib {
    crt::GlobalHandle h;
    explicit Dib(crt::GlobalHandle handle) : h(handle) {}
    ~Dib() {
        if (h) crt::global_free(h);
    }
    DibInfoHeader header() const {
        const DibInfoHeader hd = *static_cast<const DibInfoHeader*>(crt::global_lock(h));
        crt::global_unlock(h);
        return hd;
    }
    // (b, g, r, a) of picture pixel (x, y), y counted from the top.
    std::array<int, 4> at(int x, int y) const {
        const DibInfoHeader& hd = *static_cast<const DibInfoHeader*>(crt::global_lock(h));
        const auto* bits = reinterpret_cast<const std::uint8_t*>(&hd) + 40;
        const int bpp = hd.bit_count / 8;
        const std::uint8_t* p = bits + (hd.height - 1 - y) * dib_stride(hd.width, hd.bit_count) + x * bpp;
        std::array<int, 4> v{p[0], p[1], p[2], bpp == 4 ? p[3] : 255};
        crt::global_unlock(h);
        return v;
    }
};

std::array<int, 3> pattern(int x, int y) { return {255 - x * 30, y * 60, x * 36}; }  // b, g, r

TEST(ImageIo, EachFormatLoadsWithItsSizeAndPixels) {
    struct Case {
        const char* file;
        int bits;
        bool alpha;
    };
    const Case cases[] = {{"pattern.bmp", 24, false},
                          {"pattern.png", 24, false},
                          {"pattern.tif", 24, false},
                          {"alpha.png", 32, true},
                          {"alpha.tif", 32, true}};
    for (const Case& c : cases) {
        Dib dib(load_image_dib(win(test::data_file(std::string("platform/") + c.file))));
        ASSERT_TRUE(dib.h) << c.file;
        const DibInfoHeader hd = dib.header();
        EXPECT_EQ(std::tuple(hd.width, hd.height, hd.bit_count, hd.size_image),
                  std::tuple(7, 5, c.bits, static_cast<unsigned>(dib_stride(7, c.bits) * 5)))
            << c.file;
        EXPECT_EQ(crt::global_size(dib.h), 40 + hd.size_image);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const auto p = dib.at(x, y);
                const auto want = pattern(x, y);
                const int alpha = c.alpha ? x * 40 : 255;
                ASSERT_EQ(p[3], alpha) << c.file;
                // Qt's TIFF reader hands over premultiplied pixels: colour survives only to the alpha's precision.
                const bool tiff = std::string(c.file).ends_with(".tif");
                if (tiff && alpha == 0) continue;
                const int slack = tiff && alpha < 255 ? 255 / alpha + 1 : 0;
                for (int k = 0; k < 3; ++k) ASSERT_NEAR(p[k], want[k], slack) << c.file << " " << x << "," << y;
            }
    }
}

TEST(ImageIo, JpegUnderEitherExtensionSpelling) {
    for (const char* name : {"halves.jpg", "halves.jpeg"}) {  // the second exists only as "halves.JPEG"
        Dib dib(load_image_dib(win(test::data_file(std::string("platform/") + name))));
        ASSERT_TRUE(dib.h) << name;
        EXPECT_EQ(std::tuple(dib.header().width, dib.header().bit_count), std::tuple(32, 24));
        for (auto [x, want] :
             {std::pair{4, std::array<int, 3>{30, 40, 200}}, std::pair{27, std::array<int, 3>{220, 90, 20}}}) {
            const auto p = dib.at(x, 8);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], want[k], 4) << name << " x " << x;
        }
    }
}

TEST(ImageIo, PaletteGifBecomes24BitWithMagentaForTransparency) {
    Dib dib(load_image_dib(win(test::data_file("platform/palette.gif"))));
    ASSERT_TRUE(dib.h);
    EXPECT_EQ(dib.header().bit_count, 24);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(dib.at(x, 0), (std::array<int, 4>{0, 0, 255, 255}));    // red
        EXPECT_EQ(dib.at(x, 1), (std::array<int, 4>{255, 0, 255, 255}));  // transparent index: magenta
        EXPECT_EQ(dib.at(x, 2), (std::array<int, 4>{255, 0, 0, 255}));    // blue
    }
}

TEST(ImageIo, BadAndHostileInputIsRefused) {
    EXPECT_EQ(load_image_dib(win(test::data_file("platform/missing.png"))), nullptr);
    EXPECT_EQ(load_image_dib_from_memory("not an image", 12), nullptr);
    EXPECT_EQ(load_image_dib_from_memory(nullptr, 0), nullptr);
    // Every truncation of a real PNG: refused or decoded, never a crash (the sanitizers watch).
    std::string png;
    ASSERT_TRUE(read_whole_file(win(test::data_file("platform/pattern.png")), &png));
    for (std::size_t n = 0; n < png.size(); ++n)
        if (crt::GlobalHandle h = load_image_dib_from_memory(png.data(), n)) crt::global_free(h);
    // A PNG header claiming 16000 x 16000 pixels is refused before any pixel memory is taken.
    std::string huge = png;
    const unsigned char side[4] = {0x00, 0x00, 0x3E, 0x80};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    std::uint32_t crc = 0xFFFFFFFFu;  // CRC-32 of the IHDR chunk type and data, so only the size is wrong
    for (std::size_t i = 12; i < 29; ++i) {
        crc ^= static_cast<unsigned char>(huge[i]);
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    EXPECT_EQ(load_image_dib_from_memory(huge.data(), huge.size()), nullptr);
}

std::string from_hex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

void put16(std::string& s, std::size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

TEST(ImageIo, FewBytesNeverCostGigabytes) {
    // A 27-byte GIF declaring 26884 x 9080 pixels.
    const std::string gif27 = from_hex("474946383961046978230000002c0101007fddc91c78280048003b");
    // A GIF whose screen is 3072 x 0 (no pixels at all) while its one frame is 3072 x 65535.
    std::string gif_frame = from_hex(
        "4749463839610000000000000000"
        "2c00000000000000000000"
        "02020000"
        "3b");
    put16(gif_frame, 6, 3072);
    put16(gif_frame, 18, 3072);
    put16(gif_frame, 20, 65535);
    // A BMP header of 64 x 3,997,760 pixels with nothing behind it.
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
    bmp[18] = 64;
    const std::uint32_t tall = 3997760;
    std::memcpy(&bmp[22], &tall, 4);
    // A real PNG one pixel over 8192 on each side (a few kilobytes of one colour).
    const std::string over = test::output_file("over.png");
    const std::string make =
        "/usr/bin/python3 -c \"from PIL import Image; Image.new('1', (8193, 8193)).save('" + over + "')\"";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::string png;
    ASSERT_TRUE(read_whole_file(win(over), &png));
    for (const std::string* bytes : std::initializer_list<const std::string*>{&gif27, &gif_frame, &bmp, &png})
        EXPECT_EQ(load_image_dib_from_memory(bytes->data(), bytes->size()), nullptr) << bytes->size() << " bytes";
}

// Pictures whose header says less than they hold, under a caller's budget: a top-down BMP (negative height) is
// weighed by its absolute height before it is decoded and reads the right way up; an icon whose directory says
// 16 x 16 but holds a larger PNG is decoded within what the budget has left and weighed again before its DIB is made,
// and one Qt refuses for passing what is left is asked for as more than that.
TEST(ImageIo, ABudgetWeighsWhatThePictureHolds) {
    const std::string script = test::output_file("budget_pictures.py");
    std::ofstream(script) << R"(import io, struct, sys
from PIL import Image
def picture(size):
    im = Image.new('RGB', size, (0, 0, 255))
    im.paste((255, 0, 0), (0, 0, size[0], 1))
    return im
f = io.BytesIO()
picture((300, 200)).save(f, 'BMP')
b = bytearray(f.getvalue())
offset = struct.unpack_from('<I', b, 10)[0]
rows = [b[offset + i * 900:offset + (i + 1) * 900] for i in range(200)]
b[offset:] = b''.join(reversed(rows))
struct.pack_into('<i', b, 22, -200)
open(sys.argv[1] + '/topdown.bmp', 'wb').write(b)
for name, size in (('icon', (300, 200)), ('big_icon', (1200, 1200))):
    f = io.BytesIO()
    picture(size).save(f, 'PNG')
    png = f.getvalue()
    entry = struct.pack('<HHHBBBBHHII', 0, 1, 1, 16, 16, 0, 0, 1, 32, len(png), 22)
    open(sys.argv[1] + '/' + name + '.ico', 'wb').write(entry + png)
)";
    const std::string dir = test::output_dir();
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + script + "' '" + dir + "'").c_str()), 0);
    const std::uint64_t any = UINT64_MAX, room = 2 << 20;
    const struct {
        const char* file;
        std::uint64_t room;     // what the budget has left
        std::uint64_t allowed;  // the most bytes it takes at one ask
        std::vector<std::uint64_t> asked;
        int width, height;  // of the DIB (0: none)
    } cases[] = {
        {"topdown.bmp", any, any, {300 * 200 * 8}, 300, 200},
        {"topdown.bmp", any, 300 * 200 * 8 - 1, {300 * 200 * 8}, 0, 0},
        {"icon.ico", any, any, {16 * 16 * 8, 300 * 200 * 4}, 300, 200},
        {"icon.ico", any, 300 * 200 * 4 - 1, {16 * 16 * 8, 300 * 200 * 4}, 0, 0},
        {"big_icon.ico", room, any, {16 * 16 * 8, room + 1}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::uint64_t> asked;
        ImageBudget budget;
        budget.room = [&] { return c.room; };
        budget.may_take = [&](std::uint64_t bytes) {
            asked.push_back(bytes);
            return bytes <= c.allowed;
        };
        Dib dib(load_image_dib(win(dir + "/" + c.file), 0, budget));
        EXPECT_EQ(asked, c.asked);
        ASSERT_EQ(dib.h != nullptr, c.width > 0);
        if (!dib.h) continue;
        EXPECT_EQ(std::tuple(dib.header().width, dib.header().height), std::tuple(c.width, c.height));
        EXPECT_EQ(dib.at(10, 0), (std::array<int, 4>{0, 0, 255, 255}));    // the top row red
        EXPECT_EQ(dib.at(10, 199), (std::array<int, 4>{255, 0, 0, 255}));  // the rest blue
    }
}

TEST(ImageIo, WidePicturesDecodeScaledForTextures) {
    const std::string path = test::output_file("wide.jpg");
    const std::string command =
        "/usr/bin/python3 -c \"from PIL import Image; Image.new('RGB', (6000, 8), (200, 30, "
        "60)).save('" +
        path + "')\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (int fit : {0, 4096}) {
        Dib dib(load_image_dib(win(path), fit));
        ASSERT_TRUE(dib.h);
        EXPECT_EQ(std::tuple(dib.header().width, dib.header().height), std::tuple(fit ? 4096 : 6000, 8));
        const auto p = dib.at(100, 4);
        EXPECT_TRUE(kz::test::all_near({p[2], p[0]}, {200, 60}, 6));
    }
}

// Pillow's view of a written file: mode, size and every pixel as RGBA.
std::string pillow_dump(const std::string& path) {
    const std::string script = test::output_file("pillow_dump.py");
    std::ofstream(script) << "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                             "print(im.format, im.mode, im.size[0], im.size[1])\nim = im.convert('RGBA')\n"
                             "print(' '.join('%d,%d,%d,%d' % p for p in im.getdata()))\n";
    return test::command_output("/usr/bin/python3 '" + script + "' '" + path + "'");
}

crt::GlobalHandle sample_dib(int w, int h, int bits) {
    crt::GlobalHandle dib = allocate_packed_dib(w, h, bits);
    auto* bytes = static_cast<std::uint8_t*>(crt::global_lock(dib)) + 40;
    for (int y = 0; y < h; ++y)  // y from the top of the picture
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bytes + (h - 1 - y) * dib_stride(w, bits) + x * bits / 8;
            p[0] = static_cast<std::uint8_t>(x * 17 + y);
            p[1] = static_cast<std::uint8_t>(y * 41);
            p[2] = (x + y) % 3 == 0 ? 0 : static_cast<std::uint8_t>(250 - x * 9);
            if (x == 2 && y == 1) p[0] = p[1] = p[2] = 0;  // one black pixel for the transparent colour
            if (bits == 32) p[3] = 255;
        }
    crt::global_unlock(dib);
    return dib;
}

std::string expected_dump(crt::GlobalHandle dib, std::int64_t transparent, const char* head) {
    Dib d(dib);
    const DibInfoHeader hd = d.header();
    std::ostringstream s;
    s << head << " " << hd.width << " " << hd.height << "\n";
    for (int y = 0; y < hd.height; ++y)
        for (int x = 0; x < hd.width; ++x) {
            const auto p = d.at(x, y);
            const bool clear = transparent >= 0 && rgb(p[2], p[1], p[0]) == static_cast<ColorRef>(transparent);
            if (y || x) s << " ";
            if (clear)
                s << "255,255,255,0";
            else
                s << p[2] << "," << p[1] << "," << p[0] << ",255";
        }
    s << "\n";
    d.h = nullptr;
    return s.str();
}

TEST(ImageIo, WrittenPngAndBmpReadBackIdenticallyInPillow) {
    for (int bits : {24, 32})
        for (int w : {1, 5, 8}) {
            crt::GlobalHandle dib = sample_dib(w, 3, bits);
            const std::string stem = test::output_file("written_" + std::to_string(bits) + "_" + std::to_string(w));
            const std::string bmp = stem + ".bmp", png = stem + ".png";
            ASSERT_TRUE(save_dib_as_bmp(win(bmp), dib));
            ASSERT_TRUE(save_dib_as_png(win(png), dib, w == 5 ? 0 : -1));
            // BMP: 14-byte header, pixels at 54, file size = image + 54.
            std::string bytes;
            ASSERT_TRUE(read_whole_file(win(bmp), &bytes));
            EXPECT_EQ(bytes.size(), 54u + dib_stride(w, bits) * 3u);
            EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 54);
            EXPECT_EQ(pillow_dump(bmp), expected_dump(dib, -1, "BMP RGB")) << bits << " bits, width " << w;
            EXPECT_EQ(pillow_dump(png), expected_dump(dib, w == 5 ? 0 : -1, "PNG RGBA"))
                << bits << " bits, width " << w;
            crt::global_free(dib);
        }
}

TEST(ImageIo, RefusedDibWritesNothingAndKeepsTheOldFile) {
    const std::string path = test::output_file("kept.bmp");
    ASSERT_TRUE(write_whole_file(win(path), "old contents"));
    crt::GlobalHandle bad = crt::global_alloc(crt::kGlobalMoveable | crt::kGlobalZeroInit, 20);
    EXPECT_FALSE(save_dib_as_bmp(win(path), bad));
    EXPECT_FALSE(save_dib_as_png(win(path), bad));
    EXPECT_FALSE(save_dib_as_bmp(win(path), nullptr));
    std::string bytes;
    ASSERT_TRUE(read_whole_file(win(path), &bytes));
    EXPECT_EQ(bytes, "old contents");
    crt::global_free(bad);
}

// Pictures written by Pillow, each kind whole and cut short, with an empty file, a text and a folder named as
// pictures, read in an order that puts each damaged one among whole ones: Pillow's refusal is the judge of which
// are damaged, and each of those gets one line of ours, naming it, and nothing of the decoders' own.
TEST(ImageIo, DamagedPicturesAreNamedOnceWithTheirReason) {
    const std::string folder = test::output_file("damaged_pictures");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + "/folder.png");
    const std::string script = folder + "/make.py";
    std::ofstream(script) << "import os, sys, random\nfrom PIL import Image, ImageFile\n"
                             "ImageFile.LOAD_TRUNCATED_IMAGES = False\nd = sys.argv[1]\nrandom.seed(7)\n"
                             "im = Image.new('RGB', (61, 47))\n"
                             "im.putdata([tuple(random.randrange(256) for _ in range(3)) for _ in range(61 * 47)])\n"
                             "for ext, fmt in (('png', 'PNG'), ('jpg', 'JPEG'), ('gif', 'GIF'), ('bmp', 'BMP')):\n"
                             "    im.save(f'{d}/a_whole.{ext}', fmt)\n"
                             "    b = open(f'{d}/a_whole.{ext}', 'rb').read()\n"
                             "    open(f'{d}/b_cut.{ext}', 'wb').write(b[:len(b) * 3 // 5])\n"
                             "    open(f'{d}/c_whole.{ext}', 'wb').write(b)\n"
                             "open(f'{d}/b_empty.png', 'wb').close()\n"
                             "open(f'{d}/b_text.png', 'w').write('not a picture at all\\n' * 20)\n"
                             "for f in sorted(os.listdir(d)):\n"
                             "    if f == 'make.py': continue\n"
                             "    try:\n        Image.open(f'{d}/{f}').load(); print(f, 'whole')\n"
                             "    except Exception: print(f, 'damaged')\n";
    std::istringstream judged(test::command_output("/usr/bin/python3 '" + script + "' '" + folder + "'"));
    int damaged = 0, whole = 0;
    for (std::string file, verdict; judged >> file >> verdict;) {
        SCOPED_TRACE(file);
        const std::string path = folder + "/" + file;
        testing::internal::CaptureStderr();
        const crt::GlobalHandle dib = load_image_dib(win(path));
        const std::string said = testing::internal::GetCapturedStderr();
        if (dib) crt::global_free(dib);
        EXPECT_EQ(dib != nullptr, verdict == "whole") << said;
        if (verdict == "whole") {
            ++whole;
            EXPECT_EQ(said, "");
        } else {
            ++damaged;
            EXPECT_EQ(said.rfind(path + ": picture not read: ", 0), 0u) << said;
            EXPECT_EQ(test::count_of(said, "\n"), 1) << said;
        }
    }
    EXPECT_EQ(whole, 8);
    EXPECT_EQ(damaged, 7);
}

// Camera and other writers' files: a JPEG carrying an EXIF thumbnail (its own scan and end marker) cut inside the
// main picture's scan is cut short, whatever the thumbnail holds; one without its end marker, and a PNG whose
// ancillary chunk has a wrong checksum, are the whole picture, pixel for pixel; a critical chunk's wrong checksum
// is still damage; what the decoder says of a picture it read whole is passed on.
TEST(ImageIo, WhatThePictureNeedsDecidesNotWhatSurroundsIt) {
    const std::string folder = test::output_file("writers_pictures");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string script = folder + "/make.py";
    std::ofstream(script) << "import io, struct, sys, zlib, random\nfrom PIL import Image\nd = sys.argv[1]\n"
                             "random.seed(5)\nim = Image.new('RGB', (64, 48))\n"
                             "im.putdata([tuple(random.randrange(256) for _ in range(3)) for _ in range(64 * 48)])\n"
                             "def saved(img, fmt):\n    b = io.BytesIO(); img.save(b, fmt); return b.getvalue()\n"
                             "def put(name, b): open(f'{d}/{name}', 'wb').write(b)\n"
                             "j, p = saved(im, 'JPEG'), saved(im, 'PNG')\n"
                             "exif = b'Exif\\0\\0II*\\0' + saved(im.resize((8, 8)), 'JPEG')\n"
                             "camera = j[:2] + b'\\xff\\xe1' + struct.pack('>H', len(exif) + 2) + exif + j[2:]\n"
                             "put('whole.jpg', j); put('camera.jpg', camera); put('no_end.jpg', j[:-2])\n"
                             "put('camera_cut.jpg', camera[:len(camera) - len(j) * 2 // 5])\n"
                             "put('extra.jpg', j[:-2] + b'\\0\\0\\0' + j[-2:])\n"
                             "text = b'tEXtComment\\0hello'\n"
                             "chunk = struct.pack('>I', 13) + text + struct.pack('>I', zlib.crc32(text) ^ 1)\n"
                             "put('whole.png', p); put('bad_text.png', p[:33] + chunk + p[33:])\n"
                             "at = p.index(b'IDAT') - 4; n = struct.unpack('>I', p[at:at + 4])[0] + 8\n"
                             "put('bad_data.png', p[:at + n] + bytes([p[at + n] ^ 1]) + p[at + n + 1:])\n";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + script + "' '" + folder + "'").c_str()), 0);
    struct Read {
        Dib dib;
        std::string said;
    };
    auto read = [&](const std::string& file) {
        testing::internal::CaptureStderr();
        const crt::GlobalHandle dib = load_image_dib(win(folder + "/" + file));
        return Read{Dib(dib), testing::internal::GetCapturedStderr()};
    };
    auto same_picture = [&](const Read& r, const Read& whole) {
        ASSERT_TRUE(r.dib.h) << r.said;
        ASSERT_EQ(r.dib.header().width, whole.dib.header().width);
        ASSERT_EQ(r.dib.header().height, whole.dib.header().height);
        for (int y = 0; y < 48; y += 7)
            for (int x = 0; x < 64; x += 5) EXPECT_EQ(r.dib.at(x, y), whole.dib.at(x, y)) << x << "," << y;
    };
    const Read jpeg = read("whole.jpg"), png = read("whole.png");
    for (const char* file : {"camera.jpg", "no_end.jpg"}) {
        SCOPED_TRACE(file);
        const Read r = read(file);
        same_picture(r, jpeg);
        EXPECT_EQ(r.said, "");
    }
    const Read text = read("bad_text.png");
    same_picture(text, png);
    const Read extra = read("extra.jpg");
    same_picture(extra, jpeg);
    EXPECT_NE(extra.said.find("extraneous bytes"), std::string::npos) << extra.said;
    for (const char* file : {"camera_cut.jpg", "bad_data.png"}) {
        const Read r = read(file);
        EXPECT_FALSE(r.dib.h) << file;
        EXPECT_EQ(r.said.rfind(folder + "/" + file + ": picture not read: ", 0), 0u) << r.said;
        EXPECT_EQ(test::count_of(r.said, "\n"), 1) << r.said;
    }
    EXPECT_NE(read("camera_cut.jpg").said.find("the file is cut short"), std::string::npos);
}

// A write that fails says why, and the file it would have replaced stays whole, on both roads.
TEST(ImageIo, FailedWritesGiveTheirReasonAndKeepTheOldFile) {
    const std::string path = test::output_file("full_disk.pic");
    crt::GlobalHandle dib = sample_dib(5, 3, 24);
    for (int png : {0, 1}) {
        SCOPED_TRACE(png ? "png" : "bmp");
        ASSERT_TRUE(write_whole_file(win(path), "old contents"));
        set_write_capacity_for_tests(10);
        std::string why;
        EXPECT_FALSE(png ? save_dib_as_png(win(path), dib, -1, &why) : save_dib_as_bmp(win(path), dib, &why));
        set_write_capacity_for_tests(-1);
        EXPECT_NE(why.find("No space left on device"), std::string::npos) << why;
        std::string bytes;
        ASSERT_TRUE(read_whole_file(win(path), &bytes));
        EXPECT_EQ(bytes, "old contents");
    }
    crt::global_free(dib);
}

}  // namespace
}  // namespace kz::platform
