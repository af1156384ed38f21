// The "drives" offered in the drive box: on Windows the drive letters, elsewhere the mounted
// file systems a person would browse (the root, the home folder, removable and other data
// volumes), never the kernel's and the session's own pseudo file systems.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tavrino::library {

struct Drive {
    QString rootPath;  // in Qt form ("/" separators); a Windows root ends in "/"
    QString text;      // what the drive box shows
};

// Whether a mounted volume belongs in the drive box.
bool IsBrowsableVolume(const QString& rootPath, const QByteArray& fileSystemType);

// Platform rules (DriveList_win.cpp, DriveList_posix.cpp): the home folder's own entry, second
// in the list (none on Windows, whose drive letters hold it), and how folder names compare.
void AddHomeFolder(QList<Drive>& drives, const QString& home);
extern const Qt::CaseSensitivity kFolderNameCase;

// The drives of this machine, the root first, then the home folder, then the others by path.
QList<Drive> AvailableDrives();

// Whether the drive can be browsed now (mounted, medium present, readable).
bool IsDriveReady(const QString& rootPath);

// The index in drives of the drive that holds folder (the longest root that contains it), or
// -1.
qsizetype DriveIndexForFolder(const QList<Drive>& drives, const QString& folder);

}  // namespace tavrino::library
