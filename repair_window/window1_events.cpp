// The window's event handlers: what may be dropped on it and its title, a dropped album,
// the Repair button's bracket around the repair, and the two ways to quit.
#include <string>

#include <QScopeGuard>

#include "framework/application.h"
#include "repair_window/window1.h"
#include "shell/file_types.h"

void Window1::Event_Open() {
  AcceptFileDrop(FileTypes::Quorvantaalbum()->Operator_Convert());
  std::shared_ptr<fw::Application> app = fw::RequireApplication();
  SetTitle("Quorvanta Album Repair Tool " + std::to_string(app->MajorVersion()) + "." +
           std::to_string(app->MinorVersion()));
}

void Window1::Event_Close() { fw::RequireApplication()->Quit(0); }

void Window1::Event_DropObject(std::shared_ptr<fw::DragItem> obj, std::int64_t) {
  if (!obj->FolderItemAvailable()) return;
  Action_Init(obj->FolderItem());
}

void Window1::cmdRepair_Action(fw::PushButton&) {
  // The window may be closed while the repair waits; it must outlive the repair.
  std::shared_ptr<fw::Window> keepAlive = shared_from_this();
  {
    // A repair that waits for sqlite3 keeps its album and output; a drop meanwhile would
    // only muddle what the window shows, so the window declines drags until it ends.
    const auto takeDropsAgain = qScopeGuard([this, before = DropsRefused()] { SetDropsRefused(before); });
    SetDropsRefused(true);
    Action_Repair();
  }
  cmdRepair()->SetEnabled(true);
  fw::RequireApplication()->SetMouseCursor(nullptr);
}

void Window1::PushButton1_Action(fw::PushButton&) { fw::RequireApplication()->Quit(0); }
