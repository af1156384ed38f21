#include "rotation/DisplayListView.h"

#include <cstddef>
#include <limits>
#include <optional>

#include "support/errors/Errors.h"

namespace tavrino::rotation {

namespace {

std::size_t RowIndex(int row) {
    return row < 0 ? 0 : static_cast<std::size_t>(row);
}

}  // namespace

int DisplayListView::Count() const {
    const std::size_t count = list_.Count();
    return count > static_cast<std::size_t>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(count);
}

const std::string& DisplayListView::Path(int row) const {
    return list_.ImagePath(RowIndex(row));
}

bool DisplayListView::Flag(int row) const {
    const std::optional<bool> value = library::ReadDisplayFlag(list_.DisplayFlag(RowIndex(row)));
    if (!value) {
        throw Error(errnum::TypeMismatch);
    }
    return *value;
}

}  // namespace tavrino::rotation
