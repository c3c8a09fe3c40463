// Adding 1280 x 720 frames to a movie, uncompressed and with the MJPEG and MPEG-4 encoders, against the ffmpeg
// command line encoding the same frames from a raw file into the same kind of AVI file (its process start and
// file reading included, as a host program would pay them too).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "modeller/files/o3du_math_movie.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720, kFrames = 30;

// A frame with enough detail that the encoders have work: bands and a diagonal ramp, shifted per frame.
_OfuBitmap frame(int shift) {
    _OfuBitmap image;
    image.info_header.biWidth = kWidth;
    image.info_header.biHeight = kHeight;
    PrepareDibBuffers(image.pixels, image.palette, image.file_header, image.info_header);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = image.pixels.GetData() + (y * kWidth + x) * 3;
            p[0] = static_cast<std::uint8_t>((x + y + shift) / 4);
            p[1] = static_cast<std::uint8_t>(((x / 40 + y / 40 + shift) % 2) * 200);
            p[2] = static_cast<std::uint8_t>(y * 255 / kHeight);
        }
    return image;
}

std::string native(const char* name) { return kz::platform::to_native_path(kz::platform::temp_path() + name); }

void record(benchmark::State& state, const char* encoder) {
    std::vector<_OfuBitmap> frames;
    for (int i = 0; i < kFrames; ++i) frames.push_back(frame(i * 8));
    kz::platform::DialogTestAnswers answers;
    answers.compressor = encoder ? encoder : "";
    kz::platform::set_dialog_test_mode(true, answers);
    CO3duMathMovie chosen;
    CO3duMathMovie_NoComp plain;
    CO3duMovieRecorder& recorder = encoder ? static_cast<CO3duMovieRecorder&>(chosen) : plain;
    const std::string path = native("bench_movie.avi");
    for (auto _ : state) {
        recorder.Start(frames[0], path.c_str(), 30, "bench", kFrames);
        for (_OfuBitmap& f : frames) recorder.Add(f);
        recorder.End();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}

void ffmpeg_command(benchmark::State& state, const char* codec) {
    const std::string raw = native("bench_frames.raw"), out = native("bench_ffmpeg.avi");
    {
        std::string bytes;
        for (int i = 0; i < kFrames; ++i) {
            const _OfuBitmap f = frame(i * 8);
            bytes.append(reinterpret_cast<const char*>(f.pixels.GetData()), std::size_t(f.pixels.GetSize()));
        }
        kz::platform::write_whole_file(kz::platform::temp_path() + "bench_frames.raw", bytes);
    }
    const std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt bgr24 -s 1280x720 -r 30 -i '" + raw +
                                "' -vf vflip " + codec + " '" + out + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kFrames);
}

void BM_RecorderUncompressed(benchmark::State& state) { record(state, nullptr); }
void BM_RecorderMjpeg(benchmark::State& state) { record(state, "mjpeg"); }
void BM_RecorderMpeg4(benchmark::State& state) { record(state, "mpeg4"); }
void BM_FfmpegUncompressed(benchmark::State& state) { ffmpeg_command(state, "-c:v rawvideo -pix_fmt bgr24"); }
void BM_FfmpegMjpeg(benchmark::State& state) { ffmpeg_command(state, "-c:v mjpeg -pix_fmt yuvj420p -q:v 5"); }
void BM_FfmpegMpeg4(benchmark::State& state) { ffmpeg_command(state, "-c:v mpeg4 -q:v 5"); }

}  // namespace

BENCHMARK(BM_RecorderUncompressed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegUncompressed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecorderMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecorderMpeg4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegMpeg4)->Unit(benchmark::kMillisecond)->UseRealTime();
