// QuitOnSignals on a self-pipe: a signal handler may call almost nothing, but write(2) is
// safe, and the event loop wakes up for the pipe's read end like for any other input.
#include "framework/quit_signals.h"

#include <fcntl.h>
#include <signal.h>
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

volatile sig_atomic_t g_pipeInput = -1;  // the write end while a guard lives

void OnQuitSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  if (g_pipeInput >= 0) [[maybe_unused]] const ssize_t ignored = ::write(g_pipeInput, &number, 1);
  errno = saved;
}

}  // namespace

struct QuitOnSignals::Saved {
  std::array<struct sigaction, kQuitSignals.size()> handlers{};
  int pipe[2] = {-1, -1};
};

QuitOnSignals::QuitOnSignals() : saved_(std::make_unique<Saved>()) {
  if (::pipe2(saved_->pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw RuntimeException(std::string("The signals cannot be watched: ") + std::strerror(errno), errno);
  }
  reader_ = std::make_unique<QSocketNotifier>(saved_->pipe[0], QSocketNotifier::Read);
  QObject::connect(reader_.get(), &QSocketNotifier::activated, [fd = saved_->pipe[0]] {
    unsigned char number = 0;
    while (::read(fd, &number, 1) == 1) QuitApplication(128 + number);  // the first one decides
  });
  g_pipeInput = saved_->pipe[1];

  struct sigaction quit {};
  quit.sa_handler = &OnQuitSignal;
  quit.sa_flags = SA_RESTART;
  sigemptyset(&quit.sa_mask);
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) ::sigaction(kQuitSignals[i], &quit, &saved_->handlers[i]);
}

QuitOnSignals::~QuitOnSignals() {
  for (std::size_t i = 0; i < kQuitSignals.size(); ++i) ::sigaction(kQuitSignals[i], &saved_->handlers[i], nullptr);
  g_pipeInput = -1;
  reader_.reset();
  ::close(saved_->pipe[0]);
  ::close(saved_->pipe[1]);
}

}  // namespace fw
