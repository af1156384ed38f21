#include "rotation/Countdown.h"

#include <cmath>
#include <limits>
#include <utility>

#include "rotation/NumericValue.h"

namespace tavrino::rotation {

namespace {

constexpr double kSecondsPerMinute = 60.0;

// Marks a change as running for as long as it runs, errors included.
class ChangeScope {
public:
    explicit ChangeScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~ChangeScope() { flag_ = false; }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

std::string CountingStatusText(std::string_view minutes) {
    std::string text = "Your Next Wallpaper Will Show In: ";
    text += minutes;
    text += " Minute(s)";
    return text;
}

std::string CountingStatusText(long long minutes) {
    return CountingStatusText(std::to_string(minutes));
}

double PeriodSeconds(double minutes) noexcept {
    if (!(minutes > 0.0)) {
        return kSecondsPerMinute;
    }
    const double seconds = minutes * kSecondsPerMinute;
    return seconds < kLongestPeriodSeconds ? seconds : kLongestPeriodSeconds;
}

long long MinutesLeft(double periodSeconds, std::int32_t elapsedSeconds) noexcept {
    return std::llround((periodSeconds - static_cast<double>(elapsedSeconds)) / kSecondsPerMinute);
}

int ProgressMaximum(double periodSeconds) noexcept {
    const double rounded = std::round(periodSeconds);
    if (!(rounded >= 1.0)) {
        return 1;
    }
    if (rounded >= kLongestPeriodSeconds) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(rounded);
}

Countdown::Countdown(const ListView& list, const PreviewMarks& preview, RandomEngine& engine,
                     ErrorReporter& reporter, Hooks hooks)
    : list_(list),
      preview_(preview),
      engine_(engine),
      reporter_(reporter),
      hooks_(std::move(hooks)) {}

void Countdown::Tick() noexcept {
    if (changing_) {
        return;
    }
    Guarded(reporter_, loc::TmrShowNextTick, [&] { TickBody(); });
    // Shown even after a failure: the labels keep what the tick managed to set.
    Guarded(reporter_, loc::TmrShowNextTick, [&] { Publish(); });
}

void Countdown::TickBody() {
    if (!RotateOn()) {
        state_ = CountdownState::Off;
        ShowOff();
        return;
    }
    if (list_.Count() <= 0) {
        state_ = CountdownState::Empty;
        display_.progressMaximum = 1;
        display_.progressValue = 0;
        display_.status = kStatusNoImages;
        display_.upNext.clear();
        display_.currentlyShowing.clear();
        return;
    }
    state_ = CountdownState::Counting;
    const double period = EnsurePeriod();
    if (elapsed_ < std::numeric_limits<std::int32_t>::max()) {
        ++elapsed_;
    }
    if (period <= static_cast<double>(elapsed_)) {
        elapsed_ = 0;
        DueChange();
        return;
    }
    ShowCounting(period);
}

bool Countdown::ShowNow(const std::string& itemText) noexcept {
    if (changing_) {
        return false;
    }
    bool shown = false;
    Guarded(reporter_, loc::LstPreviewDblClick, [&] {
        if (list_.Count() <= 0) {
            return;
        }
        const int row = FindRow(list_, itemText);
        if (row == 0) {
            return;
        }
        ChangeScope running(changing_);
        currentIndex_ = row;
        display_.currentlyShowing = itemText;
        shown = true;
        Publish();
        if (hooks_.applyWallpaper) {
            hooks_.applyWallpaper();
        }
    });
    return shown;
}

bool Countdown::ChangeNow() noexcept {
    if (changing_) {
        return false;
    }
    bool changed = false;
    Guarded(reporter_, loc::TmrShowNextTick, [&] {
        if (list_.Count() <= 0) {
            return;
        }
        elapsed_ = 0;
        changed = true;
        DueChange();
        if (!RotateOn()) {
            ShowOff();  // nothing is scheduled while rotation is off
        }
        Publish();
    });
    return changed;
}

void Countdown::ShowFirstImage() {
    if (list_.Count() > 0) {
        ChangeScope running(changing_);
        currentIndex_ = ChooseNext();
        display_.currentlyShowing = PathOrEmpty(list_, currentIndex_);
        Publish();
        if (hooks_.applyWallpaper) {
            hooks_.applyWallpaper();
        }
    } else {
        display_.currentlyShowing.clear();
        currentIndex_ = 0;
        Publish();
    }
}

void Countdown::AnnounceAtLoad() {
    if (RotateOn()) {
        const int next = ChooseNext();
        display_.upNext = PathOrEmpty(list_, next);
        const double minutes = NumericValue(PeriodText());
        display_.status = CountingStatusText(ShortestDecimal(minutes));
        display_.progressMaximum = ProgressMaximum(PeriodSeconds(minutes));
        display_.progressValue = elapsed_;
    } else {
        ShowOff();
    }
    Publish();
}

int Countdown::ChooseNext() noexcept {
    int random = 0;
    if (hooks_.randomState) {
        // Reading the option is part of the choice, so its failure is the choice's.
        Guarded(reporter_, loc::ChooseNextImage, [&] { random = hooks_.randomState(); });
    }
    return ChooseNextImage(list_, currentIndex_, random, preview_, engine_, reporter_);
}

void Countdown::DueChange() {
    int row = 0;
    if (!display_.upNext.empty()) {
        row = FindRow(list_, display_.upNext);
    }
    if (row == 0) {
        row = ChooseNext();  // nothing announced, or the announced entry left the list
    }
    ChangeToRow(row);
}

void Countdown::ChangeToRow(int row) {
    ChangeScope running(changing_);
    const std::string path(PathOrEmpty(list_, row));  // a copy: the callbacks may change the list
    display_.currentlyShowing = path;
    currentIndex_ = row;
    Publish();
    if (hooks_.composeWallpaper) {
        hooks_.composeWallpaper(path);
    }
    if (hooks_.applyWallpaper) {
        hooks_.applyWallpaper();
    }
    const int next = ChooseNext();
    display_.upNext = PathOrEmpty(list_, next);
    ShowCounting(PeriodNow());
}

void Countdown::ShowCounting(double periodSeconds) {
    display_.progressMaximum = ProgressMaximum(periodSeconds);
    display_.progressValue = elapsed_;
    display_.status = CountingStatusText(MinutesLeft(periodSeconds, elapsed_));
}

void Countdown::ShowOff() {
    display_.status = kStatusRotateDisabled;
    display_.progressValue = 0;
    display_.upNext.clear();
}

bool Countdown::RotateOn() const {
    return hooks_.rotateState && hooks_.rotateState() == kRotateOnState;
}

std::string Countdown::PeriodText() const {
    return hooks_.periodText ? hooks_.periodText() : std::string();
}

double Countdown::EnsurePeriod() {
    double minutes = NumericValue(PeriodText());
    if (minutes <= 0.0 && hooks_.setPeriodText) {
        hooks_.setPeriodText("1");
        minutes = NumericValue(PeriodText());
    }
    return PeriodSeconds(minutes);
}

double Countdown::PeriodNow() const {
    return PeriodSeconds(NumericValue(PeriodText()));
}

void Countdown::Publish() {
    if (hooks_.displayChanged) {
        hooks_.displayChanged();
    }
}

}  // namespace tavrino::rotation
