// Item models behind the three check-box list views of the image library. One column, one
// check box per item, items in insertion order; no widget per item, so 50 000 rows stay cheap.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "library/DisplayList.h"

namespace tavrino::library {

// Check marks and the single column's caption, shared by the three lists.
class CheckListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit CheckListModel(QString caption, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Item i is 0-based here; the display list's row k is item k - 1.
    [[nodiscard]] bool IsChecked(std::size_t item) const;
    void SetChecked(std::size_t item, bool checked);
    // Sets every check mark, first to last.
    void SetAllChecked(bool checked);
    // One mark per item, in order.
    [[nodiscard]] std::vector<bool> CheckMarks() const;
    [[nodiscard]] std::size_t Count() const noexcept { return checks_.size(); }

protected:
    [[nodiscard]] virtual QString ItemText(std::size_t item) const = 0;
    // Replaces the items' check marks (and so their number); call between beginResetModel()
    // and endResetModel().
    void ReplaceChecks(std::vector<char> checks) noexcept { checks_ = std::move(checks); }

private:
    QString caption_;
    std::vector<char> checks_;
};

// The image files of the folder shown in the folder browser: bare names, unchecked at first.
class FolderFilesModel final : public CheckListModel {
    Q_OBJECT

public:
    explicit FolderFilesModel(QObject* parent = nullptr);

    // Replaces the items by names (all unchecked); folder is where they were listed.
    void SetNames(std::string folder, std::vector<std::string> names);
    void Clear();

    [[nodiscard]] const std::string& Folder() const noexcept { return folder_; }
    [[nodiscard]] const std::vector<std::string>& Names() const noexcept { return names_; }
    [[nodiscard]] std::vector<std::string> CheckedNames() const;

protected:
    [[nodiscard]] QString ItemText(std::size_t item) const override;

private:
    std::string folder_;
    std::vector<std::string> names_;
};

// The display list as a list view: item k - 1 shows row k's path. Its check marks live only
// here; Refresh sets them from the flags (the preview list) or clears them (the removal list).
class DisplayListModel final : public CheckListModel {
    Q_OBJECT

public:
    enum class Marks { ClearedOnRefresh, FromDisplayFlag };

    DisplayListModel(const DisplayList& list, Marks marks, QString caption,
                     QObject* parent = nullptr);

    // Rebuilds the items from the table.
    void Refresh();

protected:
    [[nodiscard]] QString ItemText(std::size_t item) const override;

private:
    const DisplayList& list_;
    Marks marks_;
};

}  // namespace tavrino::library
