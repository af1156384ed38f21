// The main window's form: controls, texts, geometry, menus, tab order and tab pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <map>
#include <string>
#include <vector>

#include "LayoutChecks.h"
#include "layouts/FixedSize.h"
#include "layouts/Resources.h"
#include "ui_frmMain.h"

namespace tavrino::test {
namespace {

const std::vector<ControlSpec> kPreviewTab = {
    {"lstPreview", "QTreeView", "tabPreview", 90, 390, 7065, 1935, nullptr, ""},
    {"pctPreview", "QFrame", "tabPreview", 120, 2400, 2625, 1965, nullptr, ""},
    {"Label2", "QLabel", "tabPreview", 2850, 2400, 2220, 195, "Currently Showing On Desktop:", ""},
    {"lblCurrentlyShowing", "QLabel", "tabPreview", 2910, 2610, 4095, 405, "", ""},
    {"Label3", "QLabel", "tabPreview", 2850, 3090, 2730, 195,
     "Next Wallpaper To Show On Desktop:", ""},
    {"lblUpNext", "QLabel", "tabPreview", 2910, 3300, 4095, 495, "", ""},
    {"lblStatus", "QLabel", "tabPreview", 2820, 3870, 4275, 195,
     "Your Next Wallpaper Will Show In: 1 Minute(s)", ""},
    {"pbStatus", "QProgressBar", "tabPreview", 2820, 4080, 4305, 255, nullptr, ""},
};

const std::vector<ControlSpec> kManageImagesTab = {
    {"lstDisplayFiles", "QTreeView", "tabManageImages", 90, 420, 5865, 1575, nullptr, ""},
    {"cmdSelectDisplayFiles", "QPushButton", "tabManageImages", 6000, 450, 1155, 315, "Select All",
     ""},
    {"cmdDeselectDisplayFiles", "QPushButton", "tabManageImages", 6000, 810, 1155, 315,
     "Deselect All", ""},
    {"cmdRemoveDisplayFiles", "QPushButton", "tabManageImages", 6000, 1170, 1155, 315, "Remove",
     ""},
    {"drvDisplayFiles", "QComboBox", "tabManageImages", 120, 2070, 3345, 315, nullptr, ""},
    {"dirDisplayFiles", "QTreeView", "tabManageImages", 120, 2460, 3345, 1890, nullptr, ""},
    {"lstDirFiles", "QTreeView", "tabManageImages", 3510, 2055, 3645, 1935, nullptr, ""},
    {"cmdSelectDirFiles", "QPushButton", "tabManageImages", 3540, 4050, 1155, 315, "Select All",
     ""},
    {"cmdDeselectDirFiles", "QPushButton", "tabManageImages", 4770, 4050, 1155, 315, "Deselect All",
     ""},
    {"cmdAddDirFiles", "QPushButton", "tabManageImages", 6000, 4050, 1155, 315, "Add Selected", ""},
};

const std::vector<ControlSpec> kOptionsTab = {
    {"Frame2", "QGroupBox", "tabOptions", 120, 450, 3435, 3885, "Image Display Options", ""},
    {"Frame1", "QGroupBox", "tabOptions", 3690, 450, 3435, 3885, "Startup Options", ""},
    {"chkStretchImages", "QCheckBox", "Frame2", 180, 300, 3075, 195,
     "Stretch Images To Match Screen Size",
     "Selecting this will cause images to be resized to fit your screen."},
    {"chkTileImages", "QCheckBox", "Frame2", 180, 600, 3075, 195, "Tile Image Across Desktop",
     "Selecting this will tile the image across the screen instead of centering it."},
    {"chkMaintainAspect", "QCheckBox", "Frame2", 180, 900, 2925, 195, "Maintain Image Aspect Ratio",
     "Check this to maintain the aspect ratio of the picture when resizing it."},
    {"chkRotateImages", "QCheckBox", "Frame2", 180, 1320, 2925, 195, "Automatically Rotate Images",
     "Automatically change the wallpaper every so often."},
    {"Label5", "QLabel", "Frame2", 570, 1620, 1485, 195, "Rotate Images Every", ""},
    {"txtRotateMinutes", "QLineEdit", "Frame2", 2160, 1590, 405, 285, "5",
     "How often do you want to change the wallpaper?"},
    {"Label6", "QLabel", "Frame2", 2580, 1620, 540, 195, "minutes", ""},
    {"chkRandom", "QCheckBox", "Frame2", 570, 1950, 2775, 195, "Randomly Shuffle Display Order",
     "Randomly choose the next image instead of going down the list sequentially."},
    {"chkAutoStart", "QCheckBox", "Frame1", 180, 300, 2925, 195, "Automatically Start With Windows",
     "Automatically start when you login to windows."},
    {"chkAutoUpdate", "QCheckBox", "Frame1", 180, 600, 2925, 195, "Automatically Check For Updates",
     "Automatically check online for a new version."},
    {"chkMinimize", "QCheckBox", "Frame1", 180, 900, 2925, 195, "Minimize To Tray On Startup",
     "Minimize to the system tray on startup."},
};

// The image holder inside the preview box; its size changes at run time.
const std::vector<ControlSpec> kInsidePreviewBox = {
    {"imgPreview", "QLabel", "pctPreview", 60, 90, 1005, 1005, "", ""},
};

const QStringList kTabOrder = {"lstDisplayFiles",
                               "cmdSelectDisplayFiles",
                               "cmdDeselectDisplayFiles",
                               "cmdRemoveDisplayFiles",
                               "drvDisplayFiles",
                               "dirDisplayFiles",
                               "lstDirFiles",
                               "cmdSelectDirFiles",
                               "cmdDeselectDirFiles",
                               "cmdAddDirFiles",
                               "chkStretchImages",
                               "chkTileImages",
                               "chkMaintainAspect",
                               "chkRotateImages",
                               "txtRotateMinutes",
                               "chkRandom",
                               "chkAutoStart",
                               "chkAutoUpdate",
                               "chkMinimize",
                               "lstPreview",
                               "SSTab1"};

QPoint OriginOf(const char* container) {
    const std::string name = container;
    return name.rfind("tab", 0) == 0 ? kTabPageOrigin : QPoint(0, 0);
}

class MainWindowLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tavrino::InitAppearance(); }

    void SetUp() override {
        ui.setupUi(&window);
        tavrino::FixMainWindowSize(window);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The page a control of the tables belongs to.
    int PageOf(const QWidget* widget) const {
        for (int i = 0; i < ui.SSTab1->count(); ++i) {
            if (ui.SSTab1->widget(i)->isAncestorOf(widget)) {
                return i;
            }
        }
        return -1;
    }

    std::vector<ControlSpec> AllControls() const {
        std::vector<ControlSpec> all = kPreviewTab;
        all.insert(all.end(), kManageImagesTab.begin(), kManageImagesTab.end());
        all.insert(all.end(), kOptionsTab.begin(), kOptionsTab.end());
        all.insert(all.end(), kInsidePreviewBox.begin(), kInsidePreviewBox.end());
        return all;
    }

    QMainWindow window;
    Ui::frmMain ui{};
};

TEST_F(MainWindowLayout, ControlTablesPerTab) {
    ExpectControls(window, kPreviewTab, OriginOf);
    ExpectControls(window, kManageImagesTab, OriginOf);
    ExpectControls(window, kOptionsTab, OriginOf);
    ExpectControls(window, kInsidePreviewBox, OriginOf);
}

TEST_F(MainWindowLayout, WindowFrameAndTabControl) {
    EXPECT_EQ(window.windowTitle(), "Tavrino Wallpaper Manager");
    // Client area 7260 x 4500 twips below the menu bar, fixed.
    EXPECT_EQ(window.centralWidget()->size(), QSize(Px(7260), Px(4500)));
    EXPECT_EQ(window.centralWidget()->minimumSize(), window.centralWidget()->maximumSize());
    // Not resizable, and no strip left over under the client area.
    EXPECT_EQ(window.size(), QSize(Px(7260), Px(4500) + window.menuBar()->height()));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.centralWidget()->geometry().bottom(), window.height() - 1);

    EXPECT_EQ(ui.SSTab1->geometry(), QRect(0, 0, Px(7245), Px(4485)));
    ASSERT_EQ(ui.SSTab1->count(), 3);
    const std::map<int, std::pair<QString, QString>> tabs = {
        {0, {"Preview", "tabPreview"}},
        {1, {"Manage Images", "tabManageImages"}},
        {2, {"Options", "tabOptions"}}};
    for (const auto& [index, tab] : tabs) {
        EXPECT_EQ(ui.SSTab1->tabText(index), tab.first);
        EXPECT_EQ(ui.SSTab1->widget(index)->objectName(), tab.second);
        EXPECT_TRUE(QKeySequence::mnemonic(ui.SSTab1->tabText(index)).isEmpty());
    }
    EXPECT_EQ(ui.SSTab1->currentIndex(), 0) << "Preview is selected when the window opens";

    const QIcon icon = window.windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    }
}

// The tab page starts where the documented mapping says it may, so every control drawn on a
// page lies fully inside the page (nothing hidden under the tab strip or cut at the edges).
TEST_F(MainWindowLayout, ControlsLieInsideTheirPages) {
    for (const ControlSpec& spec : AllControls()) {
        SCOPED_TRACE(spec.name);
        const auto* widget = window.findChild<QWidget*>(spec.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry()));
    }
    for (int i = 0; i < ui.SSTab1->count(); ++i) {
        ui.SSTab1->setCurrentIndex(i);
        const QWidget* page = ui.SSTab1->widget(i);
        const QPoint origin = page->mapTo(ui.SSTab1, QPoint(0, 0));
        EXPECT_LE(origin.x(), kTabPageOrigin.x());
        EXPECT_LE(origin.y(), kTabPageOrigin.y());
        EXPECT_GE(origin.y(), ui.SSTab1->tabBar()->height()) << "page below the tab strip";
    }
}

TEST_F(MainWindowLayout, ControlKindsAndDesignTimeStates) {
    for (QTreeView* list : {ui.lstPreview, ui.lstDisplayFiles, ui.lstDirFiles}) {
        SCOPED_TRACE(list->objectName().toStdString());
        EXPECT_FALSE(list->rootIsDecorated());
        EXPECT_TRUE(list->uniformRowHeights());
        EXPECT_FALSE(list->isHeaderHidden()) << "the column caption is shown";
    }
    EXPECT_EQ(ui.pbStatus->minimum(), 0);
    EXPECT_EQ(ui.pbStatus->maximum(), 100);
    EXPECT_TRUE(ui.imgPreview->hasScaledContents());
    for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_EQ(ui.lblStatus->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(MainWindowLayout, MenusHaveNoAccessKeysOrShortcuts) {
    struct MenuSpec {
        QMenu* menu;
        QString title;
        std::vector<std::pair<QString, QString>> items;  // object name, stored text ("" separator)
    };
    const std::vector<MenuSpec> menus = {
        {ui.mnuFile, "File", {{"mnuHide", "Hide && Run"}, {"mnuSep1", ""}, {"mnuExit", "Exit"}}},
        {ui.mnuHelp, "Help", {{"mnuHelpFiles", "Help"}, {"mnuAbout", "About"}}},
    };
    QStringList barOrder;
    for (const QAction* action : window.menuBar()->actions()) {
        barOrder.append(action->menu() != nullptr ? action->menu()->objectName() : QString());
    }
    EXPECT_EQ(barOrder, QStringList({"mnuFile", "mnuHelp"}));
    for (const MenuSpec& spec : menus) {
        SCOPED_TRACE(spec.title.toStdString());
        EXPECT_EQ(spec.menu->title(), spec.title);
        EXPECT_TRUE(QKeySequence::mnemonic(spec.menu->title()).isEmpty());
        const QList<QAction*> actions = spec.menu->actions();
        ASSERT_EQ(static_cast<std::size_t>(actions.size()), spec.items.size());
        for (std::size_t i = 0; i < spec.items.size(); ++i) {
            const QAction* action = actions.at(static_cast<qsizetype>(i));
            SCOPED_TRACE(spec.items[i].first.toStdString());
            EXPECT_EQ(action->objectName(), spec.items[i].first);
            EXPECT_EQ(action->isSeparator(), spec.items[i].second.isEmpty());
            EXPECT_EQ(action->text(), spec.items[i].second);
            EXPECT_TRUE(action->shortcut().isEmpty());
            EXPECT_TRUE(QKeySequence::mnemonic(action->text()).isEmpty());
        }
    }
    // The doubled ampersand shows as one and is no access key.
    EXPECT_EQ(ui.mnuHide->iconText(), "Hide & Run");
    EXPECT_FALSE(ui.mnuHide->text().remove("&&").contains('&'));
}

TEST_F(MainWindowLayout, TabOrderFollowsTheDesign) {
    EXPECT_EQ(FocusChainOrder(window, kTabOrder), kTabOrder);
    EXPECT_EQ(TabFocusWidgets(window, kTabOrder), kTabOrder) << "every listed control takes Tab";
    // The picture box, labels and progress bar come after them and are skipped by the Tab key.
    for (const QWidget* widget : std::initializer_list<const QWidget*>{
             ui.pctPreview, ui.imgPreview, ui.Label2, ui.Label3, ui.lblCurrentlyShowing,
             ui.lblUpNext, ui.lblStatus, ui.Label5, ui.Label6, ui.pbStatus}) {
        EXPECT_EQ(widget->focusPolicy() & Qt::TabFocus, 0) << widget->objectName().toStdString();
    }
}

TEST_F(MainWindowLayout, OnlyTheSelectedTabsControlsAreShownAndFocusable) {
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const std::vector<ControlSpec> all = AllControls();
    for (int tab = 0; tab < ui.SSTab1->count(); ++tab) {
        SCOPED_TRACE(tab);
        ui.SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        for (const ControlSpec& spec : all) {
            SCOPED_TRACE(spec.name);
            auto* widget = window.findChild<QWidget*>(spec.name);
            ASSERT_NE(widget, nullptr);
            const bool onThisTab = PageOf(widget) == tab;
            EXPECT_EQ(widget->isVisible(), onThisTab);
        }
        // Walking the whole focus chain with the Tab key stays on this tab and the tab strip.
        ui.SSTab1->tabBar()->setFocus();
        int visitedOnTab = 0;
        for (int step = 0; step < 2 * static_cast<int>(all.size()); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            const int page = PageOf(focus);
            EXPECT_TRUE(page == tab || focus == ui.SSTab1->tabBar())
                << "focus went to " << focus->objectName().toStdString();
            visitedOnTab += page == tab ? 1 : 0;
        }
        EXPECT_GT(visitedOnTab, 0);
    }
}

TEST_F(MainWindowLayout, TabKeyFollowsTheOrderWithinATab) {
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ui.SSTab1->setCurrentIndex(2);
    ui.chkStretchImages->setFocus();
    QStringList visited = {QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 8; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, QStringList({"chkStretchImages", "chkTileImages", "chkMaintainAspect",
                                    "chkRotateImages", "txtRotateMinutes", "chkRandom",
                                    "chkAutoStart", "chkAutoUpdate", "chkMinimize"}));
}

TEST_F(MainWindowLayout, EveryCaptionFitsOnEveryTab) {
    for (int tab = 0; tab < ui.SSTab1->count(); ++tab) {
        ui.SSTab1->setCurrentIndex(tab);
        QApplication::processEvents();
        ExpectCaptionsFit(*ui.SSTab1->widget(tab));
    }
}

}  // namespace
}  // namespace tavrino::test
