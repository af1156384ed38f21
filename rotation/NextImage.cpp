#include "rotation/NextImage.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>

namespace tavrino::rotation {

namespace {

RandomEngine MakeSeededEngine() {
    std::array<std::uint32_t, 8> words{};
    try {
        std::random_device device;
        for (std::uint32_t& word : words) {
            word = device();
        }
    } catch (...) {
        // No entropy source on this system: fall back on the clock and an address, which
        // still differ between runs; seeding happens once, so calls stay independent.
        const auto now = static_cast<std::uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
        const auto here = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&words));
        words[0] = static_cast<std::uint32_t>(now);
        words[1] = static_cast<std::uint32_t>(now >> 32U);
        words[2] = static_cast<std::uint32_t>(here);
        words[3] = static_cast<std::uint32_t>(here >> 32U);
    }
    std::seed_seq seed(words.begin(), words.end());
    return RandomEngine(seed);
}

bool Selected(const ListView& list, int row) {
    return !list.Path(row).empty() && list.Flag(row);
}

int ChooseDownTheList(const ListView& list, int count, int currentIndex) {
    int row = currentIndex + 1;
    for (int step = 0; step < count; ++step, ++row) {
        if (row < 1 || row > count) {
            row = 1;  // past the last used row (or from a stale index) the scan wraps to row 1
        }
        if (Selected(list, row)) {
            return row;
        }
    }
    return 0;
}

int ChooseAtRandom(const ListView& list, const PreviewMarks& preview, RandomEngine& engine) {
    // Item k shows row k; an item past the used rows has no entry behind it.
    const int items = std::min(preview.Count(), list.Count());
    int checked = 0;
    for (int item = 1; item <= items; ++item) {
        if (preview.Checked(item)) {
            ++checked;
        }
    }
    if (checked == 0) {
        return 0;
    }
    // Every checked item is equally likely.
    std::uniform_int_distribution<int> pick(0, checked - 1);
    int wanted = pick(engine);
    for (int item = 1; item <= items; ++item) {
        if (preview.Checked(item) && wanted-- == 0) {
            return item;
        }
    }
    return 0;
}

}  // namespace

RandomEngine& SharedRandomEngine() {
    static RandomEngine engine = MakeSeededEngine();
    return engine;
}

int ChooseNextImage(const ListView& list, int currentIndex, int randomState,
                    const PreviewMarks& preview, RandomEngine& engine,
                    ErrorReporter& reporter) noexcept {
    int result = 0;
    Guarded(reporter, loc::ChooseNextImage, [&] {
        const int count = list.Count();
        bool anySelected = false;
        for (int row = 1; row <= count; ++row) {
            if (Selected(list, row)) {
                anySelected = true;
            }
        }
        if (!anySelected) {
            return;
        }
        result = randomState == kRandomOrderState ? ChooseAtRandom(list, preview, engine)
                                                  : ChooseDownTheList(list, count, currentIndex);
    });
    return result;
}

}  // namespace tavrino::rotation
