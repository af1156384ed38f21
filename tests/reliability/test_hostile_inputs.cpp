// Hostile files, settings, sockets and command lines, each against the real program
// (on a private X display) or the real component that meets it first. Hostile servers are met
// by the HTTP layer's own table (tests/support/online).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "common/VirtualDisplay.h"
#include "library/DisplayList.h"
#include "library/IndexFile.h"
#include "rotation/RotationController.h"
#include "settings/QtSettingsStore.h"
#include "wallpaper/decode/ImageDecoding.h"

namespace tavrino {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A 24-bit BMP of one column, rows given top first; stored top-down (negative height) or
// bottom-up as usual.
QByteArray Bmp(const std::vector<QRgb>& rows, bool topDown) {
    const auto le = [](QByteArray& b, qint64 v, int n) {
        for (int i = 0; i < n; ++i) {
            b += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    const int h = static_cast<int>(rows.size());
    QByteArray b("BM");
    le(b, 54 + 4 * h, 4), le(b, 0, 4), le(b, 54, 4), le(b, 40, 4), le(b, 1, 4);
    le(b, topDown ? -h : h, 4), le(b, 1, 2), le(b, 24, 2);
    for (int i = 0; i < 6; ++i) {
        le(b, 0, 4);
    }
    for (int i = 0; i < h; ++i) {
        const QRgb c = rows[static_cast<std::size_t>(topDown ? i : h - 1 - i)];
        le(b, qBlue(c), 1), le(b, qGreen(c), 1), le(b, qRed(c), 1), le(b, 0, 1);
    }
    return b;
}

TEST(HostileInputs, ATopDownBmpDecodesUpright) {
    const std::vector<QRgb> rows{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (const bool topDown : {false, true}) {
        QBuffer buffer;
        buffer.setData(Bmp(rows, topDown));
        buffer.open(QIODevice::ReadOnly);
        const DecodedPicture picture = DecodePicture(buffer, [](QSize natural) { return natural; });
        ASSERT_EQ(picture.natural, QSize(1, 3)) << topDown;
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(picture.image.pixel(0, y) & 0xFFFFFFU,
                      rows[static_cast<std::size_t>(y)] & 0xFFFFFFU)
                << topDown << " row " << y;
        }
    }
}

TEST(HostileInputs, AnOverlongPathIsABadLineKeptInTheBackup) {
    TempFolder folder;
    const std::string longest(library::kMaxPathBytes, 'a');
    const std::string file =
        "/p/" + longest + "|True\r\n/p/" + longest.substr(3) + "|True\r\n/q.jpg|0\r\n";
    WriteBytes(folder / "images.idx", file);
    library::IndexStore store(folder.Path());
    library::DisplayList list;
    const library::IndexReadResult read = store.Load(list);
    EXPECT_EQ(read.badLines, 1U);
    EXPECT_EQ(read.firstBadLine, 1U);
    EXPECT_NE(library::DescribeIndexProblems(read).find("longer than 4096 bytes"),
              std::string::npos);
    ASSERT_EQ(list.Count(), 2U);
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / "images.idx.bak"), file);
}

TEST(HostileInputs, ALongPathIsCutToItsLabelWithTheWholePathAsToolTip) {
    QLabel label;
    label.setWordWrap(true);
    label.resize(273, 33);  // lblUpNext's box
    // clang-format off
    const std::vector<std::pair<QString, bool>> rows{
        {QStringLiteral("/home/me/Pictures/beach.jpg"), false},
        {QStringLiteral("/home/me/") + QString(4000, QLatin1Char('x')) + QStringLiteral("/beach.jpg"), true},
        {QStringLiteral("/home/me/") + QStringLiteral("deep folder ").repeated(60) + QStringLiteral("beach.jpg"), true},
    };
    // clang-format on
    const QFontMetrics metrics(label.font());
    for (const auto& [path, cut] : rows) {
        const QString shown = FitToLabel(label, path);
        EXPECT_EQ(shown != path, cut) << path.size();
        const QRect needed = metrics.boundingRect(label.contentsRect(), Qt::TextWordWrap, shown);
        EXPECT_LE(needed.height(), label.contentsRect().height()) << path.size();
        EXPECT_LE(needed.width(), label.contentsRect().width()) << path.size();
        EXPECT_TRUE(shown.endsWith(QStringLiteral(".jpg"))) << path.size();
    }
}

struct SettingsCase {
    const char* name;
    QByteArray file;
    const char* random;   // what Get gives for Random afterwards
    const char* message;  // in the report, or "" for none
    bool keptAside;
};

TEST(HostileInputs, ASettingsFileWithUnreadableLinesIsKeptBeforeTheFirstWrite) {
    // clang-format off
    const std::vector<SettingsCase> rows{
        {"sound", "[Varnello]\nSettings\\Random=1\n", "1", "", false},
        {"stray line", "[Varnello]\nSettings\\Random=1\nstray line\n", "1", "values that could be read are used", true},
        {"unclosed section", "[Varnello]\nSettings\\Random=1\n[unclosed\nx=1\n", "1", "values that could be read are used", true},
        {"binary", QByteArray("\0\x01\xff[Varnello]", 12), "0", "the default settings are used", true},
    };
    // clang-format on
    for (const SettingsCase& c : rows) {
        TempFolder folder;
        const fs::path ini = folder / "settings.ini";
        WriteBytes(ini, c.file.toStdString());
        RecordingReporter reporter;
        QtSettingsStore store(reporter, QString::fromStdString(ini.string()));
        EXPECT_EQ(store.Get("Varnello", "Settings", "Random", 0), c.random) << c.name;
        ASSERT_EQ(reporter.reports.size(), *c.message ? 1U : 0U) << c.name;
        if (*c.message) {
            EXPECT_NE(reporter.reports[0].description.find(c.message), std::string::npos) << c.name;
        }
        store.Save("Varnello", "Settings", "Tile", "1");
        ASSERT_EQ(store.SetAsidePath().isEmpty(), !c.keptAside) << c.name;
        if (c.keptAside) {
            EXPECT_EQ(ReadBytes(store.SetAsidePath().toStdString()), c.file.toStdString())
                << c.name;
            EXPECT_NE(store.SetAsidePath().indexOf(QStringLiteral("settings.ini.damaged-")), -1);
        }
    }
}

TEST(HostileInputs, OnlyOurOwnLeftoverTemporaryFilesAreRemovedAtLoad) {
    TempFolder folder;
    // clang-format off
    const std::vector<std::pair<std::string, bool>> rows{
        {"images.idx.0123456789ab.tmp", true},
        {"images.idx.bak.00000000ffff.tmp", true},
        {"images.idx.0123456789ab.tmp.keep", false},
        {"images.idx.mine.tmp", false},
        {"other.0123456789ab.tmp", false},
    };
    // clang-format on
    for (const auto& [name, ours] : rows) {
        WriteBytes(folder / name, "x");
    }
    library::IndexStore store(folder.Path());
    library::DisplayList list;
    store.Load(list);
    for (const auto& [name, ours] : rows) {
        EXPECT_EQ(fs::exists(folder / name), !ours) << name;
    }
}

// The real program on a private display, and launches of it with "--next" or "--show".
class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning()) {
            GTEST_SKIP() << "Xvfb could not be started";
        }
        env_ = home_.Environment();
        env_.insert(QStringLiteral("DISPLAY"), display_.Name());
        home_.WriteSettings({QStringLiteral("AutoUpdate=0"), QStringLiteral("Minimize=0")});
    }
    void TearDown() override {
        program_.kill();
        program_.waitForFinished(3000);
    }
    void Start() {
        program_.setProcessEnvironment(env_);
        program_.start(qEnvironmentVariable("TAVRINO_EXE"), {});
        ASSERT_TRUE(WaitUntil(
            [this] {
                return program_.state() == QProcess::NotRunning ||
                       Command(QStringLiteral("--show")).first == 0;
            },
            20000))
            << "the main window never came";
        ASSERT_EQ(program_.state(), QProcess::Running);
    }
    // A picture in the data folder, whole or with its size patched to 65000 x 65000.
    QString Picture(const QString& name, bool huge) const {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        if (huge) {
            const qsizetype sof = bytes.indexOf(QByteArray("\xff\xc0", 2));
            bytes.replace(sof + 5, 4, QByteArray("\xfd\xe8\xfd\xe8", 4));
        }
        const QString path = home_.AppData() + QLatin1Char('/') + name;
        WriteBytes(path.toStdString(), bytes.toStdString());
        return path;
    }
    void WriteList(const QStringList& paths) const {
        std::string text;
        for (const QString& path : paths) {
            text += path.toStdString() + "|True\r\n";
        }
        WriteBytes((home_.AppData() + QStringLiteral("/images.idx")).toStdString(), text);
    }
    // Exit code and everything printed by one launch with option.
    std::pair<int, QString> Command(const QString& option) const {
        QProcess run;
        run.setProcessEnvironment(env_);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(qEnvironmentVariable("TAVRINO_EXE"), {option});
        if (!run.waitForFinished(150000)) {
            run.kill();
            run.waitForFinished();
            return {-1, QStringLiteral("(no end)")};
        }
        return {run.exitCode(), QString::fromLocal8Bit(run.readAll())};
    }

    PrivateHome home_;
    VirtualDisplay display_;
    QProcessEnvironment env_;
    QProcess program_;
};

TEST_F(RunningProgram, SomethingElseAtTheSocketPathStartsTheProgramWithoutTheChannel) {
    ASSERT_TRUE(
        QDir().mkpath(home_.RuntimeDir() + QStringLiteral("/tavrino-wallpaper-manager.socket")));
    program_.setProcessEnvironment(env_);
    program_.setProcessChannelMode(QProcess::MergedChannels);
    program_.start(qEnvironmentVariable("TAVRINO_EXE"), {});
    EXPECT_TRUE(WaitUntil(
        [this] {
            return display_.CountVisibleWindows(QStringLiteral("^Tavrino Wallpaper Manager$")) > 0;
        },
        20000));
    EXPECT_EQ(program_.state(), QProcess::Running);
    EXPECT_TRUE(QString::fromLocal8Bit(program_.readAll())
                    .contains(QStringLiteral("runs without its command channel")));
    for (const QString& option : {QStringLiteral("--next"), QStringLiteral("--show")}) {
        const auto [code, said] = Command(option);
        EXPECT_EQ(code, 1) << option.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("is not the program's command socket")))
            << said.toStdString();
    }
}

TEST_F(RunningProgram, NextSaysWhatHappenedToEveryOneOfABurst) {
    // Sequential order: the first picture is shown at start, the huge one is announced next.
    WriteList({Picture(QStringLiteral("a.jpg"), false), Picture(QStringLiteral("huge.jpg"), true)});
    // Stale leftovers of cut-off saves go at start.
    WriteBytes((home_.AppData() + QStringLiteral("/images.idx.0123456789ab.tmp")).toStdString(),
               "x");
    Start();
    EXPECT_FALSE(
        QFileInfo::exists(home_.AppData() + QStringLiteral("/images.idx.0123456789ab.tmp")));
    const auto [code, said] = Command(QStringLiteral("--next"));
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("not changed")) &&
                said.contains(QStringLiteral("65000 x 65000")))
        << said.toStdString();
    EXPECT_EQ(Command(QStringLiteral("--next")),
              std::make_pair(0, QStringLiteral("The wallpaper was changed.\n")));

    std::vector<std::unique_ptr<QProcess>> burst;
    for (int i = 0; i < 50; ++i) {
        burst.push_back(std::make_unique<QProcess>());
        burst.back()->setProcessEnvironment(env_);
        burst.back()->setProcessChannelMode(QProcess::MergedChannels);
        burst.back()->start(qEnvironmentVariable("TAVRINO_EXE"), {QStringLiteral("--next")});
    }
    int changed = 0;
    for (auto& run : burst) {
        ASSERT_TRUE(run->waitForFinished(150000));
        const QString out = QString::fromLocal8Bit(run->readAll());
        changed += run->exitCode() == 0 ? 1 : 0;
        EXPECT_TRUE(out == QStringLiteral("The wallpaper was changed.\n") ||
                    out.contains(QStringLiteral("65000 x 65000")))
            << out.toStdString();
    }
    EXPECT_EQ(changed, 25);  // the two pictures take turns
}

TEST_F(RunningProgram, NextSaysTheCopyIsBusyWhileAMessageBoxWaits) {
    // The announced picture is gone: changing to it opens the stop box.
    WriteList(
        {Picture(QStringLiteral("a.jpg"), false), home_.AppData() + QStringLiteral("/gone.jpg")});
    Start();
    QProcess first;
    first.setProcessEnvironment(env_);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(qEnvironmentVariable("TAVRINO_EXE"), {QStringLiteral("--next")});
    ASSERT_TRUE(WaitUntil([this] {
        return display_.CountVisibleWindows(QStringLiteral("^TavrinoWallpaperManager$")) > 0;
    }));
    const auto [code, said] = Command(QStringLiteral("--next"));
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("busy")) &&
                said.contains(QStringLiteral("message box")))
        << said.toStdString();
    static_cast<void>(display_.Run(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         QStringLiteral("^TavrinoWallpaperManager$"), QStringLiteral("windowfocus"),
         QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromLocal8Bit(first.readAll()).contains(QStringLiteral("could not be located")));
}

}  // namespace
}  // namespace tavrino
