// Where the program keeps its per-user data (images.idx, the wallpaper bitmap, temporary
// files) and where the installed help pages are. An installed program's own folder is
// read-only and shared by every user, so data never goes there.
#pragma once

#include <QString>

namespace tavrino {

// TAVRINO_DATA_DIR when set, else the per-user application data folder. Created on demand.
QString DataFolder();

// The folder that holds help/index.html: beside the executable in a build tree, or the
// installed share folder.
QString HelpIndexPath();

}  // namespace tavrino
