// Sending the error report from its dialog to a real HTTP server on the loopback interface.
#include <gtest/gtest.h>

#include <QToolButton>
#include <QUrlQuery>

#include "support/MessageBox.h"
#include "support/errors/ErrorDialogReporter.h"
#include "support/errors/frmErrors.h"
#include "support/online/ErrorReportSender.h"
#include "tests/support/online/LoopbackHttpServer.h"

namespace tavrino {
namespace {

using test::HttpAnswer;
using test::LoopbackHttpServer;

class ReportSending : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage&) { ++messages; });
    }
    void TearDown() override {
        SetMessageInterceptor({});
        EXPECT_EQ(messages, 0) << "nothing of the exchange is shown";
    }

    void Install(const QString& root) {
        ErrorReportConfig config;
        config.root = root;
        config.timeout = std::chrono::milliseconds(400);
        InstallErrorReportSender(reporter.Dialog(), config);
    }
    QToolButton* Send() {
        return reporter.Dialog().findChild<QToolButton*>(QStringLiteral("cmdSendError"));
    }
    // Shows a report, presses Send Report and waits until the dialog hides.
    void SendThroughDialog(int location, std::int32_t number, const std::string& description) {
        reporter.ShowErrorReport(location, number, description);
        Send()->click();
        EXPECT_TRUE(reporter.Dialog().isVisible()) << "it stays up while the report is sent";
        EXPECT_FALSE(Send()->isEnabled());
        ASSERT_TRUE(test::WaitUntil([this] { return !reporter.Dialog().isVisible(); }));
        EXPECT_TRUE(Send()->isEnabled());
        test::SpinFor(100);  // nothing more may be sent
    }

    ErrorDialogReporter reporter;
    std::unique_ptr<LoopbackHttpServer> server;
    int messages = 0;
};

TEST_F(ReportSending, TheFourFieldsArriveIntactAndOneRetryGoesToTheBaseAsked) {
    QByteArray base;
    server = std::make_unique<LoopbackHttpServer>([&base](const QByteArray&, int) {
        return HttpAnswer::Ok("RETRY|" + base);  // every reply asks: only the first counts
    });
    base = server->Root().toLatin1() + "/collect/report";
    Install(server->Root());
    SendThroughDialog(loc::SaveDisplayList, errnum::DiskFull,
                      "Disk full & C# broke=yes? caf\xc3\xa9");
    ASSERT_EQ(server->targets.size(), 2);
    const QByteArray query = server->targets[0].mid(server->targets[0].indexOf('?') + 1);
    EXPECT_EQ(server->targets[0], "/products/errorreport.asp?" + query);
    EXPECT_EQ(server->targets[1], "/collect/report?" + query);
    const QUrlQuery fields(QString::fromLatin1(query));
    EXPECT_EQ(fields.queryItems(QUrl::FullyDecoded),
              (QList<std::pair<QString, QString>>{
                  {"application", "Varnello100"},
                  {"errorlocation", "39"},
                  {"errornumber", "61"},
                  {"errordescription", QStringLiteral("Disk full & C# broke=yes? caf\u00e9")}}));
}

TEST_F(ReportSending, AFailedOrSilentSiteHidesTheDialogQuietly) {
    Install(test::ClosedPortRoot());
    SendThroughDialog(loc::MainLoad, 13, "Type mismatch");
    server = std::make_unique<LoopbackHttpServer>([this](const QByteArray&, int index) {
        return index == 0 ? HttpAnswer::Ok("RETRY|" + server->Root().toLatin1() + "/slow")
                          : HttpAnswer::Never();
    });
    Install(server->Root());
    SendThroughDialog(loc::MainLoad, 13, "Type mismatch");
    EXPECT_EQ(server->targets.size(), 2);
}

TEST_F(ReportSending, ANewerReportArrivingMeanwhileStaysOnScreen) {
    server = std::make_unique<LoopbackHttpServer>(
        [](const QByteArray&, int) { return HttpAnswer::Never(); });
    Install(server->Root());
    reporter.ShowErrorReport(loc::MainLoad, 13, "Type mismatch");
    Send()->click();
    ASSERT_TRUE(test::WaitUntil([this] { return server->targets.size() == 1; }));
    reporter.ShowErrorReport(loc::SaveDisplayList, 61, "Disk full");
    ASSERT_TRUE(test::WaitUntil([this] { return Send()->isEnabled(); }));
    test::SpinFor(50);
    EXPECT_TRUE(reporter.Dialog().isVisible());
    EXPECT_EQ(reporter.Dialog().ErrorDescription, "Disk full");
}

}  // namespace
}  // namespace tavrino
