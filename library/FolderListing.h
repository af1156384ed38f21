// The image files of one folder, for the folder browser's file list.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrino::library {

// "\\" on Windows, "/" elsewhere.
inline constexpr char kPathSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// An image file's name is longer than 4 characters and ends, in any letter case, in "jpg",
// "jpeg", "gif" or "bmp". No dot is needed before the ending ("photojpg" counts).
bool IsImageFileName(std::string_view name);

// folder + one separator + name; no second separator when folder already ends with one (the
// root folder of a drive).
std::string JoinFolderAndName(std::string_view folder, std::string_view name);

// Whether the file system marks the entry hidden or system: the hidden and system attributes on
// Windows, a leading dot elsewhere.
bool IsHiddenOrSystem(const std::filesystem::path& path);

// Whether an image path (bytes, as the display list holds it) names a normal file: folders,
// hidden and system files do not count. The one rule for "the image file exists".
bool ImageFileExists(const std::string& path);

// The bare names of the image files directly in folder, in the order the file system gives
// them. Subfolders, hidden and system files are left out. Throws
// std::filesystem::filesystem_error when the folder cannot be listed.
std::vector<std::string> ListFolderImages(const std::filesystem::path& folder);

}  // namespace tavrino::library
