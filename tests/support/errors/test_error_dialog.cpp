// The error report dialog: one instance, the last report wins, labels in their formats.
#include <gtest/gtest.h>
#include <QLabel>
#include <QToolButton>

#include "support/errors/ErrorDialogReporter.h"
#include "support/errors/frmErrors.h"

namespace tavrino {
namespace {

QStringList Labels(frmErrors& dialog) {
    QStringList texts;
    for (const char* name : {"lblErrorLocation", "lblErrorNumber", "lblErrorDescription"}) {
        texts << dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    return texts;
}

TEST(ErrorDialog, OneDialogShowsTheLatestReportWithoutWaiting) {
    ErrorDialogReporter reporter;
    EXPECT_FALSE(reporter.HasDialog());
    Guarded(reporter, loc::RegistryCheckError,
            [] { throw Error(errnum::Registry, "Key Not Found"); });
    frmErrors& dialog = reporter.Dialog();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(Labels(dialog), QStringList({"Error Location: 64", "Error Number: -10000",
                                           "Error Description: Key Not Found"}));
    dialog.findChild<QToolButton*>(QStringLiteral("cmdCancel"))->click();
    EXPECT_FALSE(dialog.isVisible());
    reporter.ShowErrorReport(loc::MainLoad, errnum::TypeMismatch, "Type mismatch");
    reporter.ShowErrorReport(loc::SaveDisplayList, errnum::DiskFull, "Disk full");
    EXPECT_EQ(&reporter.Dialog(), &dialog);
    dialog.RefreshLabels();  // as on the next activation
    EXPECT_EQ(Labels(dialog), QStringList({"Error Location: 39", "Error Number: 61",
                                           "Error Description: Disk full"}));
}

}  // namespace
}  // namespace tavrino
