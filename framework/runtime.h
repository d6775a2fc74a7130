// The runtime: what happens around the program's own start-up. It starts the framework,
// runs the initialisers and finalisers, holds an exception that an initialiser left
// pending, runs the event loop (delivering the launch and the files the desktop asks the
// application to open) and ends with the exit step, which gives the process's status. A
// process that a signal quit dies by that signal once everything has run that runs at exit.
#pragma once

#include <exception>
#include <initializer_list>

namespace fw::runtime {

using Routine = void (*)();

/// Starts the framework from the command line: makes the QApplication, unless one exists
/// already (as in tests), and keeps the file names given on the command line. The first
/// call also arranges, before anything else is registered to run at exit, that a process
/// whose event loop a signal quit ends by that same signal after every other handler at
/// exit has run: a shell sees the program die by the signal (Ctrl+C stops a script's loop
/// over albums), not end on purpose with 128 + its number.
void Start(int& argc, char** argv);
/// Runs the framework's own initialisers, then `program`'s, in order. The first that
/// throws stops the rest; its exception stays pending (TakePendingException).
void RunInitialisers(std::initializer_list<Routine> program);
/// The exception an initialiser left pending, or nullptr; taking it clears it.
std::exception_ptr TakePendingException();
/// From now on an exception that escapes a function the framework calls goes to the
/// report of unhandled exceptions.
void SetUpExceptionHandling();
/// Finishes the framework's own start-up and calls `lateHook`.
void CompleteInitialisation(Routine lateHook);
/// Runs the event loop until a quit: first the application's Open event, then its
/// OpenDocument event for each file named on the command line (a relative name is taken
/// from the current folder), one by one. Returns the loop's status. Meanwhile SIGTERM,
/// SIGINT and SIGHUP quit with 128 + the signal's number (see QuitOnSignals), and the
/// process will end by that signal (see Start).
int RunEventLoop();
/// Runs `program`'s finalisers, then the framework's own (which close the windows still
/// open). A finaliser that throws does not stop the others.
void RunFinalisers(std::initializer_list<Routine> program);
/// The process's exit status: the event loop's, or 1 when an exception was reported as
/// unhandled. Lets the QApplication go when Start made it.
int ExitStep();

}  // namespace fw::runtime
