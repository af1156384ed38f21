// The display list: the images the program may put on the desktop, as rows 1..N of a table
// of at most 50 000 rows. Row 0 is never used; rows after N are free (empty path, flag "0").
// Row numbers are the identity of an entry for the rest of the program (the current image,
// the next choice), so every operation keeps the used rows contiguous and in order.
//
// Paths are kept as the bytes the file system gave us: a file name that is not valid UTF-8
// must survive adding, saving, loading and showing unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavrino::library {

inline constexpr std::size_t kMaxEntries = 50000;

// Text stored in a free row's flag and given to entries the user adds.
inline constexpr std::string_view kFreeRowFlag = "0";
inline constexpr std::string_view kAddedFlag = "True";

struct DisplayEntry {
    std::string ImagePath;
    std::string DisplayFlag;

    friend bool operator==(const DisplayEntry&, const DisplayEntry&) = default;
};

// A flag reads as a truth value when it is "True" or "False" in any letter case, or a decimal
// number (0 is false, any other number true). Anything else, the empty text included, gives
// no value.
std::optional<bool> ReadDisplayFlag(std::string_view flag);

struct AddResult {
    std::size_t added = 0;           // new rows appended
    std::size_t alreadyPresent = 0;  // candidates skipped because their path was in the list
    std::size_t rejectedFull = 0;    // new candidates that found no free row
};

// Where a row's path and flag lie in the table's byte store (at most 4 GiB, far more than
// 50 000 paths can need).
struct RowSpans {
    std::uint32_t pathOffset = 0;
    std::uint32_t pathSize = 0;
    std::uint32_t flagOffset = 0;
    std::uint32_t flagSize = 0;
};

inline constexpr std::size_t kMaxStoreBytes = 0xFFFFFFFFU;

class DisplayList {
public:
    DisplayList();

    // Number of used rows (N).
    [[nodiscard]] std::size_t Count() const noexcept { return rows_.size(); }
    [[nodiscard]] bool Empty() const noexcept { return rows_.empty(); }
    [[nodiscard]] bool Full() const noexcept { return rows_.size() >= kMaxEntries; }

    // Row r of the table, 0..kMaxEntries. Row 0 and free rows read as the empty path with the
    // flag "0". A row past the table throws std::out_of_range. The reference stays valid until
    // the table is next changed.
    [[nodiscard]] const std::string& ImagePath(std::size_t row) const;
    [[nodiscard]] const std::string& DisplayFlag(std::size_t row) const;

    // The same without making a string; valid until the table is next changed.
    [[nodiscard]] std::string_view PathView(std::size_t row) const;
    [[nodiscard]] std::string_view FlagView(std::size_t row) const;

    // The flag of row r as a truth value; a flag that does not read as one counts as false.
    [[nodiscard]] bool IsFlagSet(std::size_t row) const;

    // The first row whose path equals path exactly (case-sensitive), 0 when none.
    [[nodiscard]] std::size_t FindRow(std::string_view path) const;

    // A copy of the used rows in order; element i is row i + 1.
    [[nodiscard]] std::vector<DisplayEntry> Entries() const;

    // Empties every row.
    void Clear() noexcept;

    // Replaces the table by entries (the first kMaxEntries with a non-empty path, in order).
    void Assign(const std::vector<DisplayEntry>& entries);

    // Replaces the table by rows whose bytes lie in bytes (the index file as read, so that
    // loading copies nothing). Rows with an empty path or past kMaxEntries are dropped; spans
    // outside bytes throw std::out_of_range, bytes over kMaxStoreBytes std::length_error.
    void AdoptStorage(std::string bytes, std::vector<RowSpans> rows);

    // Appends each candidate that is not already in the list (exact text), in order, with the
    // flag "True". Candidates that find the table full are counted, not added; the ones added
    // before that stay. Empty candidates are ignored.
    AddResult Add(const std::vector<std::string>& candidates);

    // Drops the rows marked for removal: marked[i] marks row i + 1 (rows past the end of
    // marked are kept). Each kept row takes the path and flag of the first row with its path,
    // and the kept rows keep their order. Returns the number of rows removed.
    std::size_t Remove(const std::vector<bool>& marked);

private:
    void CheckRow(std::size_t row) const;
    void Append(std::string_view path, std::string_view flag);
    void ForgetStrings() const noexcept;

    // Paths and flags live in one byte store; rows point into it. Most readers take views;
    // the strings handed out by ImagePath and DisplayFlag are made on first use.
    std::string bytes_;
    std::vector<RowSpans> rows_;
    mutable std::unordered_map<std::size_t, std::string> pathStrings_;
    mutable std::unordered_map<std::size_t, std::string> flagStrings_;
};

}  // namespace tavrino::library
