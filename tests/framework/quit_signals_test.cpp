// The signals that end a program from outside quit the event loop as File ▸ Quit does,
// while the guard lives, and only then.
#include "framework/quit_signals.h"

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "framework/application.h"

namespace {

TEST(QuitOnSignals, KillCtrlCAndHangUpQuitTheLoopAndTheOldHandlersComeBack) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction before {};
    ::sigaction(signal, nullptr, &before);
    {
      const fw::QuitOnSignals guard;
      QTimer::singleShot(0, [signal] { ::kill(::getpid(), signal); });
      EXPECT_EQ(QApplication::exec(), 128 + signal) << signal;
      EXPECT_TRUE(fw::ApplicationQuitting());
      fw::ResetQuitRequest();
    }
    struct sigaction after {};
    ::sigaction(signal, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << signal;
  }
}

}  // namespace
