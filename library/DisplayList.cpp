#include "library/DisplayList.h"

#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

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

DisplayList::DisplayList() {
    // The table has a fixed size; claim it once so adding never moves the rows.
    entries_.reserve(kMaxEntries);
}

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
    entries_.clear();
    for (DisplayEntry& entry : entries) {
        if (entries_.size() >= kMaxEntries) {
            break;
        }
        if (!entry.ImagePath.empty()) {
            entries_.push_back(std::move(entry));
        }
    }
}

AddResult DisplayList::Add(const std::vector<std::string>& candidates) {
    AddResult result;
    // Views into rows that exist now and into the candidates; neither moves during the add
    // (the table's storage is claimed up front).
    std::unordered_set<std::string_view> present;
    present.reserve(entries_.size() + candidates.size());
    for (const DisplayEntry& entry : entries_) {
        present.insert(entry.ImagePath);
    }
    for (const std::string& candidate : candidates) {
        if (candidate.empty()) {
            continue;
        }
        if (present.contains(candidate)) {
            ++result.alreadyPresent;
            continue;
        }
        if (entries_.size() >= kMaxEntries) {
            ++result.rejectedFull;
            continue;
        }
        entries_.push_back({candidate, std::string(kAddedFlag)});
        present.insert(candidate);
        ++result.added;
    }
    return result;
}

std::size_t DisplayList::Remove(const std::vector<bool>& marked) {
    std::unordered_map<std::string_view, std::size_t> firstRow;
    firstRow.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        firstRow.emplace(entries_[i].ImagePath, i);  // keeps the first row of each path
    }
    std::vector<DisplayEntry> kept;
    kept.reserve(kMaxEntries);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i < marked.size() && marked[i]) {
            continue;
        }
        kept.push_back(entries_[firstRow.at(entries_[i].ImagePath)]);
    }
    const std::size_t removed = entries_.size() - kept.size();
    entries_.swap(kept);
    return removed;
}

}  // namespace tavrino::library
