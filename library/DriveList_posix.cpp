// The drive box away from Windows: the mounted file systems a person would browse.
#include <QDir>
#include <algorithm>
#include <array>

#include "library/DriveList.h"

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

}  // namespace

const Qt::CaseSensitivity kFolderNameCase = Qt::CaseSensitive;

bool IsBrowsableVolume(const QString& rootPath, const QByteArray& fileSystemType) {
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
    return !IsUnder(rootPath, QStringLiteral("/run")) ||
           IsUnder(rootPath, QStringLiteral("/run/media"));
}

void AddHomeFolder(QList<Drive>& drives, const QString& home) {
    drives.insert(
        1, {home, QStringLiteral("Home (") + QDir::toNativeSeparators(home) + QLatin1Char(')')});
}

}  // namespace tavrino::library
