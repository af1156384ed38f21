// Writes a registry store file through the store itself, so the tests never depend on the file
// format's details.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/RegistryFileStore.h"

namespace tavrino::test {

struct StoredValue {
    std::string key;
    std::string name;
    std::uint32_t type = reg::Sz;
    std::string bytes;  // stored exactly, a terminating NUL included only when given
};

// Creates file holding values (an empty store when values is empty). Returns false on failure.
inline bool WriteRegistryStore(const std::filesystem::path& file,
                               const std::vector<StoredValue>& values) {
    std::filesystem::remove(file);
    RegistryFileOptions options;
    options.userFile = file;
    RegistryFileStore store(options);
    const RegKey root = reg::RootKey(reg::CurrentUser);
    RegKey key = 0;
    // Make sure the file exists even without values.
    if (store.CreateKey(root, "Tavrino Test", key) != reg::Success) {
        return false;
    }
    store.CloseKey(key);
    for (const StoredValue& v : values) {
        if (store.CreateKey(root, v.key, key) != reg::Success) {
            return false;
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(v.bytes.data());
        const std::int32_t rc =
            store.SetValue(key, v.name, v.type, data, static_cast<std::uint32_t>(v.bytes.size()));
        store.CloseKey(key);
        if (rc != reg::Success) {
            return false;
        }
    }
    return std::filesystem::exists(file);
}

}  // namespace tavrino::test
