// The rows of a query, read one at a time. A record set keeps its connection open for
// as long as it lives (shared ownership), so the database object and its record sets
// may be released in any order, and nothing leaks on any path.
#pragma once

#include <memory>
#include <string>

#include "plugins/database_field.h"
#include "plugins/sqlite_connection.h"

namespace plugins {

/// The result of SQLiteDatabase::SQLSelect: stands on the first row, or at the end when
/// there is none. Not thread-safe.
///
/// The end of the rows is asked with AtEOF(), not EOF(), as with fw::TextInputStream:
/// <cstdio> defines EOF as a macro, and <string> already brings <cstdio> in with the
/// standard library used here, so a method called EOF would not compile without
/// #undef EOF.
class RecordSet {
 public:
  /// Made by SQLiteDatabase::SQLSelect from a statement that has been stepped once:
  /// `onRow` tells whether that step gave a row. `outcome` is the database object's,
  /// where a failed step is reported.
  RecordSet(std::shared_ptr<SQLiteConnection> connection, StatementHandle statement,
            std::shared_ptr<StatementOutcome> outcome, bool onRow);
  /// Finalizes the statement and releases the connection. Never throws.
  ~RecordSet();
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;

  /// True when there is no current row: past the last row, after a failed step, or
  /// after Close().
  bool AtEOF() const noexcept { return statement_ == nullptr; }

  /// The column called `name` (letter case ignored, as SQL does) in the current row,
  /// copied out; nullptr when there is no such column or no current row. When several
  /// columns have that name, the first.
  std::shared_ptr<DatabaseField> Field(const std::string& name) const;

  /// The number of columns, or 0 when there is no current row.
  int FieldCount() const noexcept;

  /// Moves to the next row. At the last row it moves to the end: AtEOF() becomes true,
  /// the statement is finalized and the connection released (a private copy of the
  /// album may then go away). When SQLite fails to give the next row, the record set
  /// also ends, and the database object's Error() and ErrorMessage() say why (SQLite's
  /// message, copied at once). At the end it does nothing.
  void MoveNext();

  /// Ends the record set at once, as if it had reached the end; the database object's
  /// error state is left alone. Closing twice does nothing.
  void Close() noexcept;

 private:
  // Keeps the connection open while statement_ exists; null once at the end.
  std::shared_ptr<SQLiteConnection> connection_;
  // Standing on the current row; null at the end. Declared after connection_, so it is
  // finalized before the connection is released.
  StatementHandle statement_;
  // Shared with the database object that made this record set. Never null.
  std::shared_ptr<StatementOutcome> outcome_;
};

}  // namespace plugins
