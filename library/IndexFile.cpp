#include "library/IndexFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "library/DurableFile.h"
#include "library/FolderListing.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrino::library {

namespace fs = std::filesystem;

namespace {

constexpr char kSeparator = '|';
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTempSuffix = ".tmp";

void NoteBadLine(IndexReadResult& result, std::size_t lineNumber, const char* reason) {
    if (result.badLines == 0) {
        result.firstBadLine = lineNumber;
        result.firstBadReason = reason;
    }
    ++result.badLines;
}

// Bit i set where bytes p[i] (i < n <= 64) is "|" or CR: the only bytes the reader has to
// stop at. Taking 64 bytes at a time, without a branch per line, keeps reading the list
// close to the cost of reading the file.
std::uint64_t StopMask(const char* p, std::size_t n) {
#if defined(__SSE2__)
    if (n == 64) {
        const __m128i separator = _mm_set1_epi8(kSeparator);
        const __m128i cr = _mm_set1_epi8('\r');
        std::uint64_t mask = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
            const int found = _mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(chunk, separator), _mm_cmpeq_epi8(chunk, cr)));
            mask |= static_cast<std::uint64_t>(static_cast<unsigned>(found) & 0xFFFFU)
                    << (16 * part);
        }
        return mask;
    }
#endif
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == kSeparator || p[i] == '\r') {
            mask |= std::uint64_t{1} << i;
        }
    }
    return mask;
}

// Walks the lines of an index file, noting bad lines in result and handing every good one to
// take(pathOffset, pathSize, flagOffset, flagSize) while the table has room.
template <class Take>
void ScanIndex(std::string_view bytes, IndexReadResult& result, Take&& take) {
    constexpr std::size_t kNone = std::string_view::npos;
    const char* data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t lineNumber = 0;
    std::size_t kept = 0;
    std::size_t lineStart = 0;
    std::size_t firstBar = kNone;
    std::size_t secondBar = kNone;

    auto endLine = [&](std::size_t end) {
        ++lineNumber;
        if (end == lineStart) {
            NoteBadLine(result, lineNumber, "the line is empty");
        } else if (firstBar == kNone) {
            NoteBadLine(result, lineNumber, "the line has no \"|\" separator");
        } else if (firstBar == lineStart) {
            NoteBadLine(result, lineNumber, "the line has no image path");
        } else if (firstBar - lineStart > kMaxPathBytes) {
            NoteBadLine(result, lineNumber, "the image path is longer than 4096 bytes");
        } else if (kept >= kMaxEntries) {
            if (result.linesPastLimit == 0) {
                result.firstLinePastLimit = lineNumber;
            }
            ++result.linesPastLimit;
        } else {
            const std::size_t flagStart = firstBar + 1;
            const std::size_t flagEnd = secondBar == kNone ? end : secondBar;
            ++kept;
            if (!ReadDisplayFlag(bytes.substr(flagStart, flagEnd - flagStart)).has_value()) {
                if (result.badFlags == 0) {
                    result.firstBadFlagRow = kept;
                }
                ++result.badFlags;
            }
            take(lineStart, firstBar - lineStart, flagStart, flagEnd - flagStart);
        }
        firstBar = kNone;
        secondBar = kNone;
    };

    for (std::size_t block = 0; block < size; block += 64) {
        std::uint64_t mask = StopMask(data + block, std::min<std::size_t>(64, size - block));
        while (mask != 0) {
            const std::size_t pos = block + static_cast<std::size_t>(std::countr_zero(mask));
            mask &= mask - 1;
            if (data[pos] == kSeparator) {
                if (firstBar == kNone) {
                    firstBar = pos;
                } else if (secondBar == kNone) {
                    secondBar = pos;
                }
            } else {
                // A line ends at CR LF or at a lone CR.
                endLine(pos);
                lineStart = pos + 1;
                if (lineStart < size && data[lineStart] == '\n') {
                    ++lineStart;
                }
            }
        }
    }
    if (lineStart < size) {
        endLine(size);  // the last line has no end marker
    }
    result.lines = lineNumber;
}

fs::filesystem_error ErrnoError(const char* what, const fs::path& path, int code) {
    return fs::filesystem_error(what, path, std::error_code(code, std::generic_category()));
}

std::string RandomSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    const std::uint64_t value = generator();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 12; ++i) {
        text.push_back(kHex[(value >> (4 * i)) & 0xFU]);
    }
    return text;
}

}  // namespace

IndexReadResult ParseIndex(std::string_view bytes) {
    IndexReadResult result;
    result.entries.reserve(std::min(kMaxEntries, bytes.size() / 16 + 1));
    ScanIndex(bytes, result,
              [&](std::size_t pathOffset, std::size_t pathSize, std::size_t flagOffset,
                  std::size_t flagSize) {
                  result.entries.push_back({std::string(bytes.substr(pathOffset, pathSize)),
                                            std::string(bytes.substr(flagOffset, flagSize))});
              });
    return result;
}

IndexReadResult ReadIndexInto(std::string bytes, DisplayList& list) {
    if (bytes.size() > kMaxStoreBytes) {
        throw std::length_error("images.idx is too large");
    }
    IndexReadResult result;
    std::vector<RowSpans> rows;
    rows.reserve(std::min(kMaxEntries, bytes.size() / 16 + 1));
    ScanIndex(bytes, result,
              [&rows](std::size_t pathOffset, std::size_t pathSize, std::size_t flagOffset,
                      std::size_t flagSize) {
                  // Offsets fit: AdoptStorage refuses a store of more than 4 GiB.
                  rows.push_back({static_cast<std::uint32_t>(pathOffset),
                                  static_cast<std::uint32_t>(pathSize),
                                  static_cast<std::uint32_t>(flagOffset),
                                  static_cast<std::uint32_t>(flagSize)});
              });
    list.AdoptStorage(std::move(bytes), std::move(rows));
    return result;
}

std::string SerializeIndex(const DisplayList& list) {
    std::size_t size = 0;
    for (std::size_t row = 1; row <= list.Count(); ++row) {
        size += list.PathView(row).size() + list.FlagView(row).size() + 1 + kLineEnd.size();
    }
    std::string text;
    text.reserve(size);
    for (std::size_t row = 1; row <= list.Count(); ++row) {
        text += list.PathView(row);
        text += kSeparator;
        text += list.FlagView(row);
        text += kLineEnd;
    }
    return text;
}

std::string DescribeIndexProblems(const IndexReadResult& result) {
    std::string text;
    if (result.badLines != 0) {
        text += "Line " + std::to_string(result.firstBadLine) + " of " + kIndexFileName +
                " could not be read (" + result.firstBadReason + ")";
        if (result.badLines > 1) {
            text += "; " + std::to_string(result.badLines) + " such lines were left out";
        } else {
            text += " and was left out";
        }
        text += ".";
    }
    if (result.linesPastLimit != 0) {
        if (!text.empty()) {
            text += " ";
        }
        text += "The display list holds at most " + std::to_string(kMaxEntries) + " images: line " +
                std::to_string(result.firstLinePastLimit) + " and " +
                std::to_string(result.linesPastLimit - 1) + " later lines were left out.";
    }
    if (result.DroppedLines()) {
        text += std::string(" The whole file will be kept as ") + kIndexBackupName +
                " before the list is next saved.";
    }
    if (result.badFlags != 0) {
        if (!text.empty()) {
            text += " ";
        }
        text += "The display flag of entry " + std::to_string(result.firstBadFlagRow) +
                " is not True, False or a number";
        if (result.badFlags > 1) {
            text += " (" + std::to_string(result.badFlags) + " entries)";
        }
        text += "; such entries are treated as not selected for display.";
    }
    return text;
}

std::string ReadFileBytes(const fs::path& file) {
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ErrnoError("cannot open file", file, errno != 0 ? errno : EACCES);
    }
    std::string bytes;
    std::error_code sizeError;
    const std::uintmax_t expected = fs::file_size(file, sizeError);
    if (!sizeError && expected > 0 && expected < bytes.max_size()) {
        // One read straight into the result; the file may still grow or shrink meanwhile.
        bytes.resize(static_cast<std::size_t>(expected));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    char buffer[16384];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw ErrnoError("cannot read file", file, errno != 0 ? errno : EIO);
    }
    return bytes;
}

void WriteFileAtomically(const fs::path& target, std::string_view content,
                         const std::function<void()>& beforeRename) {
    fs::path temp = target;
    temp.replace_filename(FromFsPath(target.filename()) + "." + RandomSuffix() +
                          std::string(kTempSuffix));
    try {
        // On the disk before the rename, else a power loss can leave target empty.
        WriteAndFlushFile(temp, content);
        if (beforeRename) {
            beforeRename();
        }
        fs::rename(temp, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw;
    }
    FlushFolder(target.parent_path());
}

bool IsOurTemporaryFile(std::string_view name) {
    // "<file>.<12 hex digits>.tmp", as WriteFileAtomically names them, for our two files.
    constexpr std::size_t kRandom = 12;
    for (const std::string_view file :
         {std::string_view(kIndexFileName), std::string_view(kIndexBackupName)}) {
        const std::size_t size = file.size() + 1 + kRandom + kTempSuffix.size();
        if (name.size() != size || !name.starts_with(file) || name[file.size()] != '.' ||
            !name.ends_with(kTempSuffix)) {
            continue;
        }
        const std::string_view random = name.substr(file.size() + 1, kRandom);
        if (std::all_of(random.begin(), random.end(),
                        [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); })) {
            return true;
        }
    }
    return false;
}

void RemoveStaleTemporaryFiles(const fs::path& folder) noexcept {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (IsOurTemporaryFile(FromFsPath(it->path().filename())) &&
            it->symlink_status(ignored).type() == fs::file_type::regular) {
            fs::remove(it->path(), ignored);
        }
    }
}

IndexStore::IndexStore(fs::path folder) : folder_(std::move(folder)) {}

fs::path IndexStore::IndexPath() const {
    return folder_ / kIndexFileName;
}

fs::path IndexStore::BackupPath() const {
    return folder_ / kIndexBackupName;
}

IndexReadResult IndexStore::Load(DisplayList& list) {
    list.Clear();
    // Left by saves that were cut off (the program killed, the power gone); this copy is the
    // only writer, so none of them is in use.
    RemoveStaleTemporaryFiles(folder_);
    backupPending_ = false;
    const fs::path file = IndexPath();
    std::error_code statError;
    const fs::file_status status = fs::status(file, statError);
    if (statError || !fs::is_regular_file(status) || IsHiddenOrSystem(file)) {
        return {};
    }
    std::string bytes;
    try {
        bytes = ReadFileBytes(file);
    } catch (...) {
        // The file is there but unreadable: never let a later save replace it unseen.
        backupPending_ = true;
        throw;
    }
    IndexReadResult result = ReadIndexInto(std::move(bytes), list);
    backupPending_ = result.DroppedLines();
    return result;
}

void IndexStore::Save(const DisplayList& list) {
    const fs::path file = IndexPath();
    if (backupPending_) {
        std::error_code existsError;
        if (fs::exists(file, existsError)) {
            WriteFileAtomically(BackupPath(), ReadFileBytes(file));
        }
    }
    WriteFileAtomically(file, SerializeIndex(list), beforeRename);
    backupPending_ = false;
}

}  // namespace tavrino::library
