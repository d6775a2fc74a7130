// The two rewrites that turn the sqlite3 shell's dump of a damaged album into a script
// that rebuilds whatever the dump could read: the dump's closing roll-back becomes a
// commit, and its opening of a transaction goes (each statement then stands alone, so one
// that fails does not take the others with it). The copy that makes them also checks that
// the script runs nothing but what .dump writes (see DumpStatements).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/base/folder_item.h"

/// What a line of the dump becomes.
enum class DumpLine {
  Unchanged,     // copied as it is
  RollbackLine,  // "ROLLBACK; -- due to errors": becomes "COMMIT;"
  BeginLine,     // "BEGIN TRANSACTION;": becomes an empty line
};

/// Classifies one line (without its line end). Only lines shorter than 30 characters are
/// compared, with letter case ignored; nothing is trimmed.
DumpLine ClassifyDumpLine(std::string_view line);

/// What the copy saw in the raw dump.
struct DumpFindings {
  /// The dump closed with the roll-back that says the shell met errors reading the album.
  bool closedWithErrors = false;
  /// The number (from 1) of the first line that the sqlite3 shell would run as one of its
  /// own commands (a line starting with '.' where no statement is open), or 0. .dump
  /// writes none of its own: such a line comes from text stored in the album (a table's
  /// text can hold line breaks), so feeding the dump to the shell would run whatever the
  /// album says.
  std::int64_t shellCommandLine = 0;
  /// The number of the line on which the first statement starts that .dump never writes
  /// (CREATE TABLE ... AS SELECT, an INSERT of anything but literals, ...), or 0. It too
  /// comes from the album's stored text.
  std::int64_t foreignStatementLine = 0;
  // At most one of the two is set: the check ends at the first finding.
};

/// Copies the raw dump to a new cleaned dump, one line at a time, with the two rewrites,
/// after `openingLines` (text of the caller's own, written first as it stands and not
/// checked); every other byte passes unchanged (a last line without a line end gains
/// one). The rewritten lines are checked, in the same pass, as the shell will read them.
/// Throws IOException or NilObjectException as the streams do.
DumpFindings CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump,
                             std::string_view openingLines = {});
