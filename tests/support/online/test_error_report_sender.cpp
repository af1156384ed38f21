// Sending the error report to a real HTTP server on the loopback interface.
#include <gtest/gtest.h>

#include <QToolButton>
#include <QUrl>
#include <QUrlQuery>
#include <optional>

#include "support/MessageBox.h"
#include "support/errors/ErrorCodes.h"
#include "support/errors/ErrorDialogReporter.h"
#include "support/errors/frmErrors.h"
#include "support/online/ErrorReportSender.h"
#include "tests/support/online/LoopbackHttpServer.h"

namespace tavrino {
namespace {

using test::HttpAnswer;
using test::LoopbackHttpServer;

constexpr std::chrono::milliseconds kShortTimeout{400};

// The four fields as a server splits the query it received.
struct ReceivedReport {
    QString application, location, number, description;
    int fieldCount = 0;
};

ReceivedReport Parse(const QByteArray& target) {
    const QUrl url(QString::fromLatin1(target));
    const QUrlQuery query(url);
    ReceivedReport report;
    report.fieldCount = static_cast<int>(query.queryItems().size());
    report.application = query.queryItemValue(QStringLiteral("application"), QUrl::FullyDecoded);
    report.location = query.queryItemValue(QStringLiteral("errorlocation"), QUrl::FullyDecoded);
    report.number = query.queryItemValue(QStringLiteral("errornumber"), QUrl::FullyDecoded);
    report.description =
        query.queryItemValue(QStringLiteral("errordescription"), QUrl::FullyDecoded);
    return report;
}

QByteArray PathOf(const QByteArray& target) {
    return target.left(target.indexOf('?'));
}
QByteArray QueryOf(const QByteArray& target) {
    return target.mid(target.indexOf('?') + 1);
}

class ReportSending : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage&) { ++messages; });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    // Shows a report in the dialog, presses Send Report and waits until the dialog hides.
    void SendThroughDialog(const QString& root, int location, std::int32_t number,
                           const std::string& description) {
        ErrorReportConfig config;
        config.root = root;
        config.timeout = kShortTimeout;
        InstallErrorReportSender(reporter.Dialog(), config);
        reporter.ShowErrorReport(location, number, description);
        frmErrors& dialog = reporter.Dialog();
        ASSERT_TRUE(dialog.isVisible());
        auto* send = dialog.findChild<QToolButton*>(QStringLiteral("cmdSendError"));
        ASSERT_NE(send, nullptr);
        send->click();
        // The dialog stays up while the report is on its way.
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(send->isEnabled());
        ASSERT_TRUE(test::WaitUntil([&dialog] { return !dialog.isVisible(); }));
        EXPECT_TRUE(send->isEnabled());
        test::SpinFor(100);  // nothing more may be sent
    }

    ErrorDialogReporter reporter;
    std::unique_ptr<LoopbackHttpServer> server;
    int messages = 0;
};

struct FieldCase {
    const char* name;
    int location;
    std::int32_t number;
    std::string description;
    const char* wireDescription;  // the errordescription value as sent
};

class ReportFields : public ReportSending, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(ReportFields, ArriveAsFourFieldsInOrderWithTheDescriptionIntact) {
    const FieldCase& c = GetParam();
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Ok("Thank you"); });
    SendThroughDialog(server->Root(), c.location, c.number, c.description);

    ASSERT_EQ(server->requestLines.size(), 1);
    const QByteArray target = server->Targets()[0];
    EXPECT_EQ(PathOf(target), "/products/errorreport.asp");
    EXPECT_EQ(QueryOf(target),
              "application=Varnello100&errorlocation=" + QByteArray::number(c.location) +
                  "&errornumber=" + QByteArray::number(c.number) +
                  "&errordescription=" + c.wireDescription);
    const ReceivedReport received = Parse(target);
    EXPECT_EQ(received.fieldCount, 4);
    EXPECT_EQ(received.application, "Varnello100");
    EXPECT_EQ(received.location, QString::number(c.location));
    EXPECT_EQ(received.number, QString::number(c.number));
    EXPECT_EQ(received.description, QString::fromStdString(c.description));
    EXPECT_EQ(messages, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportFields,
    ::testing::Values(FieldCase{"Plain", loc::MainLoad, errnum::TypeMismatch, "Type mismatch",
                                "Type%20mismatch"},
                      FieldCase{"AmpersandAndHash", loc::SaveDisplayList, errnum::DiskFull,
                                "Disk full & C# broke=yes? a/b:c@d",
                                "Disk%20full%20%26%20C%23%20broke%3Dyes%3F%20a%2Fb%3Ac%40d"},
                      FieldCase{"NegativeNumber", loc::RegistryCheckError, errnum::Registry,
                                "Registry error 5 - Access is denied",
                                "Registry%20error%205%20-%20Access%20is%20denied"},
                      FieldCase{"PercentPlusAndUnicode", loc::OpenWebPage, 53, "100% + caf\xc3\xa9",
                                "100%25%20%2B%20caf%C3%A9"},
                      FieldCase{"EmptyDescription", loc::ErrorsActivate, 0, "", ""}),
    [](const ::testing::TestParamInfo<FieldCase>& p) { return std::string(p.param.name); });

struct RetryCase {
    const char* name;
    QByteArray firstReply;  // "%BASE%" stands for the server's own second address
    int status;
    bool secondRequest;
};

class RetryReplies : public ReportSending, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryReplies, OnlyAnHttpBaseAfterTheExactPrefixGetsOneMoreRequest) {
    const RetryCase& c = GetParam();
    QByteArray base;
    server = std::make_unique<LoopbackHttpServer>([&c, &base](const QByteArray&, int index) {
        QByteArray reply = c.firstReply;
        reply.replace("%BASE%", base);
        // Every reply asks for a retry: only the first may be honoured.
        return index == 0 ? HttpAnswer::Status(c.status, reply)
                          : HttpAnswer::Ok("RETRY|" + base + "/third");
    });
    base = server->Root().toLatin1() + "/collect/report";
    SendThroughDialog(server->Root(), loc::TmrShowNextTick, errnum::FileNotFound,
                      "File & folder gone");

    const QList<QByteArray> targets = server->Targets();
    ASSERT_EQ(targets.size(), c.secondRequest ? 2 : 1);
    if (c.secondRequest) {
        EXPECT_EQ(PathOf(targets[1]), "/collect/report");
        EXPECT_EQ(QueryOf(targets[1]), QueryOf(targets[0]));
    }
    EXPECT_EQ(messages, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RetryReplies,
    ::testing::Values(RetryCase{"OtherReply", "OK", 200, false},
                      RetryCase{"EmptyReply", "", 200, false},
                      RetryCase{"PrefixAlone", "RETRY|", 200, false},
                      RetryCase{"PrefixAndLineEndOnly", "RETRY|\r\n", 200, false},
                      RetryCase{"LowerCasePrefix", "retry|%BASE%", 200, false},
                      RetryCase{"LeadingBlank", " RETRY|%BASE%", 200, false},
                      RetryCase{"WithBase", "RETRY|%BASE%", 200, true},
                      RetryCase{"WithBaseAndLineEnd", "RETRY|%BASE%\r\n", 200, true},
                      RetryCase{"NotHttpBase", "RETRY|ftp://127.0.0.1/report", 200, false},
                      RetryCase{"FileBase", "RETRY|file:///etc/passwd", 200, false},
                      RetryCase{"BaseWithBlank", "RETRY|%BASE% x", 200, false},
                      RetryCase{"RetryInAFailedReply", "RETRY|%BASE%", 500, false}),
    [](const ::testing::TestParamInfo<RetryCase>& p) { return std::string(p.param.name); });

TEST_F(ReportSending, ReplyOverTheLimitCountsAsFailed) {
    server = std::make_unique<LoopbackHttpServer>([this](const QByteArray&, int) {
        QByteArray reply = "RETRY|" + server->Root().toLatin1() + "/again";
        reply += QByteArray(kReportReplyLimit, ' ');
        return HttpAnswer::Ok(reply);
    });
    SendThroughDialog(server->Root(), loc::MainLoad, 13, "Type mismatch");
    EXPECT_EQ(server->requestLines.size(), 1);
}

TEST_F(ReportSending, ClosedPortHidesTheDialogQuietly) {
    SendThroughDialog(test::ClosedPortRoot(), loc::MainLoad, 13, "Type mismatch");
    EXPECT_EQ(messages, 0);
}

TEST_F(ReportSending, SilentServerTimesOutAndTheDialogHides) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    SendThroughDialog(server->Root(), loc::MainLoad, 13, "Type mismatch");
    EXPECT_EQ(server->requestLines.size(), 1);
}

TEST_F(ReportSending, SilentRetryBaseTimesOutToo) {
    server = std::make_unique<LoopbackHttpServer>([this](const QByteArray&, int index) {
        return index == 0 ? HttpAnswer::Ok("RETRY|" + server->Root().toLatin1() + "/slow")
                          : HttpAnswer::Never();
    });
    SendThroughDialog(server->Root(), loc::MainLoad, 13, "Type mismatch");
    EXPECT_EQ(server->requestLines.size(), 2);
}

TEST_F(ReportSending, ANewerReportArrivingMeanwhileStaysOnScreen) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    ErrorReportConfig config;
    config.root = server->Root();
    config.timeout = kShortTimeout;
    InstallErrorReportSender(reporter.Dialog(), config);
    reporter.ShowErrorReport(loc::MainLoad, 13, "Type mismatch");
    frmErrors& dialog = reporter.Dialog();
    dialog.findChild<QToolButton*>(QStringLiteral("cmdSendError"))->click();
    ASSERT_TRUE(test::WaitUntil([this] { return server->requestLines.size() == 1; }));
    reporter.ShowErrorReport(loc::SaveDisplayList, 61, "Disk full");
    auto* send = dialog.findChild<QToolButton*>(QStringLiteral("cmdSendError"));
    ASSERT_TRUE(test::WaitUntil([send] { return send->isEnabled(); }));
    test::SpinFor(50);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.ErrorDescription, "Disk full");
}

TEST(ReportSendingDefaults, TheProgramWaitsTenSecondsForTheSite) {
    EXPECT_EQ(ErrorReportConfig{}.timeout, std::chrono::seconds(10));
}

TEST_F(ReportSending, EachPressSendsTheReportTheDialogHoldsThen) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Ok("OK"); });
    SendThroughDialog(server->Root(), loc::MainLoad, 13, "first");
    SendThroughDialog(server->Root(), loc::SaveDisplayList, 61, "second");
    ASSERT_EQ(server->requestLines.size(), 2);
    EXPECT_EQ(Parse(server->Targets()[0]).description, "first");
    EXPECT_EQ(Parse(server->Targets()[1]).description, "second");
    EXPECT_EQ(Parse(server->Targets()[1]).location, "39");
}

}  // namespace
}  // namespace tavrino
