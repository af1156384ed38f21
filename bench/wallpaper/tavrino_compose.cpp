// tavrino-compose: composes one wallpaper bitmap from the command line, exactly as the
// program does, so it can be timed as a whole process beside other image tools.
//
//   tavrino-compose [--screen WxH] [--twips-per-pixel N] [--stretch|--no-stretch]
//                   [--aspect|--no-aspect] [--helper] INPUT OUTPUT.bmp
//
// --helper decodes through the decoding helper process, as the program does on Linux.
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "support/errors/Errors.h"
#include "wallpaper/BitmapComposition.h"
#include "wallpaper/ScreenMetricsSource.h"
#include "wallpaper/decode/DecoderProcess.h"

namespace {

int Usage() {
    std::fputs(
        "usage: tavrino-compose [--screen WxH] [--twips-per-pixel N] [--stretch|--no-stretch]\n"
        "                       [--aspect|--no-aspect] [--helper] INPUT OUTPUT.bmp\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int width = 1920;
    int height = 1080;
    float twipsPerPixel = 15.0F;
    tavrino::FitChoice fit{true, true};
    QStringList files;
    bool helper = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--screen") && i + 1 < args.size()) {
            const QStringList parts = args[++i].split(QLatin1Char('x'));
            bool okW = false;
            bool okH = false;
            if (parts.size() != 2) {
                return Usage();
            }
            width = parts[0].toInt(&okW);
            height = parts[1].toInt(&okH);
            if (!okW || !okH) {
                return Usage();
            }
        } else if (arg == QLatin1String("--twips-per-pixel") && i + 1 < args.size()) {
            twipsPerPixel = args[++i].toFloat();
        } else if (arg == QLatin1String("--stretch")) {
            fit.stretch = true;
        } else if (arg == QLatin1String("--no-stretch")) {
            fit.stretch = false;
        } else if (arg == QLatin1String("--aspect")) {
            fit.keepAspect = true;
        } else if (arg == QLatin1String("--no-aspect")) {
            fit.keepAspect = false;
        } else if (arg == QLatin1String("--helper")) {
            helper = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return Usage();
        } else {
            files.append(arg);
        }
    }
    if (files.size() != 2) {
        return Usage();
    }
    try {
        const tavrino::ScreenMetrics screen =
            tavrino::MetricsForPixels(width, height, twipsPerPixel);
        if (helper) {
            tavrino::ComposeBitmapFile({QFile::encodeName(files[0]).toStdString(),
                                        files[1],
                                        screen,
                                        fit,
                                        QColor(Qt::black),
                                        {}});
            return 0;
        }
        QFile source(files[0]);
        if (!source.open(QIODevice::ReadOnly)) {
            throw tavrino::Error(tavrino::errnum::FileNotFound, source.errorString().toStdString());
        }
        const QImage bitmap = tavrino::ComposeBitmapImage(source, screen, fit, QColor(Qt::black));
        tavrino::WriteBitmapFile(bitmap, files[1]);
    } catch (const tavrino::Error& e) {
        std::fprintf(stderr, "tavrino-compose: error %d: %s\n", e.Number(), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tavrino-compose: %s\n", e.what());
        return 1;
    }
    return 0;
}
