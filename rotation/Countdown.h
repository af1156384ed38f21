// The rotation countdown: a state machine driven by one Tick() per second that counts the
// seconds since the last change, describes the time left, and puts the announced next image on
// the desktop when the period has passed. No timer lives here; the caller ticks it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "rotation/ListView.h"
#include "rotation/NextImage.h"
#include "support/errors/Errors.h"

namespace tavrino::rotation {

inline constexpr const char* kStatusRotateDisabled = "Automatic Rotate Disabled";
inline constexpr const char* kStatusNoImages = "No Images Selected For Display";

// Checked state of the "rotate images" box.
inline constexpr int kRotateOnState = 1;

// The longest period the countdown can hold: the seconds counter and the progress bar are
// 32-bit, so a longer period (a hand-edited setting) is held at this.
inline constexpr double kLongestPeriodSeconds = 2147483647.0;

// "Your Next Wallpaper Will Show In: " + minutes + " Minute(s)".
[[nodiscard]] std::string CountingStatusText(std::string_view minutes);
[[nodiscard]] std::string CountingStatusText(long long minutes);

// The period in seconds for a period in minutes. Zero, negative or missing periods count as
// one minute (a negative one would otherwise change the wallpaper at every tick).
[[nodiscard]] double PeriodSeconds(double minutes) noexcept;

// Whole minutes left, (period - elapsed) / 60 rounded with halves away from zero.
[[nodiscard]] long long MinutesLeft(double periodSeconds, std::int32_t elapsedSeconds) noexcept;

// The progress bar's maximum for a period: rounded, at least 1.
[[nodiscard]] int ProgressMaximum(double periodSeconds) noexcept;

enum class CountdownState { Off, Empty, Counting };

// What the main window shows of the rotation. lblUpNext's text is the announcement itself:
// the path looked up at the next change.
struct RotationDisplay {
    std::string status;
    std::string currentlyShowing;
    std::string upNext;
    int progressMaximum = 100;
    int progressValue = 0;
};

class Countdown {
public:
    // Everything the countdown reads or calls outside itself. Missing hooks read as 0 / the
    // empty text and do nothing.
    struct Hooks {
        std::function<int()> rotateState;  // chkRotateImages; kRotateOnState turns rotation on
        std::function<int()> randomState;  // chkRandom; kRandomOrderState selects random order
        std::function<std::string()> periodText;                   // text of txtRotateMinutes
        std::function<void(const std::string&)> setPeriodText;     // sets it (and so saves it)
        std::function<void(const std::string&)> composeWallpaper;  // writes the bitmap for a path
        std::function<void()> applyWallpaper;  // puts the bitmap of CurrentIndex() on the desktop
        std::function<void()> displayChanged;  // Display() changed: mirror it on screen
    };

    Countdown(const ListView& list, const PreviewMarks& preview, RandomEngine& engine,
              ErrorReporter& reporter, Hooks hooks);

    // One second of the rotation timer. Errors are reported under loc::TmrShowNextTick.
    // One wallpaper change runs at a time: a tick, show-now or change-now that arrives while
    // one is still running (a message box open inside the wallpaper code lets timer events
    // in) is skipped, so changes and their message boxes never pile up inside one another.
    void Tick() noexcept;

    // Puts the entry whose path is itemText on the desktop now (a double click on the preview
    // list). Leaves the count, the announcement and the status alone. Errors are reported under
    // loc::LstPreviewDblClick. Returns whether the entry was put on the desktop.
    bool ShowNow(const std::string& itemText) noexcept;

    // Makes the scheduled change at once and restarts the count. Returns false when the list is
    // empty or a change is already running. Errors are reported under loc::TmrShowNextTick.
    bool ChangeNow() noexcept;

    // The main window's load. ShowFirstImage: with a non-empty list, CurrentIndex() and the
    // current path become the first choice and the wallpaper is applied; else both are cleared.
    // AnnounceAtLoad: with rotation on, announces a second choice and the whole period;
    // otherwise shows rotation as off. Both let errors pass to the load's own handler.
    void ShowFirstImage();
    void AnnounceAtLoad();

    // ChooseNextImage over this countdown's list, index and options.
    [[nodiscard]] int ChooseNext() noexcept;

    [[nodiscard]] int CurrentIndex() const { return currentIndex_; }
    void SetCurrentIndex(int row) { currentIndex_ = row; }
    [[nodiscard]] std::int32_t ElapsedSeconds() const { return elapsed_; }
    [[nodiscard]] CountdownState State() const { return state_; }
    [[nodiscard]] const RotationDisplay& Display() const { return display_; }
    [[nodiscard]] bool Changing() const { return changing_; }

private:
    void TickBody();
    void DueChange();
    void ChangeToRow(int row);
    void ShowCounting(double periodSeconds);
    void ShowOff();
    [[nodiscard]] bool RotateOn() const;
    [[nodiscard]] std::string PeriodText() const;
    [[nodiscard]] double EnsurePeriod();
    [[nodiscard]] double PeriodNow() const;
    void Publish();

    const ListView& list_;
    const PreviewMarks& preview_;
    RandomEngine& engine_;
    ErrorReporter& reporter_;
    Hooks hooks_;

    int currentIndex_ = 0;
    std::int32_t elapsed_ = 0;
    CountdownState state_ = CountdownState::Off;
    RotationDisplay display_;
    bool changing_ = false;
};

}  // namespace tavrino::rotation
