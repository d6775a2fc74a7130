// QuitOnSignals on a self-pipe: a signal handler may call almost nothing, but write(2) is
// safe, and the event loop wakes up for the pipe's read end like for any other input.
//
// Both ends of the pipe stay open once made. A handler that another thread began just
// before a guard put the old handlers back may write after the guard has gone: into a
// closed write end's number it could hit a file opened since, and into a pipe without a
// read end it would raise SIGPIPE. Kept open, the byte lands in the pipe (non-blocking, so
// a full pipe drops it), and the next guard drops what it finds there on its way in.
#include "framework/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>  // strsignal
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "framework/application.h"
#include "framework/base/exceptions.h"

namespace fw {

namespace {

constexpr std::array<int, 3> kQuitSignals = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t g_pipeInput = -1;  // the write end, once made; never closed after a handler was set
int g_pipeOutput = -1;                   // the read end, main thread only

void OnQuitSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  if (g_pipeInput >= 0) [[maybe_unused]] const ssize_t ignored = ::write(g_pipeInput, &number, 1);
  errno = saved;
}

[[noreturn]] void Fail(const char* what) {
  const int error = errno;
  throw RuntimeException(std::string("The signals cannot be watched (") + what + "): " + std::strerror(error), error);
}

/// Makes the pipe unless it is there; true when this call made it.
bool OpenPipe() {
  if (g_pipeInput >= 0) return false;
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe");
  g_pipeOutput = ends[0];
  g_pipeInput = ends[1];
  return true;
}

/// Closes the pipe; only while no handler can write into it.
void ClosePipe() noexcept {
  ::close(g_pipeOutput);
  ::close(g_pipeInput);
  g_pipeOutput = -1;
  g_pipeInput = -1;
}

bool Ignored(const struct sigaction& disposition) {
  return (disposition.sa_flags & SA_SIGINFO) == 0 && disposition.sa_handler == SIG_IGN;
}

}  // namespace

struct QuitOnSignals::Saved {
  std::array<struct sigaction, kQuitSignals.size()> handlers{};
  std::array<bool, kQuitSignals.size()> replaced{};  // handlers[i] is to be put back
};

QuitOnSignals::QuitOnSignals() : saved_(std::make_unique<Saved>()) {
  const bool madePipe = OpenPipe();
  for (unsigned char stale = 0; ::read(g_pipeOutput, &stale, 1) == 1;) {
    // Written after the last guard had gone: not a request to this one.
  }
  try {
    reader_ = std::make_unique<QSocketNotifier>(g_pipeOutput, QSocketNotifier::Read);
    QObject::connect(reader_.get(), &QSocketNotifier::activated, [this] {
      for (unsigned char number = 0; ::read(g_pipeOutput, &number, 1) == 1;) {
        if (ApplicationQuitting()) continue;  // the first quit decides
        signal_ = number;
        QuitApplication(128 + number);
      }
    });
  } catch (...) {
    reader_.reset();
    if (madePipe) ClosePipe();
    throw;
  }

  struct sigaction quit {};
  quit.sa_handler = &OnQuitSignal;
  quit.sa_flags = SA_RESTART;
  sigemptyset(&quit.sa_mask);
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
    struct sigaction old {};
    const bool read = ::sigaction(kQuitSignals[i], nullptr, &old) == 0;
    if (read && Ignored(old)) continue;  // ignored by whoever started the program: it stays so
    if (!read || ::sigaction(kQuitSignals[i], &quit, nullptr) != 0) {
      const int error = errno;
      RestoreHandlers();
      errno = error;
      Fail(::strsignal(kQuitSignals[i]));
    }
    saved_->handlers[i] = old;
    saved_->replaced[i] = true;
  }
}

QuitOnSignals::~QuitOnSignals() {
  RestoreHandlers();
  reader_.reset();
}

void QuitOnSignals::RestoreHandlers() noexcept {
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
    if (saved_->replaced[i]) ::sigaction(kQuitSignals[i], &saved_->handlers[i], nullptr);
    saved_->replaced[i] = false;
  }
}

}  // namespace fw
