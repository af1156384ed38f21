// The one home of what tests share: fakes, an environment guard, scratch folders, file bytes
// and a polling wait. Qt-free, so the core tests under Wine use it too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
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
    [[nodiscard]] std::vector<int> Locations() const {
        std::vector<int> locations;
        for (const Report& report : reports) {
            locations.push_back(report.location);
        }
        return locations;
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

// Sets (or, with nullptr, clears) one environment variable and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A scratch folder removed again (even when a test made it read-only) at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
[[nodiscard]] std::string ReadBytes(const std::filesystem::path& file);

// Asks condition every stepMs until it holds or timeoutMs pass; true when it held. Qt tests get
// their pending events processed between tries (see test_main_qt.cpp), so queued signals land.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 15000, int stepMs = 20);

// What WaitUntil runs between tries; the Qt test main sets it to process pending events.
extern std::function<void(int ms)> g_waitStep;

}  // namespace tavrino::test
