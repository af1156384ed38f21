// images.idx reader under libFuzzer: any bytes must parse without crashing, and whatever was
// kept must save and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "library/DisplayList.h"
#include "library/IndexFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The file's rules read the plain way: lines end at CR LF or a lone CR; a good line has a
// non-empty path before its first "|"; the flag runs to the next "|" or the line's end.
struct Plain {
    std::vector<tavrino::library::DisplayEntry> entries;
    std::size_t badLines = 0;
    std::size_t lines = 0;
};

Plain ReadPlainly(std::string_view bytes) {
    Plain plain;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r') {
            ++end;
        }
        const std::string_view line = bytes.substr(pos, end - pos);
        ++plain.lines;
        const std::size_t bar = line.find('|');
        if (line.empty() || bar == std::string_view::npos || bar == 0) {
            ++plain.badLines;
        } else if (plain.entries.size() < tavrino::library::kMaxEntries) {
            const std::string_view rest = line.substr(bar + 1);
            plain.entries.push_back(
                {std::string(line.substr(0, bar)), std::string(rest.substr(0, rest.find('|')))});
        }
        pos = end + 1;
        if (end < bytes.size() && pos < bytes.size() && bytes[pos] == '\n') {
            ++pos;
        }
    }
    return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrino::library;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IndexReadResult result = ParseIndex(bytes);
    const Plain plain = ReadPlainly(bytes);
    Check(result.entries == plain.entries);
    Check(result.badLines == plain.badLines && result.lines == plain.lines);
    Check(result.entries.size() <= kMaxEntries);
    Check(result.entries.size() + result.badLines + result.linesPastLimit == result.lines);
    for (const DisplayEntry& entry : result.entries) {
        Check(!entry.ImagePath.empty());
        Check(entry.ImagePath.find_first_of("|\r") == std::string::npos);
        Check(entry.DisplayFlag.find_first_of("|\r") == std::string::npos);
        (void)ReadDisplayFlag(entry.DisplayFlag);
    }
    (void)DescribeIndexProblems(result);

    // Reading straight into the table gives the same rows as the plain parse.
    DisplayList loaded;
    const IndexReadResult direct = ReadIndexInto(std::string(bytes), loaded);
    Check(direct.badLines == result.badLines && direct.badFlags == result.badFlags);
    Check(loaded.Entries() == result.entries);

    DisplayList list;
    list.Assign(result.entries);
    const std::string saved = SerializeIndex(list);
    const IndexReadResult again = ParseIndex(saved);
    Check(again.badLines == 0 && again.linesPastLimit == 0);
    Check(again.entries == result.entries);

    // Removing every other row and adding a row back keeps the table sound.
    std::vector<bool> marked(list.Count());
    for (std::size_t i = 0; i < marked.size(); i += 2) {
        marked[i] = true;
    }
    const std::size_t before = list.Count();
    const std::size_t removed = list.Remove(marked);
    Check(list.Count() == before - removed);
    if (before > 0) {
        const AddResult added = list.Add({result.entries.front().ImagePath});
        Check(added.added + added.alreadyPresent + added.rejectedFull == 1);
    }
    return 0;
}
