// The real settings store: values survive, names match without regard to case, and a
// damaged or unwritable file is reported without stopping the program or losing the file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/TestSupport.h"
#include "settings/QtSettingsStore.h"

namespace tavrino {
namespace {

using test::RecordingReporter;

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(QtSettingsStore, ValuesSurviveANewInstanceAndNamesIgnoreCase) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    RecordingReporter reporter;
    {
        QtSettingsStore store(reporter, ini);
        EXPECT_EQ(store.Get("Varnello", "Settings", "RotateMinutes", 5), "5");
        store.Save("Varnello", "Settings", "RotateMinutes", "12");
        store.Save("Varnello", "Settings", "AutoStart", "0");
    }
    QtSettingsStore again(reporter, ini);
    EXPECT_EQ(again.Get("varnello", "SETTINGS", "rotateminutes", 5), "12");
    EXPECT_EQ(again.Get("VARNELLO", "settings", "AUTOSTART", 1), "0");
    // Saving under another case replaces the value instead of adding a second key.
    again.Save("VARNELLO", "settings", "autostart", "1");
    QtSettingsStore third(reporter, ini);
    EXPECT_EQ(third.Get("Varnello", "Settings", "AutoStart", 0), "1");
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(QtSettingsStore, ADamagedFileIsSetAsideReportedAndDefaultsUsed) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    const QByteArray garbage("\x00\xff\xfe[Varnello]\nSettings\\AutoStart=\x00\x01", 32);
    WriteBytes(ini, garbage);
    RecordingReporter reporter;
    QtSettingsStore store(reporter, ini);
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].number, errnum::SettingsUnreadable);
    EXPECT_NE(reporter.reports[0].description.find("damaged"), std::string::npos);
    EXPECT_EQ(store.Get("Varnello", "Settings", "AutoStart", 1), "1");
    ASSERT_FALSE(store.SetAsidePath().isEmpty());
    QFile kept(store.SetAsidePath());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    // The program goes on and can save again.
    store.Save("Varnello", "Settings", "Tile", "1");
    EXPECT_EQ(store.Get("Varnello", "Settings", "Tile", 0), "1");
}

TEST(QtSettingsStore, AnUnwritableLocationFailsTheSaveLoudly) {
    QTemporaryDir dir;
    // A folder that cannot be created, whoever runs the test: its parent is a plain file.
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    WriteBytes(blocker, "x");
    const QString ini = blocker + QStringLiteral("/settings.ini");
    RecordingReporter reporter;
    QtSettingsStore store(reporter, ini);
    EXPECT_EQ(store.Get("Varnello", "Settings", "Aspect", 1), "1");
    EXPECT_THROW(store.Save("Varnello", "Settings", "Aspect", "0"), Error);
}

}  // namespace
}  // namespace tavrino
