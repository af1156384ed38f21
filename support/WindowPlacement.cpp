#include "support/WindowPlacement.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tavrino {

namespace {

QPointer<QWidget>& MainWindow() {
    static QPointer<QWidget> window;
    return window;
}

}  // namespace

void SetMainWindow(QWidget* window) {
    MainWindow() = window;
}

QWidget* ShownMainWindow() {
    QWidget* main = MainWindow().data();
    return main != nullptr && main->isVisible() && !main->isMinimized() ? main : nullptr;
}

void PlaceOverMainWindow(QWidget* window) {
    QWidget* main = ShownMainWindow();
    if (window == nullptr || main == nullptr || window == main) {
        return;
    }
    window->winId();  // the native window, to name its owner
    if (QWindow* handle = window->windowHandle()) {
        handle->setTransientParent(main->windowHandle());
        handle->setScreen(main->screen());
    }
    const QRect area = main->screen()->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(main->frameGeometry().center());
    // Kept whole on the main window's monitor: never across the join with the next one.
    frame.moveLeft(
        qBound(area.left(), frame.left(), qMax(area.left(), area.right() - frame.width())));
    frame.moveTop(
        qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() - frame.height())));
    window->move(frame.topLeft());
}

void RaiseSecondaryWindows() {
    QWidget* main = ShownMainWindow();
    if (main == nullptr) {
        return;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != main && window->isVisible() && window->isWindow()) {
            PlaceOverMainWindow(window);
            window->raise();
        }
    }
}

}  // namespace tavrino
