// The splash window, error report dialog, new-release notice and About box forms.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <vector>

#include "LayoutChecks.h"
#include "layouts/Resources.h"
#include "ui_frmAbout.h"
#include "ui_frmErrors.h"
#include "ui_frmNewRelease.h"
#include "ui_frmSplash.h"

namespace tavrino::test {
namespace {

QPoint NoOffset(const char*) {
    return {0, 0};
}

const QColor kLightGrey(0xE8, 0xE8, 0xE8);

class SecondaryWindowLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tavrino::InitAppearance(); }
};

// A flat picture button: shows only its 111 x 23 picture, names itself for screen readers.
void ExpectPictureButton(const QToolButton* button, const QString& picture, const QString& name) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_TRUE(button->autoRaise());
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(button->iconSize(), QSize(111, 23));
    EXPECT_EQ(button->accessibleName(), name);
    const QImage expected(picture);
    ASSERT_FALSE(expected.isNull()) << "resource " << picture.toStdString();
    const QImage shown = button->icon().pixmap(QSize(111, 23)).toImage();
    // Compared premultiplied, as a pixmap stores it.
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
              expected.convertToFormat(QImage::Format_ARGB32_Premultiplied))
        << "the button shows its picture unscaled";
}

void ExpectLightGreyBackground(const QWidget& window) {
    EXPECT_TRUE(window.autoFillBackground());
    EXPECT_EQ(window.palette().color(QPalette::Window), kLightGrey);
}

TEST_F(SecondaryWindowLayout, SplashWindow) {
    QWidget window(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    Ui::frmSplash ui{};
    ui.setupUi(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ExpectControls(
        window,
        {
            {"imgSplash", "QLabel", "frmSplash", 0, 0, 6750, 3750, nullptr, ""},
            {"lblStatus", "QLabel", "frmSplash", 1890, 3510, 4695, 255, "Loading...", ""},
        },
        NoOffset);
    EXPECT_EQ(window.size(), QSize(450, 250));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    ExpectLightGreyBackground(window);
    EXPECT_EQ(ui.imgSplash->pixmap().size(), QSize(450, 250)) << "the splash picture is loaded";
    EXPECT_TRUE(ui.lblStatus->font().bold());
    EXPECT_EQ(ui.lblStatus->alignment(), Qt::AlignCenter);
    // The status is drawn over the picture, not hidden behind it.
    EXPECT_EQ(window.childAt(ui.lblStatus->geometry().center()), ui.lblStatus);
    ExpectCaptionsFit(window);
}

TEST_F(SecondaryWindowLayout, ErrorReportDialog) {
    QDialog window;
    Ui::frmErrors ui{};
    ui.setupUi(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ExpectControls(
        window,
        {
            {"Label1", "QLabel", "frmErrors", 60, 90, 4755, 1485,
             "We regret that an unexpected error has occured in our software.  This error has "
             "been captured and we would appreciate it if you could transfer this error to us so "
             "that we may investigate.  We respect your privacy and only the limited information "
             "you see below will be transfered to us.  Thank you for helping us make this a "
             "better product.",
             ""},
            {"lblErrorLocation", "QLabel", "frmErrors", 60, 1650, 4755, 255, "Error Location:", ""},
            {"lblErrorNumber", "QLabel", "frmErrors", 60, 2010, 4755, 255, "Error Number:", ""},
            {"lblErrorDescription", "QLabel", "frmErrors", 60, 2370, 4755, 945,
             "Error Description:", ""},
            {"cmdSendError", "QToolButton", "frmErrors", 90, 3780, 1665, 345, nullptr, ""},
            {"cmdCancel", "QToolButton", "frmErrors", 3120, 3780, 1665, 345, nullptr, ""},
        },
        NoOffset);
    EXPECT_EQ(window.windowTitle(), "An Invalid Error Has Occured");
    EXPECT_EQ(window.size(), QSize(Px(4875), Px(4215)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    ExpectLightGreyBackground(window);
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        EXPECT_TRUE(label->font().bold()) << label->objectName().toStdString();
        EXPECT_FALSE(label->autoFillBackground()) << "transparent";
    }
    EXPECT_TRUE(ui.Label1->wordWrap());
    EXPECT_TRUE(ui.lblErrorDescription->wordWrap());
    ExpectPictureButton(ui.cmdSendError, ":/art/button-send-report.png", "Send Report");
    ExpectPictureButton(ui.cmdCancel, ":/art/button-cancel.png", "Cancel");
    const QStringList order = {"Label1",         "lblErrorLocation",
                               "lblErrorNumber", "lblErrorDescription",
                               "cmdSendError",   "cmdCancel"};
    EXPECT_EQ(TabFocusWidgets(window, order), QStringList({"cmdSendError", "cmdCancel"}));
    ExpectCaptionsFit(window);
}

TEST_F(SecondaryWindowLayout, NewReleaseNotice) {
    QDialog window;
    Ui::frmNewRelease ui{};
    ui.setupUi(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ExpectControls(window,
                   {
                       {"txtNewVersion", "QPlainTextEdit", "frmNewRelease", 90, 60, 7455, 4095, "",
                        "The latest version news."},
                       {"cmd1", "QToolButton", "frmNewRelease", 2940, 4290, 1665, 345, nullptr,
                        "Click here to close this message"},
                   },
                   NoOffset);
    EXPECT_EQ(window.windowTitle(), "A New Version Is Now Available");
    EXPECT_EQ(window.size(), QSize(Px(7635), Px(4710)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    ExpectLightGreyBackground(window);
    EXPECT_TRUE(ui.txtNewVersion->isReadOnly());
    EXPECT_EQ(ui.txtNewVersion->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    ExpectPictureButton(ui.cmd1, ":/art/button-cancel.png", "Cancel");
    EXPECT_EQ(TabFocusWidgets(window, {"txtNewVersion", "cmd1"}),
              QStringList({"txtNewVersion", "cmd1"}));
}

TEST_F(SecondaryWindowLayout, AboutBox) {
    QDialog window;
    Ui::frmAbout ui{};
    ui.setupUi(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ExpectControls(
        window,
        {
            {"picIcon", "QLabel", "frmAbout", 240, 240, 540, 540, nullptr, ""},
            {"lblTitle", "QLabel", "frmAbout", 1050, 240, 3885, 480, "Tavrino Wallpaper Manager",
             ""},
            {"lblVersion", "QLabel", "frmAbout", 1050, 780, 3885, 225, "Version", ""},
            {"lblDescription", "QLabel", "frmAbout", 1050, 1125, 3885, 1170, "", ""},
            {"lblDisclaimer", "QLabel", "frmAbout", 255, 2610, 3870, 225, "", ""},
            {"cmdOK", "QPushButton", "frmAbout", 4245, 2625, 1260, 345, "OK", ""},
            {"Label1", "QLabel", "frmAbout", 270, 2880, 3855, 375, "Support Is Available At: ", ""},
            {"cmdSysInfo", "QPushButton", "frmAbout", 4260, 3075, 1245, 345, "&System Info...", ""},
            // As wide as Label1, so the telephone number appended at load is not cut off.
            {"Label2", "QLabel", "frmAbout", 270, 3270, 3855, 195, "or by calling ", ""},
        },
        NoOffset);
    EXPECT_EQ(window.windowTitle(), "About Tavrino Wallpaper Manager");
    EXPECT_EQ(window.size(), QSize(Px(5730), Px(3555)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(ui.lblTitle->font().bold());
    EXPECT_EQ(ui.lblTitle->font().pointSize(), 12);
    EXPECT_TRUE(ui.lblDescription->wordWrap());
    EXPECT_TRUE(ui.cmdOK->isDefault());
    EXPECT_EQ(QKeySequence::mnemonic(ui.cmdSysInfo->text()), QKeySequence(Qt::ALT | Qt::Key_S));
    EXPECT_EQ(TabFocusWidgets(window, {"cmdOK", "picIcon", "cmdSysInfo", "lblTitle", "lblVersion",
                                       "lblDescription", "lblDisclaimer", "Label1", "Label2"}),
              QStringList({"cmdOK", "cmdSysInfo"}));

    // The etched separator: a grey line with a white 2-pixel line under it, across the box.
    const QImage shot = window.grab().toImage();
    for (const int x : {Px(105), Px(2865), Px(5640)}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(shot.pixelColor(x, Px(2445)), QColor(128, 128, 128));
        EXPECT_EQ(shot.pixelColor(x, Px(2460)), QColor(Qt::white));
        EXPECT_EQ(shot.pixelColor(x, Px(2460) + 1), QColor(Qt::white));
    }

    // Representative texts set at load still fit their labels.
    ui.lblVersion->setText("Version 1.0.0");
    ui.lblDescription->setText(
        "This tool will allow you to select multiple images to be displayed on your Windows "
        "background and will automatically rotate them on a schedule you select.  This tool is "
        "provided free of charge.");
    ui.lblDisclaimer->setText("Provided as is, without warranty of any kind.");
    ui.Label1->setText(ui.Label1->text() + "http://www.tavrino.example");
    ui.Label2->setText(ui.Label2->text() + "(312) 555-0147");
    ExpectCaptionsFit(window);
}

}  // namespace
}  // namespace tavrino::test
