// A display list and preview check marks held in vectors, for the rotation tests.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rotation/ListView.h"
#include "rotation/NumericValue.h"
#include "support/errors/Errors.h"

namespace tavrino::test {

struct Row {
    std::string path;
    std::string flag = "True";
};

// Row k is rows[k-1]; like the real table, the list ends at the first empty path.
class FakeList final : public rotation::ListView {
public:
    FakeList() = default;
    explicit FakeList(std::vector<Row> initial) : rows(std::move(initial)) {}

    [[nodiscard]] int Count() const override {
        const auto end =
            std::find_if(rows.begin(), rows.end(), [](const Row& row) { return row.path.empty(); });
        return static_cast<int>(end - rows.begin());
    }
    [[nodiscard]] const std::string& Path(int row) const override { return At(row).path; }
    [[nodiscard]] bool Flag(int row) const override {
        ++flagReads;
        std::string text = At(row).flag;
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (text == "true") {
            return true;
        }
        if (text == "false") {
            return false;
        }
        const bool numeric =
            !text.empty() && text.find_first_not_of("+-0123456789.") == std::string::npos;
        if (!numeric) {
            throw Error(errnum::TypeMismatch);
        }
        return NumericValue(text) != 0.0;
    }

    std::vector<Row> rows;
    mutable int flagReads = 0;

private:
    [[nodiscard]] const Row& At(int row) const {
        return rows.at(static_cast<std::size_t>(row - 1));
    }
};

// Rows from paths, every flag "True".
inline FakeList ListOf(const std::vector<std::string>& paths) {
    FakeList list;
    for (const std::string& path : paths) {
        list.rows.push_back({path, "True"});
    }
    return list;
}

class FakeMarks final : public rotation::PreviewMarks {
public:
    FakeMarks() = default;
    explicit FakeMarks(std::vector<bool> initial) : checks(std::move(initial)) {}

    [[nodiscard]] int Count() const override { return static_cast<int>(checks.size()); }
    [[nodiscard]] bool Checked(int item) const override {
        return checks.at(static_cast<std::size_t>(item - 1));
    }

    std::vector<bool> checks;
};

// Names each case of a table after its name field.
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& param) const {
        return param.param.name;
    }
};

}  // namespace tavrino::test
