#include "rotation/ListView.h"

namespace tavrino::rotation {

std::string_view PathOrEmpty(const ListView& list, int row) {
    if (row < 1 || row > list.Count()) {
        return {};
    }
    return list.Path(row);
}

int FindRow(const ListView& list, std::string_view path) {
    const int count = list.Count();
    for (int row = 1; row <= count; ++row) {
        if (list.Path(row) == path) {
            return row;
        }
    }
    return 0;
}

}  // namespace tavrino::rotation
