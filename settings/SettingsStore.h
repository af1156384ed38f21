// The per-user settings store: two operations, names matched without regard to case.
#pragma once

#include <string>

namespace tavrino {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or the decimal text of def when the key does not exist.
    virtual std::string Get(const std::string& application, const std::string& section,
                            const std::string& key, int def) = 0;
    // Creates what is missing and replaces any earlier value. Throws tavrino::Error on failure.
    virtual void Save(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) = 0;

protected:
    SettingsStore() = default;
    SettingsStore(const SettingsStore&) = default;
    SettingsStore& operator=(const SettingsStore&) = default;
};

}  // namespace tavrino
