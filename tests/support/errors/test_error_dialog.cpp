// The error report dialog: one instance, the last report wins, labels in their formats.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QToolButton>

#include "support/MessageBox.h"
#include "support/errors/ErrorDialogReporter.h"
#include "support/errors/frmErrors.h"

namespace tavrino {
namespace {

QString LabelText(frmErrors& dialog, const char* name) {
    auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

TEST(ErrorDialog, IsCreatedOnFirstReportAndShowsTheLabelsInTheirFormats) {
    ErrorDialogReporter reporter;
    EXPECT_FALSE(reporter.HasDialog());
    Guarded(reporter, loc::RegistryCheckError,
            [] { throw Error(errnum::Registry, "Key Not Found"); });
    ASSERT_TRUE(reporter.HasDialog());
    frmErrors& dialog = reporter.Dialog();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(LabelText(dialog, "lblErrorLocation"), "Error Location: 64");
    EXPECT_EQ(LabelText(dialog, "lblErrorNumber"), "Error Number: -10000");
    EXPECT_EQ(LabelText(dialog, "lblErrorDescription"), "Error Description: Key Not Found");
}

TEST(ErrorDialog, TwoReportsInARowLeaveTheSecondInTheOneDialog) {
    ErrorDialogReporter reporter;
    reporter.ShowErrorReport(loc::MainLoad, errnum::TypeMismatch, "Type mismatch");
    frmErrors* first = &reporter.Dialog();
    reporter.ShowErrorReport(loc::ComposeWallpaper, errnum::InvalidPicture, "Invalid picture");
    EXPECT_EQ(&reporter.Dialog(), first);
    EXPECT_EQ(first->ErrorLocation, 48);
    EXPECT_EQ(first->ErrorNumber, 481);
    EXPECT_EQ(first->ErrorDescription, "Invalid picture");
    // Labels follow on the next activation or focus.
    first->RefreshLabels();
    EXPECT_EQ(LabelText(*first, "lblErrorLocation"), "Error Location: 48");
}

TEST(ErrorDialog, CancelHidesAndANewReportShowsOnlyTheNewValues) {
    ErrorDialogReporter reporter;
    reporter.ShowErrorReport(loc::MainLoad, errnum::TypeMismatch, "Type mismatch");
    frmErrors& dialog = reporter.Dialog();
    auto* cancel = dialog.findChild<QToolButton*>(QStringLiteral("cmdCancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(dialog.isVisible());
    reporter.ShowErrorReport(loc::SaveDisplayList, errnum::DiskFull, "Disk full");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(LabelText(dialog, "lblErrorLocation"), "Error Location: 39");
    EXPECT_EQ(LabelText(dialog, "lblErrorNumber"), "Error Number: 61");
    EXPECT_EQ(LabelText(dialog, "lblErrorDescription"), "Error Description: Disk full");
}

TEST(ErrorDialog, SendRunsTheSenderOnceAndHidesEvenWhenItFails) {
    ErrorDialogReporter reporter;
    reporter.ShowErrorReport(loc::MainLoad, errnum::TypeMismatch, "Type mismatch");
    frmErrors& dialog = reporter.Dialog();
    int sends = 0;
    dialog.sendHandler = [&sends](frmErrors&) {
        ++sends;
        throw Error(errnum::NetworkFailure);
    };
    dialog.findChild<QToolButton*>(QStringLiteral("cmdSendError"))->click();
    EXPECT_EQ(sends, 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(MessageBoxSeam, HandsTheBoxToTheInterceptorWithTheApplicationTitle) {
    std::vector<ShownMessage> shown;
    SetMessageInterceptor([&shown](const ShownMessage& m) { shown.push_back(m); });
    ShowMessage(nullptr, QStringLiteral("Problem"), QString(), MessageIcon::None);
    ShowMessage(nullptr, QStringLiteral("Gone"), QStringLiteral("Browser Not Found"),
                MessageIcon::Exclamation);
    SetMessageInterceptor({});
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0].title, "TavrinoWallpaperManager");
    EXPECT_EQ(shown[1].title, "Browser Not Found");
    EXPECT_EQ(shown[1].icon, MessageIcon::Exclamation);
}

}  // namespace
}  // namespace tavrino
