#include "rotation/RotationController.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <utility>

#include "library/PathText.h"
#include "rotation/NumericValue.h"
#include "settings/Options.h"
#include "settings/SettingsStore.h"
#include "support/errors/Errors.h"

namespace tavrino {

namespace {

constexpr int kTickMilliseconds = 1000;

// The check marks of lstPreview, read from its model at the moment of the choice.
class ViewPreviewMarks final : public rotation::PreviewMarks {
public:
    explicit ViewPreviewMarks(QPointer<QAbstractItemView> view) : view_(std::move(view)) {}

    [[nodiscard]] int Count() const override {
        const QAbstractItemModel* model = Model();
        return model != nullptr ? model->rowCount() : 0;
    }

    [[nodiscard]] bool Checked(int item) const override {
        const QAbstractItemModel* model = Model();
        if (model == nullptr) {
            return false;
        }
        const QVariant state = model->index(item - 1, 0).data(Qt::CheckStateRole);
        return state.isValid() && state.toInt() == Qt::Checked;
    }

private:
    [[nodiscard]] const QAbstractItemModel* Model() const {
        return view_ != nullptr ? view_->model() : nullptr;
    }

    QPointer<QAbstractItemView> view_;
};

void SetLabel(QLabel* label, const std::string& text) {
    if (label == nullptr) {
        return;
    }
    // Paths are shown the way the list views show them; the whole path stays the label's tool
    // tip when it had to be cut.
    const QString wanted = library::PathToDisplay(text);
    const QString shown = FitToLabel(*label, wanted);
    const QString tip = shown == wanted ? QString() : wanted;
    if (label->text() != shown || label->toolTip() != tip) {
        label->setText(shown);
        label->setToolTip(tip);
    }
}

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

QString FitToLabel(const QLabel& label, const QString& text) {
    const QRect box = label.contentsRect();
    const QFontMetrics metrics(label.font());
    // More characters than the box can hold at the narrowest never fit; no need to measure.
    const qsizetype most = qsizetype{box.width()} * qMax(1, box.height()) /
                           qMax(1, metrics.horizontalAdvance(QLatin1Char('i')) * metrics.height());
    if (text.size() <= most) {
        const int flags = label.wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine;
        const QRect needed = metrics.boundingRect(box, flags, text);
        if (needed.width() <= box.width() && needed.height() <= box.height()) {
            return text;
        }
    }
    return metrics.elidedText(text, Qt::ElideMiddle, box.width());
}

RotationController::RotationController(const RotationWidgets& widgets,
                                       const rotation::ListView& list, OptionBoxes& options,
                                       SettingsStore& store, ErrorReporter& reporter,
                                       WallpaperCalls calls, rotation::RandomEngine& engine,
                                       QObject* parent)
    : QObject(parent),
      lblStatus_(widgets.lblStatus),
      lblCurrentlyShowing_(widgets.lblCurrentlyShowing),
      lblUpNext_(widgets.lblUpNext),
      pbStatus_(widgets.pbStatus),
      txtRotateMinutes_(widgets.txtRotateMinutes),
      lstPreview_(widgets.lstPreview),
      list_(list),
      options_(options),
      store_(store),
      reporter_(reporter),
      previewMarks_(std::make_unique<ViewPreviewMarks>(lstPreview_)) {
    rotation::Countdown::Hooks hooks;
    hooks.rotateState = [this] { return options_.State(Option::Rotate); };
    hooks.randomState = [this] { return options_.State(Option::Random); };
    hooks.periodText = [this] { return RotateMinutesText(); };
    hooks.setPeriodText = [this](const std::string& text) {
        if (txtRotateMinutes_ != nullptr) {
            txtRotateMinutes_->setText(QString::fromStdString(text));
        }
    };
    hooks.composeWallpaper = std::move(calls.composeWallpaper);
    hooks.applyWallpaper = std::move(calls.applyWallpaper);
    hooks.displayChanged = [this] { Refresh(); };
    countdown_ = std::make_unique<rotation::Countdown>(list, *previewMarks_, engine, reporter,
                                                       std::move(hooks));

    if (pbStatus_ != nullptr) {
        pbStatus_->setMinimum(0);
    }
    if (txtRotateMinutes_ != nullptr) {
        txtRotateMinutes_->installEventFilter(this);
        connect(txtRotateMinutes_, &QLineEdit::textChanged, this,
                &RotationController::OnRotateMinutesChanged);
    }
    if (lstPreview_ != nullptr) {
        connect(lstPreview_, &QAbstractItemView::doubleClicked, this,
                &RotationController::OnPreviewDoubleClicked);
        // Enter on a row shows it at once, as a double click does.
        lstPreview_->installEventFilter(this);
    }
    tmrShowNext_.setInterval(kTickMilliseconds);
    connect(&tmrShowNext_, &QTimer::timeout, this, &RotationController::Tick);
}

RotationController::~RotationController() {
    tmrShowNext_.stop();
    if (txtRotateMinutes_ != nullptr) {
        txtRotateMinutes_->removeEventFilter(this);
    }
    if (lstPreview_ != nullptr) {
        lstPreview_->removeEventFilter(this);
    }
}

void RotationController::Start() {
    tmrShowNext_.start();
}

void RotationController::Tick() {
    countdown_->Tick();
}

bool RotationController::ChangeNow() {
    return countdown_->ChangeNow();
}

bool RotationController::ShowNow(const std::string& path) {
    return countdown_->ShowNow(path);
}

void RotationController::ShowFirstImage() {
    countdown_->ShowFirstImage();
}

void RotationController::AnnounceAtLoad() {
    countdown_->AnnounceAtLoad();
}

int RotationController::ChooseNextImage() {
    return countdown_->ChooseNext();
}

int RotationController::CurrentIndex() const {
    return countdown_->CurrentIndex();
}

void RotationController::SetCurrentIndex(int row) {
    countdown_->SetCurrentIndex(row);
}

void RotationController::Refresh() {
    const rotation::RotationDisplay& shown = countdown_->Display();
    SetLabel(lblStatus_, shown.status);
    SetLabel(lblCurrentlyShowing_, shown.currentlyShowing);
    SetLabel(lblUpNext_, shown.upNext);
    if (pbStatus_ != nullptr) {
        // Maximum first: a value above the old maximum would be dropped by the bar.
        pbStatus_->setMaximum(shown.progressMaximum);
        pbStatus_->setValue(shown.progressValue);
    }
}

bool RotationController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstPreview_ && event != nullptr && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            lstPreview_->currentIndex().isValid()) {
            OnPreviewDoubleClicked(lstPreview_->currentIndex());
            return true;
        }
    }
    if (watched == txtRotateMinutes_ && event != nullptr) {
        if (event->type() == QEvent::KeyPress) {
            bool discard = false;
            Guarded(reporter_, loc::TxtRotateMinutesKeyPress,
                    [&] { discard = DiscardRotateMinutesKey(*static_cast<QKeyEvent*>(event)); });
            if (discard) {
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // A context menu (to paste) or another window taking over is not leaving the box:
            // the focus comes straight back to it.
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                OnRotateMinutesFocusOut();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

bool RotationController::DiscardRotateMinutesKey(const QKeyEvent& key) {
    // Shortcuts (copy, paste, undo, select all) are commands, not typed characters. AltGr
    // arrives as Control+Alt on Windows and types characters, so it is not a shortcut.
    const Qt::KeyboardModifiers mods = key.modifiers();
    if ((mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier)) {
        return false;
    }
    // Only printable characters are typed ones; backspace, delete, return and the
    // movement keys keep their editing meaning.
    const QString text = key.text();
    for (const QChar c : text) {
        if (c.isPrint() && !IsDigit(c)) {
            return true;
        }
    }
    return false;
}

void RotationController::OnRotateMinutesChanged(const QString& text) {
    Guarded(reporter_, loc::TxtRotateMinutesChange, [&] { SaveRotateMinutes(text); });
}

void RotationController::OnRotateMinutesFocusOut() {
    Guarded(reporter_, loc::TxtRotateMinutesLostFocus, [&] {
        if (txtRotateMinutes_ == nullptr) {
            return;
        }
        SaveRotateMinutes(txtRotateMinutes_->text());
        // Each setText saves again through the change handler.
        if (txtRotateMinutes_->text().isEmpty()) {
            txtRotateMinutes_->setText(QStringLiteral("1"));
        }
        if (NumericValue(RotateMinutesText()) <= 0.0) {
            txtRotateMinutes_->setText(QStringLiteral("1"));
        }
    });
}

void RotationController::OnPreviewDoubleClicked(const QModelIndex& index) {
    Guarded(reporter_, loc::LstPreviewDblClick, [&] {
        const QAbstractItemModel* model = index.model();
        if (model == nullptr || model->rowCount() == 0) {
            return;
        }
        // Item k - 1 shows row k. Its path is taken from the table rather than from the
        // shown text, which cannot always be turned back into the file's name.
        const std::string path(rotation::PathOrEmpty(list_, index.row() + 1));
        if (!path.empty()) {
            countdown_->ShowNow(path);
        }
    });
}

void RotationController::SaveRotateMinutes(const QString& text) {
    store_.Save(kSettingsApplication, kSettingsSection, kRotateMinutesKey, text.toStdString());
}

std::string RotationController::RotateMinutesText() const {
    return txtRotateMinutes_ != nullptr ? txtRotateMinutes_->text().toStdString() : std::string();
}

}  // namespace tavrino
