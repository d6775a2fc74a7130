// Shell: runs one command line through `/bin/sh -c`, synchronously or in the background.
//
// One command at a time: Execute starts a command only when the previous one has ended
// (it throws otherwise). The child:
//   - reads stdin from /dev/null; its stdout and stderr go to /dev/null (stderr to a file
//     when SetErrorOutput names one), so it can never block on a full pipe however much it
//     prints (redirections written in the command line, like `> file` or `2>&1`, still
//     work: sh handles them);
//   - runs in a process group of its own, so that Terminate ends it with all that it
//     started;
//   - gets the default disposition of the common signals and an empty signal mask, and
//     no descriptor of this process other than 0, 1 and 2.
//
// Who calls what: the owner (one thread; the object is not thread-safe) calls Execute,
// then in mode 1 follows the child with IsRunning() or Poll() (e.g. from a timer) until it
// has ended, then reads ExitCode(). Nothing happens in the background: the object learns
// that the child ended only in Poll / IsRunning / Terminate / the destructor. No SIGCHLD
// handler is installed; only our own child is waited for (waitpid on its pid), so every
// child is reaped and no zombie is left once the owner polls, terminates or destroys the
// object. The destructor of a Shell whose child still runs calls Terminate, and so does
// the process's exit, should it come while the Shell still lives (see fw::ExitCleanup).
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>

#include "framework/base/exit_cleanup.h"

namespace plugins {

class Shell {
 public:
  /// Execute waits until the command has ended.
  static constexpr int kSynchronous = 0;
  /// Execute starts the command and returns at once.
  static constexpr int kAsynchronous = 1;

  Shell() = default;
  /// Terminates a child that still runs (see Terminate); never throws.
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  /// 0 = synchronous, 1 = asynchronous. Takes effect at the next Execute. Any other value
  /// throws fw::RuntimeException.
  int Mode() const noexcept { return mode_; }
  void SetMode(int mode);

  /// Where the error output of the next commands goes: the file at `path`, opened for
  /// writing from its start and created (mode 0600) when missing. It is not truncated, so
  /// room that the caller reserved in it beforehand stays reserved. Empty: /dev/null.
  void SetErrorOutput(std::string path) { errorOutput_ = std::move(path); }

  /// Runs `/bin/sh -c commandLine`. Throws fw::RuntimeException when a command still runs,
  /// when the command line holds a NUL byte, or when the process cannot be started.
  void Execute(const std::string& commandLine);

  /// Polls, then tells whether the child still runs.
  bool IsRunning();
  /// Reaps the child if it has ended (waitpid WNOHANG); does nothing otherwise.
  void Poll();

  /// The exit code of the last command once it has ended, else -1. A command ended by a
  /// signal gives 128 + the signal number, as sh reports it.
  int ExitCode() const noexcept { return exitCode_; }

  /// The process id of the running child (the leader of its process group), 0 when none.
  pid_t ProcessID() const noexcept { return pid_; }

  /// Ends the running child and everything in its process group: SIGTERM (with SIGCONT,
  /// should it be stopped) to the group, up to 200 ms for them to go, then SIGKILL to the
  /// group; the child is reaped. Does nothing when no child runs. Never throws.
  void Terminate() noexcept;

 private:
  void Ended(int status) noexcept;  // records the exit code and forgets the child

  int mode_ = kSynchronous;
  pid_t pid_ = 0;  // the running child, 0 when none
  int exitCode_ = -1;
  std::string errorOutput_;  // empty: the child's stderr is /dev/null
  fw::ExitCleanup endAtExit_{fw::ExitCleanup::Stage::EndProcesses, [this] { Terminate(); }};
};

}  // namespace plugins
