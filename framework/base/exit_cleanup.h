// ExitCleanup: what an operation has under way and must not leave behind when the process
// ends in its middle. The guards that hold a running process, a temporary folder or a
// half-made file undo their work when they go away; but exit(), which a library may call
// from anywhere (Qt's X11 plug-in does when the display goes away), destroys nothing on
// the stack. So such a guard also enters its undo here for as long as it may be needed,
// and when the process ends normally (return from main or exit(); not _exit, abort or a
// fatal signal) the undos entered then all run: first every process is ended, then the
// files go, newest first. Only the process that entered an undo runs it: a forked child
// that calls exit() leaves its parent's work alone.
#pragma once

#include <sys/types.h>

#include <functional>

namespace fw {

/// RAII guard: while it lives, `undo` runs at process exit in its stage. The guard goes
/// without running it. `undo` must not throw, nor make or destroy an ExitCleanup. Guards
/// may be made and destroyed on any thread.
class ExitCleanup {
 public:
  enum class Stage {
    EndProcesses,  // runs first: nothing writes any more when the files go
    RemoveFiles,
  };

  ExitCleanup(Stage stage, std::function<void()> undo);
  ~ExitCleanup();
  ExitCleanup(const ExitCleanup&) = delete;
  ExitCleanup& operator=(const ExitCleanup&) = delete;

 private:
  struct Registry;
  static Registry& Guards();  // made on first use, when it also sets RunAll to run at exit
  static void RunAll();

  Stage stage_;
  std::function<void()> undo_;
  pid_t owner_;  // the process that made the guard: only its exit runs undo_
};

}  // namespace fw
