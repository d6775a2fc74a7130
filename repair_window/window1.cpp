// The class description of Window1 (the window events it answers), its constructor and
// its destructor.
//
// The description is registered by a static initialiser of this file, and a file of a
// static library is linked into a program only when the program uses something defined
// in it. The constructor is defined here, out of line, for that reason: every program
// that makes a Window1 calls it, so it always links this file and the registration with
// it. (Without it, the registration would hang on whichever member happens to be defined
// here alone, and a window whose description is missing answers none of its events.)
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

Window1::Window1() = default;

Window1::~Window1() {
  pDest = nullptr;
  pSource = nullptr;
}
