// Shell on posix_spawn: see shell.h.
#include "plugins/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/base/exceptions.h"

extern char** environ;

namespace plugins {

namespace {

// RAII for the spawn attributes and file actions.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  bool attrReady = false;
  bool actionsReady = false;
  ~SpawnSetup() {
    if (attrReady) posix_spawnattr_destroy(&attr);
    if (actionsReady) posix_spawn_file_actions_destroy(&actions);
  }
};

[[noreturn]] void Fail(const char* what, int error) {
  throw fw::RuntimeException(std::string("The command could not be started (") + what + "): " +
                                 std::strerror(error),
                             error);
}

void Check(int result, const char* what) {
  if (result != 0) Fail(what, result);
}

void SleepMilliseconds(long ms) noexcept {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

Shell::~Shell() { Terminate(); }

void Shell::SetMode(int mode) {
  if (mode != kSynchronous && mode != kAsynchronous) {
    throw fw::RuntimeException("Shell.Mode must be 0 (synchronous) or 1 (asynchronous), not " +
                               std::to_string(mode) + ".");
  }
  mode_ = mode;
}

void Shell::Execute(const std::string& commandLine) {
  Poll();
  if (pid_ != 0) throw fw::RuntimeException("Shell.Execute: a command still runs.");
  if (commandLine.find('\0') != std::string::npos) {
    throw fw::RuntimeException("Shell.Execute: the command line holds a NUL byte.");
  }
  exitCode_ = -1;

  SpawnSetup setup;
  Check(posix_spawnattr_init(&setup.attr), "posix_spawnattr_init");
  setup.attrReady = true;
  Check(posix_spawn_file_actions_init(&setup.actions), "posix_spawn_file_actions_init");
  setup.actionsReady = true;

  // Own process group; empty signal mask; default disposition for the signals that the
  // application may ignore or handle (ignored signals would otherwise survive exec).
  sigset_t empty, defaults;
  sigemptyset(&empty);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGALRM, SIGUSR1, SIGUSR2,
                  SIGTSTP, SIGTTIN, SIGTTOU, SIGXFSZ, SIGURG, SIGWINCH}) {
    sigaddset(&defaults, sig);
  }
  Check(posix_spawnattr_setpgroup(&setup.attr, 0), "setpgroup");
  Check(posix_spawnattr_setsigmask(&setup.attr, &empty), "setsigmask");
  Check(posix_spawnattr_setsigdefault(&setup.attr, &defaults), "setsigdefault");
  Check(posix_spawnattr_setflags(&setup.attr, static_cast<short>(POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                                 POSIX_SPAWN_SETSIGDEF)),
        "setflags");

  // stdin, stdout and stderr on /dev/null, or stderr on the chosen file; nothing else of
  // ours is inherited.
  Check(posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0), "stdin");
  Check(posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0), "stdout");
  if (errorOutput_.empty()) {
    Check(posix_spawn_file_actions_adddup2(&setup.actions, 1, 2), "stderr");
  } else {
    Check(posix_spawn_file_actions_addopen(&setup.actions, 2, errorOutput_.c_str(), O_WRONLY | O_CREAT, 0600),
          "stderr");
  }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  Check(posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3), "closefrom");
#endif

  char argv0[] = "sh";
  char argv1[] = "-c";
  char* argv[] = {argv0, argv1, const_cast<char*>(commandLine.c_str()), nullptr};
  pid_t pid = 0;
  Check(posix_spawn(&pid, "/bin/sh", &setup.actions, &setup.attr, argv, environ), "posix_spawn");
  pid_ = pid;

  if (mode_ == kSynchronous) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid_, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) {
      Ended(status);
    } else {
      pid_ = 0;  // reaped by someone else: the exit code is unknown (-1)
    }
  }
}

void Shell::Ended(int status) noexcept {
  if (WIFEXITED(status)) {
    exitCode_ = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    exitCode_ = 128 + WTERMSIG(status);
  } else {
    exitCode_ = -1;
  }
  pid_ = 0;
}

void Shell::Poll() {
  if (pid_ == 0) return;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    Ended(status);
  } else if (r < 0) {
    pid_ = 0;  // ECHILD: not ours any more (reaped elsewhere); the exit code stays -1
  }
}

bool Shell::IsRunning() {
  Poll();
  return pid_ != 0;
}

void Shell::Terminate() noexcept {
  if (pid_ == 0) return;
  const pid_t group = pid_;
  ::kill(-group, SIGTERM);
  ::kill(-group, SIGCONT);  // a stopped process gets SIGTERM only once it runs

  // Up to 200 ms for the child to end and the group to empty.
  bool reaped = false;
  for (int waited = 0; waited <= 200; waited += 5) {
    if (!reaped) {
      int status = 0;
      const pid_t r = ::waitpid(group, &status, WNOHANG);
      if (r == group) {
        Ended(status);
        reaped = true;
      } else if (r < 0 && errno != EINTR) {
        pid_ = 0;  // not ours any more
        reaped = true;
      }
    }
    // Once the leader is reaped, the group exists while any member is left.
    if (reaped && ::kill(-group, 0) != 0 && errno == ESRCH) return;
    SleepMilliseconds(5);
  }

  ::kill(-group, SIGKILL);
  if (!reaped) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(group, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r == group) {
      Ended(status);
    } else {
      pid_ = 0;
    }
  }
}

}  // namespace plugins
