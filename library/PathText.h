// Showing our byte-string paths in Qt widgets and taking folder paths from Qt. Only ever
// convert for display or when a path comes from a Qt widget; a displayed text is never turned
// back into a path, because names that are not valid UTF-8 do not survive the trip.
#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

namespace tavrino::library {

inline QString PathToDisplay(std::string_view bytes) {
#ifdef _WIN32
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
#else
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
#endif
}

inline std::string PathFromQt(const QString& path) {
#ifdef _WIN32
    const QByteArray bytes = path.toUtf8();
#else
    const QByteArray bytes = QFile::encodeName(path);
#endif
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace tavrino::library
