// The rotation's view of the image library's display list.
#pragma once

#include <string>

#include "library/DisplayList.h"
#include "rotation/ListView.h"

namespace tavrino::rotation {

// Reads rows straight from the table; a flag that is not a truth value throws
// Error(TypeMismatch), so the choice reports it instead of quietly skipping the row.
class DisplayListView final : public ListView {
public:
    explicit DisplayListView(const library::DisplayList& list) : list_(list) {}

    [[nodiscard]] int Count() const override;
    [[nodiscard]] const std::string& Path(int row) const override;
    [[nodiscard]] bool Flag(int row) const override;

private:
    const library::DisplayList& list_;
};

}  // namespace tavrino::rotation
