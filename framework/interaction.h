// The one seam between the tool and the person at the keyboard: modal save dialogs,
// message boxes and the live state of the Alt key. The default answers with the real
// dialogs and the real keyboard; tests install their own answers.
#pragma once

#include <memory>
#include <string>

#include "framework/base/folder_item.h"

namespace fw {

class SaveAsDialog;

class Interaction {
 public:
  virtual ~Interaction() = default;
  /// Shows the save dialog modally; the chosen file, or nullptr when cancelled.
  virtual FolderItemPtr ShowSaveDialog(SaveAsDialog& dialog);
  /// Shows a modal message box with `text` and returns when it is dismissed.
  virtual void ShowMessage(const std::string& text);
  /// True while the Alt key (the Option key of other platforms) is held down now.
  virtual bool AltKeyDown();
};

/// The interaction in force (the real one unless a test installed another).
Interaction& CurrentInteraction();
/// Installs `interaction` (nullptr puts the real one back); returns the previous one.
std::shared_ptr<Interaction> SetInteraction(std::shared_ptr<Interaction> interaction);

/// Modal message box with `text`; returns when the user has dismissed it.
void MsgBox(const std::string& text);

struct Keyboard {
  /// True while the Alt key is held down at this very moment (not a queued event's state).
  static bool AsyncAltKey() { return CurrentInteraction().AltKeyDown(); }
};

}  // namespace fw
