// The update check against a real HTTP server on the loopback interface.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <optional>
#include <vector>

#include "common/TestSupport.h"
#include "support/MessageBox.h"
#include "support/online/UpdateCheck.h"
#include "support/online/frmNewRelease.h"
#include "tests/support/online/LoopbackHttpServer.h"

namespace tavrino {
namespace {

using test::HttpAnswer;
using test::LoopbackHttpServer;

constexpr std::chrono::milliseconds kShortTimeout{400};
const QByteArray kNotes = "<html><body>Version 1.0.3 &amp; more\r\n<b>fixes</b></body></html>";

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) {
            shown.push_back(m);
            requestsAtMessage.push_back(server ? server->requestLines.size() : -1);
        });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        if (QPointer<frmNewRelease> notice = frmNewRelease::Current()) {
            delete notice.data();
        }
    }

    // Runs one check against root and waits for it to report back.
    void RunCheck(const QString& root, ProgramVersion version = RunningVersion(),
                  std::chrono::milliseconds timeout = kShortTimeout) {
        UpdateCheckConfig config;
        config.root = root;
        config.timeout = timeout;
        config.version = version;
        CheckForUpdateWithNotice(
            reporter, &splash,
            [this](QPointer<QWidget> notice) {
                ++doneCalls;
                noticeAtDone = notice;
            },
            config);
        ASSERT_TRUE(test::WaitUntil([this] { return doneCalls > 0; }));
        test::SpinFor(50);  // a second call would come now
    }

    test::RecordingReporter reporter;
    QWidget splash;
    std::unique_ptr<LoopbackHttpServer> server;
    std::vector<ShownMessage> shown;
    std::vector<qsizetype> requestsAtMessage;
    int doneCalls = 0;
    QPointer<QWidget> noticeAtDone;
};

struct VersionCase {
    const char* name;
    QByteArray reply;
    int status;
    bool announced;
};

class VersionReplies : public UpdateCheckTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionReplies, AnnounceOnlyAFiveCharacterAnswerWithADotThatDiffers) {
    const VersionCase& c = GetParam();
    server = std::make_unique<LoopbackHttpServer>([&c](const QByteArray& target, int) {
        if (target == "/products/Varnello/whatsnew.html") {
            return HttpAnswer::Ok(kNotes);
        }
        return HttpAnswer::Status(c.status, c.reply);
    });
    // The running version is 1.0.3 here, as in the site's own examples.
    RunCheck(server->Root(), ProgramVersion{1, 0, 3});

    EXPECT_EQ(doneCalls, 1);
    EXPECT_TRUE(reporter.reports.empty());
    ASSERT_GE(server->requestLines.size(), 1);
    EXPECT_EQ(server->requestLines[0], "GET /products/Varnello/version.asp HTTP/1.1");
    if (!c.announced) {
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(server->requestLines.size(), 1);
        EXPECT_TRUE(noticeAtDone.isNull());
        EXPECT_TRUE(frmNewRelease::Current().isNull());
        return;
    }
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].title, "New Version Available");
    EXPECT_EQ(shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(shown[0].text,
              "I would just like to let you know that there is a new version of this software "
              "available on our web site.  " +
                  server->Root());
    // The message comes before the release notes are asked for.
    EXPECT_EQ(requestsAtMessage[0], 1);
    ASSERT_EQ(server->requestLines.size(), 2);
    EXPECT_EQ(server->requestLines[1], "GET /products/Varnello/whatsnew.html HTTP/1.1");
    ASSERT_FALSE(noticeAtDone.isNull());
    EXPECT_EQ(noticeAtDone.data(), frmNewRelease::Current().data());
    EXPECT_TRUE(noticeAtDone->isVisible());
    EXPECT_FALSE(noticeAtDone->isModal());
    auto* text = noticeAtDone->findChild<QPlainTextEdit*>(QStringLiteral("txtNewVersion"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Shown as text, markup included; the text box keeps line ends as plain line breaks.
    EXPECT_EQ(frmNewRelease::Current()->ReleaseNotes(),
              QString::fromLatin1(kNotes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionReplies,
    ::testing::Values(VersionCase{"SameVersion", "1.0.3", 200, false},
                      VersionCase{"HigherVersion", "1.0.4", 200, true},
                      VersionCase{"LowerVersion", "1.0.2", 200, true},
                      VersionCase{"WithLineEnd", "1.0.3\r\n", 200, false},
                      VersionCase{"FourCharacters", "10.0", 200, false},
                      VersionCase{"SixCharacters", "1.0.10", 200, false},
                      VersionCase{"FiveLettersNoDot", "abcde", 200, false},
                      VersionCase{"FiveCharactersWithDot", "ab.cd", 200, true},
                      VersionCase{"Empty", "", 200, false},
                      VersionCase{"HttpFailure", "1.0.4", 404, false},
                      VersionCase{"ServerError", "1.0.4", 500, false},
                      VersionCase{"LongerThanTheLimit", QByteArray(65, '.'), 200, false}),
    [](const ::testing::TestParamInfo<VersionCase>& p) { return std::string(p.param.name); });

TEST_F(UpdateCheckTest, TheBuiltVersionIsComparedAsOneDotZeroDotZero) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int index) { return HttpAnswer::Ok(index == 0 ? "1.0.0" : kNotes); });
    RunCheck(server->Root());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(server->requestLines.size(), 1);
}

TEST_F(UpdateCheckTest, ClosedPortEndsTheCheckQuietly) {
    RunCheck(test::ClosedPortRoot());
    EXPECT_EQ(doneCalls, 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(reporter.reports.empty());
    EXPECT_TRUE(noticeAtDone.isNull());
}

TEST_F(UpdateCheckTest, ServerThatNeverAnswersTimesOutAndTheCheckEnds) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    RunCheck(server->Root());
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(server->requestLines.size(), 1);
    EXPECT_TRUE(shown.empty());
}

TEST_F(UpdateCheckTest, EndlessVersionReplyIsAbortedEarly) {
    for (bool declared : {true, false}) {
        SCOPED_TRACE(declared ? "length declared" : "length not declared");
        doneCalls = 0;
        server = std::make_unique<LoopbackHttpServer>([declared](const QByteArray&, int) {
            return HttpAnswer::Flood(100LL << 20, declared);
        });
        RunCheck(server->Root(), RunningVersion(), std::chrono::seconds(20));
        EXPECT_EQ(doneCalls, 1);
        EXPECT_TRUE(shown.empty());
        ASSERT_TRUE(test::WaitUntil([this] { return server->streamClientGone; }));
        EXPECT_LT(server->streamedBytes, 32LL << 20);
    }
}

TEST_F(UpdateCheckTest, FailedReleaseNotesStillShowTheNoticeEmpty) {
    server = std::make_unique<LoopbackHttpServer>([](const QByteArray&, int index) {
        return index == 0 ? HttpAnswer::Ok("9.9.9") : HttpAnswer::Status(404, "gone");
    });
    RunCheck(server->Root());
    ASSERT_EQ(shown.size(), 1U);
    ASSERT_FALSE(noticeAtDone.isNull());
    EXPECT_TRUE(noticeAtDone->isVisible());
    EXPECT_EQ(frmNewRelease::Current()->ReleaseNotes(), QString());
}

TEST_F(UpdateCheckTest, LongReleaseNotesAreCutAtOneMebibyte) {
    for (bool declared : {false, true}) {
        SCOPED_TRACE(declared ? "length declared" : "length not declared");
        doneCalls = 0;
        server = std::make_unique<LoopbackHttpServer>([declared](const QByteArray&, int index) {
            return index == 0 ? HttpAnswer::Ok("9.9.9") : HttpAnswer::Flood(100LL << 20, declared);
        });
        RunCheck(server->Root(), RunningVersion(), std::chrono::seconds(20));
        ASSERT_FALSE(noticeAtDone.isNull());
        const QString notes = frmNewRelease::Current()->ReleaseNotes();
        EXPECT_EQ(notes.size(), kReleaseNotesLimit);
        EXPECT_EQ(notes.count(QLatin1Char('x')), kReleaseNotesLimit);
        // One endless word is broken anywhere rather than searched for a word boundary.
        auto* text = noticeAtDone->findChild<QPlainTextEdit*>(QStringLiteral("txtNewVersion"));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->wordWrapMode(), QTextOption::WrapAnywhere);
        // The rest of the page is never fetched.
        ASSERT_TRUE(test::WaitUntil([this] { return server->streamClientGone; }));
        EXPECT_LT(server->streamedBytes, 32LL << 20);
        delete noticeAtDone.data();
    }
}

TEST(UpdateCheckDefaults, TheProgramWaitsTenSecondsForTheSite) {
    EXPECT_EQ(UpdateCheckConfig{}.timeout, std::chrono::seconds(10));
    EXPECT_EQ(HttpGetter().Timeout(), std::chrono::seconds(10));
    EXPECT_EQ(UpdateCheckConfig{}.version.major, 1);
}

TEST_F(UpdateCheckTest, CloseButtonUnloadsTheNotice) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int index) { return HttpAnswer::Ok(index == 0 ? "2.0.0" : kNotes); });
    RunCheck(server->Root());
    ASSERT_FALSE(noticeAtDone.isNull());
    auto* close = noticeAtDone->findChild<QToolButton*>(QStringLiteral("cmd1"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->toolTip(), "Click here to close this message");
    EXPECT_EQ(noticeAtDone->windowTitle(), "A New Version Is Now Available");
    close->click();
    EXPECT_TRUE(test::WaitUntil([this] { return noticeAtDone.isNull(); }));
    EXPECT_TRUE(frmNewRelease::Current().isNull());
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(UpdateCheckTest, SplashFormCallsDoneOnceAfterTheMessage) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int index) { return HttpAnswer::Ok(index == 0 ? "2.0.0" : kNotes); });
    const QString previous = qEnvironmentVariable("TAVRINO_VENDOR_SITE");
    qputenv("TAVRINO_VENDOR_SITE", server->Root().toUtf8());
    int calls = 0;
    std::size_t messagesAtDone = 0;
    CheckForUpdate(reporter, &splash, [&] {
        ++calls;
        messagesAtDone = shown.size();
    });
    ASSERT_TRUE(test::WaitUntil([&] { return calls > 0; }, 30000));
    test::SpinFor(50);
    qputenv("TAVRINO_VENDOR_SITE", previous.toUtf8());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(messagesAtDone, 1U);
    EXPECT_FALSE(frmNewRelease::Current().isNull());
}

TEST_F(UpdateCheckTest, CheckEndsWithTheSplashWithoutCallingBack) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    auto* shortLived = new QWidget;
    UpdateCheckConfig config;
    config.root = server->Root();
    config.timeout = kShortTimeout;
    int calls = 0;
    CheckForUpdateWithNotice(
        reporter, shortLived, [&calls](QPointer<QWidget>) { ++calls; }, config);
    ASSERT_TRUE(test::WaitUntil([this] { return server->requestLines.size() == 1; }));
    delete shortLived;
    test::SpinFor(2 * static_cast<int>(kShortTimeout.count()));
    EXPECT_EQ(calls, 0);
}

struct DecodeCase {
    const char* name;
    QByteArray body;
    bool truncated;
    QString expected;
};

class PageText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(PageText, KeepsEveryCharacterOfTheBody) {
    EXPECT_EQ(DecodePageText(GetParam().body, GetParam().truncated), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, PageText,
    ::testing::Values(
        DecodeCase{"Ascii", "<p>a &lt; b</p>", false, QStringLiteral("<p>a &lt; b</p>")},
        DecodeCase{"Utf8", "Caf\xc3\xa9", false, QStringLiteral("Caf\u00e9")},
        DecodeCase{"Latin1", "Caf\xe9 ok", false, QStringLiteral("Caf\u00e9 ok")},
        DecodeCase{"CutInsideACharacter", "ab\xe2\x82", true, QStringLiteral("ab")},
        DecodeCase{"CutAfterACharacter", "ab\xe2\x82\xac", true, QStringLiteral("ab\u20ac")},
        DecodeCase{"SplitCharacterWithoutCutIsLatin1", "ab\xe2\x82", false,
                   QString::fromLatin1("ab\xe2\x82")}),
    [](const ::testing::TestParamInfo<DecodeCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tavrino
