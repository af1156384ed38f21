// What the forms must do beyond their drawn geometry: every text is drawn in full, the windows
// keep their size, the Tab key stays on the chosen tab, pictures are whole.
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
#include <QToolButton>

#include "common/TestSupport.h"
#include "layouts/FixedSize.h"
#include "layouts/Resources.h"
#include "support/about/frmAbout.h"
#include "support/errors/frmErrors.h"
#include "support/online/frmNewRelease.h"
#include "ui_frmMain.h"
#include "ui_frmSplash.h"

namespace tavrino {
namespace {

// Shows a window, which must keep its size, and checks every caption of it is drawn in full.
void ShowWithCaptionsInFull(QWidget& window, const QWidget* part = nullptr) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    part = part ? part : &window;
    for (const QLabel* label : part->findChildren<QLabel*>()) {
        const QFontMetrics metrics(label->font());
        EXPECT_TRUE(label->text().isEmpty() ||
                    (label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                       : metrics.horizontalAdvance(label->text()) <=
                                                 label->contentsRect().width() &&
                                             metrics.height() <= label->contentsRect().height()))
            << label->objectName().toStdString();
    }
    for (const QCheckBox* box : part->findChildren<QCheckBox*>()) {
        EXPECT_LE(box->sizeHint().width(), box->width()) << box->objectName().toStdString();
    }
    for (const QPushButton* button : part->findChildren<QPushButton*>()) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) +
                      2 * margin,
                  button->width())
            << button->objectName().toStdString();
    }
    for (const QGroupBox* frame : part->findChildren<QGroupBox*>()) {
        EXPECT_LT(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width());
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
        ShowWithCaptionsInFull(window, ui.SSTab1->widget(tab));
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

TEST(Layouts, TheSecondaryWindowsDrawTheirTextsInFull) {
    QWidget splash(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    Ui::frmSplash splashUi{};
    splashUi.setupUi(&splash);
    ShowWithCaptionsInFull(splash);
    EXPECT_EQ(splash.childAt(splashUi.lblStatus->geometry().center()), splashUi.lblStatus)
        << "the status is drawn over the picture";
    test::RecordingReporter reporter;
    frmErrors errors;
    frmNewRelease notice(reporter);
    frmAbout about(reporter);
    for (QWidget* window : std::initializer_list<QWidget*>{&errors, &notice, &about}) {
        SCOPED_TRACE(window->objectName().toStdString());
        ShowWithCaptionsInFull(*window);
        // A picture button shows its picture unscaled, transparent corners and all.
        for (const QToolButton* button : window->findChildren<QToolButton*>()) {
            const QImage shown = button->icon().pixmap(button->iconSize()).toImage();
            EXPECT_EQ(shown.size(), QSize(111, 23));
            EXPECT_LT(shown.pixelColor(0, 0).alpha(), 128);
            EXPECT_EQ(shown.pixelColor(3, 11).alpha(), 255);
        }
    }
    for (const int size : {16, 32, 48, 256}) {
        EXPECT_TRUE(AppIcon().availableSizes().contains(QSize(size, size))) << size;
    }
}

}  // namespace
}  // namespace tavrino
