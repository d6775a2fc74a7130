// MenuBar: the application's menus, shown in the menu bar of each of its windows.
#pragma once

#include "framework/menu_item.h"

class QMenuBar;

namespace fw {

class MenuBar : public MenuItem {
 public:
  /// A new Qt menu bar that shows this bar's menus and items; the caller owns it. Choosing
  /// an item raises its Chosen action through the framework's event dispatch.
  QMenuBar* BuildNativeMenuBar() const;
};

/// The shortcut text of a menu item in Qt's form ("Cmd+Q" becomes "Ctrl+Q").
std::string NativeShortcut(const std::string& shortcut);

}  // namespace fw
