// The About box: its texts, one box at a time, the ways to close it, and the System Info button
// against the file-backed machine-wide registry store.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/about/frmAbout.h"

namespace tavrino {
namespace {

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) { shown.push_back(m); });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        EXPECT_TRUE(reporter.reports.empty());
    }
    static QString Text(QWidget& form, const char* name) {
        return form.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    test::TempFolder dir;
    const std::string systemFile = (dir / "system.txt").string();
    test::ScopedEnv systemStore{"TAVRINO_REGISTRY_SYSTEM_FILE", systemFile.c_str()};
    test::ScopedEnv userStore{"TAVRINO_REGISTRY_USER_FILE", (dir / "user.txt").c_str()};
    test::ScopedEnv site{"TAVRINO_VENDOR_SITE", "http://support.test/root"};
    std::vector<ShownMessage> shown;
    test::RecordingReporter reporter;
};

TEST_F(AboutBox, ShowsNameVersionAndSupportAndClosesFourWays) {
    QWidget mainWindow;
    QPointer<frmAbout> about = ShowAbout(reporter, &mainWindow);
    EXPECT_EQ(Text(*about, "lblVersion"), "Version 1.0.0");
    EXPECT_EQ(Text(*about, "Label1"), "Support Is Available At: http://support.test/root");
    EXPECT_TRUE(Text(*about, "Label2").startsWith("or by calling "));
    EXPECT_FALSE(about->isModal());
    // OK, Enter, Escape and the title bar each close and unload it.
    for (int way = 0; way < 4; ++way) {
        about = ShowAbout(reporter, &mainWindow);
        ASSERT_TRUE(about->isVisible());
        if (way == 0) {
            about->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        } else if (way == 3) {
            about->close();
        } else {
            QTest::keyClick(about.data(), way == 1 ? Qt::Key_Return : Qt::Key_Escape);
        }
        EXPECT_TRUE(test::WaitUntil([&about] { return about.isNull(); }, 5000)) << way;
    }
}

TEST_F(AboutBox, SystemInfoStartsTheRegisteredToolOrSaysItIsUnavailable) {
    const std::string tool = (dir / "sysinfo").string();
    test::WriteBytes(tool, "#!/bin/sh\ntouch \"$0.ran\"\n");
    QFile::setPermissions(QString::fromStdString(tool), QFile::ReadOwner | QFile::ExeOwner);
    for (const bool registered : {true, false}) {
        test::WriteBytes(systemFile, registered ? "TavrinoRegistry 1\n[SOFTWARE\\Microsoft\\Shared "
                                                  "Tools\\MSINFO]\n\"PATH\"=sz:\"" +
                                                      tool + "%00\"\nEnd\n"
                                                : "TavrinoRegistry 1\nEnd\n");
        QPointer<frmAbout> about = new frmAbout(reporter);
        about->show();
        about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        if (registered) {
            EXPECT_TRUE(test::WaitUntil(
                [&tool] { return QFile::exists(QString::fromStdString(tool + ".ran")); }, 10000));
            EXPECT_TRUE(shown.empty());
        } else {
            ASSERT_EQ(shown.size(), 1U);
            EXPECT_EQ(shown[0].text, "System Information Is Unavailable At This Time");
            EXPECT_EQ(shown[0].title, "TavrinoWallpaperManager");
            EXPECT_EQ(shown[0].icon, MessageIcon::None);
        }
        EXPECT_FALSE(about.isNull()) << "the box stays open";
        delete about.data();
    }
}

}  // namespace
}  // namespace tavrino
