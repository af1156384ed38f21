// KDE Plasma: a stand-in registered as org.kde.plasmashell on a private session bus records the
// script; the script is then run against a model of plasmashell's desktops (with node, when
// installed) to see that every desktop gets the picture and the fill mode.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

class FakePlasmaShell : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

public:
    QStringList Scripts() {
        QMutexLocker lock(&mutex_);
        return scripts_;
    }
    void SetRefusal(const QString& words) {
        QMutexLocker lock(&mutex_);
        refusal_ = words;
    }

public Q_SLOTS:
    QString evaluateScript(const QString& script) {
        QMutexLocker lock(&mutex_);
        scripts_.append(script);
        if (!refusal_.isEmpty()) {
            sendErrorReply(QDBusError::Failed, refusal_);
        }
        return {};
    }

private:
    QMutex mutex_;
    QStringList scripts_;
    QString refusal_;
};

// Serves the stand-in from a thread of its own: the setter's call blocks the test's thread.
class ShellThread : public QThread {
public:
    explicit ShellThread(std::string address) : address_(std::move(address)) {}
    ~ShellThread() override {
        quit();
        wait();
    }
    ShellThread(const ShellThread&) = delete;
    ShellThread& operator=(const ShellThread&) = delete;

    bool Start() {
        start();
        ready_.acquire();
        return registered_;
    }
    FakePlasmaShell* Shell() { return shell_; }

protected:
    void run() override {
        FakePlasmaShell shell;
        shell_ = &shell;
        const QString name = QStringLiteral("fake-plasmashell");
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QString::fromStdString(address_), name);
            registered_ = bus.isConnected() &&
                          bus.registerObject(QStringLiteral("/PlasmaShell"), &shell,
                                             QDBusConnection::ExportAllSlots) &&
                          bus.registerService(QStringLiteral("org.kde.plasmashell"));
            ready_.release();
            exec();
        }
        QDBusConnection::disconnectFromBus(name);
        shell_ = nullptr;
    }

private:
    std::string address_;
    QSemaphore ready_;
    bool registered_ = false;
    FakePlasmaShell* shell_ = nullptr;
};

// Takes the value of `var name = ...;` from the script, JavaScript escapes decoded.
QString ScriptVariable(const QString& script, const QString& name) {
    const QString start = QStringLiteral("var ") + name + QStringLiteral(" = ");
    const qsizetype at = script.indexOf(start);
    if (at < 0) {
        return QStringLiteral("<missing>");
    }
    const qsizetype end = script.indexOf(QLatin1Char(';'), at);
    QString literal = script.mid(at + start.size(), end - at - start.size());
    const QJsonDocument parsed = QJsonDocument::fromJson(("[" + literal + "]").toUtf8());
    if (!parsed.isArray()) {
        return QStringLiteral("<not JSON: ") + literal + QStringLiteral(">");
    }
    const QJsonValue value = parsed.array().at(0);
    return value.isString() ? value.toString() : QString::number(value.toInt());
}

class PlasmaDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("dbus-daemon")) {
            GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
        }
        ASSERT_TRUE(home_.isValid());
        environment_ = test::PrivateEnvironment(home_.path());
        bus_ = std::make_unique<test::PrivateBus>(environment_);
        ASSERT_FALSE(bus_->Address().empty());
        environment_["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
        data_ = home_.path() + QStringLiteral("/it's \"Plasma\" \\ ") +
                QString::fromUtf8("\xE2\x80\xA8\xC3\xA4");
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
    }
    void TearDown() override {
        shell_.reset();
        bus_.reset();
    }

    void StartShell() {
        shell_ = std::make_unique<ShellThread>(bus_->Address());
        ASSERT_TRUE(shell_->Start()) << "the stand-in could not take the name org.kde.plasmashell";
    }

    std::string FreshFile() const { return test::FreshWallpaperFile(data_).toStdString(); }

    QTemporaryDir home_;
    Environment environment_;
    std::unique_ptr<test::PrivateBus> bus_;
    std::unique_ptr<ShellThread> shell_;
    QString data_;
    QString bitmap_;
};

TEST_F(PlasmaDesktopTest, TheScriptCarriesThePictureAndFillModeOfEachPlacement) {
    StartShell();
    auto setter = MakeDesktopSetter(DesktopKind::Plasma, environment_);
    const std::vector<Placement> placements{Placement::Stretched, Placement::Tiled,
                                            Placement::Centred};
    std::vector<std::string> fresh;
    for (const Placement placement : placements) {
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement))
            << PlacementName(placement);
        fresh.push_back(FreshFile());
    }
    const QStringList scripts = shell_->Shell()->Scripts();
    ASSERT_EQ(scripts.size(), 3);
    for (std::size_t i = 0; i < placements.size(); ++i) {
        SCOPED_TRACE(PlacementName(placements[i]));
        const QString& script = scripts[static_cast<qsizetype>(i)];
        EXPECT_EQ(ScriptVariable(script, QStringLiteral("image")).toStdString(), FileUri(fresh[i]));
        EXPECT_EQ(ScriptVariable(script, QStringLiteral("fillMode")).toInt(),
                  PlasmaFillMode(placements[i]));
        // The quotes and line separator of the folder's name must not reach the script raw.
        EXPECT_FALSE(script.contains(QStringLiteral("it's"))) << script.toStdString();
        EXPECT_FALSE(script.contains(QChar(0x2028)));
    }
    EXPECT_NE(fresh[0], fresh[1]);
    EXPECT_NE(fresh[1], fresh[2]);
}

TEST_F(PlasmaDesktopTest, TheScriptSetsEveryDesktop) {
    if (!test::HaveProgram("node")) {
        GTEST_SKIP()
            << "node is not installed, so the script cannot be run against a model of plasmashell";
    }
    StartShell();
    auto setter = MakeDesktopSetter(DesktopKind::Plasma, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Tiled));
    const QStringList scripts = shell_->Shell()->Scripts();
    ASSERT_EQ(scripts.size(), 1);
    // plasmashell's scripting API as far as the script uses it: desktops() and each desktop's
    // wallpaperPlugin, currentConfigGroup and writeConfig.
    const QString harness = QStringLiteral(
        "var state = [];\n"
        "function desktops() { return [0, 1, 2].map(function (n) {\n"
        "  var d = { screen: n, wallpaperPlugin: 'org.kde.color', currentConfigGroup: [], config: "
        "{} };\n"
        "  d.writeConfig = function (k, v) { d.config[d.currentConfigGroup.join('/') + '/' + k] = "
        "v; };\n"
        "  state.push(d); return d; }); }\n"
        "function print() {}\n");
    QFile file(home_.path() + QStringLiteral("/script.js"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((harness + scripts.front() +
                QStringLiteral("\nprocess.stdout.write(JSON.stringify(state.map(function (d) {"
                               " return { plugin: d.wallpaperPlugin, config: d.config }; })));\n"))
                   .toUtf8());
    file.close();
    const auto out = test::RunForOutput(environment_, QStringLiteral("node"), {file.fileName()});
    ASSERT_TRUE(out.has_value()) << "the script does not run";
    const QJsonArray desktops = QJsonDocument::fromJson(*out).array();
    ASSERT_EQ(desktops.size(), 3);
    for (const QJsonValue& desktop : desktops) {
        const QJsonObject object = desktop.toObject();
        EXPECT_EQ(object.value(QStringLiteral("plugin")).toString(),
                  QStringLiteral("org.kde.image"));
        const QJsonObject config = object.value(QStringLiteral("config")).toObject();
        EXPECT_EQ(config.value(QStringLiteral("Wallpaper/org.kde.image/General/Image"))
                      .toString()
                      .toStdString(),
                  FileUri(FreshFile()));
        EXPECT_EQ(config.value(QStringLiteral("Wallpaper/org.kde.image/General/FillMode")).toInt(),
                  3);
    }
}

TEST_F(PlasmaDesktopTest, AScriptErrorIsReportedInPlasmasWords) {
    StartShell();
    shell_->Shell()->SetRefusal(QStringLiteral("Widgets are locked"));
    auto setter = MakeDesktopSetter(DesktopKind::Plasma, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "a refused script was taken as success";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("Widgets are locked"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(FreshFile(), "<none>");
}

TEST_F(PlasmaDesktopTest, NoPlasmashellOnTheBusIsReported) {
    auto setter = MakeDesktopSetter(DesktopKind::Plasma, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "nobody took the call, yet no failure was reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("org.kde.plasmashell"), std::string::npos)
            << error.what();
    }
}

}  // namespace
}  // namespace tavrino

#include "test_desktop_plasma.moc"
