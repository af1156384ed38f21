#include "library/DriveList.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace tavrino::library {

namespace {

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

}  // namespace

QList<Drive> AvailableDrives() {
    QList<Drive> drives;
    const QString home = QDir::homePath();
    QList<Drive> others;
    bool haveRoot = false;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid()) {
            continue;
        }
        const QString root = volume.rootPath();
        if (!IsBrowsableVolume(root, volume.fileSystemType())) {
            continue;
        }
        QString text = QDir::toNativeSeparators(root);
        const QString name = volume.displayName();
        if (!name.isEmpty() && name != root) {
            text += QStringLiteral(" [") + name + QLatin1Char(']');
        }
        if (volume.isRoot()) {
            drives.prepend({root, text});
            haveRoot = true;
        } else if (root != home) {
            others.append({root, text});
        }
    }
    if (!haveRoot) {
        const QString root = QDir::rootPath();
        drives.prepend({root, QDir::toNativeSeparators(root)});
    }
    AddHomeFolder(drives, home);
    std::sort(others.begin(), others.end(),
              [](const Drive& a, const Drive& b) { return a.rootPath < b.rootPath; });
    drives.append(others);
    return drives;
}

bool IsDriveReady(const QString& rootPath) {
    const QFileInfo info(rootPath);
    if (!info.exists() || !info.isDir() || !info.isReadable()) {
        return false;
    }
    const QStorageInfo volume(rootPath);
    return volume.isValid() && volume.isReady();
}

qsizetype DriveIndexForFolder(const QList<Drive>& drives, const QString& folder) {
    qsizetype best = -1;
    qsizetype bestLength = -1;
    const QString target = WithSlash(QDir::fromNativeSeparators(folder));
    for (qsizetype i = 0; i < drives.size(); ++i) {
        const QString root = WithSlash(drives[i].rootPath);
        const bool contains = target.startsWith(root, kFolderNameCase);
        if (contains && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

}  // namespace tavrino::library
