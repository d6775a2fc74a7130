// Window1: the tool's one window. It holds at most one album: it checks the album
// dropped on it (or opened into it) and, on request, rebuilds a sound copy of it at a
// place the user chooses. Its controls live in the window's registry by name and are
// reached only through the accessors below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/base/folder_item.h"
#include "framework/canvas.h"
#include "framework/design_values.h"
#include "framework/drag_item.h"
#include "framework/label.h"
#include "framework/push_button.h"
#include "framework/text_area.h"
#include "framework/window.h"

class Window1 : public fw::Window {
 public:
  /// Defined beside the class description, so that a program that makes a window always
  /// has the description registered (see window1.cpp).
  Window1();
  ~Window1() override;

  /// Applies the window's design values.
  virtual void Layout();
  /// Creates the controls (through _CreateControls0).
  virtual void CreateControls();
  /// Creates, registers and sets up the ten controls in their fixed order.
  virtual void _CreateControls0();

 private:
  std::shared_ptr<fw::Label> Label1() const;
  std::shared_ptr<fw::Label> Label2() const;
  std::shared_ptr<fw::Label> lblFilename() const;
  std::shared_ptr<fw::PushButton> cmdRepair() const;
  std::shared_ptr<fw::Label> Label3() const;
  std::shared_ptr<fw::Label> lblRepaired() const;
  std::shared_ptr<fw::Canvas> Canvas1() const;
  std::shared_ptr<fw::Label> Label4() const;
  std::shared_ptr<fw::PushButton> PushButton1() const;
  std::shared_ptr<fw::TextArea> txtStatus() const;

 public:
  /// "Try to Repair": runs the repair, with drops on the window declined meanwhile, then
  /// makes the button usable and the cursor normal.
  virtual void cmdRepair_Action(fw::PushButton& button);
  /// "Quit": quits the application with exit code 0.
  virtual void PushButton1_Action(fw::PushButton& button);
  /// The close box: quits the application with exit code 0.
  virtual void Event_Close();
  /// A drop: the dropped item's file becomes the window's album.
  virtual void Event_DropObject(std::shared_ptr<fw::DragItem> obj, std::int64_t action);
  /// Accepts album drops and sets the title with the version.
  virtual void Event_Open();
  /// Makes `albumFile` the window's album and shows SQLite's verdict on it; nil does nothing.
  virtual void Action_Init(fw::FolderItemPtr albumFile);

 private:
  /// Rebuilds a sound copy of the album at a place the user chooses.
  void Action_Repair();

 public:
  /// Asks for an output file in a modal save dialog; the file, or nullptr on cancel.
  virtual fw::FolderItemPtr ShowSaveDialogPro(fw::FolderItemPtr initialFolder, const std::string& actionCaption,
                                              const std::string& dialogTitle, const std::string& promptText,
                                              const std::string& fileFilter, const std::string& suggestedName);

 private:
  template <class C>
  std::shared_ptr<C> MakeControl(const std::string& name, std::span<const fw::NamedValue> values,
                                 void (*beforeValues)(Window1&, C&) = nullptr);

  friend struct Window1Probe;  // tests read the two file references

  fw::FolderItemPtr pDest;    // the output album: the default beside the album, or the file chosen last
  fw::FolderItemPtr pSource;  // the album the window holds; nil until one is given
};
