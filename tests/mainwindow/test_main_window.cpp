// The main window's load, menus, check boxes, tray and log-on hide, with stand-ins for the
// desktop, browser and exit; and the one copy per session.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "mainwindow/SingleInstance.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmMain.h"
#include "rotation/RotationController.h"
#include "settings/RegistryFileStore.h"
#include "support/MessageBox.h"
#include "support/about/frmAbout.h"
#include "ui_frmMain.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

struct RecordingDesktop final : DesktopSetter {
    explicit RecordingDesktop(std::vector<std::string>& into) : calls(into) {}
    [[nodiscard]] std::string Name() const override { return "test"; }
    void SetBackground(const std::string& path, Placement) override { calls.push_back(path); }
    std::vector<std::string>& calls;
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "data");
        SetMessageInterceptor([](const ShownMessage& m) { ADD_FAILURE() << m.text.toStdString(); });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    // Writes a small picture under name (the bytes of a file name); its display-list line.
    std::string Picture(const std::string& name, QColor colour) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(QString::fromStdString((dir / "new.jpg").string()), "JPG"));
        std::filesystem::rename(dir / "new.jpg", dir / name);  // names need not be UTF-8
        return (dir / name).string() + "|True\r\n";
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
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }

    test::TempFolder dir;
    test::MemorySettingsStore store;
    test::RecordingReporter reporter;
    std::vector<std::string> desktopCalls;
    std::vector<QString> opened;
    int ends = 0;
};

TEST_F(MainWindow, TheLoadShowsTheFirstSelectedEntryAndTheKeyboardPreviewsAndShowsRows) {
    // The first flag is no truth value: it reads as false, and the load says so once. The first
    // name, in an old single-byte encoding ("café" in Latin-1), cannot pass through a QString.
    const std::string red = Picture("caf\xE9.jpg", Qt::red);
    WriteList(red.substr(0, red.size() - 6) + "maybe\r\n" + Picture("green.jpg", Qt::green) +
              Picture("blue.jpg", Qt::blue));
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_EQ(window->Rotation().CurrentIndex(), 2);
    EXPECT_EQ(ui.lblCurrentlyShowing->text(), QString::fromStdString((dir / "green.jpg").string()));
    EXPECT_EQ(ui.lblUpNext->text(), QString::fromStdString((dir / "blue.jpg").string()));
    ASSERT_EQ(desktopCalls.size(), 1U);
    EXPECT_TRUE(std::filesystem::exists(desktopCalls[0]));
    EXPECT_GT(Previewed(ui).red(), 200) << "the preview shows the first entry";
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::RefreshDisplayLists});
    ui.SSTab1->setCurrentIndex(1);
    ui.lstPreview->setFocus();
    ui.lstPreview->setCurrentIndex(ui.lstPreview->model()->index(0, 0));
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    EXPECT_GT(Previewed(ui).green(), 200) << "a move down previews the second entry";
    QTest::keyClick(ui.lstPreview, Qt::Key_Down);
    QTest::keyClick(ui.lstPreview, Qt::Key_Return);
    EXPECT_EQ(desktopCalls.size(), 2U) << "Enter puts the row on the desktop";
    EXPECT_EQ(window->Rotation().CurrentIndex(), 3);
    emit ui.lstPreview->clicked(ui.lstPreview->model()->index(0, 0));
    EXPECT_GT(Previewed(ui).red(), 200) << "a click previews the stored path";
}

TEST_F(MainWindow, ALogOnStartHidesOnlyWhenAskedAndAnEmptyListOrDamagedSettingStopsNothing) {
    // Offscreen there is no notification area, so "hidden" means minimised: a window hidden
    // without a tray icon could never come back.
    // clang-format off
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/startup", "1", true}, {"/STARTUP", "1", true}, {"/startup", "0", false}, {"", "1", false}};
    // clang-format on
    for (const auto& [arguments, minimize, hidden] : cases) {
        store.Put("Aspect", "maybe");
        store.Put("Minimize", minimize);
        auto window = Load(QString::fromLatin1(arguments));
        EXPECT_TRUE(window->isVisible()) << arguments;
        EXPECT_EQ(window->isMinimized(), hidden) << arguments << minimize;
        EXPECT_TRUE(window->Controls().imgPreview->pixmap().isNull());
        EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::MainLoad});
        reporter.reports.clear();
    }
    EXPECT_TRUE(desktopCalls.empty());
}

TEST_F(MainWindow, TheMenusHideOpenAndEndAndOnlyADoubleClickOnTheTrayRestores) {
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    EXPECT_EQ(window->Tray().Icon()->toolTip(), "Tavrino Wallpaper Manager - Double Click To Open");
    ui.mnuAbout->trigger();
    ui.mnuAbout->trigger();
    ASSERT_NE(window->AboutBox(), nullptr);
    EXPECT_EQ(window->findChildren<QDialog*>().size(), 1);
    ui.mnuHide->trigger();
    EXPECT_FALSE(window->AboutBox()->isVisible()) << "Hide and Run hides the About box too";
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isMinimized());
    window->Tray().Activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(window->isMinimized());
    ui.mnuHelpFiles->trigger();
    ui.mnuExit->trigger();
    EXPECT_EQ(ends, 1);
    Load()->close();  // closing opens the vendor's site first
    EXPECT_EQ(ends, 2);
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_TRUE(opened[0].endsWith("help/index.html")) << opened[0].toStdString();
    EXPECT_TRUE(opened[1].startsWith("http")) << opened[1].toStdString();
}

TEST_F(MainWindow, CheckingTileOrStretchClearsTheOther) {
    auto window = Load();
    Ui::frmMain& ui = window->Controls();
    ui.chkTileImages->click();
    EXPECT_FALSE(ui.chkStretchImages->isChecked());
    ui.chkStretchImages->click();
    EXPECT_FALSE(ui.chkTileImages->isChecked());
    EXPECT_EQ(*store.Find("Tile") + *store.Find("Stretch"), "01");
}

// One copy per user session: a second launch reaches the first instead of starting.
TEST(SingleInstance, TheSecondCopyIsNotPrimaryAndItsRequestsReachTheFirst) {
    QTemporaryDir dir;
    EXPECT_FALSE(SingleInstance(dir.path()).Send("show", 500)) << "nobody runs";
    QFile(dir.filePath(QStringLiteral("tavrino-wallpaper-manager.socket")))
        .open(QIODevice::WriteOnly);
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.BecomePrimary()) << "over a dead copy's socket";
    QStringList received;
    first.onRequest = [&received](const QString& request) {
        received.append(request);
        return QString::fromLatin1(request == "next" ? "refused" : "done");
    };
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.BecomePrimary());
    // Sent from another thread while this one serves the request.
    for (const auto& [request, answered] : {std::pair{"show", true}, std::pair{"next", false}}) {
        auto sent = std::async(std::launch::async, [&] { return second.Send(request, 3000); });
        while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(sent.get(), answered) << request;
    }
    EXPECT_EQ(received, QStringList({"show", "next"}));
}

}  // namespace
}  // namespace tavrino
