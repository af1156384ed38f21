// What the main form must do beyond its drawn geometry: every text is drawn in full, the window
// keeps its size, the Tab key stays on the chosen tab.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTest>

#include "layouts/FixedSize.h"
#include "ui_frmMain.h"

namespace tavrino {
namespace {

// Shows a window, which must keep its size, and checks every caption in part is drawn in full.
void ShowWithCaptionsInFull(QWidget& window, const QWidget& part) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    const auto fits = [](const QWidget* w, const QString& text, int margin = 0) {
        EXPECT_LE(w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + margin,
                  w->contentsRect().width())
            << w->objectName().toStdString();
    };
    for (const QLabel* label : part.findChildren<QLabel*>()) {
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        } else if (!label->text().isEmpty()) {
            fits(label, label->text());
            EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height());
        }
    }
    for (const QCheckBox* box : part.findChildren<QCheckBox*>()) {
        EXPECT_LE(box->sizeHint().width(), box->width()) << box->objectName().toStdString();
    }
    for (const QPushButton* button : part.findChildren<QPushButton*>()) {
        fits(button, button->text(),
             2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button));
    }
    for (const QGroupBox* frame : part.findChildren<QGroupBox*>()) {
        fits(frame, frame->title(), 1);
    }
}

TEST(Layouts, TheMainWindowKeepsItsSizeAndTheTabKeyStaysOnTheChosenTab) {
    QMainWindow window;
    Ui::frmMain ui{};
    ui.setupUi(&window);
    FixMainWindowSize(window);
    QApplication::setActiveWindow(&window);
    for (int tab = 0; tab < ui.SSTab1->count(); ++tab) {
        SCOPED_TRACE(tab);
        ui.SSTab1->setCurrentIndex(tab);
        ShowWithCaptionsInFull(window, *ui.SSTab1->widget(tab));
        EXPECT_EQ(window.centralWidget()->geometry().bottom(), window.height() - 1) << "no strip";
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ui.SSTab1->tabBar()->setFocus();
        int onTab = 0;
        for (int step = 0; step < 40; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const bool here = ui.SSTab1->widget(tab)->isAncestorOf(QApplication::focusWidget());
            EXPECT_TRUE(here || QApplication::focusWidget() == ui.SSTab1->tabBar());
            onTab += here ? 1 : 0;
        }
        EXPECT_GT(onTab, 0);
    }
}

}  // namespace
}  // namespace tavrino
