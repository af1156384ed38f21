// The About box with the file-backed machine-wide registry store present and absent.
#include <gtest/gtest.h>

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <vector>

#include "common/TestSupport.h"
#include "settings/RegistryFileStore.h"
#include "support/MessageBox.h"
#include "support/about/frmAbout.h"
#include "tests/support/online/LoopbackHttpServer.h"
#include "tests/support/online/RegistryStoreWriter.h"

namespace tavrino {
namespace {

QString Text(QWidget& form, const char* name) {
    auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing %1>").arg(name);
}

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        previousSystemFile = qgetenv("TAVRINO_REGISTRY_SYSTEM_FILE");
        previousUserFile = qgetenv("TAVRINO_REGISTRY_USER_FILE");
        qputenv("TAVRINO_REGISTRY_SYSTEM_FILE",
                dir.filePath(QStringLiteral("system.txt")).toUtf8());
        qputenv("TAVRINO_REGISTRY_USER_FILE", dir.filePath(QStringLiteral("user.txt")).toUtf8());
        SetMessageInterceptor([this](const ShownMessage& m) { shown.push_back(m); });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        qputenv("TAVRINO_REGISTRY_SYSTEM_FILE", previousSystemFile);
        qputenv("TAVRINO_REGISTRY_USER_FILE", previousUserFile);
    }

    void WriteSystemStore(const std::vector<test::StoredValue>& values) {
        ASSERT_TRUE(test::WriteRegistryStore(
            dir.filePath(QStringLiteral("system.txt")).toStdString(), values));
    }

    // A program that leaves a mark when it runs.
    QString WriteTool(const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ntouch \"$0.ran\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // An About box that looks the tool up in the platform's own machine-wide store.
    QPointer<frmAbout> Open() {
        auto* about =
            new frmAbout(reporter, nullptr, nullptr, {}, QStringLiteral("http://site.test"));
        about->show();
        return about;
    }

    void PressSysInfo(frmAbout& about) {
        auto* button = about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    QTemporaryDir dir;
    QByteArray previousSystemFile, previousUserFile;
    std::vector<ShownMessage> shown;
    test::RecordingReporter reporter;
};

TEST_F(AboutBox, ShowsNameVersionDescriptionAndSupport) {
    QPointer<frmAbout> about = Open();
    EXPECT_EQ(about->windowTitle(), "About Tavrino Wallpaper Manager");
    EXPECT_EQ(Text(*about, "lblTitle"), "Tavrino Wallpaper Manager");
    EXPECT_EQ(Text(*about, "lblVersion"), "Version 1.0.0");
    EXPECT_EQ(Text(*about, "lblDescription"),
              "This tool will allow you to select multiple images to be displayed on your Windows "
              "background and will automatically rotate them on a schedule you select.  This tool "
              "is provided free of charge.");
    EXPECT_EQ(Text(*about, "Label1"), "Support Is Available At: http://site.test");
    EXPECT_TRUE(Text(*about, "Label2").startsWith("or by calling "));
    EXPECT_GT(Text(*about, "Label2").size(), QStringLiteral("or by calling ").size());
    EXPECT_FALSE(Text(*about, "lblDisclaimer").isEmpty());
    EXPECT_FALSE(about->isModal());
    auto* ok = about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_TRUE(reporter.reports.empty());
    delete about.data();
}

TEST_F(AboutBox, AskingAgainBringsTheOpenBoxForward) {
    QWidget mainWindow;
    QPointer<frmAbout> first = ShowAbout(reporter, &mainWindow);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(ShowAbout(reporter, &mainWindow), first.data());
    first->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    ASSERT_TRUE(test::WaitUntil([&first] { return first.isNull(); }, 5000));
    QPointer<frmAbout> second = ShowAbout(reporter, &mainWindow);
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    delete second.data();
}

TEST_F(AboutBox, SupportLineUsesTheConfiguredRoot) {
    const QByteArray previous = qgetenv("TAVRINO_VENDOR_SITE");
    qputenv("TAVRINO_VENDOR_SITE", "http://support.test/root");
    auto* about = new frmAbout(reporter);
    qputenv("TAVRINO_VENDOR_SITE", previous);
    EXPECT_EQ(Text(*about, "Label1"), "Support Is Available At: http://support.test/root");
    delete about;
}

TEST_F(AboutBox, OkEnterEscapeAndTheTitleBarCloseTheBox) {
    enum class Way { Ok, Enter, Escape, TitleBar };
    for (Way way : {Way::Ok, Way::Enter, Way::Escape, Way::TitleBar}) {
        SCOPED_TRACE(static_cast<int>(way));
        QPointer<frmAbout> about = Open();
        switch (way) {
            case Way::Ok:
                about->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
                break;
            case Way::Enter:
                QTest::keyClick(about.data(), Qt::Key_Return);
                break;
            case Way::Escape:
                QTest::keyClick(about.data(), Qt::Key_Escape);
                break;
            case Way::TitleBar:
                about->close();
                break;
        }
        if (!about.isNull()) {
            EXPECT_FALSE(about->isVisible());
        }
        EXPECT_TRUE(test::WaitUntil([&about] { return about.isNull(); }, 5000));
    }
    EXPECT_TRUE(reporter.reports.empty());
}

struct StoreCase {
    const char* name;
    bool store;                             // the machine-wide file exists
    std::vector<test::StoredValue> values;  // "%DIR%" in a value is the test folder
    const char* tool;                       // the tool written into the test folder, or null
    const char* ran;                        // the tool expected to run, or null for the message
};

class SysInfoButton : public AboutBox, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(SysInfoButton, StartsTheRegisteredToolOrSaysItIsUnavailable) {
    const StoreCase& c = GetParam();
    if (c.tool != nullptr) {
        WriteTool(QString::fromLatin1(c.tool));
    }
    if (c.store) {
        std::vector<test::StoredValue> values = c.values;
        for (test::StoredValue& v : values) {
            const std::size_t at = v.bytes.find("%DIR%");
            if (at != std::string::npos) {
                v.bytes.replace(at, 5, dir.path().toStdString());
            }
        }
        WriteSystemStore(values);
    }
    QPointer<frmAbout> about = Open();
    PressSysInfo(*about);
    if (c.ran != nullptr) {
        const QString mark = dir.filePath(QString::fromLatin1(c.ran)) + QStringLiteral(".ran");
        EXPECT_TRUE(test::WaitUntil([&mark] { return QFile::exists(mark); }, 10000));
        EXPECT_TRUE(shown.empty());
    } else {
        ASSERT_EQ(shown.size(), 1U);
        EXPECT_EQ(shown[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(shown[0].title, "TavrinoWallpaperManager");
        EXPECT_EQ(shown[0].icon, MessageIcon::None);
    }
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_FALSE(about.isNull());  // the box stays open
    delete about.data();
}

const char* const kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

std::string WithNul(const char* text) {
    return std::string(text) + '\0';
}

INSTANTIATE_TEST_SUITE_P(
    Stores, SysInfoButton,
    ::testing::Values(StoreCase{"NoStore", false, {}, nullptr, nullptr},
                      StoreCase{"EmptyStore", true, {}, nullptr, nullptr},
                      StoreCase{"PathRegistered",
                                true,
                                {{kPathKey, "PATH", reg::Sz, WithNul("%DIR%/sysinfo")},
                                 {kFolderKey, "MSINFO", reg::Sz, WithNul("%DIR%")}},
                                "sysinfo",
                                "sysinfo"},
                      StoreCase{"FolderRegistered",
                                true,
                                {{kFolderKey, "MSINFO", reg::Sz, WithNul("%DIR%")}},
                                "MSINFO32.EXE",
                                "MSINFO32.EXE"},
                      StoreCase{"FolderWithoutTheTool",
                                true,
                                {{kFolderKey, "MSINFO", reg::Sz, WithNul("%DIR%")}},
                                nullptr,
                                nullptr},
                      StoreCase{"PathToAMissingFile",
                                true,
                                {{kPathKey, "PATH", reg::Sz, WithNul("%DIR%/gone")}},
                                nullptr,
                                nullptr}),
    [](const ::testing::TestParamInfo<StoreCase>& p) { return std::string(p.param.name); });

TEST_F(AboutBox, DamagedStoreMeansUnavailable) {
    QFile file(dir.filePath(QStringLiteral("system.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[unterminated\n");
    file.close();
    QPointer<frmAbout> about = Open();
    PressSysInfo(*about);
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(reporter.reports.empty());
    delete about.data();
}

TEST_F(AboutBox, InjectedStoreAndStarterAreUsed) {
    RegistryFileOptions options;
    options.systemFile = dir.filePath(QStringLiteral("own.txt")).toStdString();
    ASSERT_TRUE(test::WriteRegistryStore(options.systemFile,
                                         {{kPathKey, "PATH", reg::Sz, WithNul("/opt/tool")}}));
    std::vector<QString> started;
    auto* about = new frmAbout(reporter, nullptr, std::make_unique<RegistryFileStore>(options),
                               [&started](const QString& path) {
                                   started.push_back(path);
                                   return true;
                               });
    about->StartSysInfo();
    ASSERT_EQ(started.size(), 1U);
    EXPECT_EQ(started[0], "/opt/tool");
    EXPECT_TRUE(shown.empty());
    delete about;
}

}  // namespace
}  // namespace tavrino
