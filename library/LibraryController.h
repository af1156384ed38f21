// The "Manage Images" tab and the preview list: the drive box, the folder tree and the folder's
// image files, the display list with its file images.idx, and the two list views that show it.
// The display list is owned here; everyone else reads it through displayList().
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <cstddef>
#include <memory>

#include "library/DisplayList.h"
#include "library/DriveList.h"
#include "library/IndexFile.h"
#include "library/LibraryModels.h"
#include "support/errors/Errors.h"

class QAbstractButton;
class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QTreeView;

namespace tavrino::library {

class CheckListView;

// The widgets the controller drives; every pointer must be set and outlive the controller.
struct LibraryWidgets {
    QComboBox* drvDisplayFiles = nullptr;
    QTreeView* dirDisplayFiles = nullptr;
    CheckListView* lstDirFiles = nullptr;
    CheckListView* lstDisplayFiles = nullptr;
    CheckListView* lstPreview = nullptr;
    QAbstractButton* cmdSelectDirFiles = nullptr;
    QAbstractButton* cmdDeselectDirFiles = nullptr;
    QAbstractButton* cmdAddDirFiles = nullptr;
    QAbstractButton* cmdSelectDisplayFiles = nullptr;
    QAbstractButton* cmdDeselectDisplayFiles = nullptr;
    QAbstractButton* cmdRemoveDisplayFiles = nullptr;

    // The widgets of the same names on a form (the main window's).
    template <class Form>
    static LibraryWidgets Of(const Form& form) {
        return {.drvDisplayFiles = form.drvDisplayFiles,
                .dirDisplayFiles = form.dirDisplayFiles,
                .lstDirFiles = form.lstDirFiles,
                .lstDisplayFiles = form.lstDisplayFiles,
                .lstPreview = form.lstPreview,
                .cmdSelectDirFiles = form.cmdSelectDirFiles,
                .cmdDeselectDirFiles = form.cmdDeselectDirFiles,
                .cmdAddDirFiles = form.cmdAddDirFiles,
                .cmdSelectDisplayFiles = form.cmdSelectDisplayFiles,
                .cmdDeselectDisplayFiles = form.cmdDeselectDisplayFiles,
                .cmdRemoveDisplayFiles = form.cmdRemoveDisplayFiles};
    }
};

class LibraryController final : public QObject {
    Q_OBJECT

public:
    // Sets up the views (models, drive list) and shows the process's current folder, without
    // listing it: the main window's load calls ListFolderImages() and then LoadDisplayList().
    // dataFolder is where images.idx lives.
    LibraryController(const LibraryWidgets& widgets, ErrorReporter& reporter,
                      const QString& dataFolder, QObject* parent = nullptr);
    ~LibraryController() override;
    LibraryController(const LibraryController&) = delete;
    LibraryController& operator=(const LibraryController&) = delete;

    // The display list, read-only. Row k is item k - 1 of both list views.
    [[nodiscard]] const DisplayList& displayList() const noexcept { return list_; }

    // The check mark of lstPreview's item for row (1-based): may the random choice take it.
    [[nodiscard]] bool IsPreviewChecked(std::size_t row) const;

    // The display list row an item of lstPreview or lstDisplayFiles shows (0 for none).
    [[nodiscard]] static std::size_t RowOf(const QModelIndex& index);

    // Row's path as text for labels and messages (never to be turned back into a path).
    [[nodiscard]] QString DisplayText(std::size_t row) const;

    // The folder shown in dirDisplayFiles, in Qt form.
    [[nodiscard]] QString CurrentFolder() const { return currentFolder_; }

    // Moves the folder tree to folder; a change of folder lists it. False when folder is not a
    // folder (nothing changes then).
    bool SetCurrentFolder(const QString& folder);

    // Refills lstDirFiles from the current folder (errors: location 37).
    void ListFolderImages();
    // Resets the table, reads images.idx, refills both list views (errors: location 40).
    void LoadDisplayList();
    // Rewrites images.idx from the table (errors: location 39). False when not saved.
    bool SaveDisplayList();
    // Rebuilds both list views from the table (errors: location 38).
    void RefreshDisplayLists();

    // The buttons' handlers.
    void AddSelected();              // cmdAddDirFiles, location 22
    void RemoveChecked();            // cmdRemoveDisplayFiles, location 25
    void SelectAllDirFiles();        // location 26
    void DeselectAllDirFiles();      // location 23
    void SelectAllDisplayFiles();    // location 27
    void DeselectAllDisplayFiles();  // location 24

    // Re-reads the mounted drives into the drive box, keeping the chosen one.
    void RefreshDrives();

    [[nodiscard]] FolderFilesModel& dirFilesModel() noexcept { return *dirFiles_; }
    [[nodiscard]] DisplayListModel& displayFilesModel() noexcept { return *displayFiles_; }
    [[nodiscard]] DisplayListModel& previewModel() noexcept { return *preview_; }
    [[nodiscard]] const IndexStore& indexStore() const noexcept { return store_; }
    [[nodiscard]] IndexStore& indexStore() noexcept { return store_; }

signals:
    // The table changed (load, add, remove); rows may have new meanings.
    void displayListChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnDriveChanged(int index);
    void OnFolderTreeChanged(const QModelIndex& current);
    void ShowFolderInTree(const QString& folder);
    void ChangeFolder(const QString& path);

    LibraryWidgets widgets_;
    ErrorReporter& reporter_;
    DisplayList list_;
    IndexStore store_;
    std::unique_ptr<QFileSystemModel> folders_;
    std::unique_ptr<FolderFilesModel> dirFiles_;
    std::unique_ptr<DisplayListModel> displayFiles_;
    std::unique_ptr<DisplayListModel> preview_;
    QList<Drive> drives_;
    QHash<QString, QString> lastFolderOnDrive_;
    QString currentFolder_;
    bool movingTree_ = false;
};

}  // namespace tavrino::library
