#include "library/LibraryController.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTreeView>
#include <stdexcept>
#include <utility>

#include "layouts/Captions.h"
#include "library/CheckListView.h"
#include "library/FolderListing.h"
#include "library/NaturalOrder.h"
#include "library/PathText.h"

namespace tavrino::library {

namespace {

// A name the index file could not give back: "|" splits its lines, a CR ends them.
bool FitsIndexFile(const std::string& path) {
    return path.find_first_of("|\r") == std::string::npos;
}

}  // namespace

LibraryController::LibraryController(const LibraryWidgets& widgets, ErrorReporter& reporter,
                                     const QString& dataFolder, QObject* parent)
    : QObject(parent),
      widgets_(widgets),
      reporter_(reporter),
      store_(ToFsPath(PathFromQt(QDir::toNativeSeparators(dataFolder)))) {
    if (widgets_.drvDisplayFiles == nullptr || widgets_.dirDisplayFiles == nullptr ||
        widgets_.lstDirFiles == nullptr || widgets_.lstDisplayFiles == nullptr ||
        widgets_.lstPreview == nullptr || widgets_.cmdSelectDirFiles == nullptr ||
        widgets_.cmdDeselectDirFiles == nullptr || widgets_.cmdAddDirFiles == nullptr ||
        widgets_.cmdSelectDisplayFiles == nullptr || widgets_.cmdDeselectDisplayFiles == nullptr ||
        widgets_.cmdRemoveDisplayFiles == nullptr) {
        throw std::invalid_argument("LibraryController needs every widget");
    }

    folders_ = std::make_unique<QFileSystemModel>();
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setReadOnly(true);
    folders_->setRootPath(QDir::rootPath());
    QTreeView* tree = widgets_.dirDisplayFiles;
    tree->setModel(folders_.get());
    for (int column = 1; column < folders_->columnCount(); ++column) {
        tree->hideColumn(column);
    }
    tree->setHeaderHidden(true);
    tree->setUniformRowHeights(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);

    dirFiles_ = std::make_unique<FolderFilesModel>();
    displayFiles_ = std::make_unique<DisplayListModel>(
        list_, DisplayListModel::Marks::ClearedOnRefresh, QString::fromUtf8(kDisplayFilesColumn));
    preview_ = std::make_unique<DisplayListModel>(list_, DisplayListModel::Marks::FromDisplayFlag,
                                                  QString::fromUtf8(kPreviewColumn));
    widgets_.lstDirFiles->setModel(dirFiles_.get());
    widgets_.lstDisplayFiles->setModel(displayFiles_.get());
    widgets_.lstPreview->setModel(preview_.get());

    // The process's current drive and folder, shown without listing it yet.
    RefreshDrives();
    const QString start = QDir::cleanPath(QDir::currentPath());
    currentFolder_ = start;
    lastFolderOnDrive_.clear();
    {
        const QSignalBlocker blocker(widgets_.drvDisplayFiles);
        const qsizetype drive = DriveIndexForFolder(drives_, start);
        widgets_.drvDisplayFiles->setCurrentIndex(static_cast<int>(drive));
        if (drive >= 0) {
            lastFolderOnDrive_.insert(drives_[drive].rootPath, start);
        }
    }
    ShowFolderInTree(start);

    connect(widgets_.drvDisplayFiles, &QComboBox::currentIndexChanged, this,
            &LibraryController::OnDriveChanged);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnFolderTreeChanged(current); });
    widgets_.drvDisplayFiles->installEventFilter(this);

    connect(widgets_.cmdSelectDirFiles, &QAbstractButton::clicked, this,
            &LibraryController::SelectAllDirFiles);
    connect(widgets_.cmdDeselectDirFiles, &QAbstractButton::clicked, this,
            &LibraryController::DeselectAllDirFiles);
    connect(widgets_.cmdAddDirFiles, &QAbstractButton::clicked, this,
            &LibraryController::AddSelected);
    connect(widgets_.cmdSelectDisplayFiles, &QAbstractButton::clicked, this,
            &LibraryController::SelectAllDisplayFiles);
    connect(widgets_.cmdDeselectDisplayFiles, &QAbstractButton::clicked, this,
            &LibraryController::DeselectAllDisplayFiles);
    connect(widgets_.cmdRemoveDisplayFiles, &QAbstractButton::clicked, this,
            &LibraryController::RemoveChecked);
    // Entries leave the list only through their check marks and "Remove"; a double click on
    // lstDisplayFiles does nothing.
}

// The models go before the table they show (member order); the views notice their models going.
LibraryController::~LibraryController() = default;

bool LibraryController::IsPreviewChecked(std::size_t row) const {
    return row >= 1 && preview_->IsChecked(row - 1);
}

std::size_t LibraryController::RowOf(const QModelIndex& index) {
    return index.isValid() && index.row() >= 0 ? static_cast<std::size_t>(index.row()) + 1 : 0;
}

QString LibraryController::DisplayText(std::size_t row) const {
    if (row > kMaxEntries) {
        return {};
    }
    return PathToDisplay(list_.PathView(row));
}

bool LibraryController::SetCurrentFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) {
        return false;
    }
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    ShowFolderInTree(path);
    if (path != currentFolder_) {
        ChangeFolder(path);
    }
    return true;
}

void LibraryController::ShowFolderInTree(const QString& folder) {
    movingTree_ = true;
    IgnoringErrors([&] {
        const QModelIndex index = folders_->index(folder);
        if (index.isValid()) {
            widgets_.dirDisplayFiles->setCurrentIndex(index);
            widgets_.dirDisplayFiles->scrollTo(index);
        }
    });
    movingTree_ = false;
}

void LibraryController::OnFolderTreeChanged(const QModelIndex& current) {
    if (movingTree_) {
        return;
    }
    IgnoringErrors([&] {
        const QString path = QDir::cleanPath(folders_->filePath(current));
        if (!current.isValid() || path.isEmpty() || path == currentFolder_) {
            return;
        }
        ChangeFolder(path);
    });
}

void LibraryController::ChangeFolder(const QString& path) {
    currentFolder_ = path;
    const qsizetype drive = DriveIndexForFolder(drives_, path);
    if (drive >= 0) {
        lastFolderOnDrive_.insert(drives_[drive].rootPath, path);
        const QSignalBlocker blocker(widgets_.drvDisplayFiles);
        widgets_.drvDisplayFiles->setCurrentIndex(static_cast<int>(drive));
    }
    ListFolderImages();
}

void LibraryController::OnDriveChanged(int index) {
    // A drive that is not ready changes nothing and says nothing; the box keeps the choice.
    IgnoringErrors([&] {
        const QString root = widgets_.drvDisplayFiles->itemData(index).toString();
        if (index < 0 || root.isEmpty() || !IsDriveReady(root)) {
            return;
        }
        QString target = lastFolderOnDrive_.value(root, root);
        if (!QFileInfo(target).isDir()) {
            target = root;
        }
        SetCurrentFolder(target);
        // The folder may belong to a drive nested in this one; the box keeps what was chosen.
        const QSignalBlocker blocker(widgets_.drvDisplayFiles);
        widgets_.drvDisplayFiles->setCurrentIndex(index);
    });
}

void LibraryController::RefreshDrives() {
    QComboBox* box = widgets_.drvDisplayFiles;
    const QSignalBlocker blocker(box);
    const QString chosen = box->currentData().toString();
    drives_ = AvailableDrives();
    box->clear();
    for (const Drive& drive : drives_) {
        box->addItem(drive.text, drive.rootPath);
    }
    const int again = box->findData(chosen);
    box->setCurrentIndex(
        again >= 0 ? again : static_cast<int>(DriveIndexForFolder(drives_, currentFolder_)));
}

bool LibraryController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widgets_.drvDisplayFiles && event->type() == QEvent::MouseButtonPress) {
        // Media come and go while the program runs; offer what is mounted now.
        IgnoringErrors([this] { RefreshDrives(); });
    }
    return QObject::eventFilter(watched, event);
}

void LibraryController::ListFolderImages() {
    dirFiles_->Clear();
    Guarded(reporter_, loc::ListFolderImages, [&] {
        std::string folder = PathFromQt(QDir::toNativeSeparators(currentFolder_));
        std::vector<std::string> names = library::ListFolderImages(ToFsPath(folder));
        library::SortNaturally(names);
        dirFiles_->SetNames(std::move(folder), std::move(names));
    });
    widgets_.lstDirFiles->viewport()->update();
}

void LibraryController::LoadDisplayList() {
    list_.Clear();
    IndexReadResult result;
    const bool read = Guarded(reporter_, loc::LoadDisplayList, [&] {
        result = store_.Load(list_);
        if (result.DroppedLines()) {
            // Every good line is loaded; the original stays whole until a save keeps a copy.
            throw Error(errnum::DisplayListDamaged, DescribeIndexProblems(result));
        }
    });
    RefreshDisplayLists();
    if (read && result.badFlags != 0) {
        Guarded(reporter_, loc::RefreshDisplayLists,
                [&] { throw Error(errnum::TypeMismatch, DescribeIndexProblems(result)); });
    }
    emit displayListChanged();
}

bool LibraryController::SaveDisplayList() {
    return Guarded(reporter_, loc::SaveDisplayList, [&] { store_.Save(list_); });
}

void LibraryController::RefreshDisplayLists() {
    Guarded(reporter_, loc::RefreshDisplayLists, [&] {
        displayFiles_->Refresh();
        preview_->Refresh();
    });
    widgets_.lstDisplayFiles->viewport()->update();
    widgets_.lstPreview->viewport()->update();
}

void LibraryController::AddSelected() {
    Guarded(reporter_, loc::CmdAddDirFilesClick, [&] {
        std::vector<std::string> candidates;
        std::size_t unfit = 0;
        std::string firstUnfit;
        for (const std::string& name : dirFiles_->CheckedNames()) {
            std::string path = JoinFolderAndName(dirFiles_->Folder(), name);
            if (!FitsIndexFile(path)) {
                if (unfit++ == 0) {
                    firstUnfit = std::move(path);
                }
                continue;
            }
            candidates.push_back(std::move(path));
        }
        const AddResult result = list_.Add(candidates);
        // What was added is saved and shown even when not everything fitted.
        SaveDisplayList();
        RefreshDisplayLists();
        if (result.added != 0) {
            emit displayListChanged();
        }
        if (result.rejectedFull != 0) {
            throw Error(errnum::DisplayListFull,
                        "The display list is full: it holds at most " +
                            std::to_string(kMaxEntries) + " images. " +
                            std::to_string(result.added) + " of the selected files were added, " +
                            std::to_string(result.rejectedFull) + " were not.");
        }
        if (unfit != 0) {
            throw Error(errnum::PathFileAccessError,
                        std::to_string(unfit) +
                            " selected file(s) could not be added because the name holds a \"|\" "
                            "or a carriage return, which images.idx cannot store: " +
                            firstUnfit);
        }
    });
}

void LibraryController::RemoveChecked() {
    Guarded(reporter_, loc::CmdRemoveDisplayFilesClick, [&] {
        list_.Remove(displayFiles_->CheckMarks());
        SaveDisplayList();
        RefreshDisplayLists();
        emit displayListChanged();
    });
}

void LibraryController::SelectAllDirFiles() {
    Guarded(reporter_, loc::CmdSelectDirFilesClick, [&] { dirFiles_->SetAllChecked(true); });
}

void LibraryController::DeselectAllDirFiles() {
    Guarded(reporter_, loc::CmdDeselectDirFilesClick, [&] { dirFiles_->SetAllChecked(false); });
}

void LibraryController::SelectAllDisplayFiles() {
    Guarded(reporter_, loc::CmdSelectDisplayFilesClick,
            [&] { displayFiles_->SetAllChecked(true); });
}

void LibraryController::DeselectAllDisplayFiles() {
    Guarded(reporter_, loc::CmdDeselectDisplayFilesClick,
            [&] { displayFiles_->SetAllChecked(false); });
}

}  // namespace tavrino::library
