#include "support/online/frmNewRelease.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>

#include "ui_frmNewRelease.h"

namespace tavrino {

namespace {

QPointer<frmNewRelease>& OpenNotice() {
    static QPointer<frmNewRelease> notice;
    return notice;
}

}  // namespace

frmNewRelease::frmNewRelease(ErrorReporter& reporter, QWidget* parent)
    : QDialog(parent), reporter_(reporter), ui_(std::make_unique<Ui::frmNewRelease>()) {
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("A New Version Is Now Available"));
    // Fixed dialog border without minimise or maximise button, kept out of the task bar.
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    connect(ui_->cmd1, &QToolButton::clicked, this, [this] { cmd1_Click(); });
    OpenNotice() = this;
}

frmNewRelease::~frmNewRelease() = default;

QPointer<frmNewRelease> frmNewRelease::Current() {
    return OpenNotice();
}

frmNewRelease* frmNewRelease::Obtain(ErrorReporter& reporter) {
    if (OpenNotice()) {
        return OpenNotice().data();
    }
    return new frmNewRelease(reporter);
}

namespace {

// Longest run without a blank that is still wrapped at word boundaries. Looking for a word
// boundary in a much longer run takes the text layout minutes for a page of that size.
constexpr qsizetype kLongestWord = 1000;

bool HasVeryLongWord(const QString& text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWord) {
            return true;
        }
    }
    return false;
}

}  // namespace

void frmNewRelease::SetReleaseNotes(const QString& notes) {
    ui_->txtNewVersion->setWordWrapMode(HasVeryLongWord(notes)
                                            ? QTextOption::WrapAnywhere
                                            : QTextOption::WrapAtWordBoundaryOrAnywhere);
    ui_->txtNewVersion->setPlainText(notes);
}

QString frmNewRelease::ReleaseNotes() const {
    return ui_->txtNewVersion->toPlainText();
}

void frmNewRelease::cmd1_Click() {
    Guarded(reporter_, loc::NewReleaseCmd1Click, [this] { close(); });
}

}  // namespace tavrino
