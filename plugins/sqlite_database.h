// The database classes through which the tool reads an album: set the file, Connect,
// SQLSelect or SQLExecute, Close. Using them never changes the album or anything beside
// it, and what they report of a damaged album is what SQLite says of it after its own
// recovery (see AlbumSnapshot for how both are kept).
#pragma once

#include <memory>
#include <string>

#include "framework/base/folder_item.h"
#include "plugins/record_set.h"
#include "plugins/sqlite_connection.h"

struct sqlite3;
struct sqlite3_stmt;

namespace plugins {

/// What every database offers: run a statement, learn how the last one went, close.
///
/// Error() and ErrorMessage() describe the last statement run through the object (and
/// Connect(), and a record set's failed MoveNext()). After a failure, the message is
/// SQLite's own, copied when it happened (e.g. "file is not a database"), or the
/// database's own text when SQLite was not asked (not connected, no file set). After
/// success, Error() is false and the message is what SQLite says of success: "not an
/// error". Nothing has been run yet: false and "".
class Database {
 public:
  virtual ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  /// Runs the statement (or each of several, separated by ';') to its end and throws
  /// away any rows. Stops at the first statement that fails; Error() then says so.
  virtual void SQLExecute(const std::string& statement) = 0;
  /// True when the last statement failed.
  bool Error() const noexcept { return outcome_->error; }
  /// Why the last statement failed; see the class comment for what it says otherwise.
  std::string ErrorMessage() const { return outcome_->message; }
  /// Gives up this object's hold on the connection. Never throws.
  virtual void Close() noexcept = 0;

 protected:
  Database();
  void SetOutcome(bool error, std::string message);
  /// The outcome record, shared with record sets so that they can report a failed step.
  const std::shared_ptr<StatementOutcome>& Outcome() const noexcept { return outcome_; }

 private:
  std::shared_ptr<StatementOutcome> outcome_;  // never null
};

/// An SQLite album, opened for reading only. Not thread-safe: use one object from one
/// thread at a time (different objects may be used from different threads).
class SQLiteDatabase : public Database {
 public:
  SQLiteDatabase();
  /// Releases this object's hold on the connection, like Close().
  ~SQLiteDatabase() override;

  /// The album to open at the next Connect(); an open connection stays on its file.
  void SetDatabaseFile(fw::FolderItemPtr file) { file_ = std::move(file); }
  fw::FolderItemPtr DatabaseFile() const { return file_; }

  /// Closes any connection this object holds, then opens DatabaseFile() for reading.
  /// Returns true when it is open. Returns false, with Error() true and the reason in
  /// ErrorMessage(), when no file is set, nothing exists at the path (a symbolic link
  /// to nothing included), it is a folder or not a regular file, it cannot be read, the
  /// journal or log beside it cannot be read or copied, or SQLite refuses to open it.
  /// It never creates a file: a missing album stays missing. A file that exists but is
  /// not a database, is damaged, or is empty is accepted; the first statement then
  /// reports what SQLite says of it (an empty file is a valid empty database).
  bool Connect();

  /// Runs the first statement in `statement` and returns its rows, standing on the
  /// first one (at the end when there are none). Returns nullptr when the statement
  /// cannot be prepared or its first step fails (e.g. "file is not a database"), when
  /// the text holds no statement, or when not connected; Error() and ErrorMessage() then
  /// say why. The record set keeps the connection open for as long as it lives.
  std::shared_ptr<RecordSet> SQLSelect(const std::string& statement);

  void SQLExecute(const std::string& statement) override;

  /// Gives up this object's hold on the connection. The connection closes, and a
  /// private copy of the album is removed, as soon as no record set still uses it
  /// (record sets keep working until then). Error() and ErrorMessage() are kept.
  void Close() noexcept override;

  /// True between a successful Connect() and Close().
  bool IsConnected() const noexcept { return connection_ != nullptr; }

 private:
  // False and sets the outcome when not connected.
  bool RequireConnection();

  fw::FolderItemPtr file_;                        // may be null: no file set yet
  std::shared_ptr<SQLiteConnection> connection_;  // null when not connected
};

}  // namespace plugins
