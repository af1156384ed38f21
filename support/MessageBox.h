// The program's modal one-button message boxes, with a seam for tests.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tavrino {

enum class MessageIcon { None, Stop, Exclamation, Information };

struct ShownMessage {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
};

// The title used when a box has none of its own.
inline const QString kApplicationTitle = QStringLiteral("TavrinoWallpaperManager");

// Shows a modal box with one OK button; an empty title means the application title.
void ShowMessage(QWidget* parent, const QString& text, const QString& title = QString(),
                 MessageIcon icon = MessageIcon::None);

// While an interceptor is set, boxes are handed to it instead of being shown, so tests
// can see and answer them without blocking. Pass an empty function to restore real boxes.
using MessageInterceptor = std::function<void(const ShownMessage&)>;
void SetMessageInterceptor(MessageInterceptor interceptor);

// Told of every box before it is shown (or intercepted); an empty function stops it.
void SetMessageWatcher(MessageInterceptor watcher);

}  // namespace tavrino
