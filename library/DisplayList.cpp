#include "library/DisplayList.h"

#include <algorithm>
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
    // The flags the program writes itself come first: this runs once per row on every load.
    if (flag == kAddedFlag) {
        return true;
    }
    if (EqualsNoCase(flag, "true")) {
        return true;
    }
    if (EqualsNoCase(flag, "false")) {
        return false;
    }
    return ReadNumber(flag);
}

DisplayList::DisplayList() = default;

void DisplayList::CheckRow(std::size_t row) const {
    if (row > kMaxEntries) {
        throw std::out_of_range("display list row out of range");
    }
}

std::string_view DisplayList::PathView(std::size_t row) const {
    CheckRow(row);
    if (row == 0 || row > rows_.size()) {
        return {};
    }
    const RowSpans& spans = rows_[row - 1];
    return std::string_view(bytes_).substr(spans.pathOffset, spans.pathSize);
}

std::string_view DisplayList::FlagView(std::size_t row) const {
    CheckRow(row);
    if (row == 0 || row > rows_.size()) {
        return kFreeRowFlag;
    }
    const RowSpans& spans = rows_[row - 1];
    return std::string_view(bytes_).substr(spans.flagOffset, spans.flagSize);
}

const std::string& DisplayList::ImagePath(std::size_t row) const {
    CheckRow(row);
    if (row == 0 || row > rows_.size()) {
        return kEmptyPath;
    }
    auto [it, made] = pathStrings_.try_emplace(row);
    if (made) {
        it->second.assign(PathView(row));
    }
    return it->second;
}

const std::string& DisplayList::DisplayFlag(std::size_t row) const {
    CheckRow(row);
    if (row == 0 || row > rows_.size()) {
        return kFreeFlag;
    }
    auto [it, made] = flagStrings_.try_emplace(row);
    if (made) {
        it->second.assign(FlagView(row));
    }
    return it->second;
}

bool DisplayList::IsFlagSet(std::size_t row) const {
    return ReadDisplayFlag(FlagView(row)).value_or(false);
}

std::size_t DisplayList::FindRow(std::string_view path) const {
    if (path.empty()) {
        return 0;
    }
    for (std::size_t row = 1; row <= rows_.size(); ++row) {
        if (PathView(row) == path) {
            return row;
        }
    }
    return 0;
}

std::vector<DisplayEntry> DisplayList::Entries() const {
    std::vector<DisplayEntry> entries;
    entries.reserve(rows_.size());
    for (std::size_t row = 1; row <= rows_.size(); ++row) {
        entries.push_back({std::string(PathView(row)), std::string(FlagView(row))});
    }
    return entries;
}

void DisplayList::ForgetStrings() const noexcept {
    pathStrings_.clear();
    flagStrings_.clear();
}

void DisplayList::Clear() noexcept {
    ForgetStrings();
    rows_.clear();
    bytes_.clear();
}

void DisplayList::Append(std::string_view path, std::string_view flag) {
    if (path.size() + flag.size() > kMaxStoreBytes - bytes_.size()) {
        throw std::length_error("display list too large");
    }
    RowSpans spans;
    spans.pathOffset = static_cast<std::uint32_t>(bytes_.size());
    spans.pathSize = static_cast<std::uint32_t>(path.size());
    bytes_.append(path);
    spans.flagOffset = static_cast<std::uint32_t>(bytes_.size());
    spans.flagSize = static_cast<std::uint32_t>(flag.size());
    bytes_.append(flag);
    rows_.push_back(spans);
}

void DisplayList::Assign(const std::vector<DisplayEntry>& entries) {
    Clear();
    std::size_t size = 0;
    for (const DisplayEntry& entry : entries) {
        size += entry.ImagePath.size() + entry.DisplayFlag.size();
    }
    bytes_.reserve(size);
    rows_.reserve(std::min(kMaxEntries, entries.size()));
    for (const DisplayEntry& entry : entries) {
        if (rows_.size() >= kMaxEntries) {
            break;
        }
        if (!entry.ImagePath.empty()) {
            Append(entry.ImagePath, entry.DisplayFlag);
        }
    }
}

void DisplayList::AdoptStorage(std::string bytes, std::vector<RowSpans> rows) {
    if (bytes.size() > kMaxStoreBytes) {
        throw std::length_error("display list too large");
    }
    for (const RowSpans& spans : rows) {
        if (spans.pathOffset > bytes.size() || spans.pathSize > bytes.size() - spans.pathOffset ||
            spans.flagOffset > bytes.size() || spans.flagSize > bytes.size() - spans.flagOffset) {
            throw std::out_of_range("display list row outside its storage");
        }
    }
    std::erase_if(rows, [](const RowSpans& spans) { return spans.pathSize == 0; });
    if (rows.size() > kMaxEntries) {
        rows.resize(kMaxEntries);
    }
    ForgetStrings();
    bytes_ = std::move(bytes);
    rows_ = std::move(rows);
}

AddResult DisplayList::Add(const std::vector<std::string>& candidates) {
    AddResult result;
    // The index holds views into the byte store and into the candidates, so the store must not
    // move while it lives: claim its room first.
    std::size_t room = 0;
    for (const std::string& candidate : candidates) {
        room += candidate.size() + kAddedFlag.size();
    }
    bytes_.reserve(bytes_.size() + room);
    rows_.reserve(std::min(kMaxEntries, rows_.size() + candidates.size()));
    FirstRowIndex present(rows_.size() + candidates.size());
    for (std::size_t row = 1; row <= rows_.size(); ++row) {
        present.FindOrInsert(PathView(row), static_cast<std::uint32_t>(row));
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::string& candidate = candidates[c];
        if (candidate.empty()) {
            continue;
        }
        const auto mark = static_cast<std::uint32_t>(kMaxEntries + 1 + c);
        if (present.FindOrInsert(candidate, mark) != mark) {
            ++result.alreadyPresent;
            continue;
        }
        if (rows_.size() >= kMaxEntries) {
            ++result.rejectedFull;
            continue;
        }
        Append(candidate, kAddedFlag);
        ++result.added;
    }
    return result;
}

std::size_t DisplayList::Remove(const std::vector<bool>& marked) {
    const std::size_t count = rows_.size();
    std::vector<RowSpans> kept;
    kept.reserve(count);
    std::size_t keptBytes = 0;
    {
        // A kept row takes the spans of the first row with its path; the bytes stay where they
        // are, so even a first row that goes away still has its path and flag to give.
        FirstRowIndex firstRow(count);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t first =
                firstRow.FindOrInsert(PathView(i + 1), static_cast<std::uint32_t>(i));
            if (i < marked.size() && marked[i]) {
                continue;
            }
            kept.push_back(rows_[first]);
            keptBytes += rows_[first].pathSize + rows_[first].flagSize;
        }
    }
    const std::size_t removed = count - kept.size();
    ForgetStrings();
    rows_.swap(kept);
    // Give back the room of removed rows once it is most of the store.
    if (bytes_.size() > 4096 && bytes_.size() > 2 * keptBytes) {
        std::string compact;
        compact.reserve(keptBytes);
        for (RowSpans& spans : rows_) {
            const auto pathOffset = static_cast<std::uint32_t>(compact.size());
            compact.append(bytes_, spans.pathOffset, spans.pathSize);
            const auto flagOffset = static_cast<std::uint32_t>(compact.size());
            compact.append(bytes_, spans.flagOffset, spans.flagSize);
            spans.pathOffset = pathOffset;
            spans.flagOffset = flagOffset;
        }
        bytes_.swap(compact);
    }
    return removed;
}

}  // namespace tavrino::library
