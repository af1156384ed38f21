// The main window's load in its fixed order, its menus, the tray's double click and the
// hide after a log-on start, with stand-ins for the desktop, the browser and the program's end.
#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QWindow>
#include <fstream>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmMain.h"
#include "rotation/RotationController.h"
#include "settings/RegistryFileStore.h"
#include "support/MessageBox.h"
#include "support/about/frmAbout.h"
#include "support/errors/ErrorDialogReporter.h"
#include "ui_frmMain.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

using test::MemorySettingsStore;
using test::RecordingReporter;

class RecordingDesktop final : public DesktopSetter {
public:
    explicit RecordingDesktop(std::vector<std::string>& calls) : calls_(calls) {}
    [[nodiscard]] std::string Name() const override { return "test"; }
    void SetBackground(const std::string& bitmapPath, Placement) override {
        calls_.push_back(bitmapPath);
    }

private:
    std::vector<std::string>& calls_;
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) { messages.push_back(m.text); });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    // Writes a small picture and returns its path.
    QString Picture(const QString& name, QColor colour) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "JPG"));
        return path;
    }

    void WriteList(const QStringList& paths, const QStringList& flags) {
        QFile file(dir.filePath(QStringLiteral("data/images.idx")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < paths.size(); ++i) {
            file.write(QFile::encodeName(paths[i]) + '|' + flags[i].toLatin1() + "\r\n");
        }
    }

    std::unique_ptr<frmMain> Load(const QString& arguments = QString()) {
        MainWindowServices services;
        RegistryFileOptions registry;
        registry.userFile =
            QFile::encodeName(dir.filePath(QStringLiteral("registry.txt"))).toStdString();
        registry.seedDesktopDefaults = true;
        services.registry = std::make_unique<RegistryFileStore>(registry);
        services.desktop = std::make_unique<RecordingDesktop>(desktopCalls);
        services.dataFolder = dir.filePath(QStringLiteral("data"));
        services.openWebPage = [this](const QString& address) { opened.push_back(address); };
        services.endProgram = [this] { ++ends; };
        auto window = std::make_unique<frmMain>(arguments, store, reporter, std::move(services));
        window->ShowFromStartup();
        return window;
    }

    QTemporaryDir dir;
    MemorySettingsStore store;
    RecordingReporter reporter;
    std::vector<std::string> desktopCalls;
    std::vector<QString> opened;
    std::vector<QString> messages;
    int ends = 0;

    void MakeDataFolder() { QDir().mkpath(dir.filePath(QStringLiteral("data"))); }
};

TEST_F(MainWindow, AnEmptyListLeavesTheDesktopAloneAndShowsNoPreview) {
    MakeDataFolder();
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ui.lblCurrentlyShowing->text(), QString());
    EXPECT_EQ(window->Rotation().CurrentIndex(), 0);
    EXPECT_TRUE(desktopCalls.empty());
    EXPECT_TRUE(ui.imgPreview->pixmap().isNull());
    EXPECT_TRUE(reporter.reports.empty()) << reporter.reports.front().description;
    // The first run writes the six checked options back.
    EXPECT_EQ(*store.Find("Stretch"), "1");
    EXPECT_EQ(store.Find("Tile"), nullptr);
}

TEST_F(MainWindow, AListWithRotationOnPutsTheFirstSelectedImageUpAndAnnouncesTheNext) {
    MakeDataFolder();
    const QString red = Picture(QStringLiteral("red.jpg"), Qt::red);
    const QString green = Picture(QStringLiteral("green.jpg"), Qt::green);
    const QString blue = Picture(QStringLiteral("blue.jpg"), Qt::blue);
    WriteList({red, green, blue},
              {QStringLiteral("False"), QStringLiteral("True"), QStringLiteral("True")});
    store.Put("RotateMinutes", "12");
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_EQ(window->Rotation().CurrentIndex(), 2);
    EXPECT_EQ(ui.lblCurrentlyShowing->text(), green);
    EXPECT_EQ(ui.lblUpNext->text(), blue);
    EXPECT_EQ(ui.lblStatus->text(),
              QStringLiteral("Your Next Wallpaper Will Show In: 12 Minute(s)"));
    ASSERT_EQ(desktopCalls.size(), 1U);
    EXPECT_TRUE(QFile::exists(QFile::decodeName(QByteArray::fromStdString(desktopCalls[0]))));
    // The preview shows the first entry.
    EXPECT_FALSE(ui.imgPreview->pixmap().isNull());
    // Column widths follow the list views.
    EXPECT_EQ(ui.lstPreview->header()->sectionSize(0), ui.lstPreview->width() - 6);
    EXPECT_TRUE(reporter.reports.empty()) << reporter.reports.front().description;
}

TEST_F(MainWindow, EntriesArePreviewedAndShownByTheirStoredPathEvenWhenNotUtf8) {
    // A name in an old single-byte encoding ("café" in Latin-1) cannot pass through a QString:
    // the list's bytes must reach the file.
    MakeDataFolder();
    const std::string latin1 = QFile::encodeName(dir.path()).toStdString() + "/caf\xE9.jpg";
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "JPG"));
        std::ofstream out(latin1, std::ios::binary);
        out.write(jpeg.constData(), jpeg.size());
        ASSERT_TRUE(out.good());
    }
    const QString green = Picture(QStringLiteral("green.jpg"), Qt::green);
    {
        QFile file(dir.filePath(QStringLiteral("data/images.idx")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(latin1) + "|True\r\n");
        file.write(QFile::encodeName(green) + "|True\r\n");
    }
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    const auto previewColour = [&ui] {
        const QImage shown = ui.imgPreview->pixmap().toImage();
        return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
    };
    EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
    EXPECT_TRUE(reporter.reports.empty()) << reporter.reports.front().description;
    // The first entry is previewed and, being selected first, put on the desktop.
    EXPECT_GT(previewColour().red(), 200);
    ASSERT_EQ(desktopCalls.size(), 1U);
    EXPECT_EQ(window->Rotation().CurrentIndex(), 1);
    // A click on the second entry previews that one.
    const QModelIndex second = ui.lstPreview->model()->index(1, 0);
    emit ui.lstPreview->clicked(second);
    EXPECT_GT(previewColour().green(), 200);
    EXPECT_LT(previewColour().red(), 60);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindow, RotationOffSaysSoAndAnnouncesNothing) {
    MakeDataFolder();
    const QString red = Picture(QStringLiteral("red.jpg"), Qt::red);
    WriteList({red}, {QStringLiteral("True")});
    store.Put("Rotate", "0");
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_EQ(ui.lblStatus->text(), QStringLiteral("Automatic Rotate Disabled"));
    EXPECT_EQ(ui.pbStatus->value(), 0);
    EXPECT_EQ(ui.lblUpNext->text(), QString());
    EXPECT_EQ(ui.lblCurrentlyShowing->text(), red);
}

TEST_F(MainWindow, ADamagedSettingIsReportedAndTheLoadGoesOn) {
    MakeDataFolder();
    store.Put("Aspect", "maybe");
    auto window = Load();
    ASSERT_FALSE(reporter.reports.empty());
    EXPECT_EQ(reporter.reports[0].location, 30);
    EXPECT_EQ(reporter.reports[0].number, errnum::TypeMismatch);
    EXPECT_TRUE(window->Controls().chkMaintainAspect->isChecked());
    EXPECT_EQ(window->Controls().lblStatus->text(),
              QStringLiteral("Your Next Wallpaper Will Show In: 5 Minute(s)"));
}

struct LogOnCase {
    const char* name;
    const char* arguments;
    const char* minimize;
    bool hidden;
};

TEST_F(MainWindow, ALogOnStartHidesOnlyWhenAskedAndNeverLosesTheWindow) {
    // The offscreen platform has no notification area, so "hidden" means minimised here:
    // a window hidden without a tray icon could never come back.
    const std::vector<LogOnCase> cases{
        {"log-on start, minimise on", "/startup", "1", true},
        {"log-on start, upper case", "/STARTUP", "1", true},
        {"log-on start, minimise off", "/startup", "0", false},
        {"plain start, minimise on", "", "1", false},
    };
    MakeDataFolder();
    for (const LogOnCase& c : cases) {
        store.Put("Minimize", c.minimize);
        auto window = Load(QString::fromLatin1(c.arguments));
        EXPECT_TRUE(window->isVisible()) << c.name;
        EXPECT_EQ(window->isMinimized(), c.hidden) << c.name;
    }
}

TEST_F(MainWindow, ExitEndsWithoutOpeningAPageAndClosingOpensTheVendorSite) {
    MakeDataFolder();
    {
        auto window = Load();
        window->Controls().mnuExit->trigger();
        EXPECT_EQ(ends, 1);
        EXPECT_TRUE(opened.empty());
    }
    auto window = Load();
    window->close();
    EXPECT_EQ(ends, 2);
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_TRUE(opened[0].startsWith(QStringLiteral("http"))) << opened[0].toStdString();
}

TEST_F(MainWindow, HelpOpensTheLocalHelpPage) {
    MakeDataFolder();
    auto window = Load();
    window->Controls().mnuHelpFiles->trigger();
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("help/index.html"))) << opened[0].toStdString();
}

TEST_F(MainWindow, HideAndRunWithoutATrayMinimisesAndTheDoubleClickRestores) {
    MakeDataFolder();
    auto window = Load();
    window->Controls().mnuHide->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    // Only a double click brings it back; Qt reports a single click first.
    window->Tray().Activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, TheTrayIconCarriesTheTipAndTheApplicationIcon) {
    MakeDataFolder();
    auto window = Load();
    ASSERT_NE(window->Tray().Icon(), nullptr);
    EXPECT_EQ(window->Tray().Icon()->toolTip(),
              QStringLiteral("Tavrino Wallpaper Manager - Double Click To Open"));
    EXPECT_FALSE(window->Tray().Icon()->icon().isNull());
    EXPECT_EQ(window->Tray().Icon()->contextMenu(), nullptr);
}

TEST_F(MainWindow, AboutOpensOneBoxAndHideAndRunHidesItToo) {
    MakeDataFolder();
    auto window = Load();
    window->Controls().mnuAbout->trigger();
    window->Controls().mnuAbout->trigger();
    ASSERT_NE(window->AboutBox(), nullptr);
    EXPECT_TRUE(window->AboutBox()->isVisible());
    EXPECT_EQ(window->findChildren<QDialog*>().size(), 1);
    window->Controls().mnuHide->trigger();
    EXPECT_FALSE(window->AboutBox()->isVisible());
}

TEST_F(MainWindow, CheckBoxClicksGoThroughTheOptionRules) {
    MakeDataFolder();
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    ASSERT_TRUE(ui.chkStretchImages->isChecked());
    ui.chkTileImages->click();
    EXPECT_TRUE(ui.chkTileImages->isChecked());
    EXPECT_FALSE(ui.chkStretchImages->isChecked());
    EXPECT_EQ(*store.Find("Stretch"), "0");
    EXPECT_EQ(*store.Find("Tile"), "1");
    ui.chkRandom->click();
    EXPECT_EQ(*store.Find("Random"), "1");
}

TEST_F(MainWindow, TheKeyboardPreviewsAndEnterShowsTheRowAtOnce) {
    MakeDataFolder();
    const QStringList paths{Picture(QStringLiteral("red.jpg"), Qt::red),
                            Picture(QStringLiteral("green.jpg"), Qt::green),
                            Picture(QStringLiteral("blue.jpg"), Qt::blue)};
    WriteList(paths, {QStringLiteral("True"), QStringLiteral("True"), QStringLiteral("True")});
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    const auto previewColour = [&ui] {
        const QImage shown = ui.imgPreview->pixmap().toImage();
        return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
    };
    ui.SSTab1->setCurrentIndex(1);
    ui.lstPreview->setFocus();
    ui.lstPreview->setCurrentIndex(ui.lstPreview->model()->index(0, 0));
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    EXPECT_GT(previewColour().green(), 200) << "a move down previews the second entry";
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    EXPECT_GT(previewColour().blue(), 200) << "and the third";
    const std::size_t changes = desktopCalls.size();
    QTest::keyClick(ui.lstPreview, Qt::Key_Return);
    EXPECT_EQ(desktopCalls.size(), changes + 1) << "Enter puts the row on the desktop";
    EXPECT_EQ(window->Rotation().CurrentIndex(), 3);
    EXPECT_EQ(ui.lblCurrentlyShowing->text(), paths[2]);
}

TEST_F(MainWindow, SecondaryWindowsOpenOverTheMainWindowAndAboveIt) {
    MakeDataFolder();
    // An error shown during the load, before the main window is up, must not end beneath it.
    frmErrors early;
    ShowErrorInDialog(early, 30, 13, "Type mismatch");
    auto window = Load();
    ASSERT_TRUE(window->isVisible());
    ASSERT_NE(early.windowHandle(), nullptr);
    EXPECT_EQ(early.windowHandle()->transientParent(), window->windowHandle());
    // A window opened later sits over the main window, wherever that was moved to.
    window->move(40, 30);
    frmErrors later;
    ShowErrorInDialog(later, 31, 5, "Invalid procedure call");
    EXPECT_EQ(later.windowHandle()->transientParent(), window->windowHandle());
    EXPECT_EQ(later.screen(), window->screen());
    const QPoint offset = later.frameGeometry().center() - window->frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << "the dialog is centred over the main window";
}

}  // namespace
}  // namespace tavrino
