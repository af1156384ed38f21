#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "library/DisplayList.h"
#include "library/LibraryModels.h"
#include "rotation/DisplayListView.h"
#include "rotation/RotationController.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

using test::FakeList;
using test::ListOf;
using test::MemorySettingsStore;
using test::RecordingReporter;

// The widgets of the main window that the rotation uses, in one window, with a controller.
class Window {
public:
    explicit Window(const std::vector<std::string>& paths, const QString& minutes = "5")
        : list(ListOf(paths)), options(store, reporter) {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w :
             std::initializer_list<QWidget*>{&lblStatus, &lblCurrentlyShowing, &lblUpNext,
                                             &pbStatus, &txtRotateMinutes, &lstPreview, &other}) {
            layout->addWidget(w);
        }
        for (const std::string& path : paths) {
            auto* item = new QStandardItem(QString::fromStdString(path));
            item->setCheckable(true);
            item->setCheckState(Qt::Checked);
            model.appendRow(item);
        }
        lstPreview.setModel(&model);
        txtRotateMinutes.setText(minutes);

        RotationWidgets widgets;
        widgets.lblStatus = &lblStatus;
        widgets.lblCurrentlyShowing = &lblCurrentlyShowing;
        widgets.lblUpNext = &lblUpNext;
        widgets.pbStatus = &pbStatus;
        widgets.txtRotateMinutes = &txtRotateMinutes;
        widgets.lstPreview = &lstPreview;
        WallpaperCalls wallpaper;
        wallpaper.composeWallpaper = [this](const std::string& path) {
            calls.push_back("compose " + path);
        };
        wallpaper.applyWallpaper = [this] {
            calls.push_back("apply " + std::to_string(controller->CurrentIndex()));
        };
        controller = std::make_unique<RotationController>(widgets, list, options, store, reporter,
                                                          wallpaper, engine);
        options.SetState(Option::Rotate, 1);
        store.saveLog.clear();
    }

    void Load() {
        controller->ShowFirstImage();
        controller->AnnounceAtLoad();
        calls.clear();
    }

    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            controller->Tick();
        }
    }

    void LeaveTextBox(Qt::FocusReason reason = Qt::TabFocusReason) {
        QFocusEvent leave(QEvent::FocusOut, reason);
        QApplication::sendEvent(&txtRotateMinutes, &leave);
    }

    [[nodiscard]] std::string Saved() const {
        const std::string* value = store.Find(kRotateMinutesKey);
        return value != nullptr ? *value : "<never saved>";
    }

    QWidget window;
    QLabel lblStatus;
    QLabel lblCurrentlyShowing;
    QLabel lblUpNext;
    QProgressBar pbStatus;
    QLineEdit txtRotateMinutes;
    QTreeView lstPreview;
    QLineEdit other;
    QStandardItemModel model;
    FakeList list;
    MemorySettingsStore store;
    RecordingReporter reporter;
    OptionBoxes options;
    rotation::RandomEngine engine{11};
    std::vector<std::string> calls;
    std::unique_ptr<RotationController> controller;
};

// ---- txtRotateMinutes -------------------------------------------------------------------

struct TypingCase {
    const char* name;
    QString start;
    QString typed;
    QString expected;
};

class TypingTest : public testing::TestWithParam<TypingCase> {};

TEST_P(TypingTest, OnlyDigitsAreTyped) {
    const TypingCase& c = GetParam();
    Window w({"C:\\a.jpg"}, c.start);
    QTest::keyClicks(&w.txtRotateMinutes, c.typed);
    EXPECT_EQ(w.txtRotateMinutes.text(), c.expected);
    // Whatever the box holds is what is stored, after every change.
    if (c.expected != c.start) {
        EXPECT_EQ(w.Saved(), c.expected.toStdString());
    }
    EXPECT_TRUE(w.reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, TypingTest,
                         testing::Values(TypingCase{"Digits", "", "15", "15"},
                                         TypingCase{"LettersAndSignsDropped", "", "1a-2", "12"},
                                         TypingCase{"OnlyALetter", "", "x", ""},
                                         TypingCase{"PointAndExponentDropped", "", " 3.5e+", "35"},
                                         TypingCase{"MinusSignDropped", "5", "-", "5"},
                                         TypingCase{"AppendsToExistingText", "1", "0", "10"}),
                         test::CaseName());

TEST(RotateMinutesBoxTest, EditingKeysAndShortcutsStillWork) {
    Window w({"C:\\a.jpg"}, "123");
    w.txtRotateMinutes.setCursorPosition(3);
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_Backspace);
    EXPECT_EQ(w.txtRotateMinutes.text(), "12");
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_A, Qt::ControlModifier);  // select all
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_7);
    EXPECT_EQ(w.txtRotateMinutes.text(), "7");
    EXPECT_EQ(w.store.saveLog.size(), 2U);
    EXPECT_EQ(w.Saved(), "7");
}

TEST(RotateMinutesBoxTest, TextSetByTheProgramIsStoredUnfiltered) {
    Window w({"C:\\a.jpg"});
    w.txtRotateMinutes.setText("2abc");  // as a paste does
    EXPECT_EQ(w.Saved(), "2abc");
    w.txtRotateMinutes.setText("");
    EXPECT_EQ(w.Saved(), "");
}

struct LeavingCase {
    const char* name;
    QString text;
    QString after;
    std::vector<std::string> saves;  // values stored, in order
};

class LeavingTest : public testing::TestWithParam<LeavingCase> {};

TEST_P(LeavingTest, LeavingTheBoxMendsAPeriodThatIsNotPositive) {
    const LeavingCase& c = GetParam();
    Window w({"C:\\a.jpg"}, c.text);
    std::vector<std::string> values;
    w.store.saveLog.clear();
    w.LeaveTextBox();
    EXPECT_EQ(w.txtRotateMinutes.text(), c.after);
    EXPECT_EQ(w.store.saveLog.size(), c.saves.size());
    EXPECT_EQ(w.Saved(), c.saves.back());
}

INSTANTIATE_TEST_SUITE_P(Texts, LeavingTest,
                         testing::Values(LeavingCase{"Empty", "", "1", {"", "1"}},
                                         LeavingCase{"Zero", "0", "1", {"0", "1"}},
                                         LeavingCase{"NotANumber", "abc", "1", {"abc", "1"}},
                                         LeavingCase{"Negative", "-3", "1", {"-3", "1"}},
                                         LeavingCase{"Valid", "7", "7", {"7"}},
                                         LeavingCase{
                                             "PastedNumberFirst", "2abc", "2abc", {"2abc"}}),
                         test::CaseName());

TEST(RotateMinutesBoxTest, OpeningAContextMenuIsNotLeaving) {
    Window w({"C:\\a.jpg"}, "");
    w.LeaveTextBox(Qt::PopupFocusReason);
    w.LeaveTextBox(Qt::ActiveWindowFocusReason);
    EXPECT_EQ(w.txtRotateMinutes.text(), "");
    EXPECT_TRUE(w.store.saveLog.empty());
}

TEST(RotateMinutesBoxTest, FailedSaveIsReportedAsAChangeError) {
    Window w({"C:\\a.jpg"}, "");
    w.store.failSaves = true;
    QTest::keyClicks(&w.txtRotateMinutes, "4");
    EXPECT_EQ(w.txtRotateMinutes.text(), "4");
    ASSERT_EQ(w.reporter.reports.size(), 1U);
    EXPECT_EQ(w.reporter.reports[0].location, loc::TxtRotateMinutesChange);
    EXPECT_EQ(w.reporter.reports[0].number, errnum::PermissionDenied);

    w.reporter.reports.clear();
    w.txtRotateMinutes.setText("");
    w.reporter.reports.clear();
    w.LeaveTextBox();
    // The lost-focus save fails first and ends that handler before the text is mended.
    ASSERT_FALSE(w.reporter.reports.empty());
    EXPECT_EQ(w.reporter.reports[0].location, loc::TxtRotateMinutesLostFocus);
    EXPECT_EQ(w.txtRotateMinutes.text(), "");
}

// ---- The countdown on the widgets ------------------------------------------------------------

TEST(RotationWidgetsTest, TicksShowTheCountdownAndTheChange) {
    Window w({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    w.Load();
    EXPECT_EQ(w.lblCurrentlyShowing.text(), "C:\\a.jpg");
    EXPECT_EQ(w.lblUpNext.text(), "C:\\b.jpg");
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 5 Minute(s)");

    w.Ticks(31);
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 4 Minute(s)");
    EXPECT_EQ(w.pbStatus.maximum(), 300);
    EXPECT_EQ(w.pbStatus.value(), 31);

    w.Ticks(269);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"compose C:\\b.jpg", "apply 2"}));
    EXPECT_EQ(w.lblCurrentlyShowing.text(), "C:\\b.jpg");
    EXPECT_EQ(w.lblUpNext.text(), "C:\\c.jpg");
    EXPECT_EQ(w.pbStatus.value(), 0);
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 5 Minute(s)");
}

TEST(RotationWidgetsTest, EmptyBoxBecomesOneMinuteAtTheNextTick) {
    Window w({"C:\\a.jpg"}, "");
    w.Load();
    w.Ticks(1);
    EXPECT_EQ(w.txtRotateMinutes.text(), "1");
    EXPECT_EQ(w.Saved(), "1");
    EXPECT_EQ(w.pbStatus.maximum(), 60);
}

TEST(RotationWidgetsTest, RotationOffAndEmptyListOnTheWidgets) {
    Window w({"C:\\a.jpg", "C:\\b.jpg"});
    w.Load();
    w.Ticks(5);
    w.options.SetState(Option::Rotate, 0);
    w.Ticks(1);
    EXPECT_EQ(w.lblStatus.text(), "Automatic Rotate Disabled");
    EXPECT_EQ(w.lblUpNext.text(), "");
    EXPECT_EQ(w.pbStatus.value(), 0);

    w.options.SetState(Option::Rotate, 1);
    w.list.rows.clear();
    w.Ticks(1);
    EXPECT_EQ(w.lblStatus.text(), "No Images Selected For Display");
    EXPECT_EQ(w.lblCurrentlyShowing.text(), "");
    EXPECT_EQ(w.pbStatus.maximum(), 1);
    EXPECT_EQ(w.pbStatus.value(), 0);
}

TEST(RotationWidgetsTest, TimerTicksEverySecond) {
    Window w({"C:\\a.jpg"});
    w.Load();
    EXPECT_FALSE(w.controller->tmrShowNext().isActive());
    w.controller->Start();
    EXPECT_TRUE(w.controller->tmrShowNext().isActive());
    EXPECT_EQ(w.controller->tmrShowNext().interval(), 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.controller->Core().ElapsedSeconds() >= 1; }, 5000));
    EXPECT_EQ(w.pbStatus.value(), w.controller->Core().ElapsedSeconds());
}

TEST(RotationWidgetsTest, RandomOrderFollowsThePreviewCheckMarks) {
    Window w({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    w.options.SetState(Option::Random, 1);
    w.model.item(0)->setCheckState(Qt::Unchecked);
    w.model.item(2)->setCheckState(Qt::Unchecked);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(w.controller->ChooseNextImage(), 2);
    }
    w.model.item(1)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(w.controller->ChooseNextImage(), 0);
    // Back to the order down the list, which reads the flags instead.
    w.options.SetState(Option::Random, 0);
    w.controller->SetCurrentIndex(1);
    EXPECT_EQ(w.controller->ChooseNextImage(), 2);
}

TEST(RotationWidgetsTest, RandomOrderReadsTheLibraryPreviewModel) {
    library::DisplayList table;
    table.Assign({{"C:\\a.jpg", "True"}, {"C:\\b.jpg", "False"}, {"C:\\c.jpg", "True"}});
    const rotation::DisplayListView view(table);
    library::DisplayListModel model(table, library::DisplayListModel::Marks::FromDisplayFlag,
                                    "Images");
    model.Refresh();
    QTreeView lstPreview;
    lstPreview.setModel(&model);
    MemorySettingsStore store;
    RecordingReporter reporter;
    OptionBoxes options(store, reporter);
    options.SetState(Option::Random, 1);
    rotation::RandomEngine engine(8);
    RotationWidgets widgets;
    widgets.lstPreview = &lstPreview;
    RotationController controller(widgets, view, options, store, reporter, {}, engine);

    std::set<int> seen;
    for (int i = 0; i < 60; ++i) {
        seen.insert(controller.ChooseNextImage());
    }
    EXPECT_EQ(seen, (std::set<int>{1, 3}));
    model.SetChecked(0, false);  // the user unticks the first entry
    model.SetChecked(1, true);   // and ticks the second, whose flag stays false
    seen.clear();
    for (int i = 0; i < 60; ++i) {
        seen.insert(controller.ChooseNextImage());
    }
    EXPECT_EQ(seen, (std::set<int>{2, 3}));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(RotationWidgetsTest, DoubleClickShowsTheEntryAndLeavesTheCountdownAlone) {
    Window w({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    w.Load();
    w.Ticks(10);
    const QString status = w.lblStatus.text();
    const int value = w.pbStatus.value();

    const QModelIndex third = w.model.index(2, 0);
    const QRect rect = w.lstPreview.visualRect(third);
    ASSERT_TRUE(rect.isValid());
    // A double click arrives as a press and release followed by the double-click event.
    QTest::mouseClick(w.lstPreview.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(w.lstPreview.viewport(), Qt::LeftButton, {}, rect.center());

    EXPECT_EQ(w.calls, std::vector<std::string>{"apply 3"});
    EXPECT_EQ(w.controller->CurrentIndex(), 3);
    EXPECT_EQ(w.lblCurrentlyShowing.text(), "C:\\c.jpg");
    EXPECT_EQ(w.lblUpNext.text(), "C:\\b.jpg");
    EXPECT_EQ(w.lblStatus.text(), status);
    EXPECT_EQ(w.pbStatus.value(), value);
    EXPECT_EQ(w.controller->Core().ElapsedSeconds(), 10);
    EXPECT_TRUE(w.reporter.reports.empty());
}

TEST(RotationWidgetsTest, DoubleClickOnASecondCopyShowsTheFirstRowWithThatPath) {
    Window w({"C:\\a.jpg", "C:\\b.jpg", "C:\\a.jpg"});
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    const QRect rect = w.lstPreview.visualRect(w.model.index(2, 0));
    QTest::mouseClick(w.lstPreview.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(w.lstPreview.viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(w.controller->CurrentIndex(), 1);
    EXPECT_EQ(w.calls, std::vector<std::string>{"apply 1"});
}

TEST(RotationWidgetsTest, ChangeNowMovesOnAndRestartsTheCount) {
    Window w({"C:\\a.jpg", "C:\\b.jpg"});
    w.Load();
    w.Ticks(20);
    EXPECT_TRUE(w.controller->ChangeNow());
    EXPECT_EQ(w.calls, (std::vector<std::string>{"compose C:\\b.jpg", "apply 2"}));
    EXPECT_EQ(w.lblCurrentlyShowing.text(), "C:\\b.jpg");
    EXPECT_EQ(w.lblUpNext.text(), "C:\\a.jpg");
    EXPECT_EQ(w.pbStatus.value(), 0);
}

}  // namespace
}  // namespace tavrino
