// The class description of Window1 (the window events it answers) and its destructor.
#include "repair_window/window1.h"

namespace {

/// Window1 answers five of the window's events; every other keeps its default behaviour.
const bool kWindow1Class = [] {
  using fw::WindowEvent;
  fw::RegisterWindowClass<Window1>("Window1.Window1",
                                   fw::On(WindowEvent::Close, &Window1::Event_Close),
                                   fw::On(WindowEvent::CreateControls, &Window1::CreateControls),
                                   fw::On(WindowEvent::DropObject, &Window1::Event_DropObject),
                                   fw::On(WindowEvent::Layout, &Window1::Layout),
                                   fw::On(WindowEvent::Open, &Window1::Event_Open));
  return true;
}();

}  // namespace

Window1::~Window1() {
  pDest = nullptr;
  pSource = nullptr;
}
