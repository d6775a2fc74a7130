// MainMenuBar: the application's menu bar, File with Quit. One instance, made on first
// use; choosing Quit quits through the framework's own quit item.
#pragma once

#include <memory>

#include "framework/menu_bar.h"

namespace shell {

class MainMenuBar : public fw::MenuBar {
 public:
  /// Builds the menus (FileMenu).
  void Constructor();
  /// Builds the File menu and its Quit item into the bar.
  void FileMenu();
};

/// Module initialiser: no menu bar exists yet.
void InitMainMenuBarModule();

}  // namespace shell

/// The one menu bar, made on the first call.
std::shared_ptr<shell::MainMenuBar> MainMenuBar();
