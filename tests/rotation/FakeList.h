// A display list and preview check marks held in plain strings, for the rotation tests.
#pragma once

#include <string>
#include <vector>

#include "rotation/ListView.h"
#include "support/errors/Errors.h"

namespace tavrino::test {

struct Row {
    std::string path;
    bool flag = true;
};

// Row k is rows[k-1]; the list ends at the first empty path, like the real table. Reading the
// flag of a path starting with '!' throws, as an unexpected failure inside the list would.
struct FakeList final : rotation::ListView {
    [[nodiscard]] int Count() const override {
        int n = 0;
        while (n < static_cast<int>(rows.size()) && !At(n + 1).path.empty()) {
            ++n;
        }
        return n;
    }
    [[nodiscard]] std::string_view Path(int row) const override { return At(row).path; }
    [[nodiscard]] bool Flag(int row) const override {
        return At(row).path[0] == '!' ? throw Error(errnum::TypeMismatch) : At(row).flag;
    }
    [[nodiscard]] const Row& At(int row) const {
        return rows.at(static_cast<std::size_t>(row - 1));
    }
    std::vector<Row> rows;
};

// One row per character: 'T' a true flag, 'F' a false one, ' ' an empty path, '!' a flag that
// cannot be read. Paths are "C:\1.jpg", "C:\2.jpg", ...
inline FakeList ListOf(const std::string& flags) {
    FakeList list;
    for (const char c : flags) {
        const std::string n = std::to_string(list.rows.size() + 1);
        list.rows.push_back({c == ' ' ? "" : (c == '!' ? "!" : "C:\\") + n + ".jpg", c != 'F'});
    }
    return list;
}

// Check marks of the preview items: 'x' checked, anything else not.
struct FakeMarks final : rotation::PreviewMarks {
    explicit FakeMarks(std::string initial = {}) : checks(std::move(initial)) {}
    [[nodiscard]] int Count() const override { return static_cast<int>(checks.size()); }
    [[nodiscard]] bool Checked(int item) const override {
        return checks.at(static_cast<std::size_t>(item - 1)) == 'x';
    }
    std::string checks;
};

}  // namespace tavrino::test
