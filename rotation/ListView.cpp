#include "rotation/ListView.h"

namespace tavrino::rotation {

const std::string& PathOrEmpty(const ListView& list, int row) {
    static const std::string empty;
    if (row < 1 || row > list.Count()) {
        return empty;
    }
    return list.Path(row);
}

int FindRow(const ListView& list, const std::string& path) {
    const int count = list.Count();
    for (int row = 1; row <= count; ++row) {
        if (list.Path(row) == path) {
            return row;
        }
    }
    return 0;
}

}  // namespace tavrino::rotation
