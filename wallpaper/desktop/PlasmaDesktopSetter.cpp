// KDE Plasma 5 and 6: plasmashell's scripting interface sets the picture on every desktop
// (each screen and activity) and stores it in the shell's own configuration.
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <QUuid>
#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

constexpr int kPlasmaTimeoutMs = 20000;

class PlasmaDesktopSetter final : public DesktopSetter {
public:
    explicit PlasmaDesktopSetter(Environment environment) : environment_(std::move(environment)) {}

    [[nodiscard]] std::string Name() const override { return "KDE Plasma"; }
    [[nodiscard]] bool CachesByFileName() const override { return true; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        // A connection of our own to the session's bus as the environment names it, closed
        // again afterwards; the address is what plasmashell itself was started with.
        const QString name =
            QStringLiteral("tavrino-plasma-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        const auto address = environment_.find("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection bus =
            address != environment_.end() && !address->second.empty()
                ? QDBusConnection::connectToBus(QString::fromStdString(address->second), name)
                : QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        struct Disconnect {
            QString name;
            ~Disconnect() { QDBusConnection::disconnectFromBus(name); }
        } disconnect{name};
        if (!bus.isConnected()) {
            throw Error(errnum::DesktopRefused, "KDE Plasma: no connection to the session bus: " +
                                                    bus.lastError().message().toStdString());
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
            QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
        call << QString::fromStdString(PlasmaWallpaperScript(FileUri(bitmapPath), placement));
        const QDBusMessage reply = bus.call(call, QDBus::Block, kPlasmaTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::string words = reply.errorMessage().toStdString();
            if (words.empty()) {
                words = reply.errorName().toStdString();
            }
            throw Error(errnum::DesktopRefused, "KDE Plasma did not take the wallpaper: " + words);
        }
    }

private:
    Environment environment_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakePlasmaDesktopSetter(const Environment& environment) {
    return std::make_unique<PlasmaDesktopSetter>(environment);
}

}  // namespace tavrino
