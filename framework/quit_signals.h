// QuitOnSignals: the signals that end a program from outside ask the application to quit,
// the way File ▸ Quit does. SIGTERM (kill, the end of a session), SIGINT (Ctrl+C in a
// terminal) and SIGHUP (the terminal or the session went away) would otherwise end the
// process on the spot: a repair that waits for sqlite3 would leave the process running
// on its own and the album's dumps in the temporary folder. As a quit, the waiting
// handlers unwind through their guards, which end the processes and remove the files.
#pragma once

#include <memory>

class QSocketNotifier;

namespace fw {

/// RAII guard: while it lives, each of the three signals makes the event loop quit the
/// application with 128 + the signal's number, the status that a shell reports for a
/// program that the signal ended. The handler only writes the signal's number into a
/// pipe, which the event loop reads. One guard at a time, made and destroyed on the main
/// thread, with the QCoreApplication in place; the destructor puts the previous handlers
/// back. Throws RuntimeException when the pipe or a handler cannot be set up.
class QuitOnSignals {
 public:
  QuitOnSignals();
  ~QuitOnSignals();
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;              // the previous handlers and the pipe
  std::unique_ptr<QSocketNotifier> reader_;   // reads the pipe from the event loop
};

}  // namespace fw
