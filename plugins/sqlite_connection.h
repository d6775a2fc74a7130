// One open SQLite connection to an album, shared by the database object and its record
// sets. It keeps the promise that using it never changes the album: it opens the album
// through an AlbumSnapshot, and it closes the connection before the snapshot removes
// any private copy, whichever reference goes last.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "framework/base/folder_item.h"
#include "plugins/album_snapshot.h"

struct sqlite3;
struct sqlite3_stmt;

namespace plugins {

/// Finalizes a prepared statement; never throws.
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const noexcept;
};
/// A prepared statement that is finalized on every way out.
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

/// Closes a connection; never throws.
struct ConnectionCloser {
  void operator()(sqlite3* connection) const noexcept;
};

/// The outcome of the last statement run through one database object, shared with the
/// record sets it made so that a failed step of a record set is reported there too.
/// Invariant: `message` is a copy, never a pointer into SQLite's memory.
struct StatementOutcome {
  bool error = false;
  std::string message;
};

/// An open connection to an album, for reading. The connection is read-only in effect:
/// in place it is opened with SQLITE_OPEN_READONLY; on a private copy it is opened for
/// writing (SQLite needs that to roll back a hot journal or replay a log into the copy)
/// and then made query-only, so statements that would write fail the same way in both
/// cases ("attempt to write a readonly database").
///
/// The immutable and nolock URI parameters are deliberately not used in place: both
/// drop the lock that keeps a writer from committing while the check reads, and
/// immutable also hides a journal that appears after the snapshot looked, so a
/// concurrent writer could produce a made-up verdict instead of an error.
///
/// Not thread-safe: one connection is used from one thread at a time.
class SQLiteConnection {
 public:
  /// Opens `album`. Throws fw::IOException when the album cannot be read or copied (see
  /// AlbumSnapshot) or when SQLite cannot open the file; the message says why, and
  /// nothing stays open and no copy stays behind. A file that is not a database, or is
  /// damaged, or is empty, opens: SQLite reads nothing until the first statement.
  explicit SQLiteConnection(const fw::FolderItem& album);
  /// Closes the connection, then removes the private copy. Never throws.
  ~SQLiteConnection();
  SQLiteConnection(const SQLiteConnection&) = delete;
  SQLiteConnection& operator=(const SQLiteConnection&) = delete;

  /// The open connection; valid for the whole life of this object.
  sqlite3* Handle() const noexcept { return handle_.get(); }
  /// How the album was opened (in place or from a private copy).
  const AlbumSnapshot& Snapshot() const noexcept { return *snapshot_; }

 private:
  // Declared before handle_, so it is destroyed after the connection has closed: the
  // copy's files are removed only when SQLite no longer has them open. Never null.
  std::unique_ptr<AlbumSnapshot> snapshot_;
  // The connection, open from construction until destruction. Never null.
  std::unique_ptr<sqlite3, ConnectionCloser> handle_;
};

}  // namespace plugins
