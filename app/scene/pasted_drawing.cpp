// Opening, reading and measuring the drawings pasted on faces.
// TEMPORARY: the drawing file readers have not landed; until they do, no file reads and a face whose paste entry
// names a drawing is built as a plain face. read_drawing_file and drawing_units are completed with the readers.
#include "app/scene/pasted_drawing.h"

namespace kz::scene {

using namespace kz::drawing2d;

OpenedDrawing::OpenedDrawing() : handle_(zolt_open()) {
    if (handle_) context_ = zolt_lock(handle_);
}

OpenedDrawing::~OpenedDrawing() {
    if (!handle_) return;
    if (context_) zolt_unlock(handle_);
    zolt_close(handle_);
}

int read_drawing_file(drawing_context*, const char*, int) { return 0; }

DrawingUnits drawing_units(const drawing_context*) { return DrawingUnits{}; }

}  // namespace kz::scene
