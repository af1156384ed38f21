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
#include "tests/support/online/RegistryStoreWriter.h"

namespace tavrino {
namespace {

QString Text(QWidget& form, const char* name) {
    return form.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) { shown.push_back(m); });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        EXPECT_TRUE(reporter.reports.empty());
    }

    test::TempFolder dir;
    const std::string systemFile = (dir / "system.txt").string();
    const std::string userFile = (dir / "user.txt").string();
    test::ScopedEnv systemStore{"TAVRINO_REGISTRY_SYSTEM_FILE", systemFile.c_str()};
    test::ScopedEnv userStore{"TAVRINO_REGISTRY_USER_FILE", userFile.c_str()};
    test::ScopedEnv site{"TAVRINO_VENDOR_SITE", "http://support.test/root"};
    std::vector<ShownMessage> shown;
    test::RecordingReporter reporter;
};

TEST_F(AboutBox, ShowsNameVersionAndSupportAndOnlyOneBoxAtATime) {
    QWidget mainWindow;
    QPointer<frmAbout> about = ShowAbout(reporter, &mainWindow);
    EXPECT_EQ(Text(*about, "lblVersion"), "Version 1.0.0");
    EXPECT_EQ(Text(*about, "Label1"), "Support Is Available At: http://support.test/root");
    EXPECT_TRUE(Text(*about, "Label2").startsWith("or by calling "));
    EXPECT_GT(Text(*about, "Label2").size(), QStringLiteral("or by calling ").size());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(ShowAbout(reporter, &mainWindow), about.data());
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
    const std::string folder = dir.Path().string();
    const test::StoredValue path{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", reg::Sz,
                                 folder + "/sysinfo"};
    const test::StoredValue location{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                     reg::Sz, folder};
    struct Case {
        bool store;
        std::vector<test::StoredValue> values;
        const char* tool;  // written into the folder and expected to run; null: the message
    };
    // clang-format off
    const Case cases[] = {
        {false, {},                 nullptr},
        {true,  {path, location},   "sysinfo"},
        {true,  {location},         "MSINFO32.EXE"},
        {true,  {location},         nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool != nullptr ? c.tool : "none");
        shown.clear();
        QFile::remove(QString::fromStdString(systemFile));
        if (c.store) {
            ASSERT_TRUE(test::WriteRegistryStore(systemFile, c.values));
        }
        const std::string tool = folder + "/" + (c.tool != nullptr ? c.tool : "");
        if (c.tool != nullptr) {
            test::WriteBytes(tool, "#!/bin/sh\ntouch \"$0.ran\"\n");
            QFile::setPermissions(QString::fromStdString(tool), QFile::ReadOwner | QFile::ExeOwner);
        }
        QPointer<frmAbout> about = new frmAbout(reporter);
        about->show();
        about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        if (c.tool != nullptr) {
            EXPECT_TRUE(test::WaitUntil(
                [&tool] { return QFile::exists(QString::fromStdString(tool + ".ran")); }, 10000));
            EXPECT_TRUE(shown.empty());
            QFile::remove(QString::fromStdString(tool));
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
