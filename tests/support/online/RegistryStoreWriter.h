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
    std::vector<StoredValue> all = values;
    all.push_back({"Tavrino Test", "", reg::Sz, ""});  // so that the file exists without values
    for (const StoredValue& v : all) {
        RegKey key = 0;
        if (store.CreateKey(reg::RootKey(reg::CurrentUser), v.key, key) != reg::Success ||
            store.SetValue(key, v.name, v.type,
                           reinterpret_cast<const std::uint8_t*>(v.bytes.data()),
                           static_cast<std::uint32_t>(v.bytes.size())) != reg::Success) {
            return false;
        }
        store.CloseKey(key);
    }
    return std::filesystem::exists(file);
}

}  // namespace tavrino::test
