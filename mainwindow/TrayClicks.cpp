#include "mainwindow/TrayClicks.h"

namespace tavrino {

bool TrayClicks::Within(const std::optional<Time>& earlier, Time at) const {
    // Qt's own test: the second press comes less than the interval after the first.
    return earlier && at >= *earlier && at - *earlier < interval_;
}

bool TrayClicks::Report(TrayClick click, Time at) {
    bool restore = false;
    std::optional<Time> paired;
    if (click == TrayClick::Single) {
        restore = Within(pending_, at);
        paired = restore ? std::optional<Time>(at) : std::nullopt;
        pending_ = restore ? std::nullopt : std::optional<Time>(at);
    } else {
        restore = click == TrayClick::Double && !Within(paired_, at);
        pending_.reset();
    }
    paired_ = paired;
    return restore;
}

}  // namespace tavrino
