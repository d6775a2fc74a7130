// Temporary files and folders of the process. Everything the tool makes for a while
// lives in one private folder of the process (mode 0700), which is removed with all
// that it holds when the process ends normally; each user of it gets its own sub-folder
// through TemporaryFolder, removed when that guard goes away.
#pragma once

#include <filesystem>
#include <string_view>

#include "framework/base/folder_item.h"

namespace fw {

/// The process's private temporary folder under $TMPDIR (or /tmp), made on first use
/// with mode 0700 and removed with its contents at normal process exit.
/// Throws IOException when it cannot be made.
const std::filesystem::path& ProcessTemporaryFolder();

/// A new, unused name in the process's temporary folder. Nothing is created.
FolderItemPtr GetTemporaryFolderItem();

/// RAII guard: a new private folder (mode 0700) inside the process's temporary folder,
/// removed with everything in it when the guard is destroyed, on every way out.
class TemporaryFolder {
 public:
  /// Makes the folder; throws IOException when it cannot.
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& Path() const noexcept { return path_; }
  /// The item called `name` in this folder; nothing is created.
  FolderItemPtr Child(std::string_view name) const;

 private:
  std::filesystem::path path_;  // exists from construction until destruction
};

}  // namespace fw
