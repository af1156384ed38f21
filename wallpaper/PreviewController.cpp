#include "wallpaper/PreviewController.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <utility>

#include "library/FolderListing.h"
#include "library/PathText.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "support/errors/Errors.h"
#include "wallpaper/decode/DecoderProcess.h"

namespace tavrino {

PreviewController::PreviewController(QFrame* pctPreview, QLabel* imgPreview,
                                     ErrorReporter& reporter, const OptionBoxes& options,
                                     ScreenMetricsSource screen)
    : pctPreview_(pctPreview),
      imgPreview_(imgPreview),
      reporter_(reporter),
      options_(options),
      screen_(std::move(screen)) {}

QRect PreviewController::PixelRect(const ImageBox& box, const ScreenMetrics& screen) {
    return PreviewPixelRect(box, screen);
}

void PreviewController::lstPreview_ItemClick(const QString& itemText) {
    lstPreview_ItemClick(library::PathFromQt(itemText));
}

void PreviewController::lstPreview_ItemClick(const std::string& path) {
    if (pctPreview_.isNull() || imgPreview_.isNull()) {
        return;
    }
    if (!library::ImageFileExists(path)) {
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
        PreviewJob job;
        job.picture = path;
        job.screen = screen_();
        job.fit = {options_.Checked(Option::Stretch), options_.Checked(Option::Aspect)};
        // The preview box's outer size, in twips like the screen.
        job.targetWidth = static_cast<float>(frame->width() * double{job.screen.TwipsPerPixelX});
        job.targetHeight = static_cast<float>(frame->height() * double{job.screen.TwipsPerPixelY});
        job.pixelRatio = label->devicePixelRatioF();
        job.limits = limits_;

        DecodedPicture picture;
        try {
            picture = DecodePreview(job);
        } catch (...) {
            // What was shown belongs to another entry; do not leave it standing for this one.
            label->clear();
            throw;
        }
        const PreviewPlacement placement = PlacePreview(job, picture.natural);
        const QRect rect = placement.rect;
        QPixmap pixmap = QPixmap::fromImage(std::move(picture.image));
        pixmap.setDevicePixelRatio(1.0);
        label->setScaledContents(true);
        label->setPixmap(pixmap);
        // Size first, then the place, as the box was worked out.
        label->resize(rect.size());
        label->move(rect.topLeft());
        lastBox_ = placement.box;
    });
}

}  // namespace tavrino
