// The movie recorders: 30 rendered frames recorded uncompressed and through the compressor chooser, checked by
// FFmpeg's own tools (frame count, size, rate, stream name) and decoded back against the rendered frame, the
// right way up. A recorder restarted mid-movie completes the first file; a movie that cannot be written leaves
// the target as it was. A recorder destroyed without End completes its movie, of frames of any depth, unless a
// copy of it still records.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "modeller/files/o3du_math_movie.h"
#include "platform/dialogs.h"
#include "platform/movie_writer.h"
#include "support/test_paths.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

// Odd sizes on purpose: rows are padded to 4 bytes in the frames and not in the decoder's output.
constexpr int kWidth = 62, kHeight = 46;

// A dark box in the upper left of a yellow frame, so a frame upside down or mirrored cannot pass.
_OfuBitmap rendered_frame(Frame* frame) {
    HeadlessScene s(kWidth, kHeight);
    s.modeller->SetBkColor({0.9f, 0.8f, 0.1f, 1});
    CO3duPrimitive box = make_box({-25, -1, 5}, {-5, 1, 20}, make_material({0, 0, 0, 1}, {0, 0, 0, 1}));
    s.modeller->AddPrimitive(box);
    *frame = s.render();
    _OfuBitmap image = blank_image(kWidth, kHeight, 24);
    std::memcpy(image.pixels.GetData(), frame->bytes.data(), frame->bytes.size());
    return image;
}

int record(CO3duMovieRecorder& recorder, const std::string& path, _OfuBitmap& frame, int frames) {
    if (!recorder.Start(frame, path.c_str(), 15, "kz walk-through", frames)) return 0;
    int added = 0;
    for (int i = 0; i < frames; ++i) added += recorder.Add(frame);
    return recorder.End() ? added : -1;
}

struct MovieCase {
    const char* compressor;  // empty: the uncompressed recorder
    const char* codec;
    int tolerance;  // mean difference per channel of the decoded frame
};

TEST(MovieRecorder, ThirtyFramesPassFfprobeAndDecodeUpright) {
    std::string offered;  // the chooser's list
    for (const kz::platform::MovieEncoder& e : kz::platform::movie_encoders()) offered += e.name + " ";
    EXPECT_EQ(offered.rfind("rawvideo mjpeg mpeg4 ", 0), 0u) << offered;
    Frame frame;
    _OfuBitmap image = rendered_frame(&frame);
    ASSERT_LT(frame.at(18, 34).r, 40) << "the box is in the upper left";
    for (const MovieCase& c :
         {MovieCase{"", "rawvideo", 0}, MovieCase{"mjpeg", "mjpeg", 6}, MovieCase{"mpeg4", "mpeg4", 6}}) {
        SCOPED_TRACE(c.codec);
        const std::string path = output_file(std::string("movie_") + c.codec + ".avi");
        std::remove(path.c_str());
        CO3duMathMovie_NoComp plain;
        CO3duMathMovie chosen;
        kz::platform::DialogTestAnswers answers;
        answers.compressor = c.compressor;
        kz::platform::set_dialog_test_mode(true, answers);
        const bool compressed = *c.compressor != 0;
        EXPECT_EQ(record(compressed ? static_cast<CO3duMovieRecorder&>(chosen) : plain, path, image, 30), 30);
        EXPECT_EQ(kz::platform::take_dialog_test_log().size(), compressed ? 1u : 0u);
        kz::platform::set_dialog_test_mode(false);

        const std::string probe = command_output(
            "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
            "stream=codec_name,width,height,r_frame_rate,nb_read_frames:stream_tags=title "
            "-of default=noprint_wrappers=1 '" +
            path + "'");
        EXPECT_NE(probe.find(std::string("codec_name=") + c.codec), std::string::npos) << probe;
        EXPECT_NE(probe.find("width=62\nheight=46"), std::string::npos) << probe;
        EXPECT_NE(probe.find("r_frame_rate=15/1"), std::string::npos) << probe;
        EXPECT_NE(probe.find("nb_read_frames=30"), std::string::npos) << probe;
        EXPECT_NE(probe.find("TAG:title=kz walk-through"), std::string::npos) << probe;

        const std::string decoded =
            command_output("ffmpeg -v error -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt bgr24 -");
        ASSERT_EQ(decoded.size(), std::size_t(kWidth * kHeight * 3));
        long difference = 0;
        for (int y = 0; y < kHeight; ++y)  // decoded rows run from the top, the frame's from the bottom
            for (int x = 0; x < kWidth * 3; ++x)
                difference += std::abs(int(static_cast<std::uint8_t>(decoded[std::size_t(y * kWidth * 3 + x)])) -
                                       frame.bytes[std::size_t((kHeight - 1 - y) * frame.stride() + x)]);
        EXPECT_LE(difference / (kWidth * kHeight * 3), c.tolerance);
        EXPECT_EQ(c.tolerance == 0, difference == 0);
    }
}

TEST(MovieRecorder, RestartCompletesTheOpenFileAndFailuresLeaveTheTarget) {
    Frame frame;
    _OfuBitmap image = rendered_frame(&frame);
    CO3duMathMovie_NoComp recorder;
    const std::string first = output_file("movie_first.avi"), second = output_file("movie_second.avi");
    std::remove(first.c_str());
    ASSERT_EQ(recorder.Start(image, first.c_str(), 10, "a", 0), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(recorder.Add(image), 1);
    ASSERT_EQ(recorder.Start(image, second.c_str(), 10, "b", 0), 1);
    EXPECT_NE(command_output("ffprobe -v error -count_frames -show_entries stream=nb_read_frames '" + first + "'")
                  .find("nb_read_frames=3"),
              std::string::npos);
    _OfuBitmap smaller = blank_image(8, 8, 24);
    EXPECT_EQ(recorder.Add(smaller), 0) << "frames must match the first";
    EXPECT_EQ(recorder.End(), 1);
    EXPECT_EQ(recorder.Add(image), 0) << "not recording";

    // A disk that fills up mid-movie: the movie fails and the file that was there stays as it was.
    const std::string target = output_file("movie_kept.avi");
    std::ofstream(target) << "earlier";
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &small);
    const int added = record(recorder, target, image, 30);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(added, -1);
    EXPECT_EQ(read_all(target), "earlier");

    // Cancelling the chooser starts nothing; a folder that does not exist neither.
    CO3duMathMovie chosen;
    kz::platform::DialogTestAnswers cancel;
    cancel.compressor = "";
    kz::platform::set_dialog_test_mode(true, cancel);
    EXPECT_EQ(chosen.Start(image, output_file("movie_cancelled.avi").c_str(), 10, "", 0), 0);
    kz::platform::set_dialog_test_mode(false);
    EXPECT_EQ(chosen.IsStart(), 0);
    EXPECT_EQ(recorder.Start(image, output_file("none/x.avi").c_str(), 10, "", 0), 0);
}

// Four quadrants of 21 x 10 pixels (rows padded in every depth), left and right, top and bottom; in 1 bit the
// two colours alternate by quadrant. Colours hold only full and empty channels, which 5 bits hold exactly too.
constexpr int kSmallWidth = 21, kSmallHeight = 10;
constexpr std::uint8_t kQuadrantBgr[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

int quadrant(int x, int top_row) { return (x >= kSmallWidth / 2 ? 1 : 0) + (top_row < kSmallHeight / 2 ? 2 : 0); }
int colour_of(int bits, int q) { return bits == 1 ? (q == 1 || q == 2 ? 2 : 0) : q; }

_OfuBitmap quadrant_frame(int bits) {
    _OfuBitmap image;
    image.info_header.biWidth = kSmallWidth;
    image.info_header.biHeight = kSmallHeight;
    image.info_header.biBitCount = std::uint16_t(bits);
    const int row_bytes = int(bitmap_row_bytes(kSmallWidth, bits));
    image.pixels.SetSize(row_bytes * kSmallHeight);
    if (bits <= 8) {
        image.palette.SetSize(bits == 1 ? 2 : 4);
        for (int i = 0; i < image.palette.GetSize(); ++i) {
            const std::uint8_t* c = kQuadrantBgr[bits == 1 ? 2 * i : i];
            image.palette[i] = c[0] | (c[1] << 8) | (c[2] << 16);
        }
    }
    for (int y = 0; y < kSmallHeight; ++y) {  // y counts rows from the bottom, as stored
        std::uint8_t* row = image.pixels.GetData() + y * row_bytes;
        for (int x = 0; x < kSmallWidth; ++x) {
            const int c = colour_of(bits, quadrant(x, kSmallHeight - 1 - y));
            const std::uint8_t* bgr = kQuadrantBgr[c];
            switch (bits) {
            case 1: row[x / 8] |= std::uint8_t((c ? 1 : 0) << (7 - x % 8)); break;
            case 8: row[x] = std::uint8_t(c); break;
            case 16: {
                const int v = (bgr[0] >> 3) | ((bgr[1] >> 3) << 5) | ((bgr[2] >> 3) << 10);
                row[2 * x] = std::uint8_t(v & 0xFF);
                row[2 * x + 1] = std::uint8_t(v >> 8);
                break;
            }
            default:
                std::memcpy(row + x * (bits / 8), bgr, 3);
                if (bits == 32) row[x * 4 + 3] = 255;
            }
        }
    }
    return image;
}

TEST(MovieRecorder, DestroyedWithoutEndEveryDepthMakesAPlayableMovie) {
    for (int bits : {1, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const std::string path = output_file("movie_unended_" + std::to_string(bits) + ".avi");
        std::remove(path.c_str());
        _OfuBitmap frame = quadrant_frame(bits), other_depth = quadrant_frame(bits == 24 ? 32 : 24);
        {
            CO3duMathMovie_NoComp recorder;
            ASSERT_EQ(recorder.Start(frame, path.c_str(), 5, "q", 0), 1);
            EXPECT_EQ(recorder.Add(frame), 1);
            {
                CO3duMathMovie_NoComp copy(recorder), assigned;
                assigned = copy;
                EXPECT_EQ(copy.IsStart() + assigned.IsStart(), 2);
            }
            EXPECT_EQ(recorder.IsStart(), 1) << "copies that went first leave the movie open";
            EXPECT_EQ(recorder.Add(frame), 1);
            EXPECT_EQ(recorder.Add(other_depth), 0) << "a frame of another bit count is not written";
            EXPECT_EQ(recorder.Add(frame), 1);
        }
        const std::string probe = command_output(
            "ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
            "-of default=noprint_wrappers=1 '" +
            path + "'");
        EXPECT_EQ(probe, "width=21\nheight=10\nnb_read_frames=3\n");
        const std::string decoded = command_output("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -");
        ASSERT_EQ(decoded.size(), std::size_t(3 * kSmallWidth * kSmallHeight * 3));
        int wrong = 0;
        for (int f = 0; f < 3; ++f)
            for (int y = 0; y < kSmallHeight; ++y)  // decoded rows run from the top
                for (int x = 0; x < kSmallWidth; ++x)
                    wrong += std::memcmp(&decoded[std::size_t(((f * kSmallHeight + y) * kSmallWidth + x) * 3)],
                                         kQuadrantBgr[colour_of(bits, quadrant(x, y))], 3) != 0;
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace kz::test
