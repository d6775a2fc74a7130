#include "framework/runtime.h"

#include <QApplication>
#include <QTimer>
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

State& Current() {
  static State state;
  return state;
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
  Current().loopStatus = QApplication::exec();
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
