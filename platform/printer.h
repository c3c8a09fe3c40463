// Stands in for the printer dialog and a printer device context as the program prints: one document of pages,
// each page a full-width image drawn into a rectangle of device pixels. No fonts, no GDI drawing on the page,
// no banding; the page is a QPrinter (a PDF file in test mode and when no printer is set up).
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/window.h"

namespace kz::platform {

// Pixels for drawing: 24-bit BGR or 32-bit BGRA rows, each `stride` bytes, top row first unless `bottom_up`
// (the packed-DIB order).
struct ImageView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bits_per_pixel = 24;
    bool bottom_up = true;
};

class PrintJob {
public:
    // The printer dialog: null when the user cancels (or the test answer says so).
    static std::unique_ptr<PrintJob> choose_printer(WindowHandle owner);
    ~PrintJob();  // an open document is ended
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // False when no printer is set up: Qt then offers a PDF file that has no name, and nothing can be printed.
    bool has_printer() const;
    // Printable page size in device pixels (the horizontal and vertical resolution of the page).
    int page_width() const;
    int page_height() const;

    // Each returns false on failure; a page or document that failed to start is skipped by the caller.
    bool start_document(std::string_view name_sjis);
    bool start_page();
    // Scales the image into the rectangle of device pixels; false for bad arguments or outside a page.
    bool draw_image(const ImageView& image, int x, int y, int width, int height);
    bool end_page();
    bool end_document();

    struct Impl;

private:
    explicit PrintJob(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kz::platform
