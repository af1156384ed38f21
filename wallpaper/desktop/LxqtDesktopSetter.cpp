// LXQt: pcmanfm-qt draws the desktop and takes the picture from its command line, passing it
// on to the running instance. When no instance manages the desktop the command still ends
// well and nothing changes, so the instance's stored setting is read back afterwards.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <utility>

#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

constexpr int kSettleMs = 5000;

class LxqtDesktopSetter final : public DesktopSetter {
public:
    explicit LxqtDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "LXQt"; }
    [[nodiscard]] bool CachesByFileName() const override { return true; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        RunProgramChecked(
            environment_, QStringLiteral("pcmanfm-qt"),
            {QStringLiteral("--set-wallpaper"), QString::fromStdString(bitmapPath),
             QStringLiteral("--wallpaper-mode"), QString::fromLatin1(PcmanfmMode(placement))});
        // The running instance stores the picture when it takes it, a moment after the
        // command has handed it over.
        AwaitStoredWallpaper(
            QString::fromStdString(bitmapPath),
            [this] {
                QStringList stored;
                for (const QString& file : SettingsFiles()) {
                    const QSettings settings(file, QSettings::IniFormat);
                    stored << settings.value(QStringLiteral("Desktop/Wallpaper")).toString();
                }
                return stored;
            },
            kSettleMs, "LXQt", "pcmanfm-qt");
    }

private:
    // The LXQt session's profile, and the one pcmanfm-qt uses on its own.
    [[nodiscard]] QStringList SettingsFiles() const {
        const QString config = ConfigHome(environment_);
        return {config + QStringLiteral("/pcmanfm-qt/lxqt/settings.conf"),
                config + QStringLiteral("/pcmanfm-qt/default/settings.conf")};
    }

    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeLxqtDesktopSetter(const Environment& environment) {
    return std::make_unique<LxqtDesktopSetter>(environment);
}

}  // namespace tavrino
