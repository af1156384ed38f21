#include <QSaveFile>

#include "wallpaper/decode/DecoderProcess.h"

namespace tavrino {

// No helper process on this platform: the jobs run here.

void ComposeBitmapFile(const BitmapJob& job) {
    QSaveFile bitmap(job.bitmapPath);
    OpenBitmapFile(bitmap);
    RunBitmapJob(job, bitmap);
    CommitBitmapFile(bitmap);
}

DecodedPicture DecodePreview(const PreviewJob& job) {
    return RunPreviewJob(job);
}

void SetDecoderTimeout(std::chrono::milliseconds /*timeout*/) {}

void PrepareDecoder() {}

void SetDecoderIdleTime(std::chrono::milliseconds /*idle*/) {}

}  // namespace tavrino
