#include "wallpaper/decode/JpegDcScan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <thread>

#include "wallpaper/decode/RowPipeline.h"

namespace tavrino {

namespace {

constexpr std::size_t kFastBits = 10;
constexpr std::size_t kMaxBlocksInMcu = 10;
// Below this, starting a second reader costs more than it saves.
constexpr std::size_t kSplitBytes = std::size_t{64} * 1024;

// At an eighth, libjpeg turns a block into one pixel from its DC coefficient alone, except
// for a component sampled at half the size both ways (the colour of most photos), which it
// turns into two by two pixels with a reduced inverse DCT of 25 coefficients: rows and
// columns 0, 1, 3, 5 and 7. kSlot gives each coefficient's place among the 24 besides the DC
// one (by its place in the file's zigzag order), or -1 when it is not one of them.
constexpr std::size_t kAcKept = 24;
constexpr std::array<int, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
constexpr bool UsedBy2x2(int natural) {
    const int r = natural / 8;
    const int c = natural % 8;
    return r != 2 && r != 4 && r != 6 && c != 2 && c != 4 && c != 6;
}
// The place of each natural-order coefficient among the kept ones (-1: not kept, or DC).
constexpr std::array<int, 64> kNaturalSlot = [] {
    std::array<int, 64> slots{};
    int next = 0;
    for (int natural = 0; natural < 64; ++natural) {
        slots.at(static_cast<std::size_t>(natural)) =
            natural != 0 && UsedBy2x2(natural) ? next++ : -1;
    }
    return slots;
}();
constexpr std::array<int, 64> kSlot = [] {
    std::array<int, 64> slots{};
    for (std::size_t k = 0; k < 64; ++k) {
        slots.at(k) = kNaturalSlot.at(static_cast<std::size_t>(kZigzag.at(k)));
    }
    return slots;
}();
std::uint64_t LoadBigEndian(const std::uint8_t* p) {
    std::uint64_t value = 0;
    std::memcpy(&value, p, sizeof value);
    if constexpr (std::endian::native == std::endian::little) {
        value = __builtin_bswap64(value);
    }
    return value;
}

bool HasFF(std::uint64_t bytes) {
    const std::uint64_t flipped = ~bytes;
    return ((flipped - 0x0101010101010101U) & bytes & 0x8080808080808080U) != 0;
}

// The scan's bits, most significant first, with the zero stuffed after each 0xFF dropped;
// from a marker (the end of the scan, or a restart) or the end of the data on, it reads
// zeros. Position counts data bits from where the reader started.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t start, std::size_t end)
        : data_(data), end_(end), start_(start), next_(start) {}

    // Notes how many stuffed zeros come before raw byte mark, once the reader gets there.
    void SetMark(std::size_t mark) { mark_ = mark; }
    [[nodiscard]] bool PassedMark() const { return skippedAtMark_ != kUnknown; }
    // The position of the mark's byte.
    [[nodiscard]] std::uint64_t MarkPosition() const {
        return std::uint64_t{mark_ - start_ - skippedAtMark_} * 8;
    }

    // Eight bytes at once where there is no 0xFF among them (nearly everywhere); byte by
    // byte, out of line, where there is.
    void Refill() {
        if (!marker_ && next_ + 8 <= end_) {
            const std::uint64_t bytes = LoadBigEndian(data_ + next_);
            if (!HasFF(bytes)) {
                const std::size_t whole = static_cast<std::size_t>(63 - count_) >> 3U;
                if (mark_ < next_ + whole && next_ <= mark_) {
                    skippedAtMark_ = skipped_;
                }
                bits_ |= bytes >> static_cast<unsigned>(count_);
                next_ += whole;
                count_ += static_cast<int>(whole) * 8;
                return;
            }
        }
        RefillByBytes();
    }
    [[gnu::noinline]] void RefillByBytes() {
        while (count_ <= 56) {
            std::uint64_t byte = 0;
            if (next_ == mark_) {
                skippedAtMark_ = skipped_;
            }
            if (marker_ || next_ >= end_) {
                ++padded_;
            } else if (data_[next_] != 0xFF) {
                byte = data_[next_++];
            } else if (next_ + 1 < end_ && data_[next_ + 1] == 0) {
                byte = 0xFF;
                next_ += 2;
                ++skipped_;
            } else {
                marker_ = true;
                ++padded_;
            }
            bits_ |= byte << static_cast<unsigned>(56 - count_);
            count_ += 8;
        }
    }
    // Enough bits for any one code and the bits after it (16 + 11).
    void Ensure() {
        if (count_ < 32) {
            Refill();
        }
    }
    [[nodiscard]] unsigned Peek16() const { return static_cast<unsigned>(bits_ >> 48U); }
    void Drop(int n) {
        bits_ <<= static_cast<unsigned>(n);
        count_ -= n;
    }
    unsigned Take(int n) {  // 1 to 16 bits
        const auto value = static_cast<unsigned>(bits_ >> static_cast<unsigned>(64 - n));
        Drop(n);
        return value;
    }
    [[nodiscard]] std::uint64_t Position() const {
        return std::uint64_t{next_ - start_ - skipped_ + padded_} * 8 -
               static_cast<unsigned>(count_);
    }
    // Whether the scan ends within the bits it holds.
    [[nodiscard]] bool NearEnd() const { return padded_ > 0; }
    // Whether it has read past the scan's last bit.
    [[nodiscard]] bool Overran() const { return padded_ * 8 > static_cast<std::size_t>(count_); }

private:
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    const std::uint8_t* data_;
    std::size_t end_;
    std::size_t start_;
    std::size_t next_;
    std::size_t skipped_ = 0;  // stuffed zeros passed
    std::size_t padded_ = 0;   // zero bytes read past the scan
    bool marker_ = false;
    std::size_t mark_ = kUnknown;
    std::size_t skippedAtMark_ = kUnknown;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

// A Huffman table for skipping through a block: each code up to kFastBits long is looked up
// at once, with what follows it (how many bits to drop, how far it moves in the block).
class HuffmanTable {
public:
    struct Code {
        std::uint8_t length = 0;  // bits of the code; 0: a longer code (or none)
        std::uint8_t symbol = 0;
    };
    // An AC code as a step through the block: the bits it and its value take, and how far
    // it moves (0 for the end of the block).
    struct Step {
        std::uint8_t bits = 0;  // 0: a longer code (or none)
        std::uint8_t advance = 0;
    };
    static Step StepOf(Code code) {
        const int run = code.symbol >> 4U;
        const int size = code.symbol & 15U;
        const int advance = size != 0 ? run + 1 : (run == 15 ? 16 : 0);
        return {static_cast<std::uint8_t>(code.length + size), static_cast<std::uint8_t>(advance)};
    }

    // A table as the file gives it: the number of codes of each length (bits[1..16]) and
    // their symbols. False for a table no encoder makes, or with a symbol this reader cannot
    // take (a DC difference over 11 bits, an AC value over 10).
    bool Build(const std::uint8_t* bits, const std::uint8_t* values, bool dc) {
        std::size_t count = 0;
        int code = 0;
        for (std::size_t length = 1; length <= 16; ++length) {
            maxCode_[length] = -1;
            offset_[length] = static_cast<int>(count) - code;
            for (int i = 0; i < bits[length]; ++i, ++code, ++count) {
                const std::uint8_t symbol = count < 256 ? values[count] : 0;
                if (count >= 256 || (dc ? symbol : symbol & 15U) > (dc ? 11U : 10U)) {
                    return false;
                }
                symbols_[count] = symbol;
                maxCode_[length] = code;
                if (length <= kFastBits) {
                    const std::size_t shift = kFastBits - length;
                    const auto first = static_cast<std::size_t>(code) << shift;
                    const Code entry{static_cast<std::uint8_t>(length), symbol};
                    std::fill_n(fast_.begin() + static_cast<std::ptrdiff_t>(first),
                                std::size_t{1} << shift, entry);
                    std::fill_n(steps_.begin() + static_cast<std::ptrdiff_t>(first),
                                std::size_t{1} << shift, StepOf(entry));
                }
            }
            if (code >= (1 << length)) {
                return false;  // more codes than the length holds, or one of all ones
            }
            code <<= 1U;
        }
        return count > 0;
    }

    // The AC step at the front of peek (16 bits) when its code is short; bits 0 otherwise.
    [[nodiscard]] Step StepAt(unsigned peek) const { return steps_[peek >> (16 - kFastBits)]; }

    // The AC step of a code longer than kFastBits at the front of peek; false when there is
    // none.
    bool LongStep(unsigned peek, Step& out) const {
        Code code;
        if (!Read(peek, code)) {
            return false;
        }
        out = StepOf(code);
        return true;
    }

    // The code at the front of peek (16 bits); false when there is none.
    bool Read(unsigned peek, Code& out) const {
        out = fast_[peek >> (16 - kFastBits)];
        if (out.length != 0) {
            return true;
        }
        for (std::size_t length = kFastBits + 1; length <= 16; ++length) {
            const auto code = static_cast<int>(peek >> (16 - length));
            if (code <= maxCode_[length]) {
                out = {static_cast<std::uint8_t>(length),
                       symbols_[static_cast<std::size_t>(code + offset_[length])]};
                return true;
            }
        }
        return false;
    }

private:
    std::array<Code, 1 << kFastBits> fast_{};
    std::array<Step, 1 << kFastBits> steps_{};
    std::array<int, 17> maxCode_{};
    std::array<int, 17> offset_{};
    std::array<std::uint8_t, 256> symbols_{};
};

struct Layout {
    std::size_t blocksInMcu = 0;
    std::array<int, kMaxBlocksInMcu> component{};  // of each block of an MCU
    std::array<const HuffmanTable*, kMaxBlocksInMcu> dc{};
    std::array<const HuffmanTable*, kMaxBlocksInMcu> ac{};
    std::array<bool, kMaxBlocksInMcu> keepsAc{};  // of a component shown two by two
    std::size_t keptPerMcu = 0;
    std::size_t blocks = 0;  // in the whole scan
    // Each component's blocks in an MCU across and down, and the pixels a side each becomes.
    std::array<int, 3> w{1, 1, 1};
    std::array<int, 3> h{1, 1, 1};
    std::array<int, 3> scale{1, 1, 1};
    int maxH = 1;
    int maxV = 1;
};

// Reads one block's codes; diff gets its DC difference and, given ac, the kept AC
// coefficients go there (the others are skipped). False for codes no picture has (the reader
// is then left where it was). Works on a copy of the reader, which the compiler keeps in
// registers.
bool ReadBlock(BitReader& reader, const HuffmanTable& dc, const HuffmanTable& ac, int& diff,
               std::int16_t* kept) {
    const auto extend = [](unsigned bits, int size) {
        const auto value = static_cast<int>(bits);
        return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
    };
    BitReader in = reader;
    HuffmanTable::Code code;
    in.Ensure();
    if (!dc.Read(in.Peek16(), code)) {
        return false;
    }
    in.Drop(code.length);
    const int value = code.symbol != 0 ? extend(in.Take(code.symbol), code.symbol) : 0;
    if (kept == nullptr) {
        int k = 1;
        while (k < 64) {
            in.Ensure();
            HuffmanTable::Step step = ac.StepAt(in.Peek16());
            if (step.bits == 0 && !ac.LongStep(in.Peek16(), step)) {
                return false;
            }
            in.Drop(step.bits);
            if (step.advance == 0) {
                break;  // end of block
            }
            k += step.advance;
        }
        if (k > 64) {
            return false;
        }
    }
    for (int k = 1; k < 64 && kept != nullptr;) {
        in.Ensure();
        if (!ac.Read(in.Peek16(), code)) {
            return false;
        }
        in.Drop(code.length);
        const int run = code.symbol >> 4U;
        const int size = code.symbol & 15U;
        if (size == 0) {
            if (run != 15) {
                break;  // end of block
            }
            k += 16;
            continue;
        }
        k += run;
        if (k > 63) {
            return false;
        }
        const int coefficient = extend(in.Take(size), size);
        if (const int slot = kSlot.at(static_cast<std::size_t>(k)); slot >= 0) {
            kept[slot] = static_cast<std::int16_t>(coefficient);
        }
        ++k;
    }
    reader = in;
    diff = value;
    return true;
}

// The second reader: from `start`, not knowing where in the picture it is, it takes the first
// bit for a block's first and goes on to the end, keeping each block's DC difference and kept
// AC coefficients, and where its first blocks began (the first reader meets it among those).
// After a code no picture has among those first blocks it starts again at the next bit;
// after them, it stops: the picture itself is damaged there.
constexpr std::size_t kMeetingBlocks = 4096;

struct Guess {
    struct Start {
        std::uint32_t position;  // bits
        std::uint32_t inMcu;
    };
    std::vector<Start> starts;
    std::vector<std::int16_t> diffs;
    std::vector<std::int16_t> kept;
    bool damaged = false;
};

// Works on its own copy, handed over at the end: what the first reader writes meanwhile may
// share a cache line with the caller's.
Guess GuessBlocks(const std::uint8_t* data, std::size_t start, std::size_t end,
                  const Layout& layout) {
    Guess guess;
    guess.diffs.reserve(layout.blocks / 2 + kMeetingBlocks);
    guess.starts.reserve(kMeetingBlocks);
    BitReader in(data, start, end);
    std::size_t inMcu = 0;
    for (;;) {
        const std::uint64_t at = in.Position();
        const std::size_t kept = guess.kept.size();
        if (layout.keepsAc[inMcu]) {
            guess.kept.resize(kept + kAcKept);
        }
        int diff = 0;
        if (!ReadBlock(in, *layout.dc[inMcu], *layout.ac[inMcu], diff,
                       layout.keepsAc[inMcu] ? &guess.kept[kept] : nullptr)) {
            if (in.NearEnd()) {
                return guess;  // the scan's last bits, not a block
            }
            if (guess.diffs.size() >= kMeetingBlocks) {
                guess.damaged = true;
                return guess;
            }
            guess.starts.clear();
            guess.diffs.clear();
            guess.kept.clear();
            in.Ensure();
            in.Drop(1);
            inMcu = 0;
            continue;
        }
        if (in.Overran()) {
            return guess;
        }
        if (guess.starts.size() < kMeetingBlocks) {
            guess.starts.push_back(
                {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(inMcu)});
        }
        guess.diffs.push_back(static_cast<std::int16_t>(diff));
        inMcu = inMcu + 1 == layout.blocksInMcu ? 0 : inMcu + 1;
    }
}

// The second reader's thread and what it found.
struct Second {
    std::thread thread;
    std::size_t start = 0;  // in the data
    Guess guess;
};

// libjpeg's range limit after an inverse DCT: the centred sample's low ten bits index a
// table that clamps, and wraps what no picture holds.
std::uint8_t RangeLimit(std::int64_t centred) {
    const auto index = static_cast<unsigned>(static_cast<std::uint64_t>(centred) & 1023U);
    if (index < 128) {
        return static_cast<std::uint8_t>(index + 128);
    }
    if (index < 512) {
        return 255;
    }
    return index < 896 ? 0 : static_cast<std::uint8_t>(index - 896);
}

std::int64_t Descale(std::int64_t value, int bits) {
    return (value + (std::int64_t{1} << (bits - 1))) >> bits;
}

// libjpeg's one-pixel inverse DCT.
std::uint8_t Idct1x1(int dc, const std::uint16_t* quant) {
    return RangeLimit(Descale(std::int64_t{dc} * quant[0], 3));
}

// libjpeg's two-by-two inverse DCT (its integer arithmetic, to the bit), into out[2][2].
void Idct2x2(int dc, const std::int16_t* kept, const std::uint16_t* quant,
             std::array<std::uint8_t, 4>& out) {
    constexpr int kConstBits = 13;
    constexpr int kPass1Bits = 2;
    constexpr std::array<std::int64_t, 4> kOdd = {29692, -10426, 6967, -5906};  // 1, 3, 5, 7
    constexpr std::array<int, 4> kOddIndex = {1, 3, 5, 7};
    const auto coefficient = [&](int r, int c) -> std::int64_t {
        const int natural = r * 8 + c;
        const int slot = kNaturalSlot.at(static_cast<std::size_t>(natural));
        return std::int64_t{natural == 0 ? dc : kept[slot]} * quant[natural];
    };
    std::array<std::array<std::int64_t, 8>, 2> work{};
    for (const int c : {0, 1, 3, 5, 7}) {
        const std::int64_t even = coefficient(0, c) << (kConstBits + 2);
        std::int64_t odd = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            odd += coefficient(kOddIndex.at(i), c) * kOdd.at(i);
        }
        const auto column = static_cast<std::size_t>(c);
        work[0].at(column) = Descale(even + odd, kConstBits - kPass1Bits + 2);
        work[1].at(column) = Descale(even - odd, kConstBits - kPass1Bits + 2);
    }
    for (std::size_t r = 0; r < 2; ++r) {
        const std::int64_t even = work.at(r)[0] << (kConstBits + 2);
        std::int64_t odd = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            odd += work.at(r).at(static_cast<std::size_t>(kOddIndex.at(i))) * kOdd.at(i);
        }
        constexpr int kBits = kConstBits + kPass1Bits + 3 + 2;
        out.at(r * 2) = RangeLimit(Descale(even + odd, kBits));
        out.at(r * 2 + 1) = RangeLimit(Descale(even - odd, kBits));
    }
}

std::uint8_t Clamp(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Each component's samples on its own grid, block by block in scan order as they come.
class Planes {
public:
    Planes(const DcScanHeader& header, const Layout& layout, std::size_t mcusPerRow,
           std::size_t mcuRows)
        : header_(header), layout_(layout), mcusPerRow_(mcusPerRow) {
        for (std::size_t ci = 0; ci < header.components.size(); ++ci) {
            const auto side = static_cast<std::size_t>(layout.scale.at(ci));
            width_.at(ci) = mcusPerRow * static_cast<std::size_t>(layout.w.at(ci)) * side;
            samples_.at(ci).resize(width_.at(ci) * mcuRows *
                                   static_cast<std::size_t>(layout.h.at(ci)) * side);
        }
        // Where each block of an MCU goes from the MCU's corner, and how far an MCU moves
        // across and down in each component's samples.
        std::array<int, 3> place{};
        for (std::size_t b = 0; b < layout.blocksInMcu; ++b) {
            const auto ci = static_cast<std::size_t>(layout.component.at(b));
            const int w = layout.w.at(ci);
            const int side = layout.scale.at(ci);
            const int p = place.at(ci)++;
            offset_.at(b) = static_cast<std::size_t>((p / w) * side) * width_.at(ci) +
                            static_cast<std::size_t>((p % w) * side);
        }
        for (std::size_t ci = 0; ci < header.components.size(); ++ci) {
            const auto side = static_cast<std::size_t>(layout.scale.at(ci));
            across_.at(ci) = static_cast<std::size_t>(layout.w.at(ci)) * side;
            down_.at(ci) = static_cast<std::size_t>(layout.h.at(ci)) * side * width_.at(ci);
        }
    }

    // The next block: its place in the MCU, its DC coefficient and, for a component shown
    // two by two, its kept AC coefficients. False for a DC value no picture has.
    bool Put(std::size_t inMcu, int diff, const std::int16_t* kept) {
        const auto ci = static_cast<std::size_t>(layout_.component[inMcu]);
        int& dc = predictor_[ci];
        dc += diff;
        if (dc < -32768 || dc > 32767) {
            return false;
        }
        std::uint8_t* sample = samples_[ci].data() + corner_[ci] + offset_[inMcu];
        const std::uint16_t* quant = header_.components[ci].quant;
        if (kept == nullptr) {
            *sample = Idct1x1(dc, quant);
        } else {
            std::array<std::uint8_t, 4> square{};
            Idct2x2(dc, kept, quant, square);
            sample[0] = square[0];
            sample[1] = square[1];
            sample[width_[ci]] = square[2];
            sample[width_[ci] + 1] = square[3];
        }
        if (inMcu + 1 == layout_.blocksInMcu) {
            const bool rowDone = ++column_ == mcusPerRow_;
            for (std::size_t c = 0; c < header_.components.size(); ++c) {
                corner_[c] += across_[c];
                if (rowDone) {
                    corner_[c] += down_[c] - across_[c] * mcusPerRow_;
                }
            }
            column_ = rowDone ? 0 : column_;
        }
        return true;
    }

    // Component ci's samples for each pixel of row y of the eighth-size picture, width wide.
    void Row(std::size_t ci, std::size_t y, std::size_t width, std::uint8_t* out) const {
        const std::size_t down = static_cast<std::size_t>(layout_.h.at(ci) * layout_.scale.at(ci));
        const std::size_t across =
            static_cast<std::size_t>(layout_.w.at(ci) * layout_.scale.at(ci));
        const std::size_t maxH = static_cast<std::size_t>(layout_.maxH);
        const std::uint8_t* from =
            samples_.at(ci).data() +
            (y * down / static_cast<std::size_t>(layout_.maxV)) * width_.at(ci);
        if (across == maxH) {
            std::copy_n(from, width, out);
            return;
        }
        for (std::size_t x = 0; x < width; ++x) {
            out[x] = from[x * across / maxH];
        }
    }

private:
    const DcScanHeader& header_;
    const Layout& layout_;
    std::size_t mcusPerRow_;
    std::array<std::vector<std::uint8_t>, 3> samples_;
    std::array<std::size_t, 3> width_{};
    std::array<std::size_t, kMaxBlocksInMcu> offset_{};
    std::array<std::size_t, 3> across_{};
    std::array<std::size_t, 3> down_{};
    std::array<std::size_t, 3> corner_{};  // of the current MCU, in each component's samples
    std::size_t column_ = 0;
    std::array<int, 3> predictor_{};
};

// The first reader, from the start, putting each block in planes. With a second reader (its
// thread joined once this one gets to where it started), it stops at the first block the
// guess has at the same bit and place in the MCU, and puts the rest from the guess.
bool ReadAll(const std::uint8_t* data, std::size_t size, const Layout& layout, Second* second,
             Planes& planes) {
    BitReader in(data, 0, size);
    if (second != nullptr) {
        in.SetMark(second->start);
    }
    std::size_t next = 0;  // among the guess's starts
    std::size_t inMcu = 0;
    std::array<std::int16_t, kAcKept> kept{};
    for (std::size_t block = 0; block < layout.blocks; ++block) {
        const std::uint64_t at = in.Position();
        if (second != nullptr && in.PassedMark() && at >= in.MarkPosition()) {
            if (second->thread.joinable()) {
                second->thread.join();
            }
            const std::uint64_t offset = in.MarkPosition();
            const Guess& guess = second->guess;
            while (next < guess.starts.size() && guess.starts[next].position + offset < at) {
                ++next;
            }
            if (next < guess.starts.size() && guess.starts[next].position + offset == at &&
                guess.starts[next].inMcu == inMcu) {
                // From here on both read the same bits the same way.
                if (guess.damaged || guess.diffs.size() - next < layout.blocks - block) {
                    return false;
                }
                std::size_t keptAt = next / layout.blocksInMcu * layout.keptPerMcu;
                for (std::size_t b = 0; b < inMcu; ++b) {
                    keptAt += layout.keepsAc.at(b) ? 1U : 0U;
                }
                for (; block < layout.blocks; ++block, ++next) {
                    const std::int16_t* keptHere = nullptr;
                    if (layout.keepsAc.at(inMcu)) {
                        keptHere = &guess.kept[keptAt++ * kAcKept];
                    }
                    if (!planes.Put(inMcu, guess.diffs[next], keptHere)) {
                        return false;
                    }
                    inMcu = inMcu + 1 == layout.blocksInMcu ? 0 : inMcu + 1;
                }
                return true;
            }
            if (next == guess.starts.size()) {
                second = nullptr;  // they never met: this reads it all
            }
        }
        int diff = 0;
        const bool keeps = layout.keepsAc.at(inMcu);
        if (keeps) {
            kept.fill(0);
        }
        if (!ReadBlock(in, *layout.dc[inMcu], *layout.ac[inMcu], diff,
                       keeps ? kept.data() : nullptr) ||
            in.Overran() || !planes.Put(inMcu, diff, keeps ? kept.data() : nullptr)) {
            return false;
        }
        inMcu = inMcu + 1 == layout.blocksInMcu ? 0 : inMcu + 1;
    }
    return true;
}

}  // namespace

bool DecodeDcEighth(const DcScanHeader& header, const std::uint8_t* data, std::size_t size,
                    RowPipeline& rows) {
    const std::size_t components = header.components.size();
    if ((components != 1 && components != 3) || header.width <= 0 || header.height <= 0 ||
        size > std::numeric_limits<std::uint32_t>::max() / 8) {
        return false;
    }
    // One component is stored block by block whatever its sampling; three in MCUs. Each
    // block becomes `scale` pixels a side, as libjpeg chooses: two where that spares it
    // stretching the colour afterwards.
    Layout layout;
    for (std::size_t ci = 0; components == 3 && ci < 3; ++ci) {
        const DcScanHeader::Component& c = header.components[ci];
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) {
            return false;
        }
        layout.w.at(ci) = c.h;
        layout.h.at(ci) = c.v;
        layout.maxH = std::max(layout.maxH, c.h);
        layout.maxV = std::max(layout.maxV, c.v);
    }
    for (std::size_t ci = 0; ci < components; ++ci) {
        int& scale = layout.scale.at(ci);
        while (scale < 8 && layout.maxH % (layout.w.at(ci) * scale * 2) == 0 &&
               layout.maxV % (layout.h.at(ci) * scale * 2) == 0) {
            scale *= 2;
        }
        if (scale > 2) {
            return false;
        }
    }
    std::array<HuffmanTable, 6> tables;  // DC and AC of each component
    for (std::size_t s = 0; s < components; ++s) {
        const auto ci = static_cast<std::size_t>(header.scanOrder.at(s));
        if (ci >= components) {
            return false;
        }
        const DcScanHeader::Component& c = header.components[ci];
        if (!tables.at(ci * 2).Build(c.dcBits, c.dcValues, true) ||
            !tables.at(ci * 2 + 1).Build(c.acBits, c.acValues, false)) {
            return false;
        }
        for (int b = 0; b < layout.w.at(ci) * layout.h.at(ci); ++b) {
            if (layout.blocksInMcu == kMaxBlocksInMcu) {
                return false;
            }
            const std::size_t at = layout.blocksInMcu++;
            layout.component.at(at) = static_cast<int>(ci);
            layout.dc.at(at) = &tables.at(ci * 2);
            layout.ac.at(at) = &tables.at(ci * 2 + 1);
            layout.keepsAc.at(at) = layout.scale.at(ci) == 2;
            layout.keptPerMcu += layout.scale.at(ci) == 2 ? 1U : 0U;
        }
    }
    const auto unitW = static_cast<std::size_t>(8 * layout.maxH);
    const auto unitH = static_cast<std::size_t>(8 * layout.maxV);
    const std::size_t mcusPerRow = (static_cast<std::size_t>(header.width) + unitW - 1) / unitW;
    const std::size_t mcuRows = (static_cast<std::size_t>(header.height) + unitH - 1) / unitH;
    layout.blocks = mcusPerRow * mcuRows * layout.blocksInMcu;

    // Read on two cores when it is worth it: the second from the middle (never between an
    // 0xFF and its stuffed zero), the first from the start.
    Planes planes(header, layout, mcusPerRow, mcuRows);
    Second second;
    second.start = size / 2;
    while (second.start > 0 && data[second.start - 1] == 0xFF) {
        --second.start;
    }
    if (size >= kSplitBytes && std::thread::hardware_concurrency() > 1) {
        try {
            // The second reader has its own copies of the tables and layout: the first
            // reader's own state is written beside them, on this stack, all the time.
            second.thread = std::thread([data, size, layout, tables, &second]() mutable {
                for (std::size_t b = 0; b < layout.blocksInMcu; ++b) {
                    const auto ci = static_cast<std::size_t>(layout.component.at(b));
                    layout.dc.at(b) = &tables.at(ci * 2);
                    layout.ac.at(b) = &tables.at(ci * 2 + 1);
                }
                try {
                    second.guess = GuessBlocks(data, second.start, size, layout);
                } catch (const std::exception&) {
                    second.guess = Guess();  // out of memory: the first reads alone
                }
            });
        } catch (const std::exception&) {
            // No thread to be had: one reads it all.
        }
    }
    const bool read =
        ReadAll(data, size, layout, second.thread.joinable() ? &second : nullptr, planes);
    if (second.thread.joinable()) {
        second.thread.join();
    }
    if (!read) {
        return false;
    }

    // Rows of pixels, turned into RGB as libjpeg does.
    const auto width = static_cast<std::size_t>((header.width + 7) / 8);
    const auto height = static_cast<std::size_t>((header.height + 7) / 8);
    constexpr int kBits = 16;
    constexpr int kHalf = 1 << (kBits - 1);
    const auto fixed = [](double v) { return static_cast<int>(v * (1 << kBits) + 0.5); };
    const int crToR = fixed(1.40200);
    const int cbToB = fixed(1.77200);
    const int cbToG = fixed(0.34414);
    const int crToG = fixed(0.71414);
    std::array<std::vector<std::uint8_t>, 3> line;
    for (std::size_t ci = 0; ci < components; ++ci) {
        line.at(ci).resize(width);
    }
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t ci = 0; ci < components; ++ci) {
            planes.Row(ci, y, width, line.at(ci).data());
        }
        std::uint8_t* row = rows.Row();
        for (std::size_t x = 0; x < width; ++x) {
            const int luma = line[0][x];
            int r = luma;
            int g = luma;
            int b = luma;
            if (components == 3) {
                const int cb = line[1][x] - 128;
                const int cr = line[2][x] - 128;
                r = luma + ((crToR * cr + kHalf) >> kBits);
                g = luma + ((-cbToG * cb - crToG * cr + kHalf) >> kBits);
                b = luma + ((cbToB * cb + kHalf) >> kBits);
            }
            std::uint8_t* pixel = row + x * 4;
            pixel[0] = Clamp(b);
            pixel[1] = Clamp(g);
            pixel[2] = Clamp(r);
            pixel[3] = 0xFF;
        }
        rows.Push();
    }
    return true;
}

}  // namespace tavrino
