// The talks with the vendor site over real HTTP on the loopback interface: the failure rules of
// every request (once, in the getter), then one pass of the update check.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <QWidget>
#include <optional>
#include <vector>

#include "support/MessageBox.h"
#include "support/online/HttpGet.h"
#include "support/online/UpdateCheck.h"
#include "support/online/frmNewRelease.h"
#include "tests/support/online/LoopbackHttpServer.h"

namespace tavrino {
namespace {

using test::HttpAnswer;
using test::LoopbackHttpServer;

constexpr std::chrono::milliseconds kShortTimeout{400};
constexpr qint64 kLimit = 1024 * 1024;

TEST(HttpGetter, AnythingButAWholeTwoHundredReplyWithinItsLimitsFails) {
    struct Case {
        const char* name;
        HttpAnswer answer;
        OverLimit over;
        bool ok;
    };
    // clang-format off
    const Case cases[] = {
        {"200",                     HttpAnswer::Ok("1.0.4"),           OverLimit::Fail,     true},
        {"404",                     {404, "1.0.4"},                    OverLimit::Fail,     false},
        {"302",                     {302, "1.0.4"},                    OverLimit::Fail,     false},
        {"500",                     {500, "RETRY|http://x/"},          OverLimit::Fail,     false},
        {"silent server",           HttpAnswer::Never(),               OverLimit::Fail,     false},
        {"flood, length declared",  HttpAnswer::Flood(100LL << 20, true),  OverLimit::Fail, false},
        {"flood, length unknown",   HttpAnswer::Flood(100LL << 20, false), OverLimit::Fail, false},
        {"flood cut, declared",     HttpAnswer::Flood(100LL << 20, true),  OverLimit::Truncate, true},
        {"flood cut, unknown",      HttpAnswer::Flood(100LL << 20, false), OverLimit::Truncate, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server([&c](const QByteArray&, int) { return c.answer; });
        HttpGetter getter(c.answer.status == 0 ? kShortTimeout : std::chrono::seconds(20));
        std::optional<HttpResult> result;
        getter.Get(QUrl(server.Root() + "/v"), kLimit, c.over,
                   [&result](const HttpResult& r) { result = r; });
        ASSERT_TRUE(test::WaitUntil([&result] { return result.has_value(); }));
        EXPECT_EQ(result->ok, c.ok);
        if (c.answer.floodBytes > 0) {
            EXPECT_EQ(result->body.size(), c.ok ? kLimit : 0);
            EXPECT_EQ(result->truncated, c.ok);
            ASSERT_TRUE(test::WaitUntil([&server] { return server.floodClientGone; }));
            EXPECT_LT(server.floodedBytes, 32LL << 20) << "the rest is never fetched";
        } else {
            EXPECT_EQ(result->body, c.ok ? c.answer.body : QByteArray());
        }
    }
    std::optional<HttpResult> closed;
    HttpGetter getter;
    getter.Get(QUrl(test::ClosedPortRoot()), kLimit, OverLimit::Fail,
               [&closed](const HttpResult& r) { closed = r; });
    ASSERT_TRUE(test::WaitUntil([&closed] { return closed.has_value(); }));
    EXPECT_FALSE(closed->ok);
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) {
            shown.push_back(m);
            requestsAtMessage.push_back(server ? server->targets.size() : -1);
        });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        delete frmNewRelease::Current().data();
    }
    // Runs one check against a server answering version, then notes, and waits until it is done.
    void RunCheck(QByteArray version, HttpAnswer notes) {
        server = std::make_unique<LoopbackHttpServer>([=](const QByteArray&, int index) {
            return index == 0 ? HttpAnswer::Ok(version) : notes;
        });
        UpdateCheckConfig config;
        config.root = server->Root();
        config.timeout = std::chrono::seconds(20);
        CheckForUpdateWithNotice(
            reporter, &splash,
            [this](QPointer<QWidget> notice) {
                ++doneCalls;
                noticeAtDone = notice;
            },
            config);
        ASSERT_TRUE(test::WaitUntil([this] { return doneCalls > 0; }));
        test::SpinFor(50);  // a second call would come now
        EXPECT_EQ(doneCalls, 1);
        EXPECT_TRUE(reporter.reports.empty());
    }
    [[nodiscard]] QPlainTextEdit* Notes() const {
        return noticeAtDone->findChild<QPlainTextEdit*>(QStringLiteral("txtNewVersion"));
    }

    test::RecordingReporter reporter;
    QWidget splash;
    std::unique_ptr<LoopbackHttpServer> server;
    std::vector<ShownMessage> shown;
    std::vector<qsizetype> requestsAtMessage;
    int doneCalls = 0;
    QPointer<QWidget> noticeAtDone;
};

TEST_F(UpdateCheckTest, TheBuiltVersionIsNotAnnounced) {
    RunCheck("1.0.0", HttpAnswer::Ok("notes"));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(server->targets, QList<QByteArray>{"/products/Varnello/version.asp"});
    EXPECT_TRUE(noticeAtDone.isNull());
}

TEST_F(UpdateCheckTest, AnotherVersionIsAnnouncedThenItsNotesShownAsText) {
    const QByteArray notes = "<html><body>Version 1.0.3 &amp; more\r\n<b>fixes</b></body></html>";
    RunCheck("0.9.9", HttpAnswer::Ok(notes));
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].title, "New Version Available");
    EXPECT_EQ(shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(shown[0].text,
              "I would just like to let you know that there is a new version of this software "
              "available on our web site.  " +
                  server->Root());
    EXPECT_EQ(requestsAtMessage[0], 1) << "the message comes before the notes are asked for";
    EXPECT_EQ(server->targets.value(1), "/products/Varnello/whatsnew.html");
    ASSERT_FALSE(noticeAtDone.isNull());
    EXPECT_EQ(noticeAtDone.data(), frmNewRelease::Current().data());
    EXPECT_TRUE(noticeAtDone->isVisible());
    EXPECT_FALSE(noticeAtDone->isModal());
    EXPECT_EQ(Notes()->toPlainText(), QString::fromLatin1(notes).replace("\r\n", "\n"));
    EXPECT_EQ(Notes()->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    noticeAtDone->findChild<QToolButton*>(QStringLiteral("cmd1"))->click();
    EXPECT_TRUE(test::WaitUntil([this] { return noticeAtDone.isNull(); }));
}

TEST_F(UpdateCheckTest, NotesThatFailOrNeverEndStillShowTheNotice) {
    RunCheck("9.9.9", {404, "gone"});
    ASSERT_FALSE(noticeAtDone.isNull());
    EXPECT_EQ(Notes()->toPlainText(), QString());
    delete noticeAtDone.data();
    doneCalls = 0;
    RunCheck("9.9.9", HttpAnswer::Flood(100LL << 20, false));
    ASSERT_FALSE(noticeAtDone.isNull());
    EXPECT_EQ(Notes()->toPlainText(), QString(kReleaseNotesLimit, QLatin1Char('x')));
    // One endless word is broken anywhere rather than searched for a word boundary.
    EXPECT_EQ(Notes()->wordWrapMode(), QTextOption::WrapAnywhere);
}

TEST_F(UpdateCheckTest, ACheckEndsWithTheSplashWithoutCallingBack) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    auto* shortLived = new QWidget;
    UpdateCheckConfig config;
    config.root = server->Root();
    config.timeout = kShortTimeout;
    CheckForUpdateWithNotice(
        reporter, shortLived, [this](QPointer<QWidget>) { ++doneCalls; }, config);
    ASSERT_TRUE(test::WaitUntil([this] { return server->targets.size() == 1; }));
    delete shortLived;
    test::SpinFor(2 * static_cast<int>(kShortTimeout.count()));
    EXPECT_EQ(doneCalls, 0);
}

TEST(PageText, KeepsEveryCharacterOfTheBody) {
    struct Case {
        QByteArray body;
        bool truncated;
        QString expected;
    };
    // clang-format off
    const Case cases[] = {
        {"<p>a &lt; b</p>",   false, "<p>a &lt; b</p>"},
        {"Caf\xc3\xa9",       false, QStringLiteral("Caf\u00e9")},
        {"Caf\xe9 ok",        false, QStringLiteral("Caf\u00e9 ok")},
        {"ab\xe2\x82",        true,  "ab"},
        {"ab\xe2\x82\xac",    true,  QStringLiteral("ab\u20ac")},
        {"ab\xe2\x82",        false, QString::fromLatin1("ab\xe2\x82")},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(DecodePageText(c.body, c.truncated), c.expected) << c.body.toStdString();
    }
}

}  // namespace
}  // namespace tavrino
