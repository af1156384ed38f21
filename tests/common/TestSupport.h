// Small fakes shared by the tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "support/errors/Errors.h"

namespace tavrino::test {

struct Report {
    int location = 0;
    std::int32_t number = 0;
    std::string description;
};

// Records every report instead of showing a dialog.
class RecordingReporter final : public ErrorReporter {
public:
    void ShowErrorReport(int location, std::int32_t number,
                         const std::string& description) override {
        reports.push_back({location, number, description});
    }
    std::vector<Report> reports;
};

// An in-memory settings store, matching names without regard to case like the real one.
class MemorySettingsStore final : public SettingsStore {
public:
    std::string Get(const std::string& application, const std::string& section,
                    const std::string& key, int def) override;
    void Save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;

    // Value under Varnello/Settings, or nullptr when never written.
    [[nodiscard]] const std::string* Find(const std::string& key) const;
    void Put(const std::string& key, const std::string& value);

    std::map<std::string, std::string> values;  // "application/section/key", lower-cased
    std::vector<std::string> saveLog;           // keys in the order they were saved
    bool failSaves = false;
};

}  // namespace tavrino::test
