#include "library/LibraryModels.h"

#include <algorithm>
#include <utility>

#include "layouts/Captions.h"
#include "library/PathText.h"

namespace tavrino::library {

CheckListModel::CheckListModel(QString caption, QObject* parent)
    : QAbstractListModel(parent), caption_(std::move(caption)) {}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(checks_.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= checks_.size()) {
        return {};
    }
    const auto item = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return ItemText(item);
        case Qt::CheckStateRole:
            return checks_[item] != 0 ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= checks_.size()) {
        return false;
    }
    SetChecked(static_cast<std::size_t>(index.row()), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
           Qt::ItemNeverHasChildren;
}

QVariant CheckListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return caption_;
    }
    return {};
}

bool CheckListModel::IsChecked(std::size_t item) const {
    return item < checks_.size() && checks_[item] != 0;
}

void CheckListModel::SetChecked(std::size_t item, bool checked) {
    if (item >= checks_.size() || (checks_[item] != 0) == checked) {
        return;
    }
    checks_[item] = checked ? 1 : 0;
    const QModelIndex changed = index(static_cast<int>(item));
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void CheckListModel::SetAllChecked(bool checked) {
    if (checks_.empty()) {
        return;
    }
    std::fill(checks_.begin(), checks_.end(), checked ? 1 : 0);
    emit dataChanged(index(0), index(static_cast<int>(checks_.size()) - 1), {Qt::CheckStateRole});
}

std::vector<bool> CheckListModel::CheckMarks() const {
    std::vector<bool> marks(checks_.size());
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        marks[i] = checks_[i] != 0;
    }
    return marks;
}

FolderFilesModel::FolderFilesModel(QObject* parent)
    : CheckListModel(QString::fromUtf8(kDirFilesColumn), parent) {}

void FolderFilesModel::SetNames(std::string folder, std::vector<std::string> names) {
    beginResetModel();
    ReplaceChecks(std::vector<char>(names.size(), 0));
    folder_ = std::move(folder);
    names_ = std::move(names);
    endResetModel();
}

void FolderFilesModel::Clear() {
    SetNames({}, {});
}

std::vector<std::string> FolderFilesModel::CheckedNames() const {
    std::vector<std::string> checked;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (IsChecked(i)) {
            checked.push_back(names_[i]);
        }
    }
    return checked;
}

QString FolderFilesModel::ItemText(std::size_t item) const {
    return item < names_.size() ? PathToDisplay(names_[item]) : QString();
}

DisplayListModel::DisplayListModel(const DisplayList& list, Marks marks, QString caption,
                                   QObject* parent)
    : CheckListModel(std::move(caption), parent), list_(list), marks_(marks) {}

void DisplayListModel::Refresh() {
    std::vector<char> checks(list_.Count(), 0);
    if (marks_ == Marks::FromDisplayFlag) {
        for (std::size_t row = 1; row <= checks.size(); ++row) {
            checks[row - 1] = list_.IsFlagSet(row) ? 1 : 0;
        }
    }
    beginResetModel();
    ReplaceChecks(std::move(checks));
    endResetModel();
}

QString DisplayListModel::ItemText(std::size_t item) const {
    return PathToDisplay(list_.PathView(item + 1));
}

}  // namespace tavrino::library
