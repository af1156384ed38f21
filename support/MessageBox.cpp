#include "support/MessageBox.h"

#include <QMessageBox>
#include <utility>

#include "support/WindowPlacement.h"

namespace tavrino {

namespace {

MessageInterceptor& Interceptor() {
    static MessageInterceptor interceptor;
    return interceptor;
}

MessageInterceptor& Watcher() {
    static MessageInterceptor watcher;
    return watcher;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& title, MessageIcon icon) {
    ShownMessage message{text, title.isEmpty() ? kApplicationTitle : title, icon};
    if (Watcher()) {
        Watcher()(message);
    }
    if (Interceptor()) {
        Interceptor()(message);
        return;
    }
    // A box of the program at large belongs over the main window, not wherever the pointer is.
    QMessageBox box(ToQt(icon), message.title, message.text, QMessageBox::Ok,
                    parent != nullptr ? parent : ShownMainWindow());
    box.exec();
}

void SetMessageWatcher(MessageInterceptor watcher) {
    Watcher() = std::move(watcher);
}

void SetMessageInterceptor(MessageInterceptor interceptor) {
    Interceptor() = std::move(interceptor);
}

}  // namespace tavrino
