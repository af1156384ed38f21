#include <QFile>
#include <string>

#include "wallpaper/decode/ImageDecoding.h"

namespace tavrino {

// The display list holds UTF-8 paths here.
void OpenImageFile(const std::string& path, QFile& file) {
    file.setFileName(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        ThrowUnopenable(path, file.errorString());
    }
}

}  // namespace tavrino
