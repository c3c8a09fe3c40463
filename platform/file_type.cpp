// File types through Qt's MIME database, which reads the shared MIME information every desktop installs.
#include "platform/file_type.h"

#include <QByteArray>
#include <QFile>
#include <QMimeDatabase>
#include <QMimeType>

#include "platform/file_system.h"

namespace kz::platform {

std::string file_type(std::string_view windows_path) {
    const std::string native = resolve_existing(windows_path);
    if (native.empty()) return {};
    return QMimeDatabase().mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(native))).name().toStdString();
}

}  // namespace kz::platform
