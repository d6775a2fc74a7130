// App: the application object. It keeps no state of its own: at launch it opens one
// empty main window, and for every album the desktop asks it to open, a window on it.
#pragma once

#include <memory>

#include "framework/application.h"
#include "framework/base/folder_item.h"

namespace shell {

class App : public fw::Application {
 public:
  /// The launch: one empty main window.
  virtual void Event_Open();
  /// A file to open: a main window on it when its extension is "qva" in any letter
  /// case; any other file is ignored without a message. Nil raises NilObjectException.
  virtual void Event_OpenDocument(fw::FolderItemPtr item);
  /// Does nothing of its own.
  virtual void Constructor();
};

}  // namespace shell

/// The application object that start-up registered, or nullptr before that. Throws
/// IllegalCastException when the registered object is not an App.
std::shared_ptr<shell::App> App();
