// FolderItem: a reference to a file or folder by its path, existing or not. It only
// names the item: it keeps nothing open and locks nothing. Paths are byte strings, so
// any byte that POSIX allows in a file name is kept exactly as it is.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace fw {

class FolderItem;
using FolderItemPtr = std::shared_ptr<FolderItem>;

class FolderItem {
 public:
  /// A reference to `path`. A relative path is taken from the current folder; the
  /// stored path is absolute and lexically normal ("." and ".." removed, no trailing "/").
  explicit FolderItem(const std::filesystem::path& path);
  static FolderItemPtr Make(const std::filesystem::path& path) { return std::make_shared<FolderItem>(path); }

  /// The absolute path.
  const std::filesystem::path& NativePath() const noexcept { return path_; }
  /// The item's own name (the last path element), bytes unchanged. The root folder's
  /// name is "/".
  std::string Name() const;
  /// The name as the system shows it to the user: the file name, bytes unchanged.
  std::string DisplayName() const;

  /// True when something exists at the path (a symbolic link counts by its target).
  bool Exists() const;
  /// True when the item is an existing folder.
  bool Directory() const;

  /// The folder that holds the item, or nullptr for the root folder.
  FolderItemPtr Parent() const;
  /// The item called `name` in this folder, existing or not; nothing is created. With
  /// `followAlias` true a symbolic link of that name stands for its target (one level:
  /// the link's text, taken from this folder when relative, made absolute and lexically
  /// normal; a link that cannot be read stays the link). `name` is one path element; it
  /// is appended as bytes, so a leading "/" does not leave this folder.
  FolderItemPtr Child(std::string_view name, bool followAlias = true) const;

  /// The absolute path as one POSIX shell word: in single quotes, with each ' written
  /// as '\''. Safe for blanks, quotes, $(), backquotes, ;, *, newlines and non-UTF-8 bytes.
  std::string ShellPath() const;

  /// Deletes the file (or empty folder). Returns false when nothing was deleted; the
  /// reference stays valid.
  bool Delete() const;
  /// The same, and on false `error` says why (nothing there: no_such_file_or_directory).
  bool Delete(std::error_code& error) const;

 private:
  std::filesystem::path path_;  // absolute and lexically normal; never empty
};

/// True when both references name the same existing file (same device and inode), so
/// that a symbolic link, a hard link or a path with ".." to a file is seen as that file.
bool SameFile(const FolderItem& a, const FolderItem& b);

}  // namespace fw
