#include "library/DriveList.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <array>

namespace tavrino::library {

namespace {

bool IsPseudoFileSystem(const QByteArray& type) {
    static constexpr std::array<const char*, 28> kPseudo = {"proc",        "sysfs",
                                                            "devtmpfs",    "devpts",
                                                            "tmpfs",       "cgroup",
                                                            "cgroup2",     "securityfs",
                                                            "debugfs",     "tracefs",
                                                            "configfs",    "fusectl",
                                                            "pstore",      "bpf",
                                                            "mqueue",      "hugetlbfs",
                                                            "efivarfs",    "binfmt_misc",
                                                            "autofs",      "nsfs",
                                                            "ramfs",       "rpc_pipefs",
                                                            "squashfs",    "overlay",
                                                            "fuse.portal", "fuse.gvfsd-fuse",
                                                            "nfsd",        "selinuxfs"};
    return std::any_of(kPseudo.begin(), kPseudo.end(),
                       [&type](const char* pseudo) { return type == pseudo; });
}

bool IsUnder(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

}  // namespace

bool IsBrowsableVolume(const QString& rootPath, const QByteArray& fileSystemType) {
#ifdef _WIN32
    Q_UNUSED(rootPath);
    Q_UNUSED(fileSystemType);
    return true;
#else
    if (rootPath == QLatin1String("/")) {
        return true;
    }
    if (IsPseudoFileSystem(fileSystemType)) {
        return false;
    }
    // Places that hold the system's own mounts rather than a person's files; removable media
    // are mounted under /media, /run/media or /mnt and stay.
    static const std::array<QString, 8> kSystemPlaces = {
        QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),
        QStringLiteral("/boot"), QStringLiteral("/snap"), QStringLiteral("/var/lib"),
        QStringLiteral("/etc"),  QStringLiteral("/usr")};
    if (std::any_of(kSystemPlaces.begin(), kSystemPlaces.end(),
                    [&rootPath](const QString& place) { return IsUnder(rootPath, place); })) {
        return false;
    }
    if (IsUnder(rootPath, QStringLiteral("/run")) &&
        !IsUnder(rootPath, QStringLiteral("/run/media"))) {
        return false;
    }
    return true;
#endif
}

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
#ifndef _WIN32
    drives.insert(
        1, {home, QStringLiteral("Home (") + QDir::toNativeSeparators(home) + QLatin1Char(')')});
#endif
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
#ifdef _WIN32
        const bool contains = target.startsWith(root, Qt::CaseInsensitive);
#else
        const bool contains = target.startsWith(root);
#endif
        if (contains && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

}  // namespace tavrino::library
