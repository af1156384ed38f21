// What the rotation reads of the display list and of the preview list's check marks.
// Kept as small interfaces so the rotation can be tested without the list views and the
// main window can hand in its own table.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tavrino::rotation {

// Rows 1 to Count() are the used rows of the display list, without a gap; a row number is the
// identity of an entry. Every reader stops at the first free row, so rows past Count() are
// never looked at.
class ListView {
public:
    virtual ~ListView() = default;
    [[nodiscard]] virtual int Count() const = 0;
    // ImagePath of a used row (1 to Count()).
    [[nodiscard]] virtual std::string_view Path(int row) const = 0;
    // DisplayFlag of a used row read as a truth value (the main window reads it through
    // DisplayList::IsFlagSet, where a flag that is no truth value counts as false).
    [[nodiscard]] virtual bool Flag(int row) const = 0;

protected:
    ListView() = default;
    ListView(const ListView&) = default;
    ListView& operator=(const ListView&) = default;
};

// The check marks of the preview list: item k shows row k of the display list.
class PreviewMarks {
public:
    virtual ~PreviewMarks() = default;
    [[nodiscard]] virtual int Count() const = 0;
    // Check mark of item 1 to Count().
    [[nodiscard]] virtual bool Checked(int item) const = 0;

protected:
    PreviewMarks() = default;
    PreviewMarks(const PreviewMarks&) = default;
    PreviewMarks& operator=(const PreviewMarks&) = default;
};

// A ListView over three callables, for wiring the rotation to a table that is not a ListView.
class FunctionListView final : public ListView {
public:
    FunctionListView(std::function<int()> count, std::function<std::string_view(int)> path,
                     std::function<bool(int)> flag)
        : count_(std::move(count)), path_(std::move(path)), flag_(std::move(flag)) {}

    [[nodiscard]] int Count() const override { return count_(); }
    [[nodiscard]] std::string_view Path(int row) const override { return path_(row); }
    [[nodiscard]] bool Flag(int row) const override { return flag_(row); }

private:
    std::function<int()> count_;
    std::function<std::string_view(int)> path_;
    std::function<bool(int)> flag_;
};

// The path of row, or the empty text for row 0 and any row outside the used part.
[[nodiscard]] std::string_view PathOrEmpty(const ListView& list, int row);

// The first used row whose path equals path exactly (case-sensitive), 0 when there is none.
[[nodiscard]] int FindRow(const ListView& list, std::string_view path);

}  // namespace tavrino::rotation
