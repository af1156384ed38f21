#include "support/MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace tavrino {

namespace {

MessageInterceptor& Interceptor() {
    static MessageInterceptor interceptor;
    return interceptor;
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
    if (Interceptor()) {
        Interceptor()(message);
        return;
    }
    QMessageBox box(ToQt(icon), message.title, message.text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageInterceptor(MessageInterceptor interceptor) {
    Interceptor() = std::move(interceptor);
}

}  // namespace tavrino
