// The rotation on the main window's widgets: the period box's keys, saves and mending, the
// countdown on the labels and the preview's check marks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "rotation/RotationController.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

using Calls = std::vector<std::string>;

// The widgets of the main window that the rotation uses, with a controller.
struct Window {
    explicit Window(const std::string& flags, const QString& minutes = "5")
        : list(test::ListOf(flags)) {
        for (const test::Row& row : list.rows) {
            auto* item = new QStandardItem(QString::fromStdString(row.path));
            item->setCheckable(true);
            item->setCheckState(Qt::Checked);
            model.appendRow(item);
        }
        lstPreview.setModel(&model);
        txtRotateMinutes.setText(minutes);
        controller = std::make_unique<RotationController>(
            RotationWidgets{&lblStatus, &lblCurrentlyShowing, &lblUpNext, &pbStatus,
                            &txtRotateMinutes, &lstPreview},
            list, options, store, reporter,
            WallpaperCalls{
                [this](const std::string& path) { calls.push_back("compose " + path); },
                [this] { calls.push_back("apply " + std::to_string(controller->CurrentIndex())); }},
            engine);
        options.SetState(Option::Rotate, 1);
        store.saveLog.clear();
    }
    void LeaveTextBox(Qt::FocusReason reason = Qt::TabFocusReason) {
        QFocusEvent leave(QEvent::FocusOut, reason);
        QApplication::sendEvent(&txtRotateMinutes, &leave);
    }
    [[nodiscard]] std::string Saved() const {
        const std::string* value = store.Find(kRotateMinutesKey);
        return value != nullptr ? *value : "<never saved>";
    }

    QLabel lblStatus, lblCurrentlyShowing, lblUpNext;
    QProgressBar pbStatus;
    QLineEdit txtRotateMinutes;
    QTreeView lstPreview;
    QStandardItemModel model;
    test::FakeList list;
    test::MemorySettingsStore store;
    test::RecordingReporter reporter;
    OptionBoxes options{store, reporter};
    rotation::RandomEngine engine{11};
    Calls calls;
    std::unique_ptr<RotationController> controller;
};

TEST(RotateMinutesBox, OnlyDigitsAreTypedAndEveryChangeIsSaved) {
    const QString cases[][3] = {{"", "1a-2", "12"}, {"", " 3.5e+", "35"}, {"5", "-", "5"}};
    for (const auto& [start, typed, expected] : cases) {
        SCOPED_TRACE(typed.toStdString());
        Window w("T", start);
        QTest::keyClicks(&w.txtRotateMinutes, typed);
        EXPECT_EQ(w.txtRotateMinutes.text(), expected);
        EXPECT_EQ(w.Saved(), expected != start ? expected.toStdString() : "<never saved>");
    }
    // Editing keys and shortcuts still work; text set by the program is stored unfiltered.
    Window w("T", "123");
    w.txtRotateMinutes.setCursorPosition(3);
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_Backspace);
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&w.txtRotateMinutes, Qt::Key_7);
    EXPECT_EQ(w.store.saveLog.size(), 2U);
    EXPECT_EQ(w.Saved(), "7");
    w.txtRotateMinutes.setText("2abc");
    EXPECT_EQ(w.Saved(), "2abc");
}

TEST(RotateMinutesBox, LeavingTheBoxMendsAPeriodThatIsNotPositive) {
    // clang-format off
    const std::tuple<QString, QString, std::size_t> cases[] = {  // text, after, saves
        {"", "1", 2}, {"0", "1", 2}, {"-3", "1", 2}, {"7", "7", 1}, {"2abc", "2abc", 1},
    };
    // clang-format on
    for (const auto& [text, after, saves] : cases) {
        SCOPED_TRACE(text.toStdString());
        Window w("T", text);
        w.LeaveTextBox(Qt::PopupFocusReason);  // a context menu is no leaving
        w.LeaveTextBox(Qt::ActiveWindowFocusReason);
        EXPECT_TRUE(w.store.saveLog.empty());
        w.LeaveTextBox();
        EXPECT_EQ(w.txtRotateMinutes.text(), after);
        EXPECT_EQ(w.store.saveLog.size(), saves);
        EXPECT_EQ(w.Saved(), after.toStdString());
    }
    Window w("T", "");
    w.store.failSaves = true;
    QTest::keyClicks(&w.txtRotateMinutes, "4");
    EXPECT_EQ(w.reporter.Locations(), std::vector<int>{loc::TxtRotateMinutesChange});
}

TEST(RotationWidgets, TheTimerTicksTheCountdownOntoTheLabelsAndTheRandomOrderFollowsTheMarks) {
    Window w("TTT", "");
    w.controller->ShowFirstImage();
    w.controller->AnnounceAtLoad();
    w.controller->Tick();
    w.calls.clear();
    EXPECT_EQ(w.lblCurrentlyShowing.text() + w.lblUpNext.text(), "C:\\1.jpgC:\\2.jpg");
    EXPECT_EQ(w.Saved(), "1");  // an empty box became one minute, and is saved
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 1 Minute(s)");
    EXPECT_EQ(w.pbStatus.maximum(), 60);
    w.controller->Start();
    EXPECT_EQ(w.controller->tmrShowNext().interval(), 1000);
    EXPECT_TRUE(test::WaitUntil([&] { return w.pbStatus.value() >= 2; }, 5000));
    // The random order follows the preview's check marks.
    w.options.SetState(Option::Random, 1);
    w.model.item(0)->setCheckState(Qt::Unchecked);
    w.model.item(2)->setCheckState(Qt::Unchecked);
    std::set<int> chosen;
    for (int i = 0; i < 30; ++i) {
        chosen.insert(w.controller->ChooseNextImage());
    }
    EXPECT_EQ(chosen, std::set<int>{2});
    EXPECT_TRUE(w.reporter.reports.empty());
}

}  // namespace
}  // namespace tavrino
