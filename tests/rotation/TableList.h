// The display list as the main window hands it to the rotation, and preview marks in a string.
#pragma once

#include "library/DisplayList.h"
#include "rotation/ListView.h"
#include "support/errors/Errors.h"

namespace tavrino::test {

struct TableList {
    // One row per character: 'T' the flag "True", 'F' "False", '!' a flag that cannot be read
    // (as an unexpected failure inside the list would). Paths are "C:\1.jpg", "C:\2.jpg", ...
    explicit TableList(const std::string& flags) {
        std::vector<library::DisplayEntry> rows;
        for (const char c : flags) {
            const std::string n = std::to_string(rows.size() + 1);
            rows.push_back({(c == '!' ? "!" : "C:\\") + n + ".jpg", c == 'F' ? "False" : "True"});
        }
        table.Assign(rows);
    }
    TableList(const TableList&) = delete;
    TableList& operator=(const TableList&) = delete;

    library::DisplayList table;
    rotation::FunctionListView view{[this] { return static_cast<int>(table.Count()); },
                                    [this](int row) { return table.PathView(Row(row)); },
                                    [this](int row) {
                                        return table.PathView(Row(row))[0] == '!'
                                                   ? throw Error(errnum::TypeMismatch)
                                                   : table.IsFlagSet(Row(row));
                                    }};

private:
    static std::size_t Row(int row) { return static_cast<std::size_t>(row); }
};

// Check marks of the preview items: 'x' checked, anything else not.
struct FakeMarks final : rotation::PreviewMarks {
    explicit FakeMarks(std::string initial) : checks(std::move(initial)) {}
    [[nodiscard]] int Count() const override { return static_cast<int>(checks.size()); }
    [[nodiscard]] bool Checked(int item) const override {
        return checks.at(static_cast<std::size_t>(item - 1)) == 'x';
    }
    std::string checks;
};

}  // namespace tavrino::test
