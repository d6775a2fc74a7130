// QuitOnSignals: the signals that end a program from outside ask the application to quit,
// the way File ▸ Quit does. SIGTERM (kill, the end of a session), SIGINT (Ctrl+C in a
// terminal) and SIGHUP (the terminal or the session went away) would otherwise end the
// process on the spot: a repair that waits for sqlite3 would leave the process running
// on its own and the album's dumps in the temporary folder. As a quit, the waiting
// handlers unwind through their guards, which end the processes and remove the files.
// A signal that the program was started with ignored (nohup, a shell's background job)
// stays ignored. What the process does once it has quit is its owner's (the runtime ends
// it by the same signal, as the shell that started it expects).
#pragma once

#include <memory>

class QSocketNotifier;

namespace fw {

/// RAII guard: while it lives, each of the three signals that the process did not ignore
/// when the guard was made makes the event loop quit the application with 128 + the
/// signal's number. The handler only writes the signal's number into a pipe, which the
/// event loop reads; the pipe is made by the first guard and stays open for the life of
/// the process, so that a handler still running elsewhere when a guard goes writes
/// nowhere else. One guard at a time, made and destroyed on the main thread, with the
/// QCoreApplication in place; the destructor puts back the handlers that it replaced, and
/// only those. Throws RuntimeException when the pipe or a handler cannot be set up (the
/// handlers already replaced are then put back).
class QuitOnSignals {
 public:
  QuitOnSignals();
  ~QuitOnSignals();
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

  /// The signal whose quit request was in force, or 0: a signal that came while the
  /// application was already quitting changed nothing.
  int Signal() const noexcept { return signal_; }

 private:
  void RestoreHandlers() noexcept;

  struct Saved;
  std::unique_ptr<Saved> saved_;              // the handlers replaced
  std::unique_ptr<QSocketNotifier> reader_;   // reads the pipe from the event loop
  int signal_ = 0;                            // the signal that quit, 0 while none did
};

}  // namespace fw
