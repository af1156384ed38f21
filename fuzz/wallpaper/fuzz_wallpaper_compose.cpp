// Arbitrary bytes through the whole composition: format sniffing, the truncation checks,
// decoding (with EXIF turns and early JPEG shrinking), fitting and the Lanczos filter. Any
// input must end in a bitmap or a tavrino::Error, never a crash, a hang or a huge allocation.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

#include "support/errors/Errors.h"
#include "wallpaper/BitmapComposition.h"
#include "wallpaper/ScreenMetricsSource.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image format plugins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    // Decoders warn about every damaged input; that is expected here and only slows the run.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks the fit options and the screen; the rest is the file.
    const std::uint8_t options = data[0];
    const tavrino::FitChoice fit{(options & 1U) != 0, (options & 2U) != 0};
    const int width = 16 + (options >> 2U) * 8;  // 16 .. 520 pixels
    const tavrino::ScreenMetrics screen = tavrino::MetricsForPixels(width, width * 3 / 4);
    // Small limits keep every run quick; the logic is the same as at full size.
    const tavrino::DecodeLimits limits{2048, qint64{16} * 1024 * 1024};

    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1),
                                               static_cast<qsizetype>(size - 1));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        const QImage bitmap =
            tavrino::ComposeBitmapImage(buffer, screen, fit, QColor(Qt::black), limits);
        if (bitmap.isNull() || bitmap.format() != QImage::Format_RGB32) {
            __builtin_trap();
        }
    } catch (const tavrino::Error&) {
        // Refused or undecodable: the program reports these.
    }
    return 0;
}
