// The library on its widgets: adding checked files, removing checked entries, the buttons, the
// folder and drive choice, and every failure reported under its handler's location.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QMainWindow>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/DriveList.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"
#include "library/LibraryController.h"
#include "library/NaturalOrder.h"
#include "library/PathText.h"
#include "ui_frmMain.h"

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;
using Marks = std::vector<bool>;

QString ToQt(const fs::path& path) {
    return PathToDisplay(FromFsPath(path));
}

class Library : public ::testing::Test {
protected:
    Library() {
        ui.setupUi(&window);
        window.resize(600, 400);
    }

    // The main window's load order: list the current folder, then load the display list. With
    // images, the folder list then shows the images folder with every file checked.
    LibraryController& Start(const std::vector<std::string>& images = {}) {
        for (const std::string& name : images) {
            WriteBytes(images_.Path() / fs::path(name), "image");
        }
        controller.reset();
        controller = std::make_unique<LibraryController>(LibraryWidgets::Of(ui), reporter,
                                                         ToQt(data_.Path()));
        controller->ListFolderImages();
        controller->LoadDisplayList();
        if (!images.empty()) {
            EXPECT_TRUE(controller->SetCurrentFolder(ToQt(images_.Path())));
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
    EXPECT_EQ(ui.lstPreview->model()->headerData(0, Qt::Horizontal),
              "Images Selected To Display: (Click to preview, double click to set as wallpaper "
              "now)");
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
    LibraryController& again = Start();
    EXPECT_EQ(again.displayList().ImagePath(1), ImagePath(name));
    EXPECT_FALSE(again.DisplayText(1).isEmpty());
}
#endif

TEST_F(Library, FoldersAndDrivesChangeTheListedFolder) {
    fs::create_directory(images_ / "two");
    WriteBytes(images_ / "two" / "b.jpg", "image");
    LibraryController& library = Start({"a.jpg"});
    // The user picks the other folder in the tree: listed afresh, without marks.
    auto* folders = qobject_cast<QFileSystemModel*>(ui.dirDisplayFiles->model());
    ASSERT_NE(folders, nullptr);
    ui.dirDisplayFiles->setCurrentIndex(folders->index(ToQt(images_ / "two")));
    EXPECT_EQ(library.CurrentFolder(), ToQt(images_ / "two"));
    EXPECT_EQ(library.dirFilesModel().CheckMarks(), Marks{false});
    // A drive that is not ready changes nothing; one that is moves there.
    ui.drvDisplayFiles->addItem(QStringLiteral("Z:"), ToQt(images_ / "no-medium"));
    ui.drvDisplayFiles->setCurrentIndex(ui.drvDisplayFiles->count() - 1);
    EXPECT_EQ(library.CurrentFolder(), ToQt(images_ / "two"));
    ui.drvDisplayFiles->addItem(QStringLiteral("Stick"), ToQt(images_.Path()));
    ui.drvDisplayFiles->setCurrentIndex(ui.drvDisplayFiles->count() - 1);
    EXPECT_EQ(library.dirFilesModel().Names(), std::vector<std::string>{"a.jpg"});
    // The root folder gives no doubled separator; a folder that went away is reported.
    ASSERT_TRUE(library.SetCurrentFolder(QDir::rootPath()));
    EXPECT_EQ(JoinFolderAndName(library.dirFilesModel().Folder(), "x")
                  .find(std::string(2, kPathSeparator)),
              std::string::npos);
    ASSERT_TRUE(library.SetCurrentFolder(ToQt(images_ / "two")));
    fs::remove_all(images_ / "two");
    library.ListFolderImages();
    EXPECT_EQ(reporter.Locations(), std::vector<int>{loc::ListFolderImages});
    EXPECT_EQ(library.dirFilesModel().Count(), 0U);
}

TEST(DriveList, OffersAPersonsVolumesAndFindsTheDriveOfAFolder) {
#ifndef _WIN32
    // clang-format off
    const std::tuple<const char*, const char*, bool> volumes[] = {  // root, type, browsable
        {"/", "overlay", true}, {"/media/ann/STICK", "vfat", true}, {"/mnt/p", "nfs4", true},
        {"/proc", "proc", false}, {"/dev/shm", "tmpfs", false}, {"/run/user/1000", "tmpfs", false},
        {"/boot/efi", "vfat", false}, {"/snap/core/1", "squashfs", false}, {"/tmp", "tmpfs", false},
    };
    // clang-format on
    for (const auto& [root, type, browsable] : volumes) {
        EXPECT_EQ(IsBrowsableVolume(QString::fromLatin1(root), type), browsable) << root;
    }
    const QList<Drive> drives = {{"/", "/"}, {"/home/ann", "Home"}, {"/media/ann/S", "S"}};
    for (const auto& [folder, index] : {std::pair("/usr", 0), std::pair("/home/ann/Pictures", 1),
                                        std::pair("/home/anne", 0), std::pair("/media/ann/S", 2)}) {
        EXPECT_EQ(DriveIndexForFolder(drives, QString::fromLatin1(folder)), index) << folder;
    }
#endif
}

TEST(NaturalOrder, SortsAsFileManagersDo) {
    // clang-format off
    const std::vector<std::string> cases[] = {  // each in the expected order
        {"img2.jpg", "img10.jpg", "img100.jpg"},
        {"img_00875.jpg", "img_01620.jpg", "img_02992.jpg", "img_10000.jpg"},
        {"apple.jpg", "Banana.jpg", "cherry.jpg", "DATE.jpg"},
        {"Photo.jpg", "photo.jpg"},  // case alone: bytes decide
        {"cafe.jpg", "caf\xc3\xa9s.jpg", "cafz.jpg", "\xc3\xa9t\xc3\xa9.jpg", "fall.jpg"},
        {"a.jpg", "b\xe9.jpg", "b\xff.jpg", "c.jpg"},  // not UTF-8
    };
    // clang-format on
    for (const std::vector<std::string>& names : cases) {
        std::vector<std::string> shuffled(names.rbegin(), names.rend());
        SortNaturally(shuffled);
        EXPECT_EQ(shuffled, names);
    }
}

}  // namespace
}  // namespace tavrino::library
