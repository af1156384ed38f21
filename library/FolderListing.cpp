#include "library/FolderListing.h"

#include <system_error>

#include "library/IndexFile.h"

namespace tavrino::library {

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

// "/" everywhere; Windows takes its own "\\" as well.
bool IsSeparator(char c) {
    return c == '/' || c == kPathSeparator;
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

bool ImageFileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const std::filesystem::path file = ToFsPath(path);
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) && !IsHiddenOrSystem(file);
}

}  // namespace tavrino::library
