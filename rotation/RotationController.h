// The rotation on the main window: the one-second timer tmrShowNext, the rotation period box
// txtRotateMinutes, the double click on lstPreview, and the labels and progress bar that show
// the countdown. The logic lives in rotation::Countdown; this class feeds it from the widgets
// and mirrors its state back onto them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "rotation/Countdown.h"
#include "rotation/ListView.h"
#include "rotation/NextImage.h"

class QAbstractItemView;
class QEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;

namespace tavrino {

class ErrorReporter;
class OptionBoxes;
class SettingsStore;

// The main window's widgets the rotation works with. Any of them may be missing.
struct RotationWidgets {
    QLabel* lblStatus = nullptr;
    QLabel* lblCurrentlyShowing = nullptr;  // path of the image on the desktop
    QLabel* lblUpNext = nullptr;            // path of the announced next image
    QProgressBar* pbStatus = nullptr;
    QLineEdit* txtRotateMinutes = nullptr;
    // Item k - 1 (column 0) shows display-list row k. Its double click puts that entry on the
    // desktop; its check marks (Qt::CheckStateRole) steer the random order.
    QAbstractItemView* lstPreview = nullptr;

    // The widgets of the same names on a form (the main window's).
    template <class Form>
    static RotationWidgets Of(const Form& form) {
        return {.lblStatus = form.lblStatus,
                .lblCurrentlyShowing = form.lblCurrentlyShowing,
                .lblUpNext = form.lblUpNext,
                .pbStatus = form.pbStatus,
                .txtRotateMinutes = form.txtRotateMinutes,
                .lstPreview = form.lstPreview};
    }
};

// text as it fits label's box: unchanged when it does, else one line cut in the middle, so a
// path never grows past the box (nor costs a layout of all its length).
[[nodiscard]] QString FitToLabel(const QLabel& label, const QString& text);

// The wallpaper steps a change runs, in this order.
struct WallpaperCalls {
    std::function<void(const std::string&)> composeWallpaper;  // writes the bitmap for a path
    std::function<void()> applyWallpaper;  // sets the bitmap of CurrentIndex() on the desktop
};

class RotationController final : public QObject {
    Q_OBJECT

public:
    RotationController(const RotationWidgets& widgets, const rotation::ListView& list,
                       OptionBoxes& options, SettingsStore& store, ErrorReporter& reporter,
                       WallpaperCalls calls,
                       rotation::RandomEngine& engine = rotation::SharedRandomEngine(),
                       QObject* parent = nullptr);
    ~RotationController() override;
    RotationController(const RotationController&) = delete;
    RotationController& operator=(const RotationController&) = delete;

    // Starts tmrShowNext (1000 ms); it then runs until the controller goes.
    void Start();
    [[nodiscard]] QTimer& tmrShowNext() { return tmrShowNext_; }

    // One tick of tmrShowNext (errors reported under location 43).
    void Tick();
    // The scheduled change, made at once (for a "next wallpaper" command).
    bool ChangeNow();
    // What a double click on the lstPreview item showing this path does (location 33).
    bool ShowNow(const std::string& path);
    // Steps of the main window's load: the first image, then the announcement and status line.
    void ShowFirstImage();
    void AnnounceAtLoad();

    [[nodiscard]] int ChooseNextImage();
    [[nodiscard]] int CurrentIndex() const;
    void SetCurrentIndex(int row);
    [[nodiscard]] rotation::Countdown& Core() { return *countdown_; }

    // Writes the countdown's state onto the widgets (done after every change of it).
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnRotateMinutesChanged(const QString& text);
    [[nodiscard]] bool DiscardRotateMinutesKey(const QKeyEvent& key);
    void OnRotateMinutesFocusOut();
    void OnPreviewDoubleClicked(const QModelIndex& index);
    void SaveRotateMinutes(const QString& text);
    [[nodiscard]] std::string RotateMinutesText() const;

    QPointer<QLabel> lblStatus_;
    QPointer<QLabel> lblCurrentlyShowing_;
    QPointer<QLabel> lblUpNext_;
    QPointer<QProgressBar> pbStatus_;
    QPointer<QLineEdit> txtRotateMinutes_;
    QPointer<QAbstractItemView> lstPreview_;
    const rotation::ListView& list_;
    OptionBoxes& options_;
    SettingsStore& store_;
    ErrorReporter& reporter_;
    std::unique_ptr<rotation::PreviewMarks> previewMarks_;
    std::unique_ptr<rotation::Countdown> countdown_;
    QTimer tmrShowNext_;
};

}  // namespace tavrino
