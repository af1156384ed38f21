// Shared checks for the window layout tests: control tables in twips, text fit, focus order.
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <ostream>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tavrino::test {

// Design lengths are in twips; 15 twips make one pixel at 96 dpi.
constexpr int Px(int twips) {
    return (twips + 7) / 15;
}

// Controls on the main window's tab pages are designed relative to the whole tab control; a page
// starts this far right of and below the tab control's corner (see the note in frmMain.ui).
inline constexpr QPoint kTabPageOrigin{2, 24};

// One row of a window's control table.
struct ControlSpec {
    const char* name;
    const char* kind;              // exact class name of the widget
    const char* container;         // object name of the widget its position is relative to
    int left, top, width, height;  // twips, relative to the container as designed
    const char* text;     // caption, text or title; nullptr when the control has none to check
    const char* toolTip;  // "" when none
};

// What the user reads on a control: label text, button caption, line edit text, frame title.
QString TextOf(const QWidget* widget);

// The pixel rectangle a row describes; `origin` is subtracted from positions (the tab page offset
// for controls on a page, (0, 0) otherwise).
QRect ExpectedRect(const ControlSpec& expected, QPoint origin);

// Checks kind, container, geometry, text and tool tip of every row; `originOf` gives the offset
// for a container name.
template <typename OriginOf>
void ExpectControls(const QWidget& window, const std::vector<ControlSpec>& specs,
                    OriginOf originOf) {
    for (const ControlSpec& expected : specs) {
        SCOPED_TRACE(expected.name);
        const auto found = window.findChildren<QWidget*>(QString::fromUtf8(expected.name));
        ASSERT_EQ(found.size(), 1) << "one widget of that name";
        const QWidget* widget = found.front();
        EXPECT_STREQ(widget->metaObject()->className(), expected.kind);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf8(expected.container));
        EXPECT_EQ(widget->geometry(), ExpectedRect(expected, originOf(expected.container)));
        if (expected.text != nullptr) {
            EXPECT_EQ(TextOf(widget), QString::fromUtf8(expected.text));
        }
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(expected.toolTip));
    }
}

// Every caption, label and check box text of a shown window is drawn in full (no clipping).
void ExpectCaptionsFit(const QWidget& window);

// Names from `names`, in the order the window's keyboard focus chain visits them. The chain is a
// ring, so the answer starts at names.front() when that widget is in it.
QStringList FocusChainOrder(const QWidget& window, const QStringList& names);

// Names of the widgets of `window` that take focus with the Tab key, in focus chain order.
QStringList TabFocusWidgets(const QWidget& window, const QStringList& names);

}  // namespace tavrino::test
