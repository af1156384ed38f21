// Any bytes as the settings file: reading every key and saving one never crashes, and a file
// the reader could not wholly read is kept, byte for byte, before the save writes over it.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "settings/QtSettingsStore.h"
#include "support/errors/Errors.h"

namespace {

class CountingReporter final : public tavrino::ErrorReporter {
public:
    void ShowErrorReport(int, std::int32_t, const std::string&) override { ++reports; }
    int reports = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = folder.filePath(QStringLiteral("settings.ini"));
    for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden)) {
        QFile::remove(folder.filePath(name));
    }
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            return 0;
        }
    }
    CountingReporter reporter;
    tavrino::QtSettingsStore store(reporter, path);
    for (const char* key : {"AutoStart", "AutoUpdate", "Aspect", "Minimize", "Random", "Rotate",
                            "Stretch", "Tile", "RotateMinutes"}) {
        static_cast<void>(store.Get("Varnello", "Settings", key, 1));
    }
    try {
        store.Save("Varnello", "Settings", "Random", "1");
    } catch (const tavrino::Error&) {
        return 0;
    }
    if (store.Get("Varnello", "Settings", "Random", 0) != "1") {
        std::abort();  // a save that did not throw is read back
    }
    // Whatever the file held that the reader left out survives beside it.
    if (reporter.reports != 0 && !store.SetAsidePath().isEmpty() &&
        ReadAll(store.SetAsidePath()) != bytes) {
        std::abort();
    }
    return 0;
}
