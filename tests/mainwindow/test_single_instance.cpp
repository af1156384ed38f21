// One copy per user session: the second launch reaches the first instead of starting, and a
// socket left by a copy that died blocks nothing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <vector>

#include "mainwindow/SingleInstance.h"

namespace tavrino {
namespace {

TEST(SingleInstance, TheSecondCopyIsNotPrimaryAndItsRequestsReachTheFirst) {
    QTemporaryDir dir;
    EXPECT_FALSE(SingleInstance(dir.path()).Send(QStringLiteral("show"), 500)) << "nobody runs";
    QFile(dir.filePath(QStringLiteral("tavrino-wallpaper-manager.socket")))
        .open(QIODevice::WriteOnly);
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.BecomePrimary()) << "over a dead copy's socket";
    std::vector<QString> received;
    first.onRequest = [&received](const QString& request) {
        received.push_back(request);
        return request == QStringLiteral("next") ? QStringLiteral("refused")
                                                 : QStringLiteral("done");
    };
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.BecomePrimary());
    // Sent from another thread while this one serves the request.
    for (const auto& [request, answered] : {std::pair{"show", true}, std::pair{"next", false}}) {
        auto sent = std::async(std::launch::async, [&] { return second.Send(request, 3000); });
        while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(sent.get(), answered) << request;
    }
    EXPECT_EQ(received, (std::vector<QString>{QStringLiteral("show"), QStringLiteral("next")}));
}

}  // namespace
}  // namespace tavrino
