// Sounds over Qt Multimedia: QSoundEffect for wave files, QMediaPlayer for everything else. The players are kept
// (children of the application, so they go with it) because a sound plays after the call has returned. With no
// audio output the files are still checked, then nothing is played.
#include "platform/sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>
#include <cstring>

#include "platform/file_system.h"
#include "platform/message_loop.h"

namespace kz::platform {

namespace {

QPointer<QSoundEffect> g_wave;
QPointer<QMediaPlayer> g_media;

QString existing_file(std::string_view name_sjis) {
    const std::string path = resolve_existing(name_sjis);
    return path.empty() ? QString() : QString::fromStdString(path);
}

// A RIFF header with the WAVE form is what the wave player accepts; anything else would fail inside it unseen.
bool looks_like_wave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && std::memcmp(head.constData(), "RIFF", 4) == 0 &&
           std::memcmp(head.constData() + 8, "WAVE", 4) == 0;
}

}  // namespace

bool audio_output_available() { return ensure_application() && !QMediaDevices::audioOutputs().isEmpty(); }

bool play_wave_file(std::string_view name_sjis) {
    const QString path = existing_file(name_sjis);
    if (path.isEmpty() || !looks_like_wave(path)) return false;
    if (!audio_output_available()) return true;
    if (!g_wave) g_wave = new QSoundEffect(QCoreApplication::instance());
    g_wave->stop();
    g_wave->setSource(QUrl::fromLocalFile(path));
    g_wave->play();
    return true;
}

bool play_media_file(std::string_view name_sjis) {
    const QString path = existing_file(name_sjis);
    if (path.isEmpty()) return false;
    if (!audio_output_available()) return true;
    if (!g_media) {
        g_media = new QMediaPlayer(QCoreApplication::instance());
        g_media->setAudioOutput(new QAudioOutput(g_media));
    }
    g_media->stop();
    g_media->setSource(QUrl::fromLocalFile(path));
    g_media->play();
    return true;
}

void stop_sounds() {
    if (g_wave) g_wave->stop();
    if (g_media) g_media->stop();
}

}  // namespace kz::platform
