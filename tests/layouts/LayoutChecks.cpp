#include "LayoutChecks.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace tavrino::test {

namespace {

// The text as drawn: "&&" shows one ampersand, a single "&" marks an access key and is not shown.
QString Displayed(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        shown.append(text.at(i));
    }
    return shown;
}

}  // namespace

QString TextOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    return {};
}

QRect ExpectedRect(const ControlSpec& expected, QPoint origin) {
    return {Px(expected.left) - origin.x(), Px(expected.top) - origin.y(), Px(expected.width),
            Px(expected.height)};
}

void ExpectCaptionsFit(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) {
            continue;
        }
        SCOPED_TRACE(label->objectName().toStdString());
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        } else {
            const QFontMetrics metrics(label->font());
            EXPECT_LE(metrics.horizontalAdvance(label->text()), room.width());
            EXPECT_LE(metrics.ascent() + metrics.descent(), room.height());
        }
    }
    for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_LE(box->sizeHint().width(), box->width());
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QFontMetrics metrics(button->font());
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(metrics.horizontalAdvance(Displayed(button->text())) + 2 * margin,
                  button->width());
        EXPECT_LE(metrics.height(), button->height());
    }
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        SCOPED_TRACE(frame->objectName().toStdString());
        const QFontMetrics metrics(frame->font());
        EXPECT_LT(metrics.horizontalAdvance(frame->title()), frame->width());
    }
}

QStringList FocusChainOrder(const QWidget& window, const QStringList& names) {
    QStringList order;
    const QWidget* start = &window;
    const QWidget* widget = start->nextInFocusChain();
    while (widget != nullptr && widget != start) {
        if (names.contains(widget->objectName()) && !order.contains(widget->objectName())) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    }
    const qsizetype first = names.isEmpty() ? -1 : order.indexOf(names.front());
    if (first > 0) {
        order = order.mid(first) + order.first(first);
    }
    return order;
}

QStringList TabFocusWidgets(const QWidget& window, const QStringList& names) {
    QStringList focusable;
    for (const QString& name : FocusChainOrder(window, names)) {
        const auto* widget = window.findChild<QWidget*>(name);
        if (widget != nullptr && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            focusable.append(name);
        }
    }
    return focusable;
}

}  // namespace tavrino::test
