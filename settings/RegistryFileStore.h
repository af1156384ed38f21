// A registry kept in text files, for platforms without one (see REGISTRY-FORMAT.md).
//
// One file per root key: HKEY_CURRENT_USER lives in the user's file (read and written),
// HKEY_LOCAL_MACHINE in a machine-wide file that is only ever read. Other roots do not exist
// here (code 6). The format, in short:
//
//     TavrinoRegistry 1
//     # a comment; blank lines are ignored
//     [Control Panel\desktop]
//     "TileWallpaper"=sz:"0%00"
//     "Count"=dword:1
//     "Blob"=raw(3):"%01%02%FF"
//     End
//
//   - The first line names the format and its version; a file without it is damaged. The
//     line "End" closes the file (only blank and comment lines may follow), so a file cut
//     short anywhere is seen as damaged instead of silently losing its last keys.
//   - "[path]" starts a key; the path is "\"-separated below the root. Every key on the path
//     of a listed key exists as well.
//   - "\"name\"=TYPE:DATA" is a value of the key above it. TYPE is "sz" (REG_SZ; DATA is a
//     quoted string of the exact stored bytes, a terminating NUL included only when stored),
//     "dword" (REG_DWORD of 4 bytes; DATA a decimal number 0..4294967295) or "raw(N)" (any
//     other type N, or a REG_DWORD of another length; DATA a quoted string of its bytes).
//   - Inside quotes and key paths, "%XY" (two upper- or lower-case hex digits) stands for the
//     byte 0xXY. Writers escape every byte outside printable ASCII plus '%', '"', '[' and ']';
//     readers refuse control bytes, a bare '"' inside quotes and brackets inside a key path.
//   - Key and value names compare without regard to ASCII case, like the Windows registry;
//     the spelling first written is kept.
//
// Every operation reads the file afresh (other processes may have written it). Writes take a
// lock (an exclusively created "<file>.lock" directory, taken over when older than the stale
// age), re-read the file, write a temporary file beside it and rename it into place, so a
// reader sees the old or the new file and never half of one. A damaged user file is renamed
// to "<file>.corrupt" (or ".corrupt.N") and the operation fails with code 1; later operations
// start from an empty store. A damaged machine-wide file is left alone and every lookup in it
// fails with code 1.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/RegistryApi.h"

namespace tavrino {

// The parsed contents of one file. Exposed for the tests and the fuzzer.
struct RegistryFileValue {
    std::string name;
    std::uint32_t type = 0;
    std::string bytes;
};

struct RegistryFileKey {
    std::string path;  // as first written
    std::vector<RegistryFileValue> values;
};

struct RegistryFileData {
    // Keyed by the path folded to lower case; every ancestor of a key is present too.
    std::map<std::string, RegistryFileKey> keys;
};

// Parses a whole file. Returns nothing (and says why in *why) when the text is not a valid file.
std::optional<RegistryFileData> ParseRegistryFile(std::string_view text,
                                                  std::string* why = nullptr);
// The text of a file holding data; ParseRegistryFile(FormatRegistryFile(d)) gives d back.
std::string FormatRegistryFile(const RegistryFileData& data);

// Lower-cased, "\"-joined path without empty components.
std::string CanonicalKeyPath(std::string_view path);

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

// Where the files are looked for when nothing else is said: TAVRINO_REGISTRY_USER_FILE, else
// $XDG_CONFIG_HOME (when absolute) or $HOME/.config, + "tavrino-wallpaper-manager/registry.txt".
std::filesystem::path DefaultUserRegistryFile();
// TAVRINO_REGISTRY_SYSTEM_FILE, else /etc/xdg/tavrino-wallpaper-manager/registry-system.txt.
std::filesystem::path DefaultSystemRegistryFile();

class RegistryFileStore final : public RegistryApi {
public:
    explicit RegistryFileStore(RegistryFileOptions options);

    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override;
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override;
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override;
    std::int32_t CloseKey(RegKey key) override;

    // Number of handles opened and not yet closed; lets tests check that nothing leaks.
    [[nodiscard]] std::size_t OpenHandleCount() const noexcept { return handles_.size(); }

private:
    enum class Root { User, System };
    struct Handle {
        Root root;
        std::string path;  // canonical
    };

    std::int32_t ResolveRoot(RegKey handle, Root& root, std::string& path) const;
    // Reads a root's file into data. Returns 0 or an error code (a damaged user file is moved
    // aside first).
    std::int32_t Load(Root root, RegistryFileData& data);
    // Runs change on the freshly read user file under the lock and writes the result back.
    template <class Change>
    std::int32_t Modify(Change&& change);
    [[nodiscard]] std::int32_t WriteUserFile(const RegistryFileData& data) const;
    void MoveAside(const std::filesystem::path& file);
    RegKey NewHandle(Root root, std::string path);

    RegistryFileOptions options_;
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 1;
};

// Holds "<file>.lock" while alive. Exposed for the tests.
class RegistryFileLock {
public:
    RegistryFileLock(const std::filesystem::path& file, std::chrono::milliseconds timeout,
                     std::chrono::seconds staleAfter);
    ~RegistryFileLock();
    RegistryFileLock(const RegistryFileLock&) = delete;
    RegistryFileLock& operator=(const RegistryFileLock&) = delete;
    RegistryFileLock(RegistryFileLock&&) = delete;
    RegistryFileLock& operator=(RegistryFileLock&&) = delete;
    [[nodiscard]] bool Held() const noexcept { return held_; }

private:
    std::filesystem::path lock_;
    bool held_ = false;
};

}  // namespace tavrino
