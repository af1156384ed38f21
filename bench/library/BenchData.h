// Generated data for the library benchmarks: realistic picture paths of 60 to 100 bytes and
// scratch folders.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "library/DisplayList.h"

namespace tavrino::bench {

// Paths like /home/marta/Pictures/2019 Lake Garda/IMG_20190713_184512_sunset.jpg, each
// 60-100 bytes long and unique (the index is in the name).
inline std::vector<std::string> MakePaths(std::size_t count, std::uint32_t seed, const char* tag) {
    static const char* kUsers[] = {"marta", "jonas", "li", "francesca", "oleksandr"};
    static const char* kAlbums[] = {"Holidays",         "2019 Lake Garda", "Family",
                                    "Wallpapers",       "Camera Roll",     "Scans/Old Photos",
                                    "Screenshots/2021", "Birthday Anna"};
    static const char* kWords[] = {"sunset",   "beach", "mountains", "kitchen", "dog",
                                   "panorama", "snow",  "garden",    "city",    "bridge"};
    static const char* kEndings[] = {".jpg", ".JPG", ".jpeg", ".gif", ".bmp"};
    std::mt19937 random(seed);
    std::vector<std::string> paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string path = std::string("/home/") + kUsers[random() % 5] + "/Pictures/" +
                           kAlbums[random() % 8] + "/IMG_" + tag + std::to_string(i) + "_" +
                           kWords[random() % 10];
        const std::size_t target = 60 + random() % 41;
        const char* ending = kEndings[random() % 5];
        while (path.size() + std::char_traits<char>::length(ending) < target) {
            path += "_";
            path += kWords[random() % 10];
        }
        path.resize(std::max<std::size_t>(target, 40) - std::char_traits<char>::length(ending));
        path += ending;
        paths.push_back(std::move(path));
    }
    return paths;
}

inline std::vector<library::DisplayEntry> MakeEntries(std::size_t count, std::uint32_t seed) {
    std::vector<library::DisplayEntry> entries;
    entries.reserve(count);
    for (std::string& path : MakePaths(count, seed, "A")) {
        entries.push_back({std::move(path), "True"});
    }
    return entries;
}

class ScratchFolder {
public:
    explicit ScratchFolder(const char* name) {
        path_ =
            std::filesystem::temp_directory_path() /
            (std::string("tavrino-bench-") + name + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace tavrino::bench
