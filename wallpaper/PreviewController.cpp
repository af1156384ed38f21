#include "wallpaper/PreviewController.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <utility>

#include "library/PathText.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "support/errors/Errors.h"

namespace tavrino {

namespace {

int Pixels(float twips, float twipsPerPixel) {
    return static_cast<int>(RoundHalfEven(static_cast<double>(twips) / twipsPerPixel));
}

}  // namespace

PreviewController::PreviewController(QFrame* pctPreview, QLabel* imgPreview,
                                     ErrorReporter& reporter, const OptionBoxes& options,
                                     ScreenMetricsSource screen)
    : pctPreview_(pctPreview),
      imgPreview_(imgPreview),
      reporter_(reporter),
      options_(options),
      screen_(std::move(screen)) {}

QRect PreviewController::PixelRect(const ImageBox& box, const ScreenMetrics& screen) {
    return {Pixels(box.Left, screen.TwipsPerPixelX), Pixels(box.Top, screen.TwipsPerPixelY),
            std::max(1, Pixels(box.Width, screen.TwipsPerPixelX)),
            std::max(1, Pixels(box.Height, screen.TwipsPerPixelY))};
}

void PreviewController::lstPreview_ItemClick(const QString& itemText) {
    lstPreview_ItemClick(library::PathFromQt(itemText));
}

void PreviewController::lstPreview_ItemClick(const std::string& path) {
    if (pctPreview_.isNull() || imgPreview_.isNull()) {
        return;
    }
    if (!ImagePathExists(path)) {
        ShowMessage(messageParent_, kImageNotLocatedMessage, QString(), MessageIcon::Stop);
        if (!imgPreview_.isNull()) {
            imgPreview_->clear();
        }
        return;
    }
    QFrame* const frame = pctPreview_.data();
    QLabel* const label = imgPreview_.data();
    Guarded(reporter_, loc::LstPreviewItemClick, [&] {
        if (frame == nullptr || label == nullptr) {
            return;
        }
        const ScreenMetrics screen = screen_();
        const bool stretch = options_.Checked(Option::Stretch);
        const bool keepAspect = options_.Checked(Option::Aspect);
        // The preview box's outer size, in twips like the screen.
        const auto targetWidth = static_cast<float>(frame->width() * double{screen.TwipsPerPixelX});
        const auto targetHeight =
            static_cast<float>(frame->height() * double{screen.TwipsPerPixelY});
        const qreal ratio = label->devicePixelRatioF();

        ImageBox box;
        QRect rect;
        const auto chooseSize = [&](QSize natural) {
            const auto naturalWidth =
                static_cast<float>(natural.width() * double{screen.TwipsPerPixelX});
            const auto naturalHeight =
                static_cast<float>(natural.height() * double{screen.TwipsPerPixelY});
            box = FitImageBox(naturalWidth, naturalHeight, targetWidth, targetHeight, screen,
                              stretch, keepAspect);
            rect = PixelRect(box, screen);
            // Decode no larger than the label shows it (in device pixels), nor than the
            // picture is: the label scales it to its size anyway.
            const QSize shown = (QSizeF(rect.size()) * ratio).toSize();
            return QSize(std::clamp(shown.width(), 1, natural.width()),
                         std::clamp(shown.height(), 1, natural.height()));
        };

        QFile file;
        OpenImageFile(path, file);
        DecodedPicture picture;
        try {
            picture = DecodePicture(file, chooseSize, limits_);
        } catch (...) {
            // What was shown belongs to another entry; do not leave it standing for this one.
            label->clear();
            throw;
        }
        QPixmap pixmap = QPixmap::fromImage(std::move(picture.image));
        pixmap.setDevicePixelRatio(1.0);
        label->setScaledContents(true);
        label->setPixmap(pixmap);
        // Size first, then the place, as the box was worked out.
        label->resize(rect.size());
        label->move(rect.topLeft());
        lastBox_ = box;
    });
}

}  // namespace tavrino
