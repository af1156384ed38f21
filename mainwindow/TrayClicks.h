// Tells the tray icon's double click from single clicks. XEmbed trays and Windows report the
// double click themselves; StatusNotifierItem hosts (Plasma, GNOME's AppIndicator extension,
// waybar) call Activate once per click, so two activations close together are the double click.
#pragma once

#include <chrono>
#include <optional>

namespace tavrino {

enum class TrayClick {
    Single,  // a left click, or a host's Activate
    Double,  // a left double click the host reported itself
    Other,   // any other button
};

class TrayClicks {
public:
    using Time = std::chrono::milliseconds;  // since any fixed point of a steady clock

    // interval: the platform's double-click interval.
    explicit TrayClicks(Time interval) : interval_(interval) {}

    // True when this click restores the window: a reported double click, or a single click
    // less than the interval after an unpaired one. A reported double click whose two clicks
    // were already paired (XEmbed reports both clicks, then the double click) counts once.
    bool Report(TrayClick click, Time at);

private:
    [[nodiscard]] bool Within(const std::optional<Time>& earlier, Time at) const;

    Time interval_;
    std::optional<Time> pending_;  // a single click still waiting for its partner
    std::optional<Time> paired_;   // when two single clicks last made a double click
};

}  // namespace tavrino
