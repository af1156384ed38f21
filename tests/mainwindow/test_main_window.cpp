// The main window's load in its fixed order, its menus, the tray's double click and the hide
// after a log-on start, with stand-ins for the desktop, the browser and the program's end.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QWindow>
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
        std::filesystem::create_directory(dir / "data");
        SetMessageInterceptor([this](const ShownMessage& m) { messages.push_back(m.text); });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    // Writes a small picture under name (the bytes of a file name) and returns its path.
    std::string Picture(const std::string& name, QColor colour) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = (dir / name).string();
        EXPECT_TRUE(image.save(QFile::decodeName(QByteArray::fromStdString(path)), "JPG"));
        return path;
    }
    void WriteList(const std::string& lines) { test::WriteBytes(dir / "data/images.idx", lines); }

    std::unique_ptr<frmMain> Load(const QString& arguments = QString()) {
        MainWindowServices services;
        RegistryFileOptions registry;
        registry.userFile = dir / "registry.txt";
        registry.seedDesktopDefaults = true;
        services.registry = std::make_unique<RegistryFileStore>(registry);
        services.desktop = std::make_unique<RecordingDesktop>(desktopCalls);
        services.dataFolder = QString::fromStdString((dir / "data").string());
        services.openWebPage = [this](const QString& address) { opened.push_back(address); };
        services.endProgram = [this] { ++ends; };
        auto window = std::make_unique<frmMain>(arguments, store, reporter, std::move(services));
        window->ShowFromStartup();
        return window;
    }
    [[nodiscard]] static QColor Previewed(Ui::frmMain& ui) {
        const QImage shown = ui.imgPreview->pixmap().toImage();
        return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }

    test::TempFolder dir;
    test::MemorySettingsStore store;
    test::RecordingReporter reporter;
    std::vector<std::string> desktopCalls;
    std::vector<QString> opened;
    std::vector<QString> messages;
    int ends = 0;
};

TEST_F(MainWindow, AnEmptyListLeavesTheDesktopAloneAndADamagedSettingStopsNothing) {
    store.Put("Aspect", "maybe");
    auto window = Load();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Rotation().CurrentIndex(), 0);
    EXPECT_TRUE(desktopCalls.empty());
    EXPECT_TRUE(window->Controls().imgPreview->pixmap().isNull());
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::MainLoad});
    EXPECT_TRUE(window->Controls().chkMaintainAspect->isChecked());
    EXPECT_EQ(window->Controls().lblStatus->text(),
              "Your Next Wallpaper Will Show In: 5 Minute(s)");
    EXPECT_EQ(*store.Find("Stretch"), "1");  // the first run writes the checked options back
    EXPECT_EQ(store.Find("Tile"), nullptr);
}

TEST_F(MainWindow, TheLoadPutsTheFirstSelectedImageUpAndAnnouncesTheNext) {
    // The first flag is no truth value: it reads as false, and the load says so once.
    const std::string red = Picture("red.jpg", Qt::red);
    const std::string green = Picture("green.jpg", Qt::green);
    const std::string blue = Picture("blue.jpg", Qt::blue);
    WriteList(red + "|maybe\r\n" + green + "|True\r\n" + blue + "|True\r\n");
    store.Put("RotateMinutes", "12");
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_EQ(window->Rotation().CurrentIndex(), 2);
    EXPECT_EQ(ui.lblCurrentlyShowing->text().toStdString(), green);
    EXPECT_EQ(ui.lblUpNext->text().toStdString(), blue);
    EXPECT_EQ(ui.lblStatus->text(), "Your Next Wallpaper Will Show In: 12 Minute(s)");
    ASSERT_EQ(desktopCalls.size(), 1U);
    EXPECT_TRUE(std::filesystem::exists(desktopCalls[0]));
    EXPECT_GT(Previewed(ui).red(), 200) << "the preview shows the first entry";
    EXPECT_EQ(ui.lstPreview->header()->sectionSize(0), ui.lstPreview->width() - 6);
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::RefreshDisplayLists});
}

TEST_F(MainWindow, EntriesArePreviewedAndShownByTheirStoredPathEvenWhenNotUtf8) {
    // A name in an old single-byte encoding ("café" in Latin-1) cannot pass through a QString.
    const std::string red = Picture("red.jpg", Qt::red);
    std::filesystem::rename(red, dir / "caf\xE9.jpg");
    WriteList((dir / "caf\xE9.jpg").string() + "|True\r\n" + Picture("g.jpg", Qt::green) +
              "|True\r\n");
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_GT(Previewed(ui).red(), 200);
    EXPECT_EQ(desktopCalls.size(), 1U);
    emit ui.lstPreview->clicked(ui.lstPreview->model()->index(1, 0));
    EXPECT_GT(Previewed(ui).green(), 200);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(MainWindow, ALogOnStartHidesOnlyWhenAskedAndNeverLosesTheWindow) {
    // The offscreen platform has no notification area, so "hidden" means minimised here: a
    // window hidden without a tray icon could never come back.
    struct Case {
        const char* arguments;
        const char* minimize;
        bool hidden;
    };
    // clang-format off
    const Case cases[] = {{"/startup", "1", true}, {"/STARTUP", "1", true},
                          {"/startup", "0", false}, {"", "1", false}};
    // clang-format on
    for (const Case& c : cases) {
        store.Put("Minimize", c.minimize);
        auto window = Load(QString::fromLatin1(c.arguments));
        EXPECT_TRUE(window->isVisible()) << c.arguments;
        EXPECT_EQ(window->isMinimized(), c.hidden) << c.arguments << c.minimize;
    }
}

TEST_F(MainWindow, ExitEndsAtOnceAndClosingOpensTheVendorSiteFirst) {
    auto window = Load();
    window->Controls().mnuHelpFiles->trigger();
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_TRUE(opened[0].endsWith("help/index.html")) << opened[0].toStdString();
    window->Controls().mnuExit->trigger();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(opened.size(), 1U);
    Load()->close();
    EXPECT_EQ(ends, 2);
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_TRUE(opened[1].startsWith("http")) << opened[1].toStdString();
}

TEST_F(MainWindow, HideAndRunHidesTheAboutBoxTooAndOnlyADoubleClickRestores) {
    auto window = Load();
    EXPECT_EQ(window->Tray().Icon()->toolTip(), "Tavrino Wallpaper Manager - Double Click To Open");
    window->Controls().mnuAbout->trigger();
    window->Controls().mnuAbout->trigger();
    ASSERT_NE(window->AboutBox(), nullptr);
    EXPECT_EQ(window->findChildren<QDialog*>().size(), 1);
    window->Controls().mnuHide->trigger();
    EXPECT_FALSE(window->AboutBox()->isVisible());
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::Trigger);
    window->Tray().Activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(MainWindow, CheckBoxClicksGoThroughTheOptionRules) {
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    ui.chkTileImages->click();
    EXPECT_FALSE(ui.chkStretchImages->isChecked());
    EXPECT_EQ(*store.Find("Stretch"), "0");
    EXPECT_EQ(*store.Find("Tile"), "1");
    ui.chkRandom->click();
    EXPECT_EQ(*store.Find("Random"), "1");
}

TEST_F(MainWindow, TheKeyboardPreviewsAndEnterShowsTheRowAtOnce) {
    WriteList(Picture("red.jpg", Qt::red) + "|True\r\n" + Picture("green.jpg", Qt::green) +
              "|True\r\n" + Picture("blue.jpg", Qt::blue) + "|True\r\n");
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    ui.SSTab1->setCurrentIndex(1);
    ui.lstPreview->setFocus();
    ui.lstPreview->setCurrentIndex(ui.lstPreview->model()->index(0, 0));
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    EXPECT_GT(Previewed(ui).green(), 200) << "a move down previews the second entry";
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    EXPECT_GT(Previewed(ui).blue(), 200) << "and the third";
    const std::size_t changes = desktopCalls.size();
    QTest::keyClick(ui.lstPreview, Qt::Key_Return);
    EXPECT_EQ(desktopCalls.size(), changes + 1) << "Enter puts the row on the desktop";
    EXPECT_EQ(window->Rotation().CurrentIndex(), 3);
}

TEST_F(MainWindow, SecondaryWindowsOpenOverTheMainWindowAndAboveIt) {
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
