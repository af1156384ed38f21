// Hostile files, settings, sockets and command lines, each against the real program (on a
// private X display) or the real component that meets it first. Hostile pictures are met by
// the composition's table (tests/wallpaper), hostile servers by the HTTP layer's.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "common/VirtualDisplay.h"
#include "library/DisplayList.h"
#include "library/IndexFile.h"
#include "rotation/RotationController.h"
#include "settings/QtSettingsStore.h"

namespace tavrino {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(HostileInputs, AnOverlongPathIsABadLineKeptInTheBackupAndOnlyOurLeftoversGo) {
    TempFolder folder;
    const std::string longest(library::kMaxPathBytes, 'a');
    const std::string file =
        "/p/" + longest + "|True\r\n/p/" + longest.substr(3) + "|True\r\n/q.jpg|0\r\n";
    WriteBytes(folder / "images.idx", file);
    // clang-format off
    const std::pair<std::string, bool> leftovers[] = {
        {"images.idx.0123456789ab.tmp", true}, {"images.idx.bak.00000000ffff.tmp", true},
        {"images.idx.0123456789ab.tmp.keep", false}, {"images.idx.mine.tmp", false},
        {"other.0123456789ab.tmp", false},
    };
    // clang-format on
    for (const auto& [name, ours] : leftovers) {
        WriteBytes(folder / name, "x");
    }
    library::IndexStore store(folder.Path());
    library::DisplayList list;
    const library::IndexReadResult read = store.Load(list);
    EXPECT_EQ(read.badLines, 1U);
    EXPECT_EQ(read.firstBadLine, 1U);
    EXPECT_NE(library::DescribeIndexProblems(read).find("longer than 4096 bytes"),
              std::string::npos);
    for (const auto& [name, ours] : leftovers) {
        EXPECT_EQ(fs::exists(folder / name), !ours) << name;
    }
    ASSERT_EQ(list.Count(), 2U);
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / "images.idx.bak"), file);
}

TEST(HostileInputs, ALongPathIsCutToItsLabel) {
    QLabel label;
    label.setWordWrap(true);
    label.resize(273, 33);  // lblUpNext's box
    const QString home = QStringLiteral("/home/me/");
    // clang-format off
    const std::pair<QString, bool> rows[] = {
        {home + QStringLiteral("beach.jpg"), false},
        {home + QString(4000, QLatin1Char('x')) + QStringLiteral("/beach.jpg"), true},
        {home + QStringLiteral("deep folder ").repeated(60) + QStringLiteral("beach.jpg"), true},
    };
    // clang-format on
    for (const auto& [path, cut] : rows) {
        const QString shown = FitToLabel(label, path);
        EXPECT_EQ(shown != path, cut) << path.size();
        const QSize box = label.contentsRect().size();
        const QRect needed =
            label.fontMetrics().boundingRect(QRect({}, box), Qt::TextWordWrap, shown);
        EXPECT_EQ(box.expandedTo(needed.size()), box) << "drawn within the label";
        EXPECT_TRUE(shown.endsWith(".jpg")) << path.size();
    }
}

TEST(HostileInputs, ASettingsFileWithUnreadableLinesIsKeptBeforeTheFirstWrite) {
    // clang-format off
    const std::tuple<const char*, QByteArray, const char*, const char*> rows[] = {  // name, file, Random, report
        {"sound", "[Varnello]\nSettings\\Random=1\n", "1", ""},
        {"stray line", "[Varnello]\nSettings\\Random=1\nstray line\n", "1", "values that could be read are used"},
        {"unclosed section", "[Varnello]\nSettings\\Random=1\n[unclosed\nx=1\n", "1", "values that could be read are used"},
        {"binary", QByteArray("\0\x01\xff[Varnello]", 12), "0", "the default settings are used"},
    };
    // clang-format on
    for (const auto& [name, file, random, message] : rows) {
        SCOPED_TRACE(name);
        TempFolder folder;
        WriteBytes(folder / "settings.ini", file.toStdString());
        RecordingReporter reporter;
        QtSettingsStore store(reporter, QString::fromStdString((folder / "settings.ini").string()));
        EXPECT_EQ(store.Get("Varnello", "Settings", "Random", 0), random);
        ASSERT_EQ(reporter.reports.size(), *message ? 1U : 0U);
        store.Save("Varnello", "Settings", "Tile", "1");
        ASSERT_EQ(store.SetAsidePath().isEmpty(), !*message);
        if (*message) {
            EXPECT_NE(reporter.reports[0].description.find(message), std::string::npos);
            EXPECT_EQ(ReadBytes(store.SetAsidePath().toStdString()), file.toStdString());
            EXPECT_TRUE(store.SetAsidePath().contains("settings.ini.damaged-"));
        }
    }
}

// The real program on a private display, and launches of it with "--next" or "--show".
class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning()) {
            GTEST_SKIP() << "Xvfb could not be started";
        }
        env_.insert(QStringLiteral("DISPLAY"), display_.Name());
        home_.WriteSettings({"AutoUpdate=0", "Minimize=0"});
        program_.setProcessEnvironment(env_);
        program_.setProcessChannelMode(QProcess::MergedChannels);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        picture.save(home_.AppData() + "/a.jpg");
    }
    void TearDown() override {
        program_.kill();
        program_.waitForFinished(3000);
    }
    // Starts the program with a display list of a small picture and second, waits for its window.
    void Start(const QString& second) {
        Write("images.idx", (home_.AppData() + "/a.jpg|True\r\n" + second + "|True\r\n").toUtf8());
        program_.start(qEnvironmentVariable("TAVRINO_EXE"), {});
        ASSERT_TRUE(WaitUntil(
            [this] {
                return program_.state() == QProcess::NotRunning || Command("--show").first == 0;
            },
            20000));
        ASSERT_EQ(program_.state(), QProcess::Running) << "the main window never came";
    }
    void Write(const QString& name, const QByteArray& bytes) const {
        WriteBytes((home_.AppData() + "/" + name).toStdString(), bytes.toStdString());
    }
    std::unique_ptr<QProcess> Launch(const char* option) const {
        auto run = std::make_unique<QProcess>();
        run->setProcessEnvironment(env_);
        run->setProcessChannelMode(QProcess::MergedChannels);
        run->start(qEnvironmentVariable("TAVRINO_EXE"), {QString::fromLatin1(option)});
        return run;
    }
    // Exit code and everything printed by one launch with option.
    std::pair<int, QString> Command(const char* option) const {
        const auto run = Launch(option);
        run->waitForFinished(150000);
        return {run->exitCode(), QString::fromLocal8Bit(run->readAll())};
    }

    PrivateHome home_;
    VirtualDisplay display_;
    QProcessEnvironment env_ = home_.Environment();
    QProcess program_;
};

TEST_F(RunningProgram, SomethingElseAtTheSocketPathStartsTheProgramWithoutTheChannel) {
    ASSERT_TRUE(QDir().mkpath(home_.RuntimeDir() + "/tavrino-wallpaper-manager.socket"));
    program_.start(qEnvironmentVariable("TAVRINO_EXE"), {});
    EXPECT_TRUE(WaitUntil(
        [this] { return display_.CountVisibleWindows("^Tavrino Wallpaper Manager$") > 0; }, 20000));
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_TRUE(QString::fromLocal8Bit(program_.readAll()).contains("without its command channel"));
    for (const char* option : {"--next", "--show"}) {
        const auto [code, said] = Command(option);
        EXPECT_EQ(code, 1) << option;
        EXPECT_TRUE(said.contains("is not the program's command socket")) << said.toStdString();
    }
}

TEST_F(RunningProgram, NextSaysWhatHappenedToEveryOneOfABurst) {
    // The second picture's header claims 65000 x 65000 pixels.
    QByteArray huge =
        QByteArray::fromStdString(ReadBytes((home_.AppData() + "/a.jpg").toStdString()));
    huge.replace(huge.indexOf("\xff\xc0") + 5, 4, QByteArray("\xfd\xe8\xfd\xe8", 4));
    Write("huge.jpg", huge);
    Start(home_.AppData() + QStringLiteral("/huge.jpg"));
    const auto [code, said] = Command("--next");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(said.contains("not changed") && said.contains("65000 x 65000"))
        << said.toStdString();
    EXPECT_EQ(Command("--next"), std::make_pair(0, QStringLiteral("The wallpaper was changed.\n")));
    std::vector<std::unique_ptr<QProcess>> burst;
    for (int i = 0; i < 50; ++i) {
        burst.push_back(Launch("--next"));
    }
    int changed = 0;
    for (auto& run : burst) {
        ASSERT_TRUE(run->waitForFinished(150000));
        const QString out = QString::fromLocal8Bit(run->readAll());
        changed += run->exitCode() == 0 ? 1 : 0;
        EXPECT_TRUE(out == "The wallpaper was changed.\n" || out.contains("65000 x 65000"))
            << out.toStdString();
    }
    EXPECT_EQ(changed, 25);  // the two pictures take turns
}

TEST_F(RunningProgram, NextSaysTheCopyIsBusyWhileAMessageBoxWaits) {
    Start(home_.AppData() + QStringLiteral("/gone.jpg"));  // changing to it opens the stop box
    const auto first = Launch("--next");
    ASSERT_TRUE(WaitUntil(
        [this] { return display_.CountVisibleWindows("^TavrinoWallpaperManager$") > 0; }));
    const auto [code, said] = Command("--next");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(said.contains("busy") && said.contains("message box")) << said.toStdString();
    static_cast<void>(
        display_.Run("xdotool", {"search", "--onlyvisible", "--name", "^TavrinoWallpaperManager$",
                                 "windowfocus", "key", "Return"}));
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(first->readAll()).contains("could not be located"));
}

}  // namespace
}  // namespace tavrino
