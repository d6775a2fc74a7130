// SaveAsDialog: asks the user, in a modal dialog, where a file is to be written. It
// creates and deletes nothing; it asks before a file already there is chosen.
#pragma once

#include <string>

#include "framework/base/folder_item.h"

namespace fw {

class SaveAsDialog {
 public:
  /// Caption of the confirming button (empty: the dialog's own).
  std::string ActionButtonCaption;
  std::string Title;
  /// Text shown beside the file name field (empty: the dialog's own).
  std::string PromptText;
  /// The folder shown first; one that is not an existing folder gives the Documents
  /// folder, or the home folder when that is missing too.
  FolderItemPtr InitialDirectory;
  /// The files offered: the name of a registered document type, or extensions such as
  /// ".qva" or ".qva;.db". A name typed without one of the extensions gets the first. The
  /// filter is shown under the name of the document type (the one named, or the one the
  /// first extension belongs to); without one, as its patterns alone.
  std::string Filter;
  std::string SuggestedFileName;

  /// Shows the dialog modally (through the interaction in force); the confirmed file, or
  /// nullptr when the user cancelled.
  FolderItemPtr ShowModal();
  /// Shows the real Qt dialog; used by the default interaction.
  FolderItemPtr RunNativeDialog();
};

struct SpecialFolder {
  /// The user's Documents folder (XDG), whether it exists or not.
  static FolderItemPtr Documents();
};

}  // namespace fw
