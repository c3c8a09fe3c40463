// The movie recorders: equally sized DIB frames (for example frames read back with DrawTo24DIBPixel) into an AVI
// file. CO3duMathMovie lets the user choose an encoder in the compressor chooser; CO3duMathMovie_NoComp writes
// full frames. The file appears under its name only once End has completed it; a failed movie leaves whatever
// was there before. These serve host programs of the library; the viewer itself records no movies.
#pragma once
#include <cstddef>
#include <memory>

#include "modeller/texture_image.h"

namespace kz::platform {
class MovieWriter;
struct MovieCompression;
}  // namespace kz::platform

class CO3duMovieRecorder {
public:
    CO3duMovieRecorder();
    CO3duMovieRecorder(const CO3duMovieRecorder&) = delete;  // one recorder, one file
    CO3duMovieRecorder& operator=(const CO3duMovieRecorder&) = delete;
    virtual ~CO3duMovieRecorder();

    // Begins a movie of frames like the first (1, 8, 16, 24 or 32 bits) at `rate` frames a second under the
    // stream name (kept whole); a movie still open is completed first. 1 when recording.
    int Start(_OfuBitmap& first_frame, const char* path, int rate, const char* name, int length);
    // 1 when the frame, of the first frame's size and bit count, was written.
    int Add(_OfuBitmap& frame);
    // Completes the file: 1 when it is in place, 0 when nothing was recording or the movie failed.
    int End();
    int IsStart() const { return started_; }

protected:
    // The encoder settings for a new movie; false cancels the start.
    virtual bool ChooseCompression(kz::platform::MovieCompression& compression) = 0;

private:
    BITMAPINFOHEADER header_;
    std::unique_ptr<kz::platform::MovieWriter> writer_;
    std::size_t frame_bytes_ = 0;
    int frame_counter_ = 0;
    int started_ = 0;
    bool failed_ = false;
};

class CO3duMathMovie : public CO3duMovieRecorder {
protected:
    bool ChooseCompression(kz::platform::MovieCompression& compression) override;
};

class CO3duMathMovie_NoComp : public CO3duMovieRecorder {
protected:
    bool ChooseCompression(kz::platform::MovieCompression& compression) override;
};
