// Settings kept by QSettings: the native per-user store on Windows, one INI file per user
// under the XDG config folder elsewhere.
#pragma once

#include <QString>
#include <memory>

#include "settings/SettingsStore.h"

class QSettings;

namespace tavrino {

class ErrorReporter;

class QtSettingsStore final : public SettingsStore {
public:
    // The default per-user store.
    explicit QtSettingsStore(ErrorReporter& reporter);
    // An INI file at iniPath (tests, portable use).
    QtSettingsStore(ErrorReporter& reporter, const QString& iniPath);
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    std::string Get(const std::string& application, const std::string& section,
                    const std::string& key, int def) override;
    void Save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;

    // Where a damaged file was moved or copied to, empty when none was.
    [[nodiscard]] QString SetAsidePath() const { return setAside_; }
    [[nodiscard]] static QString DefaultIniPath();

private:
    void Open(const QString& iniPath);
    [[nodiscard]] QString ResolveGroup(const std::string& application,
                                       const std::string& section) const;
    [[nodiscard]] QString ResolveKey(const QString& group, const std::string& key) const;

    ErrorReporter& reporter_;
    std::unique_ptr<QSettings> settings_;
    QString setAside_;
    QString keepAside_;  // where an unparsable file goes before the first write over it
};

}  // namespace tavrino
