// One copy per user session: the second launch reaches the first instead of starting.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

#include "mainwindow/SingleInstance.h"

namespace tavrino {
namespace {

// Sends from another thread while this one serves the request.
bool SendServed(const SingleInstance& client, const QString& request) {
    std::atomic<bool> answered = false;
    std::atomic<bool> done = false;
    std::thread sender([&] {
        answered = client.Send(request, 3000);
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    sender.join();
    return answered;
}

TEST(SingleInstance, TheSecondCopyIsNotPrimaryAndItsRequestsReachTheFirst) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    ASSERT_TRUE(first.BecomePrimary());
    std::vector<QString> received;
    first.onRequest = [&received](const QString& request) {
        received.push_back(request);
        return request == QStringLiteral("next") ? QStringLiteral("refused") : QStringLiteral("done");
    };
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.BecomePrimary());
    EXPECT_TRUE(SendServed(second, QStringLiteral("show")));
    EXPECT_FALSE(SendServed(second, QStringLiteral("next")));
    EXPECT_EQ(received, (std::vector<QString>{QStringLiteral("show"), QStringLiteral("next")}));
}

TEST(SingleInstance, NobodyAnswersWhenNoCopyRuns) {
    QTemporaryDir dir;
    SingleInstance lone(dir.path());
    EXPECT_FALSE(lone.Send(QStringLiteral("show"), 500));
}

TEST(SingleInstance, ASocketLeftByACopyThatDiedDoesNotBlockTheNextStart) {
    QTemporaryDir dir;
    QFile stale(dir.filePath(QStringLiteral("tavrino-wallpaper-manager.socket")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance fresh(dir.path());
    EXPECT_TRUE(fresh.BecomePrimary());
}

}  // namespace
}  // namespace tavrino
