// The notification-area icon: the application icon with its tip, no menu, no balloon.
// Only a left double click brings the main window back; see TrayClicks for how one is told.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

#include "mainwindow/TrayClicks.h"

namespace tavrino {

class ErrorReporter;

class TrayIcon : public QObject {
    Q_OBJECT

public:
    TrayIcon(const QIcon& icon, ErrorReporter& reporter, std::function<void()> restore,
             QObject* parent = nullptr);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows the icon now, or as soon as a notification area appears.
    void Register();

    // True while the icon really sits in a notification area, so a hidden window can come back.
    [[nodiscard]] bool Available() const;

    [[nodiscard]] QSystemTrayIcon* Icon() const { return icon_.get(); }

    static const QString kTip;

    // The activation handling, callable from tests.
    void Activated(QSystemTrayIcon::ActivationReason reason);

private:
    void TryShow();

    QIcon image_;
    ErrorReporter& reporter_;
    std::function<void()> restore_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QTimer retry_;
    TrayClicks clicks_;
};

}  // namespace tavrino
