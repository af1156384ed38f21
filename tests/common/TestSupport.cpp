#include "common/TestSupport.h"

#include <algorithm>
#include <cctype>

namespace tavrino::test {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Address(const std::string& application, const std::string& section,
                    const std::string& key) {
    return Lower(application + "/" + section + "/" + key);
}

}  // namespace

std::string MemorySettingsStore::Get(const std::string& application, const std::string& section,
                                     const std::string& key, int def) {
    auto it = values.find(Address(application, section, key));
    return it == values.end() ? std::to_string(def) : it->second;
}

void MemorySettingsStore::Save(const std::string& application, const std::string& section,
                               const std::string& key, const std::string& value) {
    if (failSaves) {
        throw Error(errnum::PermissionDenied, "The setting " + key + " could not be saved");
    }
    values[Address(application, section, key)] = value;
    saveLog.push_back(key);
}

const std::string* MemorySettingsStore::Find(const std::string& key) const {
    auto it = values.find(Address("Varnello", "Settings", key));
    return it == values.end() ? nullptr : &it->second;
}

void MemorySettingsStore::Put(const std::string& key, const std::string& value) {
    values[Address("Varnello", "Settings", key)] = value;
}

}  // namespace tavrino::test
