#include "framework/runtime.h"

#include <signal.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/event_dispatch.h"
#include "framework/quit_signals.h"
#include "framework/window.h"

namespace fw::runtime {

namespace {

struct State {
  std::unique_ptr<QApplication> ownApplication;  // set when Start made the QApplication
  std::vector<std::string> documents;            // files named on the command line
  std::exception_ptr pending;                    // left by an initialiser
  int loopStatus = 0;
  bool unhandled = false;                        // an exception was reported as unhandled
};

int g_quitSignal = 0;  // the signal that quit the last event loop, 0 if none; read at exit

/// At exit, after a quit by a signal: the signal again, with its default disposition, so
/// that the process dies by it. Registered when the framework starts, before the program
/// registers anything to run at exit, it runs after all that.
void DieByQuitSignal() {
  if (g_quitSignal == 0) return;
  std::fflush(nullptr);  // what stdio still holds is not lost with the process
  ::signal(g_quitSignal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, g_quitSignal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(g_quitSignal);
}

/// Never destroyed: the exit step lets the QApplication go, and a process that exit()
/// ends in the middle (Qt's X11 plug-in does so when the display goes away) leaves it to
/// the process's end, since it cannot be destroyed during static destruction.
State& Current() {
  static auto* const state = new State;
  return *state;
}

void NoteUnhandled(std::exception_ptr error) {
  Current().unhandled = true;
  DefaultUnhandledExceptionReport(error);
}

void CloseOpenWindows() {
  for (const auto& window : Window::OpenWindows()) window->Close();
  Window::ForgetAll();
}

}  // namespace

void Start(int& argc, char** argv) {
  [[maybe_unused]] static const bool diesBySignal = std::atexit(&DieByQuitSignal) == 0;
  if (QApplication::instance() == nullptr) Current().ownApplication = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // windows quit through their own handlers
  Current().documents.clear();
  // What is left after Qt took its own options names the files to open.
  for (int i = 1; i < argc; ++i) Current().documents.emplace_back(argv[i]);
}

void RunInitialisers(std::initializer_list<Routine> program) {
  try {
    for (Routine routine : program) routine();
  } catch (...) {
    Current().pending = std::current_exception();
  }
}

std::exception_ptr TakePendingException() { return std::exchange(Current().pending, nullptr); }

void SetUpExceptionHandling() {
  Current().unhandled = false;
  SetUnhandledExceptionReport(NoteUnhandled);
}

void CompleteInitialisation(Routine lateHook) {
  if (lateHook != nullptr) lateHook();
}

int RunEventLoop() {
  QTimer::singleShot(0, [] {
    std::shared_ptr<Application> app = CurrentApplication();
    if (!app) return;
    DispatchEvent([&] { app->Raise(AppEvent::Open); });
    for (const std::string& name : Current().documents) {
      if (ApplicationQuitting()) break;
      DispatchEvent([&] { app->Raise(AppEvent::OpenDocument, {FolderItem::Make(std::filesystem::path(name))}); });
    }
  });
  const QuitOnSignals quitOnSignals;  // a kill, Ctrl+C or a hang-up quits as File ▸ Quit does
  g_quitSignal = 0;
  Current().loopStatus = QApplication::exec();
  g_quitSignal = quitOnSignals.Signal();
  return Current().loopStatus;
}

void RunFinalisers(std::initializer_list<Routine> program) {
  for (Routine routine : program) {
    try {
      routine();
    } catch (...) {
      // A finaliser's failure must not keep the others from running.
    }
  }
  CloseOpenWindows();
}

int ExitStep() {
  const int status = Current().unhandled && Current().loopStatus == 0 ? 1 : Current().loopStatus;
  Current().ownApplication.reset();
  return status;
}

}  // namespace fw::runtime
