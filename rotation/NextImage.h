// The choice of the image that goes on the desktop next.
#pragma once

#include <random>

#include "rotation/ListView.h"
#include "support/errors/Errors.h"

namespace tavrino::rotation {

using RandomEngine = std::mt19937_64;

// The one generator of the process, seeded once from the system's entropy source. Seeding
// once (rather than from the clock at every choice) keeps two choices made within the same
// clock tick independent of each other.
[[nodiscard]] RandomEngine& SharedRandomEngine();

// Checked state of the "Randomly Shuffle Display Order" box that selects the random order.
inline constexpr int kRandomOrderState = 1;

// Returns the row of the display list to show next, 0 when there is nothing to choose.
//
// Nothing can be chosen unless at least one row has a path and a true flag. Then:
// - randomState == kRandomOrderState: a row picked uniformly among the preview items that are
//   checked (their flags do not matter); 0 when none is checked. The current image is not
//   excluded, so the same image can come up twice in a row.
// - otherwise, going down the list: the first row after currentIndex whose flag is true,
//   wrapping from the last used row to row 1 (currentIndex 0 gives the first such row).
//
// Unexpected errors (a list view that throws) are reported under loc::ChooseNextImage and
// give 0. Never changes the list, the index or any label.
[[nodiscard]] int ChooseNextImage(const ListView& list, int currentIndex, int randomState,
                                  const PreviewMarks& preview, RandomEngine& engine,
                                  ErrorReporter& reporter) noexcept;

}  // namespace tavrino::rotation
