// The library on its widgets: adding and removing, the buttons, failures under their handlers.
#include <gtest/gtest.h>
#include <QMainWindow>
#include <memory>

#include "common/TestSupport.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"
#include "library/LibraryController.h"
#include "library/PathText.h"
#include "ui_frmMain.h"

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;
using Marks = std::vector<bool>;

class Library : public ::testing::Test {
protected:
    Library() { ui.setupUi(&window); }

    // The main window's load order: list the current folder, then load the display list. With
    // images, the folder list then shows the images folder with every file checked.
    LibraryController& Start(const std::vector<std::string>& images = {}) {
        for (const std::string& name : images) {
            WriteBytes(images_.Path() / fs::path(name), "image");
        }
        controller = std::make_unique<LibraryController>(LibraryWidgets::Of(ui), reporter,
                                                         PathToDisplay(FromFsPath(data_.Path())));
        controller->ListFolderImages();
        controller->LoadDisplayList();
        if (!images.empty()) {
            EXPECT_TRUE(controller->SetCurrentFolder(PathToDisplay(FromFsPath(images_.Path()))));
            ui.cmdSelectDirFiles->click();
        }
        return *controller;
    }
    [[nodiscard]] std::string ImagePath(const std::string& name) const {
        return JoinFolderAndName(FromFsPath(images_.Path()), name);
    }
    [[nodiscard]] std::string Index() const { return test::ReadBytes(data_ / kIndexFileName); }
    void WriteIndex(const std::string& bytes) { WriteBytes(data_ / kIndexFileName, bytes); }
    QMainWindow window;
    Ui::frmMain ui{};
    test::RecordingReporter reporter;
    test::TempFolder data_;
    test::TempFolder images_;
    std::unique_ptr<LibraryController> controller;
};

TEST_F(Library, AddSavesTheCheckedFilesInFolderOrderOnceAndTheViewsFollow) {
    LibraryController& library = Start({"b.jpg", "a.GIF", "notes.txt"});
    EXPECT_FALSE(fs::exists(data_ / kIndexFileName)) << "a missing list is not written at load";
    const std::vector<std::string> names = library.dirFilesModel().Names();
    ASSERT_EQ(names.size(), 2U);
    ui.cmdAddDirFiles->click();
    ui.cmdAddDirFiles->click();
    const std::string expected =
        ImagePath(names[0]) + "|True\r\n" + ImagePath(names[1]) + "|True\r\n";
    EXPECT_EQ(Index(), expected);
    EXPECT_EQ(library.displayFilesModel().CheckMarks(), Marks(2, false));
    EXPECT_EQ(library.previewModel().CheckMarks(), Marks(2, true));
    EXPECT_EQ(library.dirFilesModel().CheckMarks(), Marks(2, true)) << "the folder keeps its marks";
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(Library, RemoveDropsTheCheckedEntriesAndTheButtonsOnlyTick) {
    WriteIndex("/p/a.jpg|True\r\n/p/b.jpg|0\r\n/p/a.jpg|False\r\n");
    LibraryController& library = Start();
    ui.cmdSelectDisplayFiles->click();
    EXPECT_EQ(library.displayFilesModel().CheckMarks(), Marks(3, true));
    ui.cmdDeselectDisplayFiles->click();
    EXPECT_EQ(Index(), "/p/a.jpg|True\r\n/p/b.jpg|0\r\n/p/a.jpg|False\r\n");
    library.displayFilesModel().SetChecked(1, true);
    library.previewModel().SetChecked(0, false);
    ui.cmdRemoveDisplayFiles->click();
    EXPECT_EQ(Index(), "/p/a.jpg|True\r\n/p/a.jpg|True\r\n");
    EXPECT_EQ(library.displayFilesModel().Count(), 2U);
    EXPECT_TRUE(library.IsPreviewChecked(1)) << "the preview's marks come back from the flags";
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(Library, ADamagedListLoadsItsGoodLinesAndIsKeptAsABackupByTheFirstSaveThatWorks) {
    const std::string original = "/p/a.jpg|True\r\n/p/b.jpg\r\n/p/c.jpg|maybe\r\n";
    WriteIndex(original);
    LibraryController& library = Start();
    EXPECT_NE(reporter.reports.at(0).description.find("Line 2"), std::string::npos);
    EXPECT_EQ(library.previewModel().CheckMarks(), (Marks{true, false}));
    library.indexStore().beforeRename = [] { throw std::runtime_error("disk went away"); };
    ui.cmdAddDirFiles->click();
    EXPECT_EQ(Index(), original);
    EXPECT_EQ(library.previewModel().Count(), 2U) << "the table is still shown";
    library.indexStore().beforeRename = nullptr;
    ui.cmdAddDirFiles->click();  // nothing checked: saves and refreshes, reporting nothing more
    EXPECT_EQ(reporter.Locations(), (std::vector<int>{loc::LoadDisplayList, loc::SaveDisplayList}));
    EXPECT_EQ(test::ReadBytes(data_ / kIndexBackupName), original);
    EXPECT_EQ(Index(), "/p/a.jpg|True\r\n/p/c.jpg|maybe\r\n");
}

TEST_F(Library, AddingToAFullListSavesWhatFittedAndSaysSo) {
    std::string bytes;
    for (std::size_t i = 1; i < kMaxEntries; ++i) {
        bytes += "/p/" + std::to_string(i) + ".jpg|True\r\n";
    }
    WriteIndex(bytes);
    LibraryController& library = Start({"x1.jpg", "x2.jpg"});
    ui.cmdAddDirFiles->click();
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::CmdAddDirFilesClick});
    EXPECT_EQ(reporter.reports[0].number, errnum::DisplayListFull);
    EXPECT_EQ(Index(), bytes + ImagePath(library.dirFilesModel().Names()[0]) + "|True\r\n");
}

#ifndef _WIN32
TEST_F(Library, NamesKeepTheirBytesAndANameWithTheSeparatorIsRefused) {
    const std::string name = "sea \xff\xfe\xc3(.jpg";
    Start({name, "pipe|dream.jpg"});
    ui.cmdAddDirFiles->click();
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::CmdAddDirFilesClick});
    EXPECT_NE(reporter.reports[0].description.find("pipe|dream.jpg"), std::string::npos);
    EXPECT_EQ(Index(), ImagePath(name) + "|True\r\n");
}
#endif

}  // namespace
}  // namespace tavrino::library
