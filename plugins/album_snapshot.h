// The album file as SQLite should open it for a check: either the album itself, opened
// read-only in place, or a private copy of the album together with its journal or
// write-ahead log. Whichever it is, opening and reading it can never change the album or
// any file beside it, and SQLite's own recovery (rollback of a hot journal, replay of a
// write-ahead log) happens on the copy, so the verdict is that of the recovered album.
#pragma once

#include <filesystem>
#include <memory>

#include "framework/base/folder_item.h"

namespace fw {
class TemporaryFolder;
}

namespace plugins {

/// RAII guard that decides how an album is to be opened and holds the private copy, if
/// one was needed, until it is destroyed.
///
/// Opening in place is safe only when SQLite has nothing to recover and nothing to
/// create: no "-journal" and no "-wal" file beside the album, and the header does not
/// put the album in write-ahead-log mode (bytes 18 and 19 of the header are 2 in that
/// mode, and a reader of such a file makes "-wal" and "-shm" files beside it, or fails
/// in a read-only folder). In every other case the album and the journal or log that
/// exists beside it are copied, under the names SQLite expects, into a fresh
/// fw::TemporaryFolder. A "-shm" file is never copied: SQLite rebuilds the wal-index
/// from the log. A journal that names a super-journal is made to name one inside that
/// folder (see KeepSuperJournalPrivate), so that recovering the copy, here or in the
/// sqlite3 shell, never deletes a file that the journal names. Symbolic links to the album are resolved first, as SQLite resolves
/// them, so the journal and log are looked for beside the real file.
///
/// The copy is consistent: while copying, a shared lock is held on the album the way a
/// SQLite reader holds one (an open-file-description lock on SQLite's shared-lock
/// bytes), so no writer using rollback journals can commit in the meantime; and the
/// album, journal and log are looked at before and after copying (identity, size and
/// time of last change), and the copy is made again when anything changed.
///
/// Not thread-safe; one guard belongs to one connection.
class AlbumSnapshot {
 public:
  /// Looks at `album` and makes the private copy when one is needed.
  /// Throws fw::IOException, with a message for the user, when: nothing exists at the
  /// path; it is not a regular file (a folder, a device, a pipe - a pipe is never
  /// waited for); it cannot be opened for reading; a journal or log beside it cannot be
  /// read; the temporary folder cannot be made or the copy written; a copy is needed
  /// but a writer holds the album locked for longer than about a second; or the files
  /// keep changing during three copies in a row. Nothing is left in the temporary folder on any failure.
  explicit AlbumSnapshot(const fw::FolderItem& album);
  /// Removes the private copy with its folder, if there is one. Never throws.
  ~AlbumSnapshot();
  AlbumSnapshot(const AlbumSnapshot&) = delete;
  AlbumSnapshot& operator=(const AlbumSnapshot&) = delete;

  /// The file to give SQLite: the album's resolved path when it is read in place,
  /// otherwise the private copy. Never empty.
  const std::filesystem::path& DatabasePath() const noexcept { return database_path_; }
  /// True when DatabasePath() is the private copy. Only then may SQLite open it for
  /// writing (which it needs for its recovery); the album itself is opened read-only.
  bool IsPrivateCopy() const noexcept { return copy_folder_ != nullptr; }
  /// The folder that holds the private copy, or an empty path when reading in place.
  std::filesystem::path CopyFolder() const;

  /// The name of the copy inside CopyFolder(); its journal and log are this name with
  /// "-journal" and "-wal" appended.
  static constexpr const char* kCopyName = "album.qva";

 private:
  // Holds the private copy; null when the album is read in place.
  std::unique_ptr<fw::TemporaryFolder> copy_folder_;
  // The album's resolved path when copy_folder_ is null, else the copy inside it.
  std::filesystem::path database_path_;
};

}  // namespace plugins
