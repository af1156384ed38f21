// The About box: its texts, and the System Info button against the machine-wide registry file.
#include <gtest/gtest.h>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/about/frmAbout.h"

namespace tavrino {
namespace {

TEST(AboutBox, ShowsNameVersionAndSupportAndItsSystemInfoButtonStartsTheRegisteredTool) {
    test::TempFolder dir;
    const std::string tool = (dir / "sysinfo").string();
    const test::ScopedEnv system("TAVRINO_REGISTRY_SYSTEM_FILE", (dir / "system.txt").c_str());
    const test::ScopedEnv user("TAVRINO_REGISTRY_USER_FILE", (dir / "user.txt").c_str());
    const test::ScopedEnv site("TAVRINO_VENDOR_SITE", "http://support.test/root");
    SetMessageInterceptor([](const ShownMessage& m) { ADD_FAILURE() << m.text.toStdString(); });
    test::RecordingReporter reporter;
    QWidget mainWindow;
    QPointer<frmAbout> about = ShowAbout(reporter, &mainWindow);
    const auto text = [&about](const char* name) {
        return about->findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    EXPECT_EQ(text("lblVersion"), "Version 1.0.0");
    EXPECT_EQ(text("Label1"), "Support Is Available At: http://support.test/root");
    EXPECT_TRUE(text("Label2").startsWith("or by calling "));
    EXPECT_FALSE(about->isModal());
    test::WriteBytes(tool, "#!/bin/sh\ntouch \"$0.ran\"\n");
    QFile::setPermissions(QString::fromStdString(tool), QFile::ReadOwner | QFile::ExeOwner);
    test::WriteBytes(
        dir / "system.txt",
        "TavrinoRegistry 1\n[SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=sz:\"" + tool +
            "%00\"\nEnd\n");
    about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    EXPECT_TRUE(
        test::WaitUntil([&] { return QFile::exists(QString::fromStdString(tool + ".ran")); }));
    SetMessageInterceptor({});
    EXPECT_TRUE(reporter.reports.empty());
}

}  // namespace
}  // namespace tavrino
