// The signals that end a program from outside quit the event loop as File ▸ Quit does,
// while the guard lives, and only then; a signal that the program was started with
// ignored stays ignored; the pipe that the handler writes into outlives every guard.
#include "framework/quit_signals.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <map>
#include <string>
#include <gtest/gtest.h>

#include "framework/application.h"

namespace {

namespace fs = std::filesystem;

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void (*Handler(int signal))(int) {
  struct sigaction now {};
  ::sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

/// Sets a signal's handler for the life of the guard.
class Disposition {
 public:
  Disposition(int signal, void (*handler)(int)) : signal_(signal) {
    struct sigaction set {};
    set.sa_handler = handler;
    sigemptyset(&set.sa_mask);
    ::sigaction(signal_, &set, &old_);
  }
  ~Disposition() { ::sigaction(signal_, &old_, nullptr); }
  Disposition(const Disposition&) = delete;
  Disposition& operator=(const Disposition&) = delete;

 private:
  int signal_;
  struct sigaction old_ {};
};

/// Runs the event loop; `signal` is sent to the process as it starts, and the loop is
/// quit with 7 a little later unless the signal quit it first. The loop's status.
int LoopWithSignal(int signal) {
  QTimer::singleShot(0, [signal] { ::kill(::getpid(), signal); });
  QTimer::singleShot(50, [] { fw::QuitApplication(7); });
  const int status = QApplication::exec();
  fw::ResetQuitRequest();
  return status;
}

/// The pipes of this process that hold `bytes` bytes: descriptor number to pipe name.
std::map<int, std::string> PipesHolding(int bytes) {
  std::map<int, std::string> pipes;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = fs::read_symlink(entry.path(), ec).native();
    const int fd = std::stoi(entry.path().filename().native());
    int held = -1;
    if (!ec && target.starts_with("pipe:") && ::ioctl(fd, FIONREAD, &held) == 0 && held == bytes) pipes[fd] = target;
  }
  return pipes;
}

TEST(QuitOnSignals, KillCtrlCAndHangUpQuitTheLoopAndTheOldHandlersComeBack) {
  for (int signal : kQuitSignals) {
    const auto before = Handler(signal);
    {
      const fw::QuitOnSignals guard;
      EXPECT_EQ(LoopWithSignal(signal), 128 + signal) << signal;
      EXPECT_EQ(guard.Signal(), signal);
    }
    EXPECT_EQ(Handler(signal), before) << signal;
  }
}

TEST(QuitOnSignals, ASignalIgnoredWhenTheGuardIsMadeStaysIgnoredAndQuitsNothing) {
  for (int signal : kQuitSignals) {
    const Disposition ignored(signal, SIG_IGN);  // as nohup, or a shell's background job, starts it
    {
      const fw::QuitOnSignals guard;
      EXPECT_EQ(Handler(signal), SIG_IGN) << signal;
      EXPECT_EQ(LoopWithSignal(signal), 7) << signal;
      EXPECT_EQ(guard.Signal(), 0) << signal;
    }
    EXPECT_EQ(Handler(signal), SIG_IGN) << signal;
  }
}

TEST(QuitOnSignals, ThePipeOutlivesTheGuardAndALateByteQuitsNoLaterLoop) {
  void (*handler)(int) = nullptr;
  std::map<int, std::string> pipe;  // both ends of the guard's pipe
  {
    const fw::QuitOnSignals guard;
    handler = Handler(SIGTERM);
    handler(SIGTERM);  // as the signal does; no loop runs to read the byte
    pipe = PipesHolding(1);
  }
  ASSERT_EQ(pipe.size(), 2u);
  // A handler that another thread began before the guard went may finish now: it writes
  // into the pipe that it saw, still open at both ends (no file took a number of it, and
  // a pipe without its read end would raise SIGPIPE).
  EXPECT_EQ(PipesHolding(1), pipe);
  handler(SIGTERM);
  EXPECT_EQ(PipesHolding(2), pipe);

  const fw::QuitOnSignals next;
  EXPECT_EQ(LoopWithSignal(0), 7);  // signal 0 is none: only the bytes left could quit it
  EXPECT_EQ(next.Signal(), 0);
}

}  // namespace
