// main() of the Qt test binaries: offscreen unless told otherwise (test discovery
// runs the binary during the build, without ctest's environment).
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/support/wait_until.h"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // A test waiting on a condition keeps the event loop running meanwhile; its
  // helper threads only pause.
  SetWaitBetweenLooks([](std::chrono::milliseconds pause) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      QThread::msleep(static_cast<unsigned long>(pause.count()));
      return;
    }
    QEventLoop loop;
    QTimer::singleShot(pause, &loop, &QEventLoop::quit);
    loop.exec();
  });
  return RUN_ALL_TESTS();
}
