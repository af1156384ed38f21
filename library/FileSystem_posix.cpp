// The file-system calls that differ by platform (see FileSystem_win.cpp): here paths are the
// file system's own bytes and a leading dot hides a file.
#include <dirent.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "library/FolderListing.h"
#include "library/IndexFile.h"

namespace tavrino::library {

namespace fs = std::filesystem;

fs::path ToFsPath(const std::string& bytes) {
    return fs::path(bytes);
}

std::string FromFsPath(const fs::path& path) {
    return path.native();
}

bool IsHiddenOrSystem(const fs::path& path) {
    const std::string name = path.filename().native();
    return !name.empty() && name.front() == '.';
}

// Read straight from the directory stream: std::filesystem builds and parses a full path for
// every entry, which made listing a big folder several times slower than the read itself.
std::vector<std::string> ListFolderImages(const fs::path& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        throw fs::filesystem_error("cannot list folder", folder,
                                   std::error_code(errno, std::generic_category()));
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, &closedir);
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const std::string_view name(entry->d_name);
        if (name.front() == '.' || !IsImageFileName(name)) {
            continue;  // hidden files, ".", ".." and other kinds of file
        }
        // d_type is DT_UNKNOWN on file systems that do not fill it in.
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            std::error_code typeError;
            regular = fs::is_regular_file(folder / std::string(name), typeError);
        }
        if (regular) {
            names.emplace_back(name);
        }
    }
    if (errno != 0) {
        throw fs::filesystem_error("cannot list folder", folder,
                                   std::error_code(errno, std::generic_category()));
    }
    return names;
}

}  // namespace tavrino::library
