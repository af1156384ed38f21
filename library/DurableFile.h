// Getting a saved file onto the disk itself, not only into the system's cache, so that a power
// loss right after a save leaves the old file or the new one, never an empty one.
#pragma once

#include <filesystem>
#include <string_view>

namespace tavrino::library {

// Creates or truncates file, writes content and waits until it has reached the disk. Throws
// std::filesystem::filesystem_error on any failure.
void WriteAndFlushFile(const std::filesystem::path& file, std::string_view content);

// Waits until the entries of folder (a rename just made in it) have reached the disk, where
// the file system needs to be asked for that. Best effort: a folder that cannot be flushed
// changes nothing about the save that has already happened.
void FlushFolder(const std::filesystem::path& folder) noexcept;

}  // namespace tavrino::library
