#include "shell/app.h"

#include "framework/base/exceptions.h"
#include "framework/base/text.h"
#include "framework/cast.h"
#include "framework/window.h"
#include "plugins/file_name.h"
#include "repair_window/window1.h"

namespace {

/// App answers two of the application's events; the others keep their default behaviour.
const bool kAppClass = [] {
  fw::RegisterApplicationClass<shell::App>("App", fw::On(fw::AppEvent::Open, &shell::App::Event_Open),
                                           fw::On(fw::AppEvent::OpenDocument, &shell::App::Event_OpenDocument));
  return true;
}();

}  // namespace

namespace shell {

void App::Event_Open() {
  auto window = std::make_shared<Window1>();
  window->Constructor();
  window->Action_Init(nullptr);
  window->Show();
}

void App::Event_OpenDocument(fw::FolderItemPtr item) {
  if (!item) throw fw::NilObjectException("No file was given to open.");
  const std::string extension = fw::Lowercase(plugins::NameExtensionMBS(*item));
  if (extension != "qva") return;
  auto window = std::make_shared<Window1>();
  window->Constructor();
  window->Action_Init(item);
  window->Show();
}

void App::Constructor() {}

}  // namespace shell

std::shared_ptr<shell::App> App() { return fw::Cast<shell::App>(fw::CurrentApplication()); }
