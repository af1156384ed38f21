#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/DriveList.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"
#include "library/LibraryController.h"
#include "library/PathText.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

QString ToQt(const fs::path& path) {
    return PathToDisplay(FromFsPath(path));
}

class LibraryControllerTest : public ::testing::Test {
protected:
    LibraryControllerTest() {
        auto make = [this](auto* widget, const char* name) {
            widget->setParent(&window_);
            widget->setObjectName(QString::fromLatin1(name));
            return widget;
        };
        widgets_.drvDisplayFiles = make(new QComboBox, "drvDisplayFiles");
        widgets_.dirDisplayFiles = make(new QTreeView, "dirDisplayFiles");
        widgets_.lstDirFiles = make(new QTreeView, "lstDirFiles");
        widgets_.lstDisplayFiles = make(new QTreeView, "lstDisplayFiles");
        widgets_.lstPreview = make(new QTreeView, "lstPreview");
        widgets_.cmdSelectDirFiles = make(new QPushButton, "cmdSelectDirFiles");
        widgets_.cmdDeselectDirFiles = make(new QPushButton, "cmdDeselectDirFiles");
        widgets_.cmdAddDirFiles = make(new QPushButton, "cmdAddDirFiles");
        widgets_.cmdSelectDisplayFiles = make(new QPushButton, "cmdSelectDisplayFiles");
        widgets_.cmdDeselectDisplayFiles = make(new QPushButton, "cmdDeselectDisplayFiles");
        widgets_.cmdRemoveDisplayFiles = make(new QPushButton, "cmdRemoveDisplayFiles");
        window_.resize(600, 400);
    }

    // The main window's load order: list the current folder, then load the display list.
    LibraryController& Start() {
        controller_ = std::make_unique<LibraryController>(widgets_, reporter_, ToQt(data_.Path()));
        controller_->ListFolderImages();
        controller_->LoadDisplayList();
        return *controller_;
    }

    void AddImages(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            WriteBytes(images_.Path() / fs::path(name), "image");
        }
    }

    [[nodiscard]] std::string ImagePath(const std::string& name) const {
        return JoinFolderAndName(FromFsPath(images_.Path()), name);
    }

    [[nodiscard]] std::string IndexBytes() const { return ReadBytes(data_ / kIndexFileName); }

    void CheckDirFile(const std::string& name) {
        FolderFilesModel& model = controller_->dirFilesModel();
        for (std::size_t i = 0; i < model.Names().size(); ++i) {
            if (model.Names()[i] == name) {
                // The way a click on the check box reaches the model.
                ASSERT_TRUE(model.setData(model.index(static_cast<int>(i)), Qt::Checked,
                                          Qt::CheckStateRole));
                return;
            }
        }
        FAIL() << "no item " << name;
    }

    static std::vector<bool> Marks(const CheckListModel& model) { return model.CheckMarks(); }

    QWidget window_;
    LibraryWidgets widgets_;
    test::RecordingReporter reporter_;
    TempFolder data_;
    TempFolder images_;
    std::unique_ptr<LibraryController> controller_;
};

TEST_F(LibraryControllerTest, MissingIndexFileStartsEmptyWithoutMessage) {
    LibraryController& library = Start();
    EXPECT_EQ(library.displayList().Count(), 0U);
    EXPECT_EQ(library.displayFilesModel().rowCount(), 0);
    EXPECT_EQ(library.previewModel().rowCount(), 0);
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_FALSE(fs::exists(data_ / kIndexFileName));
}

TEST_F(LibraryControllerTest, ViewsShowCaptionsAndCheckBoxes) {
    LibraryController& library = Start();
    EXPECT_EQ(widgets_.lstDirFiles->model()->headerData(0, Qt::Horizontal),
              QStringLiteral("Images In This Folder"));
    EXPECT_EQ(widgets_.lstDisplayFiles->model()->headerData(0, Qt::Horizontal),
              QStringLiteral("Images Selected To Display: (Double Click To Remove)"));
    EXPECT_EQ(widgets_.lstPreview->model()->headerData(0, Qt::Horizontal),
              QStringLiteral("Images Selected To Display: (Click to preview, double click to set "
                             "as wallpaper now)"));
    AddImages({"a.jpg"});
    library.SetCurrentFolder(ToQt(images_.Path()));
    const QModelIndex item = widgets_.lstDirFiles->model()->index(0, 0);
    EXPECT_TRUE(widgets_.lstDirFiles->model()->flags(item).testFlag(Qt::ItemIsUserCheckable));
    EXPECT_EQ(item.data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(item.data().toString(), QStringLiteral("a.jpg"));
}

TEST_F(LibraryControllerTest, AddsCheckedFilesAndSavesThem) {
    AddImages({"b.jpg", "a.GIF", "notes.txt", "c.bmp"});
    LibraryController& library = Start();
    QSignalSpy changed(&library, &LibraryController::displayListChanged);
    ASSERT_TRUE(library.SetCurrentFolder(ToQt(images_.Path())));
    ASSERT_EQ(library.dirFilesModel().rowCount(), 3);
    CheckDirFile("c.bmp");
    CheckDirFile("a.GIF");
    const std::vector<bool> before = Marks(library.dirFilesModel());
    widgets_.cmdAddDirFiles->click();

    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(changed.count(), 1);
    // Appended in the order of the folder list.
    std::vector<std::string> expectedOrder;
    for (const std::string& name : library.dirFilesModel().Names()) {
        if (name == "c.bmp" || name == "a.GIF") {
            expectedOrder.push_back(ImagePath(name));
        }
    }
    ASSERT_EQ(library.displayList().Count(), 2U);
    EXPECT_EQ(library.displayList().ImagePath(1), expectedOrder[0]);
    EXPECT_EQ(library.displayList().ImagePath(2), expectedOrder[1]);
    EXPECT_EQ(IndexBytes(), expectedOrder[0] + "|True\r\n" + expectedOrder[1] + "|True\r\n");
    EXPECT_EQ(Marks(library.displayFilesModel()), (std::vector<bool>{false, false}));
    EXPECT_EQ(Marks(library.previewModel()), (std::vector<bool>{true, true}));
    EXPECT_TRUE(library.IsPreviewChecked(1));
    EXPECT_FALSE(library.IsPreviewChecked(3));
    // The folder list keeps its check marks.
    EXPECT_EQ(Marks(library.dirFilesModel()), before);

    // A second add of the same files adds nothing.
    widgets_.cmdAddDirFiles->click();
    EXPECT_EQ(library.displayList().Count(), 2U);
    EXPECT_EQ(IndexBytes(), expectedOrder[0] + "|True\r\n" + expectedOrder[1] + "|True\r\n");
}

TEST_F(LibraryControllerTest, SelectAndDeselectAllButtons) {
    AddImages({"a.jpg", "b.jpg", "c.jpg"});
    WriteBytes(data_ / kIndexFileName, "/x/1.jpg|True\r\n/x/2.jpg|0\r\n");
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));

    struct Case {
        QAbstractButton* button;
        const CheckListModel* model;
        bool checked;
    };
    const std::vector<Case> cases = {
        {widgets_.cmdSelectDirFiles, &library.dirFilesModel(), true},
        {widgets_.cmdDeselectDirFiles, &library.dirFilesModel(), false},
        {widgets_.cmdSelectDisplayFiles, &library.displayFilesModel(), true},
        {widgets_.cmdDeselectDisplayFiles, &library.displayFilesModel(), false},
    };
    for (const Case& c : cases) {
        c.button->click();
        EXPECT_EQ(Marks(*c.model), std::vector<bool>(c.model->Count(), c.checked))
            << c.button->objectName().toStdString();
    }
    // Nothing of this is saved, and the preview's marks are untouched.
    EXPECT_EQ(IndexBytes(), "/x/1.jpg|True\r\n/x/2.jpg|0\r\n");
    EXPECT_EQ(Marks(library.previewModel()), (std::vector<bool>{true, false}));
}

struct RemoveCase {
    const char* name;
    std::vector<bool> marked;
    std::string after;
};

class LibraryRemoveTest : public LibraryControllerTest,
                          public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(LibraryRemoveTest, RemovesCheckedEntries) {
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n/p/b.jpg|0\r\n/p/a.jpg|False\r\n");
    LibraryController& library = Start();
    for (std::size_t i = 0; i < GetParam().marked.size(); ++i) {
        library.displayFilesModel().SetChecked(i, GetParam().marked[i]);
    }
    QSignalSpy changed(&library, &LibraryController::displayListChanged);
    widgets_.cmdRemoveDisplayFiles->click();
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(IndexBytes(), GetParam().after);
    EXPECT_EQ(library.displayFilesModel().Count(), library.displayList().Count());
    EXPECT_EQ(Marks(library.displayFilesModel()),
              std::vector<bool>(library.displayList().Count(), false));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LibraryRemoveTest,
    ::testing::Values(
        RemoveCase{
            "None", {false, false, false}, "/p/a.jpg|True\r\n/p/b.jpg|0\r\n/p/a.jpg|True\r\n"},
        RemoveCase{"All", {true, true, true}, ""},
        RemoveCase{"Middle", {false, true, false}, "/p/a.jpg|True\r\n/p/a.jpg|True\r\n"},
        RemoveCase{"FirstOfTwoCopies", {true, false, false}, "/p/b.jpg|0\r\n/p/a.jpg|True\r\n"}),
    [](const ::testing::TestParamInfo<RemoveCase>& p) { return std::string(p.param.name); });

TEST_F(LibraryControllerTest, PreviewMarksComeBackFromTheFlagsAfterRefresh) {
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n/p/b.jpg|0\r\n");
    LibraryController& library = Start();
    library.previewModel().SetChecked(0, false);
    library.previewModel().SetChecked(1, true);
    EXPECT_FALSE(library.IsPreviewChecked(1));
    EXPECT_TRUE(library.IsPreviewChecked(2));
    widgets_.cmdAddDirFiles->click();  // nothing checked: saves and refreshes only
    EXPECT_EQ(Marks(library.previewModel()), (std::vector<bool>{true, false}));
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n/p/b.jpg|0\r\n");
}

TEST_F(LibraryControllerTest, DoubleClickOnDisplayListRemovesNothing) {
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n");
    LibraryController& library = Start();
    window_.show();
    const QRect rect = widgets_.lstDisplayFiles->visualRect(library.displayFilesModel().index(0));
    QTest::mouseDClick(widgets_.lstDisplayFiles->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(library.displayList().Count(), 1U);
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n");
}

#ifndef _WIN32
TEST_F(LibraryControllerTest, NameThatIsNotUtf8SurvivesAddSaveAndLoad) {
    const std::string name = "sea \xff\xfe\xc3(.jpg";
    AddImages({name});
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));
    ASSERT_EQ(library.dirFilesModel().Names(), std::vector<std::string>{name});
    EXPECT_FALSE(widgets_.lstDirFiles->model()->index(0, 0).data().toString().isEmpty());
    CheckDirFile(name);
    widgets_.cmdAddDirFiles->click();
    EXPECT_EQ(IndexBytes(), ImagePath(name) + "|True\r\n");

    controller_.reset();
    LibraryController& again = Start();
    ASSERT_EQ(again.displayList().Count(), 1U);
    EXPECT_EQ(again.displayList().ImagePath(1), ImagePath(name));
    EXPECT_TRUE(fs::exists(ToFsPath(again.displayList().ImagePath(1))));
    EXPECT_FALSE(again.DisplayText(1).isEmpty());
    EXPECT_TRUE(reporter_.reports.empty());
}
#endif

TEST_F(LibraryControllerTest, DamagedFileLoadsGoodLinesReportsOnceAndKeepsBackup) {
    const std::string original = "/p/a.jpg|True\r\n/p/b.jpg\r\n|0\r\n/p/c.jpg|1\r\n";
    WriteBytes(data_ / kIndexFileName, original);
    LibraryController& library = Start();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::LoadDisplayList);
    EXPECT_EQ(reporter_.reports[0].number, errnum::DisplayListDamaged);
    EXPECT_NE(reporter_.reports[0].description.find("Line 2"), std::string::npos);
    EXPECT_EQ(library.displayList().Count(), 2U);
    EXPECT_EQ(library.previewModel().Count(), 2U);
    EXPECT_EQ(library.displayFilesModel().Count(), 2U);

    widgets_.cmdAddDirFiles->click();
    EXPECT_EQ(ReadBytes(data_ / kIndexBackupName), original);
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n/p/c.jpg|1\r\n");
}

TEST_F(LibraryControllerTest, FlagThatIsNoTruthValueIsReportedOnceAndReadAsFalse) {
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n/p/b.jpg|maybe\r\n/p/c.jpg|si\r\n");
    LibraryController& library = Start();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::RefreshDisplayLists);
    EXPECT_EQ(reporter_.reports[0].number, errnum::TypeMismatch);
    EXPECT_EQ(Marks(library.previewModel()), (std::vector<bool>{true, false, false}));
    // Refreshing again does not repeat the report, and the flag text is written back as read.
    widgets_.cmdAddDirFiles->click();
    EXPECT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n/p/b.jpg|maybe\r\n/p/c.jpg|si\r\n");
}

TEST_F(LibraryControllerTest, AddingToAFullListSavesWhatFittedAndSaysSo) {
    std::string bytes;
    for (std::size_t i = 1; i < kMaxEntries; ++i) {
        bytes += "/p/" + std::to_string(i) + ".jpg|True\r\n";
    }
    WriteBytes(data_ / kIndexFileName, bytes);
    AddImages({"x1.jpg", "x2.jpg", "x3.jpg"});
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));
    widgets_.cmdSelectDirFiles->click();
    widgets_.cmdAddDirFiles->click();

    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::CmdAddDirFilesClick);
    EXPECT_EQ(reporter_.reports[0].number, errnum::DisplayListFull);
    EXPECT_EQ(library.displayList().Count(), kMaxEntries);
    EXPECT_EQ(library.previewModel().Count(), kMaxEntries);
    const std::string first = library.dirFilesModel().Names()[0];
    EXPECT_EQ(library.displayList().ImagePath(kMaxEntries), ImagePath(first));
    EXPECT_EQ(IndexBytes(), bytes + ImagePath(first) + "|True\r\n");
}

TEST_F(LibraryControllerTest, FailedSaveReportsAndStillShowsTheTable) {
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n");
    AddImages({"n.jpg"});
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));
    library.indexStore().beforeRename = [] { throw std::runtime_error("disk went away"); };
    CheckDirFile("n.jpg");
    widgets_.cmdAddDirFiles->click();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::SaveDisplayList);
    EXPECT_EQ(library.displayList().Count(), 2U);
    EXPECT_EQ(library.previewModel().Count(), 2U);
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n");
}

#ifndef _WIN32
TEST_F(LibraryControllerTest, NameWithSeparatorIsRefusedOthersAdded) {
    AddImages({"pipe|dream.jpg", "fine.jpg"});
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));
    widgets_.cmdSelectDirFiles->click();
    widgets_.cmdAddDirFiles->click();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::CmdAddDirFilesClick);
    EXPECT_NE(reporter_.reports[0].description.find("pipe|dream.jpg"), std::string::npos);
    EXPECT_EQ(IndexBytes(), ImagePath("fine.jpg") + "|True\r\n");
}
#endif

TEST_F(LibraryControllerTest, VanishedFolderReportsAndLeavesListEmpty) {
    fs::create_directory(images_ / "sub");
    WriteBytes(images_ / "sub" / "a.jpg", "image");
    LibraryController& library = Start();
    ASSERT_TRUE(library.SetCurrentFolder(ToQt(images_ / "sub")));
    ASSERT_EQ(library.dirFilesModel().Count(), 1U);
    fs::remove_all(images_ / "sub");
    library.ListFolderImages();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::ListFolderImages);
    EXPECT_EQ(library.dirFilesModel().Count(), 0U);
}

#ifdef __linux__
TEST_F(LibraryControllerTest, FolderWithoutPermissionReportsAndLeavesListEmpty) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root: permission bits do not stop root from listing";
    }
    fs::create_directory(images_ / "closed");
    WriteBytes(images_ / "closed" / "a.jpg", "image");
    fs::permissions(images_ / "closed", fs::perms::owner_exec);
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_ / "closed"));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::ListFolderImages);
    EXPECT_EQ(reporter_.reports[0].number, errnum::PermissionDenied);
    EXPECT_EQ(library.dirFilesModel().Count(), 0U);
    fs::permissions(images_ / "closed", fs::perms::owner_all);
}
#endif

#ifdef __linux__
TEST_F(LibraryControllerTest, UnreadableIndexFileIsNeverOverwrittenUnseen) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root: permission bits do not stop root from reading";
    }
    WriteBytes(data_ / kIndexFileName, "/p/a.jpg|True\r\n");
    fs::permissions(data_ / kIndexFileName, fs::perms::owner_write);
    AddImages({"n.jpg"});
    LibraryController& library = Start();
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::LoadDisplayList);
    library.SetCurrentFolder(ToQt(images_.Path()));
    widgets_.cmdSelectDirFiles->click();
    widgets_.cmdAddDirFiles->click();
    // The save cannot keep a copy of what it cannot read, so it keeps the file as it is.
    ASSERT_EQ(reporter_.reports.size(), 2U);
    EXPECT_EQ(reporter_.reports[1].location, loc::SaveDisplayList);
    fs::permissions(data_ / kIndexFileName, fs::perms::owner_all);
    EXPECT_EQ(IndexBytes(), "/p/a.jpg|True\r\n");
    EXPECT_EQ(library.displayList().Count(), 1U);
}
#endif

TEST_F(LibraryControllerTest, RootFolderHasNoDoubledSeparator) {
    LibraryController& library = Start();
    ASSERT_TRUE(library.SetCurrentFolder(QDir::rootPath()));
    EXPECT_EQ(library.CurrentFolder(), QDir::rootPath());
    const std::string folder = library.dirFilesModel().Folder();
    ASSERT_FALSE(folder.empty());
    const std::string path = JoinFolderAndName(folder, "x.jpg");
    EXPECT_EQ(path.find(std::string(2, kPathSeparator)), std::string::npos) << path;
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(LibraryControllerTest, ChangingFolderRebuildsTheListWithoutMarks) {
    fs::create_directory(images_ / "one");
    fs::create_directory(images_ / "two");
    WriteBytes(images_ / "one" / "a.jpg", "image");
    WriteBytes(images_ / "two" / "b.jpg", "image");
    WriteBytes(images_ / "two" / "c.jpg", "image");
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_ / "one"));
    widgets_.cmdSelectDirFiles->click();
    // The user picks the other folder in the tree.
    auto* folders = qobject_cast<QFileSystemModel*>(widgets_.dirDisplayFiles->model());
    ASSERT_NE(folders, nullptr);
    const QModelIndex two = folders->index(ToQt(images_ / "two"));
    ASSERT_TRUE(two.isValid());
    widgets_.dirDisplayFiles->setCurrentIndex(two);
    EXPECT_EQ(library.CurrentFolder(), ToQt(images_ / "two"));
    EXPECT_EQ(Marks(library.dirFilesModel()), (std::vector<bool>{false, false}));
}

TEST_F(LibraryControllerTest, DriveThatIsNotReadyChangesNothing) {
    AddImages({"a.jpg"});
    LibraryController& library = Start();
    library.SetCurrentFolder(ToQt(images_.Path()));
    widgets_.cmdSelectDirFiles->click();
    const QString before = library.CurrentFolder();
    widgets_.drvDisplayFiles->addItem(QStringLiteral("Z:"), ToQt(images_ / "no-medium"));
    const int index = widgets_.drvDisplayFiles->count() - 1;
    widgets_.drvDisplayFiles->setCurrentIndex(index);
    EXPECT_EQ(library.CurrentFolder(), before);
    EXPECT_EQ(Marks(library.dirFilesModel()), std::vector<bool>{true});
    EXPECT_EQ(widgets_.drvDisplayFiles->currentIndex(), index);
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(LibraryControllerTest, ChoosingADriveMovesTheFolderAndListsIt) {
    AddImages({"a.jpg", "b.gif"});
    LibraryController& library = Start();
    library.SetCurrentFolder(QDir::rootPath());
    widgets_.drvDisplayFiles->addItem(QStringLiteral("Stick"), ToQt(images_.Path()));
    widgets_.drvDisplayFiles->setCurrentIndex(widgets_.drvDisplayFiles->count() - 1);
    EXPECT_EQ(library.CurrentFolder(), ToQt(images_.Path()));
    EXPECT_EQ(library.dirFilesModel().Count(), 2U);
    EXPECT_TRUE(reporter_.reports.empty());
}

struct VolumeCase {
    const char* root;
    const char* type;
    bool browsable;
};

class BrowsableVolumeTest : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(BrowsableVolumeTest, OffersOnlyAPersonsVolumes) {
#ifdef _WIN32
    GTEST_SKIP() << "every drive letter is offered on Windows";
#else
    EXPECT_EQ(IsBrowsableVolume(QString::fromLatin1(GetParam().root), GetParam().type),
              GetParam().browsable)
        << GetParam().root;
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, BrowsableVolumeTest,
    ::testing::Values(
        VolumeCase{"/", "ext4", true}, VolumeCase{"/", "overlay", true},
        VolumeCase{"/home", "ext4", true}, VolumeCase{"/media/ann/STICK", "vfat", true},
        VolumeCase{"/run/media/ann/CARD", "exfat", true}, VolumeCase{"/mnt/photos", "nfs4", true},
        VolumeCase{"/proc", "proc", false}, VolumeCase{"/sys/fs/cgroup", "cgroup2", false},
        VolumeCase{"/dev/shm", "tmpfs", false}, VolumeCase{"/run/user/1000", "tmpfs", false},
        VolumeCase{"/run/lock", "ext4", false}, VolumeCase{"/boot/efi", "vfat", false},
        VolumeCase{"/snap/core/1", "squashfs", false}, VolumeCase{"/tmp", "tmpfs", false}));

TEST(DriveListTest, FolderBelongsToTheLongestContainingRoot) {
    const QList<Drive> drives = {{QStringLiteral("/"), QStringLiteral("/")},
                                 {QStringLiteral("/home/ann"), QStringLiteral("Home")},
                                 {QStringLiteral("/media/ann/STICK"), QStringLiteral("STICK")}};
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/")), 0);
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/usr/share")), 0);
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/home/ann")), 1);
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/home/ann/Pictures")), 1);
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/home/anne")), 0);
    EXPECT_EQ(DriveIndexForFolder(drives, QStringLiteral("/media/ann/STICK/DCIM")), 2);
    EXPECT_EQ(DriveIndexForFolder({}, QStringLiteral("/x")), -1);
}

TEST(DriveListTest, RootAndHomeAreAlwaysOffered) {
    const QList<Drive> drives = AvailableDrives();
    ASSERT_FALSE(drives.isEmpty());
    EXPECT_EQ(drives[0].rootPath, QDir::rootPath());
#ifndef _WIN32
    EXPECT_TRUE(std::any_of(drives.begin(), drives.end(),
                            [](const Drive& d) { return d.rootPath == QDir::homePath(); }));
#endif
    for (const Drive& drive : drives) {
        EXPECT_FALSE(drive.rootPath.startsWith(QStringLiteral("/proc")))
            << drive.rootPath.toStdString();
        EXPECT_FALSE(drive.text.isEmpty());
    }
}

}  // namespace
}  // namespace tavrino::library
