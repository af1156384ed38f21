// Test main for widget tests: one QApplication for the whole run, offscreen by default.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>

#include "common/TestSupport.h"
#include "layouts/Resources.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    tavrino::InitAppearance();
    tavrino::test::g_waitStep = [](int ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    };
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
