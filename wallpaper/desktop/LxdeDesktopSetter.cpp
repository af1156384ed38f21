// LXDE: pcmanfm draws the desktop and takes the picture from its command line, passing it on
// to the running instance, which stores it in its profile. Without such an instance the
// command itself becomes one and never ends, hence the short wait; the stored setting is read
// back so a picture that went nowhere is reported.
#include <QFile>
#include <QString>
#include <QStringList>
#include <utility>

#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

constexpr int kAnswerMs = 8000;
constexpr int kSettleMs = 5000;

// The "wallpaper=" entry of a desktop-items file, as written and with GLib's key-file escapes
// undone: pcmanfm writes the path as it is, so a backslash in it is no escape.
QStringList StoredWallpaper(const QString& file) {
    QFile items(file);
    if (!items.open(QIODevice::ReadOnly)) {
        return {};
    }
    while (!items.atEnd()) {
        const QString line = QString::fromUtf8(items.readLine()).trimmed();
        if (!line.startsWith(QStringLiteral("wallpaper="))) {
            continue;
        }
        const QString raw = line.mid(10);
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != QLatin1Char('\\') || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const QChar escaped = raw[++i];
            if (escaped == QLatin1Char('s')) {
                value += QLatin1Char(' ');
            } else if (escaped == QLatin1Char('n')) {
                value += QLatin1Char('\n');
            } else if (escaped == QLatin1Char('t')) {
                value += QLatin1Char('\t');
            } else if (escaped == QLatin1Char('r')) {
                value += QLatin1Char('\r');
            } else {
                value += escaped;
            }
        }
        return {raw, value};
    }
    return {};
}

class LxdeDesktopSetter final : public DesktopSetter {
public:
    explicit LxdeDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "LXDE"; }
    [[nodiscard]] bool CachesByFileName() const override { return true; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        RunProgramChecked(
            environment_, QStringLiteral("pcmanfm"),
            {QStringLiteral("--set-wallpaper=") + QString::fromStdString(bitmapPath),
             QStringLiteral("--wallpaper-mode=") + QString::fromLatin1(PcmanfmMode(placement))},
            kAnswerMs);
        AwaitStoredWallpaper(
            QString::fromStdString(bitmapPath),
            [this] {
                QStringList stored;
                for (const QString& file : ItemFiles()) {
                    stored << StoredWallpaper(file);
                }
                return stored;
            },
            kSettleMs, "LXDE", "pcmanfm");
    }

private:
    // The profiles LXDE sessions use, and pcmanfm's own.
    [[nodiscard]] QStringList ItemFiles() const {
        const QString config = ConfigHome(environment_);
        QStringList files;
        for (const char* profile : {"LXDE", "lubuntu", "LXDE-pi", "default"}) {
            files << config + QStringLiteral("/pcmanfm/") + QString::fromLatin1(profile) +
                         QStringLiteral("/desktop-items-0.conf");
        }
        return files;
    }

    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeLxdeDesktopSetter(const Environment& environment) {
    return std::make_unique<LxdeDesktopSetter>(environment);
}

}  // namespace tavrino
