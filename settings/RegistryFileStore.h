// A registry kept in text files, for platforms without one. REGISTRY-FORMAT.md describes the
// format, the files, the locking and what happens to a damaged file.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/RegistryApi.h"

namespace tavrino {

// The parsed contents of one file, exposed for the fuzzer.
struct RegistryFileValue {
    std::string name;
    std::uint32_t type = 0;
    std::string bytes;
};
struct RegistryFileKey {
    std::string path;  // as first written
    std::vector<RegistryFileValue> values;
};
// Keyed by the lower-cased, "\"-joined path; every ancestor of a key is present too.
using RegistryFileData = std::map<std::string, RegistryFileKey>;

// Nothing when text is not a valid file.
std::optional<RegistryFileData> ParseRegistryFile(std::string_view text);
// ParseRegistryFile(FormatRegistryFile(d)) gives d back.
std::string FormatRegistryFile(const RegistryFileData& data);

struct RegistryFileOptions {
    std::filesystem::path userFile;  // HKEY_CURRENT_USER; empty: that root is unavailable (code 1)
    std::filesystem::path systemFile;  // HKEY_LOCAL_MACHINE, read only; empty or missing: no keys
    bool userReadOnly = false;         // refuse every write to the user file as well (code 5)
    // Until the user file exists, it reads as holding the desktop's two style values that a
    // Windows profile always has ("Control Panel\desktop": TileWallpaper and WallpaperStyle "0").
    bool seedDesktopDefaults = false;
    std::chrono::milliseconds lockTimeout{5000};
    std::chrono::seconds lockStaleAfter{30};
};

// TAVRINO_REGISTRY_USER_FILE, else $XDG_CONFIG_HOME (when absolute) or $HOME/.config, +
// "tavrino-wallpaper-manager/registry.txt".
std::filesystem::path DefaultUserRegistryFile();
// TAVRINO_REGISTRY_SYSTEM_FILE, else /etc/xdg/tavrino-wallpaper-manager/registry-system.txt.
std::filesystem::path DefaultSystemRegistryFile();

class RegistryFileStore final : public RegistryApi {
public:
    explicit RegistryFileStore(RegistryFileOptions options) : options_(std::move(options)) {}

    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override;
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override;
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t CloseKey(RegKey key) override;

    // Handles opened and not yet closed; lets tests check that nothing leaks.
    [[nodiscard]] std::size_t OpenHandleCount() const noexcept { return handles_.size(); }

private:
    struct Handle {
        bool user;         // HKEY_CURRENT_USER's file, else the machine-wide one
        std::string path;  // canonical
    };
    [[nodiscard]] Handle Resolve(RegKey key) const;  // throws the code for a bad handle

    RegistryFileOptions options_;
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 1;
};

}  // namespace tavrino
