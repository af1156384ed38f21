#include "library/FolderListing.h"

#include "library/IndexFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>

#include <cerrno>
#include <memory>
#include <system_error>
#endif

namespace tavrino::library {

namespace fs = std::filesystem;

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(std::string_view name, std::string_view lowerEnding) {
    if (name.size() < lowerEnding.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - lowerEnding.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (Lower(tail[i]) != lowerEnding[i]) {
            return false;
        }
    }
    return true;
}

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

}  // namespace

bool IsImageFileName(std::string_view name) {
    if (name.size() <= 4) {
        return false;
    }
    return EndsWithNoCase(name, "jpg") || EndsWithNoCase(name, "jpeg") ||
           EndsWithNoCase(name, "gif") || EndsWithNoCase(name, "bmp");
}

std::string JoinFolderAndName(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (path.empty() || !IsSeparator(path.back())) {
        path.push_back(kPathSeparator);
    }
    path.append(name);
    return path;
}

bool IsHiddenOrSystem(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
    const std::string name = path.filename().native();
    return !name.empty() && name.front() == '.';
#endif
}

#ifdef _WIN32

std::vector<std::string> ListFolderImages(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = FromFsPath(entry.path().filename());
        if (!IsImageFileName(name)) {
            continue;
        }
        std::error_code typeError;
        if (!entry.is_regular_file(typeError) || typeError || IsHiddenOrSystem(entry.path())) {
            continue;  // subfolders, broken links, devices, hidden and system files
        }
        names.push_back(std::move(name));
    }
    return names;
}

#else

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
        bool regular = false;
#ifdef _DIRENT_HAVE_D_TYPE
        if (entry->d_type == DT_REG) {
            regular = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            std::error_code typeError;
            regular = fs::is_regular_file(folder / std::string(name), typeError);
        }
#else
        std::error_code typeError;
        regular = fs::is_regular_file(folder / std::string(name), typeError);
#endif
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

#endif

}  // namespace tavrino::library
