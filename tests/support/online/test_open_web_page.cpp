// Opening web pages with a stand-in browser registered through xdg-mime in a private home.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/online/OpenWebPage.h"
#include "tests/support/online/LoopbackHttpServer.h"

namespace tavrino {
namespace {

// Variables that make xdg-mime ask a particular desktop instead of the XDG files.
const char* const kDesktopVariables[] = {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                         "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                                         "XDG_SESSION_DESKTOP"};
const char* const kPrivateVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                                         "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"};

class OpenWebPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* name : kDesktopVariables) {
            saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
            qunsetenv(name);
        }
        for (const char* name : kPrivateVariables) {
            saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
        }
        // Only our own folders: no browser of the machine can answer.
        qputenv("HOME", Path("home").toUtf8());
        qputenv("XDG_DATA_HOME", Path("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", Path("config").toUtf8());
        qputenv("XDG_DATA_DIRS", Path("system-data").toUtf8());
        qputenv("XDG_CONFIG_DIRS", Path("system-config").toUtf8());
        for (const char* folder :
             {"home", "data/applications", "config", "system-data/applications", "system-config"}) {
            ASSERT_TRUE(QDir().mkpath(Path(folder)));
        }
        SetMessageInterceptor([this](const ShownMessage& m) { shown.push_back(m); });
    }

    void TearDown() override {
        SetMessageInterceptor({});
        for (const auto& [name, value, wasSet] : saved) {
            if (wasSet) {
                qputenv(name, value);
            } else {
                qunsetenv(name);
            }
        }
    }

    QString Path(const QString& relative) const { return home.filePath(relative); }

    // A browser that writes its arguments, one per line after their count, to args.txt.
    QString WriteStandIn(const QString& name) {
        const QString script = Path(name);
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "#!/bin/sh\n"
            "out=\"$(dirname \"$0\")/args.txt\"\n"
            "{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.tmp\"\n"
            "mv \"$out.tmp\" \"$out\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return script;
    }

    void WriteDesktopFile(const QString& relative, const QByteArray& exec) {
        QDir().mkpath(QFileInfo(Path(relative)).absolutePath());
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nName=Stand-in\nMimeType=text/html;\nExec=" +
                   exec + "\n");
    }

    // Makes id the HTML handler the way a user's desktop does.
    void Associate(const QString& id) {
        QProcess xdg;
        xdg.start(QStringLiteral("xdg-mime"),
                  {QStringLiteral("default"), id, QStringLiteral("text/html")});
        ASSERT_TRUE(xdg.waitForFinished(10000));
        ASSERT_EQ(xdg.exitCode(), 0) << xdg.readAllStandardError().toStdString();
    }

    // The stand-in's arguments, once it has run.
    std::optional<QStringList> ArgumentsReceived() {
        const QString out = Path("args.txt");
        if (!test::WaitUntil([&out] { return QFile::exists(out); }, 10000)) {
            return std::nullopt;
        }
        QFile file(out);
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (lines.isEmpty() || lines.back().isEmpty()) {
            lines.removeLast();
        }
        const int count = lines.isEmpty() ? -1 : lines.takeFirst().toInt();
        EXPECT_EQ(count, lines.size());
        return lines;
    }

    QTemporaryDir home;
    std::vector<std::tuple<const char*, QByteArray, bool>> saved;
    std::vector<ShownMessage> shown;
    test::RecordingReporter reporter;
};

struct LaunchCase {
    const char* name;
    const char* desktopFile;  // relative to the private home
    const char* associate;    // the desktop file id
    QByteArray execAfterScript;
    QString address;       // "%HOME%" stands for the private home
    QStringList expected;  // the same
};

class BrowserStarts : public OpenWebPageTest, public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(BrowserStarts, WithTheAddressAsOneArgument) {
    const LaunchCase& c = GetParam();
    const QString script = WriteStandIn(QStringLiteral("stand in browser.sh"));
    QByteArray quotedScript = "\"" + script.toUtf8() + "\"";
    WriteDesktopFile(QString::fromLatin1(c.desktopFile), quotedScript + c.execAfterScript);
    Associate(QString::fromLatin1(c.associate));

    QString address = c.address;
    address.replace(QStringLiteral("%HOME%"), home.path());
    OpenWebPage(reporter, address);

    const auto received = ArgumentsReceived();
    ASSERT_TRUE(received);
    QStringList expected = c.expected;
    expected.replaceInStrings(QStringLiteral("%HOME%"), home.path());
    EXPECT_EQ(*received, expected);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, BrowserStarts,
    ::testing::Values(
        LaunchCase{"WebAddress",
                   "data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " %u",
                   QStringLiteral("http://www.tavrino.example"),
                   {QStringLiteral("http://www.tavrino.example")}},
        LaunchCase{"AddressWithBlanks",
                   "data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " %u",
                   QStringLiteral("http://site.test/my page.html?q=a b&c=$(id)"),
                   {QStringLiteral("http://site.test/my page.html?q=a b&c=$(id)")}},
        LaunchCase{"LocalPageWithBlanks",
                   "data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " %U",
                   QStringLiteral("%HOME%/my help/index.html"),
                   {QStringLiteral("file://%HOME%/my%20help/index.html")}},
        LaunchCase{"FileCodeGetsThePath",
                   "data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " --page %f",
                   QStringLiteral("%HOME%/my help/index.html"),
                   {QStringLiteral("--page"), QStringLiteral("%HOME%/my help/index.html")}},
        LaunchCase{"NoFieldCode",
                   "data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " --new-tab",
                   QStringLiteral("http://site.test/"),
                   {QStringLiteral("--new-tab"), QStringLiteral("http://site.test/")}},
        LaunchCase{"SystemDataFolder",
                   "system-data/applications/stand-in.desktop",
                   "stand-in.desktop",
                   " %u",
                   QStringLiteral("http://site.test/"),
                   {QStringLiteral("http://site.test/")}},
        LaunchCase{"IdWithSubFolder",
                   "data/applications/vendor/web.desktop",
                   "vendor-web.desktop",
                   " %u",
                   QStringLiteral("http://site.test/"),
                   {QStringLiteral("http://site.test/")}}),
    [](const ::testing::TestParamInfo<LaunchCase>& p) { return std::string(p.param.name); });

TEST_F(OpenWebPageTest, NoAssociatedBrowserSaysSo) {
    OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].text, "Could not find associated Browser");
    EXPECT_EQ(shown[0].title, "Browser Not Found");
    EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(OpenWebPageTest, AssociationToAMissingDesktopFileIsNoBrowser) {
    Associate(QStringLiteral("gone.desktop"));
    OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].title, "Browser Not Found");
}

TEST_F(OpenWebPageTest, HiddenEntryIsNoBrowser) {
    const QString script = WriteStandIn(QStringLiteral("browser.sh"));
    WriteDesktopFile(QStringLiteral("data/applications/stand-in.desktop"),
                     script.toUtf8() + " %u\nHidden=true");
    Associate(QStringLiteral("stand-in.desktop"));
    OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].title, "Browser Not Found");
    test::SpinFor(300);
    EXPECT_FALSE(QFile::exists(Path("args.txt")));
}

TEST_F(OpenWebPageTest, BrowserThatCannotStartSaysTheUrlFailed) {
    WriteDesktopFile(QStringLiteral("data/applications/broken.desktop"),
                     Path("no-such-browser").toUtf8() + " %u");
    Associate(QStringLiteral("broken.desktop"));
    OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"));
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].text, "Web Page not Opened");
    EXPECT_EQ(shown[0].title, "URL Failed");
    EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(OpenWebPageLauncher, UnexpectedFailureIsReportedUnderItsLocation) {
    test::RecordingReporter reporter;
    std::vector<ShownMessage> shown;
    SetMessageInterceptor([&shown](const ShownMessage& m) { shown.push_back(m); });
    int starts = 0;
    BrowserLauncher launcher{[](const WebPageTarget&) -> std::optional<BrowserCommand> {
                                 throw Error(errnum::PathFileAccessError, "Path/File access error");
                             },
                             [&starts](const BrowserCommand&, QWidget*) { return ++starts > 0; }};
    OpenWebPage(reporter, QStringLiteral("http://www.tavrino.example"), nullptr, launcher);
    SetMessageInterceptor({});
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(starts, 0);
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 60);
    EXPECT_EQ(reporter.reports[0].number, errnum::PathFileAccessError);
}

TEST(OpenWebPageTarget, LocalPathsBecomeFileAddresses) {
    struct Case {
        QString address, url, localPath;
    };
    const Case cases[] = {
        {QStringLiteral("http://a.test/x y"), QStringLiteral("http://a.test/x y"), QString()},
        {QStringLiteral("https://a.test"), QStringLiteral("https://a.test"), QString()},
        {QStringLiteral("/opt/app/help/index.html"),
         QStringLiteral("file:///opt/app/help/index.html"),
         QStringLiteral("/opt/app/help/index.html")},
        {QStringLiteral("/opt/my app/help#1.html"),
         QStringLiteral("file:///opt/my%20app/help%231.html"),
         QStringLiteral("/opt/my app/help#1.html")},
        {QStringLiteral("C:\\Program Files\\help\\index.html"),
         QStringLiteral("file:///C:/Program%20Files/help/index.html"),
         QStringLiteral("C:\\Program Files\\help\\index.html")},
    };
    for (const Case& c : cases) {
        const WebPageTarget target = WebPageTargetFor(c.address);
        EXPECT_EQ(target.url, c.url) << c.address.toStdString();
        EXPECT_EQ(target.localPath, c.localPath) << c.address.toStdString();
    }
}

}  // namespace
}  // namespace tavrino
