#include "layouts/FixedSize.h"

#include <QLayout>
#include <QMainWindow>

namespace tavrino {

void FixMainWindowSize(QMainWindow& window) {
    if (QLayout* layout = window.layout()) {
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
}

}  // namespace tavrino
