// The movie compressor chooser: our own dialog over the encoders FFmpeg offers for AVI files, with the quality,
// key-frame spacing and data rate that the system's chooser asked for.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/dialogs.h"
#include "platform/message_loop.h"
#include "platform/movie_writer.h"

namespace kz::platform {

bool choose_movie_compression(WindowHandle owner, MovieCompression* compression) {
    if (!compression) return false;
    if (dialog_test_mode()) {
        log_dialog_request("choose_compressor");
        if (dialog_test_answers().compressor.empty()) return false;
        compression->encoder = dialog_test_answers().compressor;
        return true;
    }
    if (!ensure_application()) return false;
    const std::vector<MovieEncoder> encoders = movie_encoders();
    QDialog dialog(static_cast<QWidget*>(native_widget(owner)));
    dialog.setWindowTitle(QStringLiteral("Video Compression"));
    auto* list = new QListWidget(&dialog);
    for (const MovieEncoder& e : encoders) {
        list->addItem(QString::fromStdString(e.description));
        if (e.name == compression->encoder) list->setCurrentRow(list->count() - 1);
    }
    if (list->currentRow() < 0 && list->count() > 0) list->setCurrentRow(0);
    auto* quality = new QSpinBox(&dialog);
    quality->setRange(0, 100);
    quality->setSuffix(QStringLiteral(" %"));
    quality->setValue(compression->quality < 0 ? 90 : compression->quality / 100);
    auto* key_frames = new QSpinBox(&dialog);
    key_frames->setRange(0, 1000);
    key_frames->setSpecialValueText(QStringLiteral("encoder's choice"));
    key_frames->setValue(compression->key_frame_every);
    auto* rate = new QSpinBox(&dialog);
    rate->setRange(0, 1000000);
    rate->setSuffix(QStringLiteral(" KB/s"));
    rate->setSpecialValueText(QStringLiteral("by quality"));
    rate->setValue(compression->bytes_per_second / 1024);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Quality"), quality);
    form->addRow(QStringLiteral("Key frame every"), key_frames);
    form->addRow(QStringLiteral("Data rate"), rate);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return false;
    compression->encoder = encoders[static_cast<std::size_t>(list->currentRow())].name;
    compression->quality = quality->value() * 100;
    compression->key_frame_every = key_frames->value();
    compression->bytes_per_second = rate->value() * 1024;
    return true;
}

}  // namespace kz::platform
