#include "framework/menu_bar.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "framework/event_dispatch.h"

namespace fw {

namespace {

void AddItems(QMenu* menu, const MenuItem& parent) {
  for (std::size_t i = 0; i < parent.Count(); ++i) {
    MenuItemPtr item = parent.Item(i);
    if (item->Count() > 0) {
      QMenu* sub = menu->addMenu(QString::fromStdString(item->Text()));
      sub->setObjectName(QString::fromStdString(item->Name()));
      AddItems(sub, *item);
      continue;
    }
    QAction* action = menu->addAction(QString::fromStdString(item->Text()));
    action->setObjectName(QString::fromStdString(item->Name()));
    action->setVisible(item->Visible());
    action->setShortcut(QKeySequence(QString::fromStdString(NativeShortcut(item->Shortcut()))));
    // Every window carries its own copy of the menu bar, so the key is bound to the window
    // that shows it: as an application-wide key, two windows would give Qt the same key
    // twice, and Qt answers such a key with nothing but a warning.
    action->setShortcutContext(Qt::WindowShortcut);
    if (dynamic_cast<const QuitMenuItem*>(item.get()) != nullptr) action->setMenuRole(QAction::QuitRole);
    QObject::connect(action, &QAction::triggered, action, [item] { DispatchEvent([item] { item->Chosen(); }); });
  }
}

}  // namespace

QMenuBar* MenuBar::BuildNativeMenuBar() const {
  auto* bar = new QMenuBar;
  for (std::size_t i = 0; i < Count(); ++i) {
    MenuItemPtr menuItem = Item(i);
    QMenu* menu = bar->addMenu(QString::fromStdString(menuItem->Text()));
    menu->setObjectName(QString::fromStdString(menuItem->Name()));
    menu->menuAction()->setVisible(menuItem->Visible());
    AddItems(menu, *menuItem);
  }
  return bar;
}

std::string NativeShortcut(const std::string& shortcut) {
  std::string result = shortcut;
  for (std::size_t at = result.find("Cmd"); at != std::string::npos; at = result.find("Cmd", at + 4)) {
    result.replace(at, 3, "Ctrl");
  }
  return result;
}

}  // namespace fw
