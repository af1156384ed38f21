#include "layouts/Resources.h"

#include <QApplication>
#include <QString>
#include <QStringList>

// Q_INIT_RESOURCE must be expanded outside any namespace.
static void InitLayoutResources() {
    Q_INIT_RESOURCE(resources);
}

namespace tavrino {

void InitResources() {
    static const bool done = [] {
        InitLayoutResources();
        return true;
    }();
    static_cast<void>(done);
}

QIcon AppIcon() {
    InitResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/art/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QFont DialogFont() {
    QFont font;
#ifdef Q_OS_WIN
    font.setFamilies({QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma")});
    font.setPointSizeF(8.0);
#else
    // Metric twins of Arial first; a condensed face keeps the captions inside their boxes where
    // none of them is installed.
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(7.5);
#endif
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void InitAppearance() {
    InitResources();
    QApplication::setFont(DialogFont());
    QApplication::setWindowIcon(AppIcon());
}

}  // namespace tavrino
