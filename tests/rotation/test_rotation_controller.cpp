// The rotation on the main window's widgets: the period box, the labels, the preview's marks.
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <memory>

#include "TableList.h"
#include "common/TestSupport.h"
#include "rotation/RotationController.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

// The widgets of the main window that the rotation uses, three rows and an empty period box.
struct Window {
    Window() : list("TTT") {
        for (std::size_t row = 1; row <= list.table.Count(); ++row) {
            auto* item = new QStandardItem(QString::fromStdString(list.table.ImagePath(row)));
            item->setCheckable(true);
            item->setCheckState(Qt::Checked);
            model.appendRow(item);
        }
        lstPreview.setModel(&model);
        controller = std::make_unique<RotationController>(
            RotationWidgets{&lblStatus, &lblCurrentlyShowing, &lblUpNext, &pbStatus,
                            &txtRotateMinutes, &lstPreview},
            list.view, options, store, reporter, WallpaperCalls{}, engine);
        options.SetState(Option::Rotate, 1);
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

TEST(RotationWidgets, TheCountdownMendsTheBoxAndTheRandomOrderFollowsThePreviewsMarks) {
    Window w;
    w.controller->Tick();
    ASSERT_NE(w.store.Find(kRotateMinutesKey), nullptr);
    EXPECT_EQ(*w.store.Find(kRotateMinutesKey), "1");  // an empty box became one minute, saved
    EXPECT_EQ(w.lblStatus.text(), "Your Next Wallpaper Will Show In: 1 Minute(s)");
    w.options.SetState(Option::Random, 1);
    w.model.item(0)->setCheckState(Qt::Unchecked);
    w.model.item(2)->setCheckState(Qt::Unchecked);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(w.controller->ChooseNextImage(), 2);
    }
    EXPECT_TRUE(w.reporter.reports.empty());
}

}  // namespace
}  // namespace tavrino
