#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <string>

#include "wallpaper/decode/ImageDecoding.h"

namespace tavrino {

// Opened by its bytes: a name that is not valid UTF-8 would not survive a QString.
void OpenImageFile(const std::string& path, QFile& file) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ThrowUnopenable(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ThrowUnopenable(path, file.errorString());
    }
}

}  // namespace tavrino
