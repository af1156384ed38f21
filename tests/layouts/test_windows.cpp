// What the forms must do beyond their drawn geometry: every text is drawn in full, the windows
// keep their size, the Tab key stays on the chosen tab, picture buttons show their pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "common/TestSupport.h"
#include "layouts/FixedSize.h"
#include "support/about/frmAbout.h"
#include "support/errors/frmErrors.h"
#include "support/online/frmNewRelease.h"
#include "ui_frmMain.h"
#include "ui_frmSplash.h"

namespace tavrino {
namespace {

// Every label, check box, button and frame title of a shown window is drawn in full.
void ExpectCaptionsFit(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QFontMetrics metrics(label->font());
        if (label->text().isEmpty()) {
            continue;
        } else if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        } else {
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
            EXPECT_LE(metrics.ascent() + metrics.descent(), label->contentsRect().height());
        }
    }
    for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
        EXPECT_LE(box->sizeHint().width(), box->width()) << box->objectName().toStdString();
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        const QFontMetrics metrics(button->font());
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(metrics.horizontalAdvance(QString(button->text()).remove('&')) + 2 * margin,
                  button->width())
            << button->objectName().toStdString();
    }
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        EXPECT_LT(QFontMetrics(frame->font()).horizontalAdvance(frame->title()), frame->width());
    }
}

void Show(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
}

TEST(Layouts, TheMainWindowKeepsItsSizeAndTheTabKeyStaysOnTheChosenTab) {
    QMainWindow window;
    Ui::frmMain ui{};
    ui.setupUi(&window);
    FixMainWindowSize(window);
    Show(window);
    // No strip left over under the client area.
    EXPECT_EQ(window.centralWidget()->geometry().bottom(), window.height() - 1);
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (int tab = 0; tab < ui.SSTab1->count(); ++tab) {
        SCOPED_TRACE(tab);
        ui.SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        ExpectCaptionsFit(*ui.SSTab1->widget(tab));
        ui.SSTab1->tabBar()->setFocus();
        int onTab = 0;
        for (int step = 0; step < 40; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            const bool here = ui.SSTab1->widget(tab)->isAncestorOf(focus);
            EXPECT_TRUE(here || focus == ui.SSTab1->tabBar()) << focus->objectName().toStdString();
            onTab += here ? 1 : 0;
        }
        EXPECT_GT(onTab, 0);
    }
    // Within the options, Tab goes down each frame in turn.
    ui.chkStretchImages->setFocus();
    QStringList visited = {QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 8; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, QStringList({"chkStretchImages", "chkTileImages", "chkMaintainAspect",
                                    "chkRotateImages", "txtRotateMinutes", "chkRandom",
                                    "chkAutoStart", "chkAutoUpdate", "chkMinimize"}));
}

TEST(Layouts, TheSecondaryWindowsDrawTheirTextsAndPicturesInFull) {
    QWidget splash(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    Ui::frmSplash splashUi{};
    splashUi.setupUi(&splash);
    Show(splash);
    EXPECT_EQ(splash.childAt(splashUi.lblStatus->geometry().center()), splashUi.lblStatus)
        << "the status is drawn over the picture";
    ExpectCaptionsFit(splash);

    test::RecordingReporter reporter;
    frmErrors errors;
    frmNewRelease notice(reporter);
    frmAbout about(reporter);
    for (QWidget* window : std::initializer_list<QWidget*>{&errors, &notice, &about}) {
        SCOPED_TRACE(window->objectName().toStdString());
        Show(*window);
        ExpectCaptionsFit(*window);
        // A picture button shows its 111 x 23 picture unscaled and names itself for readers.
        for (const QToolButton* button : window->findChildren<QToolButton*>()) {
            EXPECT_EQ(button->iconSize(), QSize(111, 23));
            EXPECT_FALSE(button->accessibleName().isEmpty());
            const QString picture = button->objectName() == "cmdSendError"
                                        ? ":/art/button-send-report.png"
                                        : ":/art/button-cancel.png";
            EXPECT_EQ(button->icon()
                          .pixmap(QSize(111, 23))
                          .toImage()
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                      QImage(picture).convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }
}

}  // namespace
}  // namespace tavrino
