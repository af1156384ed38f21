#include "support/DataPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tavrino {

QString DataFolder() {
    QString folder = qEnvironmentVariable("TAVRINO_DATA_DIR");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                 QStringLiteral("/tavrino-wallpaper-manager");
    }
    QDir().mkpath(folder);
    return QDir(folder).absolutePath();
}

QString HelpIndexPath() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        appDir + QStringLiteral("/help/index.html"),
        appDir + QStringLiteral("/../share/tavrino-wallpaper-manager/help/index.html"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            return QFileInfo(candidate).absoluteFilePath();
        }
    }
    return QDir::cleanPath(candidates.front());
}

}  // namespace tavrino
