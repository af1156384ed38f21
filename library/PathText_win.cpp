#include "library/PathText.h"

namespace tavrino::library {

QString PathToDisplay(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string PathFromQt(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace tavrino::library
