// The file-system calls that differ by platform (see FileSystem_posix.cpp): here paths are
// UTF-8 bytes and the hidden and system attributes hide a file.
#include <windows.h>

#include "library/FolderListing.h"
#include "library/IndexFile.h"

namespace tavrino::library {

namespace fs = std::filesystem;

fs::path ToFsPath(const std::string& bytes) {
    return fs::path(std::u8string(bytes.begin(), bytes.end()));
}

std::string FromFsPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool IsHiddenOrSystem(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

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

}  // namespace tavrino::library
