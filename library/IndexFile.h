// images.idx: the display list on disk. One line per used row, "ImagePath|DisplayFlag",
// each ended by CR LF; an empty list is an empty file. A line also ends at a lone CR (never
// at a lone LF, which a file name may hold); further "|" pieces of a line are ignored.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/DisplayList.h"

namespace tavrino::library {

inline constexpr const char* kIndexFileName = "images.idx";
inline constexpr const char* kIndexBackupName = "images.idx.bak";
// No file system takes a longer path; a longer line is damage, not a picture.
inline constexpr std::size_t kMaxPathBytes = 4096;

// What reading the file found besides the entries.
struct IndexReadResult {
    std::vector<DisplayEntry> entries;  // the good lines, in file order, at most kMaxEntries

    std::size_t lines = 0;         // lines in the file
    std::size_t badLines = 0;      // lines without "|", empty lines, empty or too long paths
    std::size_t firstBadLine = 0;  // 1-based line number, 0 when none
    std::string firstBadReason;
    std::size_t linesPastLimit = 0;  // good lines that found the table full
    std::size_t firstLinePastLimit = 0;
    std::size_t badFlags = 0;         // kept entries whose flag does not read as a truth value
    std::size_t firstBadFlagRow = 0;  // row number (1-based) in entries

    // True when saving the list would not give back every line of the file.
    [[nodiscard]] bool DroppedLines() const { return badLines != 0 || linesPastLimit != 0; }
};

// Splits the bytes of an index file into entries. Never throws on bad content.
IndexReadResult ParseIndex(std::string_view bytes);

// The same straight into list, which keeps bytes as its storage (result.entries stays empty).
IndexReadResult ReadIndexInto(std::string bytes, DisplayList& list);

// The file's bytes for the used rows of list.
std::string SerializeIndex(const DisplayList& list);

// A user-readable account of what ParseIndex had to leave out or read as false; empty when
// the file was sound.
std::string DescribeIndexProblems(const IndexReadResult& result);

// Path conversions between our byte strings and the file system. On Windows the bytes are
// UTF-8; elsewhere they are the file system's own bytes, unchanged.
std::filesystem::path ToFsPath(const std::string& bytes);
std::string FromFsPath(const std::filesystem::path& path);

// Reads the whole file; throws std::filesystem::filesystem_error when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

// Writes content to a temporary file beside target and flushes it to the disk, then puts it in
// place with one rename (flushed too where the folder needs it), so target is either the old
// file or the new one, whole. beforeRename (tests use it to
// interrupt a save) runs between the two steps. Throws on any failure, leaving no temporary
// file behind.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         const std::function<void()>& beforeRename = {});

// True for the name of a temporary file that WriteFileAtomically makes for images.idx or its
// backup.
bool IsOurTemporaryFile(std::string_view name);

// Removes such files from folder: what saves cut off by a crash or a power loss left behind.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder) noexcept;

// Loading and saving the display list in its folder.
class IndexStore {
public:
    explicit IndexStore(std::filesystem::path folder);

    [[nodiscard]] std::filesystem::path IndexPath() const;
    [[nodiscard]] std::filesystem::path BackupPath() const;

    // Resets list and fills it from the file; a missing file gives an empty list. Throws when
    // an existing file cannot be read (list stays empty). Bad content does not throw: see the
    // result (its entries are in list, not in result.entries), and DescribeIndexProblems for
    // the report.
    IndexReadResult Load(DisplayList& list);

    // Rewrites the file from list, atomically. When the last load had to leave lines out (or
    // could not read the file), the old file is first kept as images.idx.bak, and the save
    // fails rather than overwrite it if that copy cannot be made.
    void Save(const DisplayList& list);

    // True while the file on disk holds lines that the next save would drop.
    [[nodiscard]] bool BackupPending() const noexcept { return backupPending_; }

    // Test seam: runs between writing the temporary file and renaming it into place.
    std::function<void()> beforeRename;

private:
    std::filesystem::path folder_;
    bool backupPending_ = false;
};

}  // namespace tavrino::library
