#include "library/DisplayList.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>

namespace tavrino::library {

namespace {

const std::string kEmptyPath;
const std::string kFreeFlag(kFreeRowFlag);

bool EqualsNoCase(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A decimal number: optional sign, digits with an optional decimal point, optional exponent,
// optionally surrounded by blanks. Returns whether it is non-zero, or nothing.
std::optional<bool> ReadNumber(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool anyDigit = false;
    bool nonZero = false;
    while (i < n && IsDigit(text[i])) {
        anyDigit = true;
        nonZero = nonZero || text[i] != '0';
        ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            anyDigit = true;
            nonZero = nonZero || text[i] != '0';
            ++i;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        bool expDigit = false;
        while (i < n && IsDigit(text[i])) {
            expDigit = true;
            ++i;
        }
        if (!expDigit) {
            return std::nullopt;
        }
    }
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }
    return nonZero;
}

// Paths to row numbers, open addressing over views of strings that outlive it. Allocates once,
// unlike a node-based map, which cost more than the work itself on a list of 50 000.
class FirstRowIndex {
public:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    explicit FirstRowIndex(std::size_t expected)
        : slots_(std::bit_ceil(std::max<std::size_t>(16, expected * 2))),
          mask_(slots_.size() - 1) {}

    // The value stored for path, storing value first when path is new.
    std::uint32_t FindOrInsert(std::string_view path, std::uint32_t value) {
        std::size_t slot = std::hash<std::string_view>{}(path)&mask_;
        for (;;) {
            Slot& s = slots_[slot];
            if (s.value == kNone) {
                s = {path, value};
                return value;
            }
            if (s.path == path) {
                return s.value;
            }
            slot = (slot + 1) & mask_;
        }
    }

private:
    struct Slot {
        std::string_view path;
        std::uint32_t value = kNone;
    };
    std::vector<Slot> slots_;
    std::size_t mask_;
};

}  // namespace

std::optional<bool> ReadDisplayFlag(std::string_view flag) {
    if (EqualsNoCase(flag, "true")) {
        return true;
    }
    if (EqualsNoCase(flag, "false")) {
        return false;
    }
    return ReadNumber(flag);
}

DisplayList::DisplayList() = default;

const std::string& DisplayList::ImagePath(std::size_t row) const {
    if (row > kMaxEntries) {
        throw std::out_of_range("display list row out of range");
    }
    if (row == 0 || row > entries_.size()) {
        return kEmptyPath;
    }
    return entries_[row - 1].ImagePath;
}

const std::string& DisplayList::DisplayFlag(std::size_t row) const {
    if (row > kMaxEntries) {
        throw std::out_of_range("display list row out of range");
    }
    if (row == 0 || row > entries_.size()) {
        return kFreeFlag;
    }
    return entries_[row - 1].DisplayFlag;
}

bool DisplayList::IsFlagSet(std::size_t row) const {
    return ReadDisplayFlag(DisplayFlag(row)).value_or(false);
}

std::size_t DisplayList::FindRow(std::string_view path) const {
    if (path.empty()) {
        return 0;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].ImagePath == path) {
            return i + 1;
        }
    }
    return 0;
}

void DisplayList::Clear() noexcept {
    entries_.clear();
}

void DisplayList::Assign(std::vector<DisplayEntry> entries) {
    std::erase_if(entries, [](const DisplayEntry& entry) { return entry.ImagePath.empty(); });
    if (entries.size() > kMaxEntries) {
        entries.resize(kMaxEntries);
    }
    entries_.swap(entries);
}

AddResult DisplayList::Add(const std::vector<std::string>& candidates) {
    AddResult result;
    // The index holds views into the rows and the candidates, so the rows must not move while
    // it lives: claim their room first.
    entries_.reserve(std::min(kMaxEntries, entries_.size() + candidates.size()));
    FirstRowIndex present(entries_.size() + candidates.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        present.FindOrInsert(entries_[i].ImagePath, static_cast<std::uint32_t>(i));
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::string& candidate = candidates[c];
        if (candidate.empty()) {
            continue;
        }
        const auto mark = static_cast<std::uint32_t>(kMaxEntries + c);
        if (present.FindOrInsert(candidate, mark) != mark) {
            ++result.alreadyPresent;
            continue;
        }
        if (entries_.size() >= kMaxEntries) {
            ++result.rejectedFull;
            continue;
        }
        entries_.push_back({candidate, std::string(kAddedFlag)});
        ++result.added;
    }
    return result;
}

std::size_t DisplayList::Remove(const std::vector<bool>& marked) {
    const std::size_t count = entries_.size();
    auto isMarked = [&marked](std::size_t i) { return i < marked.size() && marked[i]; };
    // First pass: the first row of each row's path, while the rows are still in place.
    std::vector<std::uint32_t> first(count);
    {
        FirstRowIndex firstRow(count);
        for (std::size_t i = 0; i < count; ++i) {
            first[i] = firstRow.FindOrInsert(entries_[i].ImagePath, static_cast<std::uint32_t>(i));
        }
    }
    // A kept copy whose first row goes away still takes that row's path and flag: set those
    // rows aside before the kept rows move over them.
    std::vector<std::uint32_t> newPlace(count, FirstRowIndex::kNone);
    std::vector<DisplayEntry> setAside;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t f = first[i];
        if (f != i && !isMarked(i) && isMarked(f) && newPlace[f] == FirstRowIndex::kNone) {
            newPlace[f] = static_cast<std::uint32_t>(setAside.size());
            setAside.push_back(entries_[f]);
        }
    }
    // Second pass: close the gaps in place, keeping the order.
    std::size_t k = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (isMarked(i)) {
            continue;
        }
        const std::uint32_t f = first[i];
        if (f == i) {
            if (k != i) {
                entries_[k] = std::move(entries_[i]);
            }
            newPlace[i] = static_cast<std::uint32_t>(k);
        } else if (isMarked(f)) {
            entries_[k] = setAside[newPlace[f]];
        } else {
            entries_[k] = entries_[newPlace[f]];  // the first copy already sits at its new row
        }
        ++k;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(k), entries_.end());
    return count - k;
}

}  // namespace tavrino::library
