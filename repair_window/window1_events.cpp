// The window's event handlers: drops, the title, the Repair bracket, Quit and close.
#include "repair_window/window1.h"

void Window1::Event_Open() {}

void Window1::Event_Close() {}

void Window1::Event_DropObject(std::shared_ptr<fw::DragItem>, std::int64_t) {}

void Window1::cmdRepair_Action(fw::PushButton&) {}

void Window1::PushButton1_Action(fw::PushButton&) {}
