// The movie recorders over the platform's movie writer. Problems are told in one line each (standard error unless
// the host program takes the lines) and by the results.
#include "modeller/files/o3du_math_movie.h"

#include <string>

#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/movie_writer.h"
#include "platform/report.h"

struct CO3duMovieRecorder::Movie {
    std::unique_ptr<kz::platform::MovieWriter> writer;
    int frames = 0;
    bool failed = false;
    bool ended = false;
};

CO3duMovieRecorder::CO3duMovieRecorder() = default;
CO3duMovieRecorder::CO3duMovieRecorder(const CO3duMovieRecorder& other) = default;

CO3duMovieRecorder& CO3duMovieRecorder::operator=(const CO3duMovieRecorder& other) {
    if (this == &other) return *this;
    if (movie_ != other.movie_) Leave();
    header_ = other.header_;
    movie_ = other.movie_;
    frame_bytes_ = other.frame_bytes_;
    return *this;
}

// A host that forgets End still gets a playable movie of the frames it added.
CO3duMovieRecorder::~CO3duMovieRecorder() { Leave(); }

void CO3duMovieRecorder::Leave() {
    if (movie_ && movie_.use_count() == 1) End();
    movie_.reset();
}

int CO3duMovieRecorder::IsStart() const { return movie_ && !movie_->ended ? 1 : 0; }

int CO3duMovieRecorder::Start(_OfuBitmap& first, const char* path, int rate, const char* name, int /*length*/) {
    Leave();
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
    auto movie = std::make_shared<Movie>();
    movie->writer = kz::platform::MovieWriter::create(path, format, rate, name ? name : "", compression, &error);
    if (!movie->writer) {
        kz::platform::report_line("movie " + kz::platform::display_name(path) + ": " + error);
        return 0;
    }
    header_ = first.info_header;
    frame_bytes_ = kz::platform::movie_frame_bytes(format);
    movie_ = std::move(movie);
    return 1;
}

int CO3duMovieRecorder::Add(_OfuBitmap& frame) {
    if (!IsStart() || movie_->failed) return 0;
    const BITMAPINFOHEADER& h = frame.info_header;
    if (h.biWidth != header_.biWidth || h.biHeight != header_.biHeight || h.biBitCount != header_.biBitCount) return 0;
    const std::size_t size = static_cast<std::size_t>(frame.pixels.GetSize());
    if (size < frame_bytes_) return 0;
    if (!movie_->writer->add_frame(frame.pixels.GetData(), size)) {
        // A whole frame that could not be written loses the movie.
        movie_->failed = true;
        char frame[24];
        kz::crt::c_int_to_text(movie_->frames, frame);
        kz::platform::report_line(std::string("movie: frame ") + frame + " could not be written; the movie is dropped");
        return 0;
    }
    ++movie_->frames;
    return 1;
}

int CO3duMovieRecorder::End() {
    if (!IsStart()) return 0;
    Movie& movie = *movie_;
    movie.ended = true;
    const bool done = !movie.failed && movie.writer->finish();
    if (!done && !movie.failed) kz::platform::report_line("movie: the file could not be completed");
    movie.writer.reset();
    movie_.reset();
    return done ? 1 : 0;
}

bool CO3duMathMovie::ChooseCompression(kz::platform::MovieCompression& compression) {
    return kz::platform::choose_movie_compression(nullptr, &compression);
}

bool CO3duMathMovie_NoComp::ChooseCompression(kz::platform::MovieCompression& compression) {
    compression = kz::platform::MovieCompression{};
    return true;
}
