// NewAlbum: the album that a repair makes at the place the user chose.
//
// From the choice to the end of the repair the place is claimed: no other repair of this
// process may choose it, so two repairs never build into one file. The file itself is made
// by the repair, empty and exclusively, just before the rebuild: sqlite3 takes an empty
// file as a new database, and a file that another program put there meanwhile is never
// written into. It is made with no more permissions than the album's (sqlite3 gives its
// journal the database file's mode), so a private album gives a private copy.
//
// When the repair is stopped while the file is being made (a quit unwinds it, or the
// process exits under it), the half-built album and its journal go; nothing else of that
// place is ever removed.
#pragma once

#include <system_error>

#include "framework/base/exit_cleanup.h"
#include "framework/base/folder_item.h"

class NewAlbum {
 public:
  /// Claims `place` for this repair.
  explicit NewAlbum(fw::FolderItemPtr place);
  /// Removes a half-built album (see Begin), then gives up the claim. Never throws.
  ~NewAlbum();
  NewAlbum(const NewAlbum&) = delete;
  NewAlbum& operator=(const NewAlbum&) = delete;

  /// True when a repair of this process has claimed `place`, by this path or another
  /// one to the same place (a link to its folder, "..").
  static bool Claimed(const fw::FolderItem& place);

  /// Makes the empty file at the place, readable and writable by its owner and by no one
  /// whom `album`'s permission bits leave out (the owner alone when the album cannot be
  /// looked at; the umask may take more away). From now on the file counts as half-built. Returns the reason when it
  /// cannot be made; file_exists when something is already there, which is left alone.
  std::error_code Begin(const fw::FolderItem& album);
  /// The rebuild has ended, as it may: what it made stays.
  void Keep() noexcept { making_ = false; }

 private:
  void RemoveHalfBuilt() noexcept;

  fw::FolderItemPtr place_;
  std::filesystem::path claim_;  // the place's path as claimed: links in its folder resolved
  bool making_ = false;          // true from Begin until Keep
  fw::ExitCleanup removeAtExit_{fw::ExitCleanup::Stage::RemoveFiles, [this] { RemoveHalfBuilt(); }};
};
