#include "mainwindow/TrayIcon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QGuiApplication>
#include <QStyleHints>
#include <chrono>
#include <utility>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

// GNOME Shell's AppIndicator extension tells double clicks itself and calls Activate only for
// them, once; Plasma's panel and the other hosts call it for every click.
bool HostActivatesOnlyOnDoubleClick() {
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (bus == nullptr) {
        return false;
    }
    const QDBusReply<uint> pid = bus->servicePid(QStringLiteral("org.kde.StatusNotifierWatcher"));
    QFile name(QStringLiteral("/proc/%1/comm").arg(pid.isValid() ? pid.value() : 0));
    return pid.isValid() && name.open(QIODevice::ReadOnly) &&
           name.readAll().trimmed() == "gnome-shell";
}

}  // namespace

const QString TrayIcon::kTip = QStringLiteral("Tavrino Wallpaper Manager - Double Click To Open");

TrayIcon::TrayIcon(const QIcon& icon, ErrorReporter& reporter, std::function<void()> restore,
                   QObject* parent)
    : QObject(parent),
      image_(icon),
      reporter_(reporter),
      restore_(std::move(restore)),
      clicks_(TrayClicks::Time(QGuiApplication::styleHints()->mouseDoubleClickInterval())) {
    // A tray host may start after us (panels at log-on): look again every few seconds.
    retry_.setInterval(3000);
    connect(&retry_, &QTimer::timeout, this, [this] { TryShow(); });
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::Register() {
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>(image_);
        icon_->setToolTip(kTip);
        connect(icon_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); });
    }
    TryShow();
}

void TrayIcon::TryShow() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_->show();
        retry_.stop();
    } else if (!retry_.isActive()) {
        retry_.start();
    }
}

bool TrayIcon::Available() const {
    return icon_ && icon_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
    Guarded(reporter_, loc::MainMouseMove, [this, reason] {
        TrayClick click = reason == QSystemTrayIcon::Trigger       ? TrayClick::Single
                          : reason == QSystemTrayIcon::DoubleClick ? TrayClick::Double
                                                                   : TrayClick::Other;
        if (click == TrayClick::Single && HostActivatesOnlyOnDoubleClick()) {
            click = TrayClick::Double;
        }
        const auto now = std::chrono::duration_cast<TrayClicks::Time>(
            std::chrono::steady_clock::now().time_since_epoch());
        if (clicks_.Report(click, now) && restore_) {
            restore_();
        }
    });
}

}  // namespace tavrino
