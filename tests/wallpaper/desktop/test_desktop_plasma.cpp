// KDE Plasma's own shell on a private X server, bus and home: kded5 with its StatusNotifierWatcher,
// then plasmashell. The program's icon in the panel takes real clicks, each placement is read back
// from the screen and from the shell's configuration, and a refusal comes back in Plasma's words.
// Without Plasma a stand-in shell only receives the scripts, and the tests say they were skipped.
#include <gtest/gtest.h>

#include <QDBusContext>
#include <QRegularExpression>

#include "common/VirtualDisplay.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"

namespace tavrino {
namespace {

using test::WaitUntil;

constexpr const char* kNoPlasma =
    "Plasma is not installed (packages plasma-workspace, plasma-desktop, xdotool, imagemagick)";

// Takes org.kde.plasmashell on a bus and records the scripts, answering with the refusal if one
// is given. It serves from a thread of its own: the setter's call blocks the test's thread.
class StandInShell : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

public:
    StandInShell(const std::string& address, QString refusal) : refusal_(std::move(refusal)) {
        moveToThread(&thread_);
        thread_.start();
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), kName);
        registered = bus.registerObject(QStringLiteral("/PlasmaShell"), this,
                                        QDBusConnection::ExportAllSlots) &&
                     bus.registerService(QStringLiteral("org.kde.plasmashell"));
    }
    ~StandInShell() override {
        QDBusConnection::disconnectFromBus(kName);
        Stop();
    }
    // The scripts received; the stand-in answers no more.
    QStringList Stop() {
        thread_.quit();
        thread_.wait();
        return scripts_;
    }

    bool registered = false;

public Q_SLOTS:
    QString evaluateScript(const QString& script) {
        scripts_.append(script);
        if (!refusal_.isEmpty()) {
            sendErrorReply(QDBusError::Failed, refusal_);
        }
        return {};
    }

private:
    static inline const QString kName = QStringLiteral("plasma-stand-in");
    QThread thread_;
    QString refusal_;
    QStringList scripts_;
};

// kded5 with its StatusNotifierWatcher and plasmashell, started once for all the tests.
class PlasmaSession {
public:
    PlasmaSession() : env(home.Environment()) {
        env.insert(QStringLiteral("DISPLAY"), display.Name());
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        Environment busEnvironment;
        for (const QString& key : env.keys()) {
            busEnvironment[key.toStdString()] = env.value(key).toStdString();
        }
        bus = std::make_unique<test::PrivateBus>(busEnvironment);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QString::fromStdString(bus->Address()));
        Start(kded_, QStringLiteral("kded5"));
        WaitUntil([this] { return Registered(QStringLiteral("org.kde.kded5")); }, 20000);
        Bus().call(QDBusMessage::createMethodCall(
                       QStringLiteral("org.kde.kded5"), QStringLiteral("/kded"),
                       QStringLiteral("org.kde.kded5"), QStringLiteral("loadModule"))
                   << QStringLiteral("statusnotifierwatcher"));
    }
    ~PlasmaSession() {
        test::StopProcess(shell_);
        test::StopProcess(kded_);
        QDBusConnection::disconnectFromBus(QStringLiteral("plasma-session"));
    }
    PlasmaSession(const PlasmaSession&) = delete;
    PlasmaSession& operator=(const PlasmaSession&) = delete;

    // Starts plasmashell afresh unless it runs with scripting forbidden by the administrator
    // exactly when locked; true once a tray in its panel is up.
    bool Shell(bool locked) {
        if (shell_.state() == QProcess::Running && locked == locked_) {
            return true;
        }
        test::StopProcess(shell_);
        QFile kdeglobals(home.ConfigHome() + QStringLiteral("/kdeglobals"));
        kdeglobals.open(QIODevice::WriteOnly);
        kdeglobals.write(locked ? "[KDE Action Restrictions][$i]\n"
                                  "plasma-desktop/scripting_console=false\n"
                                : "");
        kdeglobals.close();
        locked_ = locked;
        Start(shell_, QStringLiteral("plasmashell"));
        return WaitUntil(
            [this] { return Registered(QStringLiteral("org.kde.StatusNotifierHost-")); }, 30000);
    }

    [[nodiscard]] QImage Screenshot() const {
        const QString file = home.Path(QStringLiteral("root.png"));
        QFile::remove(file);
        static_cast<void>(display.Run(QStringLiteral("import"),
                                      {QStringLiteral("-window"), QStringLiteral("root"), file}));
        return QImage(file);
    }

    // Waits until every desktop holds the file and the placement in the shell's configuration.
    [[nodiscard]] ::testing::AssertionResult Stores(const QString& file,
                                                    Placement placement) const {
        const QString expected = QStringLiteral("FillMode=%1\nImage=%2\n")
                                     .arg(PlasmaFillMode(placement))
                                     .arg(QString::fromStdString(FileUri(file.toStdString())));
        static const QRegularExpression group(
            QStringLiteral(R"(\[Wallpaper\]\[org\.kde\.image\]\[General\]\n((?:[^[\n].*\n)*))"));
        QStringList stored;
        WaitUntil(
            [&] {
                QFile config(home.ConfigHome() +
                             QStringLiteral("/plasma-org.kde.plasma.desktop-appletsrc"));
                config.open(QIODevice::ReadOnly);
                const QString text = QString::fromUtf8(config.readAll());
                stored.clear();
                for (auto it = group.globalMatch(text); it.hasNext();) {
                    stored.append(it.next().captured(1));
                }
                return stored == QStringList{expected};
            },
            5000);
        return stored == QStringList{expected}
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << stored.join('\n').toStdString();
    }

    test::PrivateHome home;
    test::VirtualDisplay display;
    QProcessEnvironment env;
    std::unique_ptr<test::PrivateBus> bus;  // stops the shell's helpers too

private:
    [[nodiscard]] QDBusConnection Bus() const {
        return QDBusConnection::connectToBus(QString::fromStdString(bus->Address()),
                                             QStringLiteral("plasma-session"));
    }
    [[nodiscard]] bool Registered(const QString& prefix) const {
        const QStringList names = Bus().interface()->registeredServiceNames().value();
        return std::ranges::any_of(names, [&](const QString& n) { return n.startsWith(prefix); });
    }
    void Start(QProcess& process, const QString& program) {
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(home.Path(program + QStringLiteral(".log")));
        process.start(program, {});
        process.waitForStarted(10000);
    }

    QProcess kded_;
    QProcess shell_;
    bool locked_ = false;
};

class PlasmaDesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* program :
             {"plasmashell", "kded5", "Xvfb", "dbus-daemon", "xdotool", "import"}) {
            if (!test::HaveProgram(program)) {
                return;
            }
        }
        session_ = std::make_unique<PlasmaSession>();
    }
    static void TearDownTestSuite() { session_.reset(); }

    void SetUp() override {
        if (!test::HaveProgram("dbus-daemon")) {
            GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
        }
        // Quotes, a backslash and a line separator that must not reach the script raw.
        data_ = tmp_.path() + QStringLiteral("/it's \"Plasma\" \\ ") + QChar(0x2028);
        QDir().mkpath(data_);
        bitmap_ = (data_ + QStringLiteral("/TavrinoWallpaperManager.bmp")).toStdString();
        test::WriteBitmap(QString::fromStdString(bitmap_), test::QuarteredImage());
    }

    // A setter for the real shell (its scripting forbidden when locked) or, without Plasma, for
    // a stand-in that answers with the refusal.
    std::unique_ptr<DesktopSetter> Setter(bool locked, const QString& refusal = {}) {
        std::string address;
        if (session_) {
            EXPECT_TRUE(session_->Shell(locked)) << "plasmashell did not come up";
            address = session_->bus->Address();
        } else {
            bus_ = std::make_unique<test::PrivateBus>(test::PrivateEnvironment(tmp_.path()));
            standIn_ = std::make_unique<StandInShell>(bus_->Address(), refusal);
            EXPECT_TRUE(standIn_->registered) << "the stand-in could not take its name";
            address = bus_->Address();
        }
        return MakeDesktopSetter(DesktopKind::Plasma, {{"DBUS_SESSION_BUS_ADDRESS", address}});
    }

    static ::testing::AssertionResult Shows(const std::vector<std::pair<QPoint, QColor>>& probes) {
        return test::Shows(
            [] {
                const QImage shot = session_->Screenshot();
                return [shot](QPoint p) { return shot.valid(p) ? shot.pixelColor(p) : QColor(); };
            },
            probes);
    }

    static inline std::unique_ptr<PlasmaSession> session_;
    QTemporaryDir tmp_;
    QString data_;
    std::string bitmap_;
    std::unique_ptr<test::PrivateBus> bus_;
    std::unique_ptr<StandInShell> standIn_;
};

// Where plasmashell has put its panel up, empty until it has.
QRect Panel(const PlasmaSession& session) {
    static const QRegularExpression window(
        QStringLiteral(R"(Position: (\d+),(\d+).*\n.*Geometry: (\d+)x(\d+))"));
    const QString out = session.display.Run(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
         QStringLiteral("plasmashell"), QStringLiteral("getwindowgeometry"), QStringLiteral("%@")});
    for (auto it = window.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QRect rect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         m.captured(4).toInt());
        if (rect.width() > 4 * rect.height()) {
            return rect;
        }
    }
    return {};
}

// The middle of the leftmost run of changed columns: the icon that came into the tray.
std::optional<int> NewIconX(const QImage& before, const QImage& after) {
    int first = -1;
    int last = -1;
    for (int x = 0;
         before.size() == after.size() && x < after.width() && (first < 0 || x - last <= 6); ++x) {
        for (int y = 0; y < after.height(); ++y) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
    }
    return first < 0 ? std::nullopt : std::optional<int>((first + last) / 2);
}

TEST_F(PlasmaDesktopTest, ALogOnStartPutsTheBoxOnTheDesktopAndTheIconsDoubleClickBringsItBack) {
    if (!session_) {
        GTEST_SKIP() << kNoPlasma;
    }
    ASSERT_TRUE(session_->Shell(false));
    const test::PrivateHome& home = session_->home;
    const QString picture = home.AppData() + QStringLiteral("/four.bmp");
    test::WriteBitmap(picture, test::QuarteredImage());
    QFile list(home.AppData() + QStringLiteral("/images.idx"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write((picture + QStringLiteral("|True\r\n")).toUtf8());
    list.close();
    home.WriteSettings({QStringLiteral("AutoUpdate=0"), QStringLiteral("Aspect=1"),
                        QStringLiteral("Minimize=1"), QStringLiteral("Stretch=1"),
                        QStringLiteral("Tile=0")});
    QRect panel;
    QImage before;  // the panel once it is up and stands still
    ASSERT_TRUE(WaitUntil(
        [&] {
            panel = Panel(*session_);
            const QImage now = session_->Screenshot().copy(panel);
            const bool settled = !panel.isEmpty() && now == before;
            before = now;
            return settled;
        },
        60000))
        << "the panel did not come up";
    QProcess program;
    QProcessEnvironment env = session_->env;
    env.insert(QStringLiteral("TAVRINO_DESKTOP"), QStringLiteral("plasma"));
    program.setProcessEnvironment(env);
    program.start(qEnvironmentVariable("TAVRINO_EXE"), {QStringLiteral("/startup")});
    // An 80 x 60 picture in a 4:3 box on the 1280 x 800 screen: black beside the box.
    // clang-format off
    EXPECT_TRUE(Shows({{{40, 400}, Qt::black}, {{1240, 400}, Qt::black}, {{400, 200}, test::kTopLeft},
                       {{880, 200}, test::kTopRight}, {{400, 600}, test::kBottomLeft}, {{880, 600}, test::kBottomRight}}));
    // clang-format on
    EXPECT_TRUE(session_->Stores(test::FreshWallpaperFile(home.AppData()), Placement::Centred));

    std::optional<int> icon;
    ASSERT_TRUE(WaitUntil(
        [&] { return NewIconX(before, session_->Screenshot().copy(panel)).has_value(); }, 30000))
        << "no icon came into the panel";
    QThread::msleep(1000);  // the tray lays its icons out afresh
    icon = NewIconX(before, session_->Screenshot().copy(panel));
    const auto click = [&](const char* times) {
        static_cast<void>(session_->display.Run(
            QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(panel.x() + icon.value_or(0)),
             QString::number(panel.center().y()), QStringLiteral("click"),
             QStringLiteral("--repeat"), QString::fromLatin1(times), QStringLiteral("--delay"),
             QStringLiteral("80"), QStringLiteral("1")}));
    };
    const auto shown = [&] {
        return session_->display.CountVisibleWindows(QStringLiteral("^Tavrino Wallpaper Manager$"));
    };
    EXPECT_EQ(shown(), 0) << "the log-on start must hide the window";
    click("1");
    QThread::msleep(800);
    EXPECT_EQ(shown(), 0) << "a single click must leave the window hidden";
    click("2");
    EXPECT_TRUE(WaitUntil([&] { return shown() == 1; }, 5000)) << "a double click must restore it";
    program.kill();
    program.waitForFinished(5000);
}

TEST_F(PlasmaDesktopTest, EachPlacementIsOnTheScreenAndInTheShellsConfiguration) {
    struct PlacementCase {
        Placement placement;
        std::vector<std::pair<QPoint, QColor>> probes;  // 40 x 30 picture, 1280 x 800 screen
    };
    const QColor tl = test::kTopLeft, tr = test::kTopRight, bl = test::kBottomLeft,
                 br = test::kBottomRight;
    // clang-format off
    const std::vector<PlacementCase> cases{
        {Placement::Tiled,     {{{625, 390}, tl}, {{655, 390}, tr}, {{625, 410}, bl}, {{585, 390}, tl}, {{625, 360}, tl}, {{5, 5}, tr}}},
        {Placement::Stretched, {{{5, 5}, tl}, {{1275, 5}, tr}, {{5, 700}, bl}, {{1275, 700}, br}, {{600, 380}, tl}}},
        {Placement::Centred,   {{{625, 390}, tl}, {{655, 390}, tr}, {{625, 410}, bl}, {{655, 410}, br}, {{5, 5}, Qt::black}}},
    };
    // clang-format on
    auto setter = Setter(false);
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(PlacementName(c.placement));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_, c.placement));
        if (session_) {
            EXPECT_TRUE(Shows(c.probes));
            EXPECT_TRUE(session_->Stores(test::FreshWallpaperFile(data_), c.placement));
        }
    }
    if (!session_) {
        const QStringList scripts = standIn_->Stop();
        ASSERT_EQ(scripts.size(), 3);
        for (qsizetype i = 0; i < scripts.size(); ++i) {
            const int mode = PlasmaFillMode(cases[static_cast<std::size_t>(i)].placement);
            EXPECT_TRUE(scripts[i].contains(QStringLiteral("var fillMode = %1;").arg(mode)));
        }
        GTEST_SKIP() << kNoPlasma << "; only the scripts a stand-in received were checked";
    }
}

TEST_F(PlasmaDesktopTest, ARefusalIsReportedInPlasmasWords) {
    // The administrator forbids the shell's scripting; the stand-in refuses as a locked shell does.
    const QString words = session_
                              ? QStringLiteral("Administrative policies prevent script execution")
                              : QStringLiteral("Widgets are locked");
    auto setter = Setter(true, words);
    const std::string failure = test::FailureOf(*setter, bitmap_, Placement::Centred);
    EXPECT_NE(failure.find(words.toStdString()), std::string::npos) << failure;
    EXPECT_EQ(test::FreshWallpaperFile(data_), QStringLiteral("<none>"));
    if (!session_) {
        GTEST_SKIP() << kNoPlasma << "; the refusal came from a stand-in";
    }
}

TEST_F(PlasmaDesktopTest, NoPlasmashellOnTheBusIsReported) {
    const test::PrivateBus bus(test::PrivateEnvironment(tmp_.path()));
    auto setter =
        MakeDesktopSetter(DesktopKind::Plasma, {{"DBUS_SESSION_BUS_ADDRESS", bus.Address()}});
    const std::string failure = test::FailureOf(*setter, bitmap_, Placement::Centred);
    EXPECT_NE(failure.find("org.kde.plasmashell"), std::string::npos) << failure;
}

}  // namespace
}  // namespace tavrino

#include "test_desktop_plasma.moc"
