// LXQt: pcmanfm-qt draws the desktop and takes the picture from its command line, passing it
// on to the running instance. When no instance manages the desktop the command still ends
// well and nothing changes, so the instance's stored setting is read back afterwards.
#include <QDeadlineTimer>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QThread>
#include <utility>

#include "support/Errors.h"
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
        const QString wanted = QString::fromStdString(bitmapPath);
        QDeadlineTimer deadline(kSettleMs);
        QString seen;
        do {
            for (const QString& file : SettingsFiles()) {
                const QSettings settings(file, QSettings::IniFormat);
                const QString stored =
                    settings.value(QStringLiteral("Desktop/Wallpaper")).toString();
                if (stored == wanted) {
                    return;
                }
                if (!stored.isEmpty()) {
                    seen = stored;
                }
            }
            QThread::msleep(100);
        } while (!deadline.hasExpired());
        throw Error(
            errnum::DesktopRefused,
            "LXQt did not take the wallpaper: pcmanfm-qt keeps " +
                (seen.isEmpty() ? std::string("no picture") : "\"" + seen.toStdString() + "\"") +
                " (is pcmanfm-qt managing the desktop?)");
    }

private:
    // The LXQt session's profile, and the one pcmanfm-qt uses on its own.
    [[nodiscard]] QStringList SettingsFiles() const {
        QString config;
        if (const auto it = environment_.find("XDG_CONFIG_HOME");
            it != environment_.end() && !it->second.empty()) {
            config = QString::fromStdString(it->second);
        } else if (const auto home = environment_.find("HOME"); home != environment_.end()) {
            config = QString::fromStdString(home->second) + QStringLiteral("/.config");
        }
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
