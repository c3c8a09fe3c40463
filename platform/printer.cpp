// The print job over QPrinter and QPainter. Qt opens the document with the painter and starts the first page
// itself, so the first start_page only marks the page open and later ones ask for a new page.
#include "platform/printer.h"

#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>
#include <utility>

#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/text_codec.h"

namespace kz::platform {

struct PrintJob::Impl {
    QPrinter printer{QPrinter::HighResolution};
    QPainter painter;
    bool document_open = false;
    bool page_open = false;
    int pages_started = 0;
};

PrintJob::PrintJob(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PrintJob::~PrintJob() { end_document(); }

std::unique_ptr<PrintJob> PrintJob::choose_printer(WindowHandle owner) {
    if (!ensure_application()) return nullptr;
    auto impl = std::make_unique<Impl>();
    if (dialog_test_mode()) {
        log_dialog_request("print");
        const DialogTestAnswers& answers = dialog_test_answers();
        if (!answers.print_accepted) return nullptr;
        // Accepted without a file: the printer of a machine where none is set up.
        impl->printer.setOutputFormat(QPrinter::PdfFormat);
        impl->printer.setOutputFileName(QString::fromStdString(answers.print_pdf_file));
        impl->printer.setResolution(150);
        impl->printer.setPageSize(QPageSize(QPageSize::A4));
    } else {
        QPrintDialog dialog(&impl->printer, static_cast<QWidget*>(native_widget(owner)));
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        if (dialog.exec() != QDialog::Accepted) return nullptr;
    }
    return std::unique_ptr<PrintJob>(new PrintJob(std::move(impl)));
}

bool PrintJob::has_printer() const {
    return impl_->printer.outputFormat() != QPrinter::PdfFormat || !impl_->printer.outputFileName().isEmpty();
}

int PrintJob::page_width() const {
    return impl_->printer.pageLayout().paintRectPixels(impl_->printer.resolution()).width();
}

int PrintJob::page_height() const {
    return impl_->printer.pageLayout().paintRectPixels(impl_->printer.resolution()).height();
}

bool PrintJob::start_document(std::string_view name_sjis) {
    if (impl_->document_open) return false;
    impl_->printer.setDocName(QString::fromStdString(cp932_to_utf8(name_sjis)));
    if (!impl_->painter.begin(&impl_->printer)) return false;
    impl_->document_open = true;
    impl_->pages_started = 0;
    return true;
}

bool PrintJob::start_page() {
    if (!impl_->document_open || impl_->page_open) return false;
    if (impl_->pages_started > 0 && !impl_->printer.newPage()) return false;
    ++impl_->pages_started;
    impl_->page_open = true;
    return true;
}

bool PrintJob::draw_image(const ImageView& image, int x, int y, int width, int height) {
    if (!impl_->page_open || !image.pixels || image.width < 1 || image.height < 1 || width < 1 || height < 1)
        return false;
    if (image.bits_per_pixel != 24 && image.bits_per_pixel != 32) return false;
    const int bytes = image.bits_per_pixel / 8;
    if (image.stride < image.width * bytes) return false;
    QImage copy(image.width, image.height, QImage::Format_RGB32);
    if (copy.isNull()) return false;
    for (int row = 0; row < image.height; ++row) {
        const int source_row = image.bottom_up ? image.height - 1 - row : row;
        const std::uint8_t* src = image.pixels + static_cast<std::size_t>(source_row) * image.stride;
        auto* dst = reinterpret_cast<QRgb*>(copy.scanLine(row));
        for (int col = 0; col < image.width; ++col, src += bytes) dst[col] = qRgb(src[2], src[1], src[0]);
    }
    impl_->painter.drawImage(QRect(x, y, width, height), copy);
    return true;
}

bool PrintJob::end_page() {
    if (!impl_->page_open) return false;
    impl_->page_open = false;
    return true;
}

bool PrintJob::end_document() {
    if (!impl_->document_open) return false;
    impl_->page_open = false;
    impl_->document_open = false;
    return impl_->painter.end();
}

}  // namespace kz::platform
