#include "library/CheckListView.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace tavrino::library {

namespace {

// Rows are as wide as the view (a list makes them so when they ask for less), so that a long
// path is cut to fit rather than scrolled.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        return {1, QStyledItemDelegate::sizeHint(option, index).height()};
    }
};

}  // namespace

CheckListView::CheckListView(QWidget* parent)
    : QListView(parent), header_(new QHeaderView(Qt::Horizontal, this)) {
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setSectionsClickable(false);
    header_->setHighlightSections(false);
    header_->setSectionsMovable(false);
    header_->setStretchLastSection(true);
}

void CheckListView::setModel(QAbstractItemModel* model) {
    QListView::setModel(model);
    header_->setModel(model);
}

// As a tree view places its header: above the viewport, across it.
void CheckListView::updateGeometries() {
    const int height = header_->isHidden() ? 0 : header_->sizeHint().height();
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - height, area.width(), height);
    QListView::updateGeometries();
}

}  // namespace tavrino::library
