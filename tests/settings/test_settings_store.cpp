// The real settings store: values survive, names match in any case, an unwritable file throws.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "settings/QtSettingsStore.h"

namespace tavrino {
namespace {

TEST(QtSettingsStore, ValuesSurviveANewInstanceNamesIgnoreCaseAndAFailedSaveIsLoud) {
    test::TempFolder dir;
    const QString ini = QString::fromStdString((dir / "settings.ini").string());
    test::RecordingReporter reporter;
    QtSettingsStore(reporter, ini).Save("Varnello", "Settings", "AutoStart", "0");
    QtSettingsStore again(reporter, ini);
    EXPECT_EQ(again.Get("VARNELLO", "settings", "AUTOSTART", 1), "0");
    EXPECT_EQ(again.Get("Varnello", "Settings", "RotateMinutes", 5), "5");
    again.Save("varnello", "SETTINGS", "autostart", "1");  // replaces, adds no second key
    EXPECT_EQ(QtSettingsStore(reporter, ini).Get("Varnello", "Settings", "AutoStart", 0), "1");
    EXPECT_TRUE(reporter.reports.empty());
    test::WriteBytes(dir / "not-a-folder", "x");  // a folder that cannot be created, by anyone
    QtSettingsStore store(reporter,
                          QString::fromStdString((dir / "not-a-folder" / "settings.ini").string()));
    EXPECT_EQ(store.Get("Varnello", "Settings", "Aspect", 1), "1");
    EXPECT_THROW(store.Save("Varnello", "Settings", "Aspect", "0"), Error);
}

}  // namespace
}  // namespace tavrino
