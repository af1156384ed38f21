// The drive box on Windows: every drive letter, names compared without regard to case.
#include "library/DriveList.h"

namespace tavrino::library {

const Qt::CaseSensitivity kFolderNameCase = Qt::CaseInsensitive;

bool IsBrowsableVolume(const QString& /*rootPath*/, const QByteArray& /*fileSystemType*/) {
    return true;
}

void AddHomeFolder(QList<Drive>& /*drives*/, const QString& /*home*/) {}

}  // namespace tavrino::library
