// DragItem: one item of a drag that was dropped on a window.
#pragma once

#include <memory>

#include "framework/base/folder_item.h"

namespace fw {

class DragItem {
 public:
  explicit DragItem(FolderItemPtr file) : file_(std::move(file)) {}
  /// True when the item carries a file.
  bool FolderItemAvailable() const noexcept { return file_ != nullptr; }
  /// The file the item carries, or nullptr.
  const FolderItemPtr& FolderItem() const noexcept { return file_; }

 private:
  FolderItemPtr file_;  // nullptr for an item that carries no file
};

}  // namespace fw
