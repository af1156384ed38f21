// The vendor site over real HTTP on the loopback interface: the failure rules of every request
// (once, in the getter), one pass of the update check, the error report sending.
#include <gtest/gtest.h>
#include <QPlainTextEdit>
#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <QWidget>
#include <optional>
#include <vector>

#include "support/MessageBox.h"
#include "support/errors/ErrorDialogReporter.h"
#include "support/errors/frmErrors.h"
#include "support/online/ErrorReportSender.h"
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
constexpr qint64 kFlood = 100LL << 20;

TEST(HttpGetter, AnythingButAWholeTwoHundredReplyWithinItsLimitsFails) {
    // clang-format off
    const std::tuple<HttpAnswer, OverLimit, bool> cases[] = {  // answer, over the limit, ok
        {{200, "1.0.4"}, OverLimit::Fail, true}, {{404, "1.0.4"}, OverLimit::Fail, false},
        {{302, "1.0.4"}, OverLimit::Fail, false}, {{500, "RETRY|http://x/"}, OverLimit::Fail, false},
        {{0}, OverLimit::Fail, false} /* silent */, {{-1}, OverLimit::Fail, false} /* no server */,
        {{200, {}, kFlood, true}, OverLimit::Fail, false}, {{200, {}, kFlood, false}, OverLimit::Fail, false},
        {{200, {}, kFlood, true}, OverLimit::Truncate, true}, {{200, {}, kFlood, false}, OverLimit::Truncate, true},
    };
    // clang-format on
    for (const auto& [answer, over, ok] : cases) {
        SCOPED_TRACE(testing::Message() << answer.status << " " << answer.floodBytes << " "
                                        << answer.declareLength << " " << static_cast<int>(over));
        LoopbackHttpServer server([reply = answer](const QByteArray&, int) { return reply; });
        HttpGetter getter(answer.status == 0 ? kShortTimeout : std::chrono::seconds(20));
        std::optional<HttpResult> result;
        getter.Get(QUrl((answer.status < 0 ? test::ClosedPortRoot() : server.Root()) + "/v"),
                   kLimit, over, [&result](const HttpResult& r) { result = r; });
        ASSERT_TRUE(test::WaitUntil([&result] { return result.has_value(); }));
        EXPECT_EQ(result->ok, ok);
        EXPECT_EQ(result->body.size(), ok ? (answer.floodBytes > 0 ? kLimit : 5) : 0);
        if (answer.floodBytes > 0) {
            EXPECT_EQ(result->truncated, ok);
            ASSERT_TRUE(test::WaitUntil([&server] { return server.floodClientGone; }));
            EXPECT_LT(server.floodedBytes, 32LL << 20) << "the rest is never fetched";
        }
    }
}

class Online : public ::testing::Test {
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
        EXPECT_TRUE(reporter.reports.empty());
    }
    // Runs one check against a server answering version, then notes, and waits until it is done.
    void RunCheck(const QByteArray& version, const HttpAnswer& notes) {
        server = std::make_unique<LoopbackHttpServer>([=](const QByteArray&, int index) {
            return index == 0 ? HttpAnswer{200, version} : notes;
        });
        int doneCalls = 0;
        CheckForUpdateWithNotice(reporter, &splash,
                                 [this, &doneCalls](QPointer<QWidget> notice) {
                                     ++doneCalls;
                                     noticeAtDone = notice;
                                 },
                                 {server->Root(), std::chrono::seconds(20)});
        ASSERT_TRUE(test::WaitUntil([&doneCalls] { return doneCalls > 0; }));
        test::WaitUntil([] { return false; }, 50);  // a second call would come now
        EXPECT_EQ(doneCalls, 1);
    }
    [[nodiscard]] QPlainTextEdit* Notes() const {
        return noticeAtDone->findChild<QPlainTextEdit*>(QStringLiteral("txtNewVersion"));
    }
    // Shows a report, presses Send Report and waits until the dialog hides.
    void SendThroughDialog(int location, std::int32_t number, const std::string& description) {
        dialog.ShowErrorReport(location, number, description);
        auto* send = dialog.Dialog().findChild<QToolButton*>(QStringLiteral("cmdSendError"));
        send->click();
        EXPECT_TRUE(dialog.Dialog().isVisible()) << "it stays up while the report is sent";
        EXPECT_FALSE(send->isEnabled());
        ASSERT_TRUE(test::WaitUntil([this] { return !dialog.Dialog().isVisible(); }));
        EXPECT_TRUE(send->isEnabled());
        test::WaitUntil([] { return false; }, 100);  // nothing more may be sent
    }

    test::RecordingReporter reporter;
    ErrorDialogReporter dialog;
    QWidget splash;
    std::unique_ptr<LoopbackHttpServer> server;
    std::vector<ShownMessage> shown;
    std::vector<qsizetype> requestsAtMessage;
    QPointer<QWidget> noticeAtDone;
};

TEST_F(Online, OnlyAnotherVersionIsAnnouncedThenItsNotesShownAsText) {
    RunCheck("1.0.0", {200, "notes"});
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(server->targets, QList<QByteArray>{"/products/Varnello/version.asp"});
    EXPECT_TRUE(noticeAtDone.isNull());
    const QByteArray notes = "<html><body>Version 1.0.3 &amp; more\r\n<b>fixes</b></body></html>";
    RunCheck("0.9.9", {200, notes});
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
    RunCheck("9.9.9", {200, {}, kFlood, false});  // notes that never end: cut, broken anywhere
    EXPECT_EQ(Notes()->toPlainText(), QString(kReleaseNotesLimit, QLatin1Char('x')));
    EXPECT_EQ(Notes()->wordWrapMode(), QTextOption::WrapAnywhere);
}

TEST_F(Online, TheFourReportFieldsArriveIntactAndOneRetryGoesToTheBaseAsked) {
    QByteArray base;
    server = std::make_unique<LoopbackHttpServer>([&base](const QByteArray&, int) {
        return HttpAnswer{200, "RETRY|" + base};  // every reply asks: only the first counts
    });
    base = server->Root().toLatin1() + "/collect/report";
    InstallErrorReportSender(dialog.Dialog(), {server->Root(), kShortTimeout});
    SendThroughDialog(loc::SaveDisplayList, errnum::DiskFull,
                      "Disk full & C# broke=yes? caf\xc3\xa9");
    const QByteArray query =
        "?application=Varnello100&errorlocation=39&errornumber=61&errordescription=Disk%20full%20%"
        "26"
        "%20C%23%20broke%3Dyes%3F%20caf%C3%A9";
    EXPECT_EQ(server->targets,
              (QList<QByteArray>{"/products/errorreport.asp" + query, "/collect/report" + query}));
    InstallErrorReportSender(dialog.Dialog(), {test::ClosedPortRoot(), kShortTimeout});
    SendThroughDialog(loc::MainLoad, 13, "Type mismatch");  // a failed site: hidden quietly
    EXPECT_TRUE(shown.empty()) << "nothing of the exchange is shown";
}

}  // namespace
}  // namespace tavrino
