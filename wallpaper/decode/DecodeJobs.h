// The two jobs a picture is decoded for, described by value, so that the decoding helper
// process can be handed one on its command line and do it exactly as this process would.
#pragma once

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "wallpaper/BitmapComposition.h"
#include "wallpaper/FitImageBox.h"
#include "wallpaper/decode/ImageDecoding.h"

namespace tavrino {

// The wallpaper bitmap: the picture fitted to the screen, written over bitmapPath (the caller
// opens it and puts it in place; the helper only names it in errors).
struct BitmapJob {
    std::string picture;  // path bytes, as the display list holds them
    QString bitmapPath;
    ScreenMetrics screen;
    FitChoice fit;
    QColor background;
    DecodeLimits limits;
};

// The preview: the picture fitted to the preview box (target, in twips) with the box standing
// for the screen, decoded no larger than it is shown at pixelRatio device pixels a pixel.
struct PreviewJob {
    std::string picture;
    ScreenMetrics screen;
    float targetWidth = 0.0F;
    float targetHeight = 0.0F;
    FitChoice fit;
    double pixelRatio = 1.0;
    DecodeLimits limits;
};

struct PreviewPlacement {
    ImageBox box;   // twips, relative to the preview box
    QRect rect;     // the box in whole pixels of the preview box
    QSize decoded;  // the size to decode to, in device pixels
};

// The box in whole pixels of the preview box, each value rounded on its own.
QRect PreviewPixelRect(const ImageBox& box, const ScreenMetrics& screen);

// Where a picture of this natural size (pixels) goes in the preview. Throws as FitImageBox.
PreviewPlacement PlacePreview(const PreviewJob& job, QSize natural);

// The jobs done in this process: the bitmap's BMP goes into out (open, bitmapPath naming it
// in errors). sealed runs once the picture is open and before any byte of it is decoded (the
// helper shuts itself in there). Throw tavrino::Error.
void RunBitmapJob(const BitmapJob& job, QIODevice& out, const std::function<void()>& sealed = {});
DecodedPicture RunPreviewJob(const PreviewJob& job, const std::function<void()>& sealed = {});

// A job as command-line words and back, exactly (floats travel in hexadecimal).
std::vector<std::string> JobWords(const BitmapJob& job);
std::vector<std::string> JobWords(const PreviewJob& job);
// Throws tavrino::Error InvalidProcedureCall for words that are no job.
std::variant<BitmapJob, PreviewJob> JobFromWords(const std::vector<std::string>& words);

// The same words as one message, for a helper started ahead of its job that reads it from a
// socket: each word ends with a NUL byte, and the whole is no longer than kMaxJobMessage (a
// path is at most 4096 bytes), so it fits the socket's buffer at once. Both throw as
// JobFromWords for what is no job: a word with a NUL in it, a message too long or not ended.
inline constexpr std::size_t kMaxJobMessage = 65536;
std::string JobMessage(const std::vector<std::string>& words);
std::vector<std::string> WordsFromMessage(std::string_view message);

}  // namespace tavrino
