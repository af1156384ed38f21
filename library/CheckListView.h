// The check-box list views: one column under a caption, as a table or tree shows it, but laid
// out as a list. A tree keeps a 40-byte record per row and a table an 8-byte header section
// per row; a list of rows of one height keeps only each row's position.
#pragma once

#include <QListView>

class QHeaderView;

namespace tavrino::library {

class CheckListView : public QListView {
    Q_OBJECT

public:
    explicit CheckListView(QWidget* parent = nullptr);

    // The caption over the column (the model's horizontal header of column 0).
    [[nodiscard]] QHeaderView* header() const noexcept { return header_; }

    void setModel(QAbstractItemModel* model) override;

protected:
    void updateGeometries() override;

private:
    QHeaderView* header_;
};

}  // namespace tavrino::library
