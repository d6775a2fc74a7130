#include "shell/startup.h"

#include <sqlite3.h>
#include <unistd.h>

#include <string>

#include <QApplication>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/event_dispatch.h"
#include "framework/runtime.h"
#include "shell/app.h"
#include "shell/file_types.h"
#include "shell/main_menu_bar.h"

namespace {

/// The program's own module initialisers: the type list starts empty, no menu bar yet.
void InitModules() {
  FileTypes::_InitModule();
  shell::InitMainMenuBarModule();
}

/// The plug-ins are linked into the program; making them ready means nothing more than
/// checking that what they stand on answers: the SQLite library of the database class,
/// at least as new as the one the program was built with, and /bin/sh, through which the
/// shell class runs its command lines. Throws RuntimeException, naming the one missing.
void LoadPlugins() {
  if (sqlite3_libversion_number() < SQLITE_VERSION_NUMBER) {
    throw fw::RuntimeException(std::string("The SQLite library ") + sqlite3_libversion() +
                               " is older than " SQLITE_VERSION ", which this program was built with.");
  }
  if (::access("/bin/sh", X_OK) != 0) throw fw::RuntimeException("The shell /bin/sh cannot be run.");
}

}  // namespace

int RunProgram(int argc, char** argv) {
  fw::runtime::Start(argc, argv);
  fw::runtime::RunInitialisers({InitModules});
  _Main();
  fw::runtime::RunFinalisers({});
  return fw::runtime::ExitStep();
}

void _Main() {
  fw::runtime::SetUpExceptionHandling();
  try {
    if (std::exception_ptr pending = fw::runtime::TakePendingException()) std::rethrow_exception(pending);
    _EarlyStartup();
    fw::runtime::CompleteInitialisation(_LateStartup);
    fw::runtime::RunEventLoop();
  } catch (const fw::QuitUnwind&) {
    // A quit while a handler waited; nothing to report.
  } catch (...) {
    fw::ReportUnhandledException(std::current_exception());
  }
}

void _EarlyStartup() {
  QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  LoadPlugins();
  _InitFileTypes();
  _NewAppInstance();
  _ApplicationAddMenuHandlers();
}

void _InitFileTypes() { FileTypes::_Initialize(); }

void _NewAppInstance() {
  auto app = std::make_shared<shell::App>();
  app->Constructor();
  app->SetMajorVersion(1);
  app->SetMinorVersion(2);
  app->SetBugVersion(0);
  app->SetNonReleaseVersion(0);
  app->SetStageCode(3);
  app->SetLongVersion("Tessavine Software Inc.");
  app->SetShortVersion("1.2");
  app->SetPackageInfo("");
  app->SetMenuBar(MainMenuBar());
  fw::RegisterApplication(app);
}

void _ApplicationAddMenuHandlers() {}

void _LateStartup() {}
