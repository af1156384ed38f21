#include "wallpaper/desktop/ChangeFileNames.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace tavrino {

ChangeFileNames::ChangeFileNames(fs::path composedBitmap) : composed_(std::move(composedBitmap)) {}

bool ChangeFileNames::IsChangeFileName(const fs::path& name) const {
    const std::string file = name.filename().string();
    const std::string prefix = composed_.stem().string() + "-";
    const std::string suffix = composed_.extension().string();
    if (file.size() <= prefix.size() + suffix.size() ||
        file.compare(0, prefix.size(), prefix) != 0 ||
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string digits =
        file.substr(prefix.size(), file.size() - prefix.size() - suffix.size());
    return std::all_of(digits.begin(), digits.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

fs::path ChangeFileNames::Prepare() {
    // Milliseconds since the epoch keep names unique across runs and sort by age; the counter
    // covers two changes within one millisecond.
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    long long number = std::max<long long>(now, lastNumber_ + 1);
    const fs::path folder = composed_.parent_path();
    const std::string stem = composed_.stem().string();
    const std::string extension = composed_.extension().string();
    for (;; ++number) {
        std::string name = stem;
        name += '-';
        name += std::to_string(number);
        name += extension;
        fs::path candidate = folder / name;
        std::error_code error;
        if (fs::exists(fs::symlink_status(candidate, error))) {
            continue;
        }
        fs::create_hard_link(composed_, candidate, error);
        if (error) {
            // File systems without hard links (FAT, some network shares): copy instead.
            fs::copy_file(composed_, candidate, fs::copy_options::none);
        }
        lastNumber_ = number;
        return candidate;
    }
}

void ChangeFileNames::Commit(const fs::path& current) const noexcept {
    std::error_code error;
    const fs::path folder =
        composed_.parent_path().empty() ? fs::path(".") : composed_.parent_path();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& entry = it->path();
        if (entry.filename() == current.filename() || !IsChangeFileName(entry)) {
            continue;
        }
        std::error_code removeError;
        fs::remove(entry, removeError);
    }
}

void ChangeFileNames::Discard(const fs::path& current) const noexcept {
    std::error_code error;
    if (IsChangeFileName(current)) {
        fs::remove(current, error);
    }
}

}  // namespace tavrino
