// Stands in for the system's AVI file and video compression services: writes equally sized DIB frames into an
// AVI file through FFmpeg's libraries, uncompressed or with one of the encoders this machine has. The movie goes
// to a temporary file beside the target and replaces it only when finished whole; a failed or abandoned movie
// leaves the target as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace kz::platform {

// The encoder name that writes frames as they are (full frames, uncompressed).
inline constexpr const char* kUncompressedEncoder = "rawvideo";

struct MovieEncoder {
    std::string name;         // FFmpeg's encoder name
    std::string description;  // for the chooser, UTF-8
};
// The encoders that can write into AVI files here, full frames first; MJPEG and MPEG-4 Part 2 are among them.
std::vector<MovieEncoder> movie_encoders();

struct MovieCompression {
    std::string encoder = kUncompressedEncoder;
    int quality = -1;          // 0 (smallest) .. 10000 (best); -1: a high default
    int key_frame_every = 0;   // 0: the encoder's own spacing
    int bytes_per_second = 0;  // above 0: aim at this data rate instead of a quality
};

// A frame as a DIB holds it: rows bottom-up and padded to 4 bytes; 1, 8, 16 (5-5-5), 24 or 32 bits per pixel;
// for 1 and 8 bits a palette of RGBQUAD entries (blue in the low byte).
struct MovieFrameFormat {
    int width = 0;
    int height = 0;
    int bits_per_pixel = 24;
    std::vector<std::uint32_t> palette;
};
// The bytes one frame of the format holds; 0 for a format no movie can take.
std::size_t movie_frame_bytes(const MovieFrameFormat& format);

class MovieWriter {
public:
    // Null, with the reason in `error`, when the format, rate or encoder cannot be used or no temporary file can
    // be made beside the target. The stream name is stored whole.
    static std::unique_ptr<MovieWriter> create(std::string_view windows_path, const MovieFrameFormat& format,
                                               int frames_per_second, std::string_view stream_name,
                                               const MovieCompression& compression, std::string* error);
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Encodes one frame of the format given at creation; false when it is too short or cannot be written (the
    // movie is then lost: finish() fails).
    bool add_frame(const std::uint8_t* rows, std::size_t size);
    // Ends the movie and puts it in place of the target; false (target untouched) after any failure.
    bool finish();
    int frames() const;

    struct Impl;

private:
    explicit MovieWriter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The compressor chooser: a dialog listing movie_encoders() with quality, key-frame spacing and data rate. False
// when cancelled. In the dialogs' test mode (dialogs.h) it answers at once with the prepared encoder name (empty
// means cancelled) and logs "choose_compressor".
bool choose_movie_compression(WindowHandle owner, MovieCompression* compression);

}  // namespace kz::platform
