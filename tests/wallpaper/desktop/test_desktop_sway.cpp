// sway, headless and software-rendered, with a private runtime folder; a grim screenshot shows
// what swaybg drew. sway refuses to run as root, so under root it runs as the user "nobody".
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <memory>
#include <optional>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopSetter.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrino {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Makes a folder and its file readable for sway's user.
void OpenForAll(const QString& path) {
    ::chmod(QFile::encodeName(path).constData(), 0755);
}

class SwaySession {
public:
    // Empty when sway could not be started; Why() says why.
    SwaySession() {
        if (!folder_.isValid()) {
            why_ = "no temporary folder";
            return;
        }
        OpenForAll(folder_.path());
        runtime_ = folder_.path() + QStringLiteral("/runtime");
        QDir().mkpath(runtime_);
        ::chmod(QFile::encodeName(runtime_).constData(), 0700);
        const QString config = folder_.path() + QStringLiteral("/config");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            why_ = "cannot write the sway configuration";
            return;
        }
        // Two outputs side by side: the picture belongs on each, whole.
        file.write(QStringLiteral("output HEADLESS-1 resolution %1x%2 position 0 0\n"
                                  "output HEADLESS-2 resolution %1x%2 position %1 0\n")
                       .arg(kWidth)
                       .arg(kHeight)
                       .toUtf8());
        file.close();
        ::chmod(QFile::encodeName(config).constData(), 0644);

        const QStringList session{
            QStringLiteral("HOME=") + folder_.path(), QStringLiteral("XDG_RUNTIME_DIR=") + runtime_,
            QStringLiteral("WLR_BACKENDS=headless"),  QStringLiteral("WLR_HEADLESS_OUTPUTS=2"),
            QStringLiteral("WLR_RENDERER=pixman"),    QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"),
            QStringLiteral("PATH=/usr/bin:/bin")};
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || !test::HaveProgram("runuser")) {
                why_ = "running as root without the user nobody or runuser, and sway refuses root";
                return;
            }
            if (::chown(QFile::encodeName(runtime_).constData(), nobody->pw_uid, nobody->pw_gid) !=
                0) {
                why_ = "cannot hand the runtime folder to nobody";
                return;
            }
            process_.start(
                QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                            QStringLiteral("env"), QStringLiteral("-i")} +
                    session + QStringList{QStringLiteral("sway"), QStringLiteral("-c"), config});
        } else {
            process_.start(QStringLiteral("env"),
                           QStringList{QStringLiteral("-i")} + session +
                               QStringList{QStringLiteral("sway"), QStringLiteral("-c"), config});
        }
        const bool up = test::WaitUntil(
            [this] {
                const QStringList sockets =
                    QDir(runtime_).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
                const QStringList displays =
                    QDir(runtime_).entryList({QStringLiteral("wayland-*")}, QDir::System);
                if (sockets.isEmpty() || displays.isEmpty()) {
                    return false;
                }
                socket_ = runtime_ + QLatin1Char('/') + sockets.front();
                for (const QString& name : displays) {
                    if (!name.endsWith(QStringLiteral(".lock"))) {
                        wayland_ = name;
                    }
                }
                return !wayland_.isEmpty();
            },
            15000);
        if (!up) {
            process_.kill();
            process_.waitForFinished(2000);
            why_ =
                "sway did not start: " + process_.readAllStandardError().right(400).toStdString();
            return;
        }
        // sway-ipc.<uid>.<pid>.sock: the compositor's own id, to stop exactly that process.
        const QStringList parts = QFileInfo(socket_).fileName().split(QLatin1Char('.'));
        swayPid_ = parts.size() >= 4 ? parts[2].toLongLong() : 0;
    }

    ~SwaySession() {
        if (swayPid_ > 0) {
            ::kill(static_cast<pid_t>(swayPid_), SIGTERM);
        }
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(5000)) {
            if (swayPid_ > 0) {
                ::kill(static_cast<pid_t>(swayPid_), SIGKILL);
            }
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    [[nodiscard]] const std::string& Why() const { return why_; }
    [[nodiscard]] bool Running() const { return why_.empty(); }
    [[nodiscard]] QString Folder() const { return folder_.path(); }
    [[nodiscard]] std::string Socket() const { return socket_.toStdString(); }

    std::optional<QImage> Screenshot() {
        const QString shot = folder_.path() + QStringLiteral("/shot.ppm");
        QFile::remove(shot);
        Environment environment{{"PATH", "/usr/bin:/bin"},
                                {"XDG_RUNTIME_DIR", runtime_.toStdString()},
                                {"WAYLAND_DISPLAY", wayland_.toStdString()}};
        if (!test::RunForOutput(environment, QStringLiteral("grim"),
                                {QStringLiteral("-t"), QStringLiteral("ppm"), shot})) {
            return std::nullopt;
        }
        QImage image(shot);
        if (image.isNull()) {
            return std::nullopt;
        }
        return image;
    }

private:
    QTemporaryDir folder_;
    QString runtime_;
    QString socket_;
    QString wayland_;
    QProcess process_;
    qint64 swayPid_ = 0;
    std::string why_;
};

class SwayDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"sway", "swaymsg", "swaybg", "grim"}) {
            if (!test::HaveProgram(program)) {
                GTEST_SKIP() << program << " is not installed (packages sway, swaybg, grim)";
            }
        }
        session_ = std::make_unique<SwaySession>();
        if (!session_->Running()) {
            GTEST_SKIP() << session_->Why();
        }
        environment_ = {{"PATH", "/usr/bin:/bin"}, {"SWAYSOCK", session_->Socket()}};
        // A folder name that wordexp would expand if it reached sway unescaped.
        data_ = session_->Folder() + QStringLiteral("/it's a $(touch pwned) `x` ;*");
        QDir().mkpath(data_);
        OpenForAll(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        WriteBitmap(test::QuarteredImage());
    }
    void TearDown() override { session_.reset(); }

    void WriteBitmap(const QImage& image) {
        test::WriteBitmap(bitmap_, image);
        ::chmod(QFile::encodeName(bitmap_).constData(), 0644);
    }

    // Waits until the screen shows every probe (swaybg draws a moment after sway answers).
    ::testing::AssertionResult Shows(const std::vector<std::pair<QPoint, QColor>>& probes) {
        return test::Shows(
            [this] {
                const QImage shot = session_->Screenshot().value_or(QImage());
                return [shot](QPoint p) { return shot.valid(p) ? shot.pixelColor(p) : QColor(); };
            },
            probes);
    }

    std::unique_ptr<SwaySession> session_;
    Environment environment_;
    QString data_;
    QString bitmap_;
};

// The probes of the first output, and the same again on the second.
std::vector<std::pair<QPoint, QColor>> OnBoth(std::vector<std::pair<QPoint, QColor>> probes) {
    const std::size_t count = probes.size();
    for (std::size_t i = 0; i < count; ++i) {
        probes.emplace_back(probes[i].first + QPoint(kWidth, 0), probes[i].second);
    }
    return probes;
}

TEST_F(SwayDesktopTest, TheScreenShowsThePictureInEachPlacementOnEveryOutput) {
    auto setter = MakeDesktopSetter(DesktopKind::Sway, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Tiled));
    EXPECT_TRUE(Shows(OnBoth({{{5, 5}, test::kTopLeft},
                              {{25, 5}, test::kTopRight},
                              {{5, 20}, test::kBottomLeft},
                              {{45, 5}, test::kTopLeft},
                              {{5, 35}, test::kTopLeft},
                              {{315, 235}, test::kBottomRight}})));
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Stretched));
    EXPECT_TRUE(Shows(OnBoth({{{5, 5}, test::kTopLeft},
                              {{315, 5}, test::kTopRight},
                              {{5, 235}, test::kBottomLeft},
                              {{315, 235}, test::kBottomRight},
                              {{100, 80}, test::kTopLeft}})));
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Centred));
    EXPECT_TRUE(Shows(OnBoth({{{145, 110}, test::kTopLeft},
                              {{175, 110}, test::kTopRight},
                              {{145, 130}, test::kBottomLeft},
                              {{175, 130}, test::kBottomRight},
                              {{5, 5}, test::kNotPicture}})));
    EXPECT_FALSE(QFileInfo::exists(data_ + QStringLiteral("/pwned")))
        << "the path was expanded by a shell";
}

TEST_F(SwayDesktopTest, ANewPictureUnderTheSameNameIsShown) {
    auto setter = MakeDesktopSetter(DesktopKind::Sway, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Stretched));
    ASSERT_TRUE(Shows({{{5, 5}, test::kTopLeft}}));
    QImage blue(40, 30, QImage::Format_RGB32);
    blue.fill(test::kBottomLeft);
    WriteBitmap(blue);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Stretched));
    // Away from the edges, where the scaling filter blends with the background.
    EXPECT_TRUE(Shows({{{40, 40}, test::kBottomLeft},
                       {{280, 200}, test::kBottomLeft},
                       {{160, 120}, test::kBottomLeft}}));
}

TEST_F(SwayDesktopTest, AMissingFileIsReportedInsteadOfSwaysSilentSuccess) {
    auto setter = MakeDesktopSetter(DesktopKind::Sway, environment_);
    try {
        setter->SetBackground((data_ + QStringLiteral("/gone.bmp")).toStdString(),
                              Placement::Centred);
        FAIL() << "a missing file was taken as success";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
    }
}

TEST_F(SwayDesktopTest, ALostSessionIsReportedInSwaymsgsWords) {
    environment_["SWAYSOCK"] = session_->Folder().toStdString() + "/no-such.sock";
    auto setter = MakeDesktopSetter(DesktopKind::Sway, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "no sway answered, yet no failure was reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("swaymsg"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace tavrino
