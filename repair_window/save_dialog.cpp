// The save dialog that asks where the repaired album goes. Each text is applied only
// when it is not empty, so an empty text keeps the dialog's own default.
#include "framework/save_as_dialog.h"
#include "repair_window/window1.h"

fw::FolderItemPtr Window1::ShowSaveDialogPro(fw::FolderItemPtr initialFolder, const std::string& actionCaption,
                                             const std::string& dialogTitle, const std::string& promptText,
                                             const std::string& fileFilter, const std::string& suggestedName) {
  fw::SaveAsDialog dialog;
  if (!actionCaption.empty()) dialog.ActionButtonCaption = actionCaption;
  if (!promptText.empty()) dialog.PromptText = promptText;
  if (initialFolder && initialFolder->Directory() && initialFolder->Exists()) {
    dialog.InitialDirectory = initialFolder;
  } else {
    dialog.InitialDirectory = fw::SpecialFolder::Documents();
  }
  if (!dialogTitle.empty()) dialog.Title = dialogTitle;
  if (!fileFilter.empty()) dialog.Filter = fileFilter;
  if (!suggestedName.empty()) dialog.SuggestedFileName = suggestedName;
  return dialog.ShowModal();
}
