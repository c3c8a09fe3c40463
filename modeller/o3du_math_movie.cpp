// The movie recorders over the platform's movie writer. Problems are reported on stderr and by the results.
#include "modeller/o3du_math_movie.h"

#include <cstdio>
#include <string>

#include "platform/movie_writer.h"

CO3duMovieRecorder::CO3duMovieRecorder() = default;
CO3duMovieRecorder::~CO3duMovieRecorder() = default;  // an unfinished movie is dropped, the target untouched

int CO3duMovieRecorder::Start(_OfuBitmap& first, const char* path, int rate, const char* name, int /*length*/) {
    if (started_) End();
    if (!path || !*path) return 0;
    kz::platform::MovieFrameFormat format;
    format.width = first.info_header.biWidth;
    format.height = first.info_header.biHeight;
    format.bits_per_pixel = first.info_header.biBitCount;
    if (format.bits_per_pixel <= 8)
        for (int i = 0; i < first.palette.GetSize(); ++i) format.palette.push_back(first.palette[i]);
    if (kz::platform::movie_frame_bytes(format) == 0) return 0;
    kz::platform::MovieCompression compression;
    if (!ChooseCompression(compression)) return 0;
    std::string error;
    writer_ = kz::platform::MovieWriter::create(path, format, rate, name ? name : "", compression, &error);
    if (!writer_) {
        std::fprintf(stderr, "movie %s: %s\n", path, error.c_str());
        return 0;
    }
    header_ = first.info_header;
    frame_bytes_ = kz::platform::movie_frame_bytes(format);
    frame_counter_ = 0;
    failed_ = false;
    started_ = 1;
    return 1;
}

int CO3duMovieRecorder::Add(_OfuBitmap& frame) {
    if (!started_ || failed_) return 0;
    const BITMAPINFOHEADER& h = frame.info_header;
    if (h.biWidth != header_.biWidth || h.biHeight != header_.biHeight || h.biBitCount != header_.biBitCount) return 0;
    const std::size_t size = static_cast<std::size_t>(frame.pixels.GetSize());
    if (size < frame_bytes_) return 0;
    if (!writer_->add_frame(frame.pixels.GetData(), size)) {
        // A whole frame that could not be written loses the movie.
        failed_ = true;
        std::fprintf(stderr, "movie: frame %d could not be written; the movie is dropped\n", frame_counter_);
        return 0;
    }
    ++frame_counter_;
    return 1;
}

int CO3duMovieRecorder::End() {
    if (!started_) return 0;
    started_ = 0;
    const bool done = !failed_ && writer_->finish();
    if (!done && !failed_) std::fprintf(stderr, "movie: the file could not be completed\n");
    writer_.reset();
    return done ? 1 : 0;
}

bool CO3duMathMovie::ChooseCompression(kz::platform::MovieCompression& compression) {
    return kz::platform::choose_movie_compression(nullptr, &compression);
}

bool CO3duMathMovie_NoComp::ChooseCompression(kz::platform::MovieCompression& compression) {
    compression = kz::platform::MovieCompression{};
    return true;
}
