// The rotation on the main window's widgets: the period box's keys and saves, the countdown on
// the labels and the preview's check marks.
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <set>

#include "TableList.h"
#include "common/TestSupport.h"
#include "rotation/RotationController.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

// The widgets of the main window that the rotation uses, with a controller.
struct Window {
    explicit Window(const std::string& flags, const QString& minutes = "5") : list(flags) {
        for (std::size_t row = 1; row <= list.table.Count(); ++row) {
            auto* item = new QStandardItem(QString::fromStdString(list.table.ImagePath(row)));
            item->setCheckable(true);
            item->setCheckState(Qt::Checked);
            model.appendRow(item);
        }
        lstPreview.setModel(&model);
        txtRotateMinutes.setText(minutes);
        controller = std::make_unique<RotationController>(
            RotationWidgets{&lblStatus, &lblCurrentlyShowing, &lblUpNext, &pbStatus,
                            &txtRotateMinutes, &lstPreview},
            list.view, options, store, reporter, WallpaperCalls{}, engine);
        options.SetState(Option::Rotate, 1);
        store.saveLog.clear();
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
    test::TableList list;
    test::MemorySettingsStore store;
    test::RecordingReporter reporter;
    OptionBoxes options{store, reporter};
    rotation::RandomEngine engine{11};
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
    Window w("T", "");  // text set by the program is stored unfiltered
    w.txtRotateMinutes.setText("2abc");
    EXPECT_EQ(w.Saved(), "2abc");
}

TEST(RotationWidgets, TheCountdownMendsTheBoxAndTheRandomOrderFollowsThePreviewsMarks) {
    Window w("TTT", "");
    w.controller->Tick();
    EXPECT_EQ(w.Saved(), "1");  // an empty box became one minute, and is saved
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 1 Minute(s)");
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
