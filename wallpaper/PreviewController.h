// The preview pane of the Preview tab: a click on an entry of lstPreview shows that image in
// pctPreview, fitted by the same rule as the wallpaper with the preview box for the screen.
#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <optional>
#include <string>

#include "wallpaper/FitImageBox.h"
#include "wallpaper/ScreenMetricsSource.h"
#include "wallpaper/decode/ImageDecoding.h"

class QFrame;
class QLabel;
class QWidget;

namespace tavrino {

class ErrorReporter;
class OptionBoxes;

class PreviewController {
public:
    // imgPreview must be a child of pctPreview. Neither is owned.
    PreviewController(QFrame* pctPreview, QLabel* imgPreview, ErrorReporter& reporter,
                      const OptionBoxes& options,
                      ScreenMetricsSource screen = PrimaryScreenMetrics);

    // Shows the image named by the clicked item's text. A missing image shows the stop-icon
    // message and empties the preview (its place and size stay); any other failure is
    // reported under the preview's location code. Changes no setting, list entry or file.
    void lstPreview_ItemClick(const QString& itemText);
    // The same for the entry's path as the display list holds it, which need not survive a
    // trip through the item's text (see library::ImageFileExists).
    void lstPreview_ItemClick(const std::string& path);

    // Parent of the missing-image message box (the main window).
    void SetMessageParent(QWidget* parent) { messageParent_ = parent; }
    void SetDecodeLimits(const DecodeLimits& limits) { limits_ = limits; }

    // The box of the last successful preview, in twips relative to pctPreview.
    [[nodiscard]] const std::optional<ImageBox>& LastBox() const { return lastBox_; }

    // The box in whole pixels of pctPreview, each value rounded on its own.
    static QRect PixelRect(const ImageBox& box, const ScreenMetrics& screen);

private:
    QPointer<QFrame> pctPreview_;
    QPointer<QLabel> imgPreview_;
    ErrorReporter& reporter_;
    const OptionBoxes& options_;
    ScreenMetricsSource screen_;
    QWidget* messageParent_ = nullptr;
    DecodeLimits limits_;
    std::optional<ImageBox> lastBox_;
};

}  // namespace tavrino
