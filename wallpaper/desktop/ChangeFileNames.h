// Fresh file names for desktops that cache the wallpaper by file name (GNOME, Plasma,
// pcmanfm-qt and others keep showing the old picture when handed the same name again).
// "TavrinoWallpaperManager.bmp" stays the composed file; each change hands the desktop a hard
// link to it (a copy where links are not possible) under a name of its own, and the name
// from the change before is removed only once the desktop has taken the new one.
#pragma once

#include <filesystem>

namespace tavrino {

class ChangeFileNames {
public:
    // composedBitmap: the composed file; the per-change names are made beside it.
    explicit ChangeFileNames(std::filesystem::path composedBitmap);

    // Makes a new name for the composed file's current content and returns it. Throws
    // std::filesystem::filesystem_error when neither a link nor a copy can be made.
    std::filesystem::path Prepare();

    // The desktop now shows `current`: every other per-change file beside it is removed
    // (including those left by an earlier run). Failures to remove are ignored: a stale
    // file costs only disk space and is retried at the next change.
    void Commit(const std::filesystem::path& current) const noexcept;

    // The desktop refused `current`: it goes, the one the desktop still shows stays.
    void Discard(const std::filesystem::path& current) const noexcept;

    // Whether name is one this class makes for the composed file ("<stem>-<digits><ext>").
    [[nodiscard]] bool IsChangeFileName(const std::filesystem::path& name) const;

private:
    std::filesystem::path composed_;
    long long lastNumber_ = 0;
};

}  // namespace tavrino
