// The movie recorders: equally sized DIB frames (for example frames read back with DrawTo24DIBPixel) into an AVI
// file. CO3duMathMovie lets the user choose an encoder in the compressor chooser; CO3duMathMovie_NoComp writes
// full frames. The file appears under its name only once the movie is completed (by End, or when the recorder
// goes); a failed movie leaves whatever was there before. These serve host programs of the library; the viewer
// itself records no movies.
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
    // A copy records into the same movie as its source. The movie is completed by End on any of them, or when the
    // last recorder holding it goes (or starts another movie or is assigned another); a copy that goes first
    // leaves the movie open for the rest.
    CO3duMovieRecorder(const CO3duMovieRecorder& other);
    CO3duMovieRecorder& operator=(const CO3duMovieRecorder& other);
    // Completes the movie, as End does, when no other recorder holds it.
    virtual ~CO3duMovieRecorder();

    // Begins a movie of frames like the first (1, 8, 16, 24 or 32 bits) at `rate` frames a second under the
    // stream name (kept whole); a movie still open is completed first unless a copy still holds it. 1 when
    // recording.
    int Start(_OfuBitmap& first_frame, const char* path, int rate, const char* name, int length);
    // 1 when the frame, of the first frame's size and bit count, was written.
    int Add(_OfuBitmap& frame);
    // Completes the file: 1 when it is in place, 0 when nothing was recording or the movie failed.
    int End();
    // 1 while the movie this recorder started (or was copied from) is open.
    int IsStart() const;

protected:
    // The encoder settings for a new movie; false cancels the start.
    virtual bool ChooseCompression(kz::platform::MovieCompression& compression) = 0;

private:
    struct Movie;  // the open file, shared by a recorder and its copies
    // Lets go of the movie: the last recorder holding it completes it.
    void Leave();

    BITMAPINFOHEADER header_;
    std::shared_ptr<Movie> movie_;
    std::size_t frame_bytes_ = 0;
};

class CO3duMathMovie : public CO3duMovieRecorder {
protected:
    bool ChooseCompression(kz::platform::MovieCompression& compression) override;
};

class CO3duMathMovie_NoComp : public CO3duMovieRecorder {
protected:
    bool ChooseCompression(kz::platform::MovieCompression& compression) override;
};
