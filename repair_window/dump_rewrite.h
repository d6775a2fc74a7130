// The two rewrites that turn the sqlite3 shell's dump of a damaged album into a script
// that rebuilds whatever the dump could read: the dump's closing roll-back becomes a
// commit, and its opening of a transaction goes (each statement then stands alone, so one
// that fails does not take the others with it).
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
  ShellCommand,  // starts with '.': copied as it is, but see DumpFindings
};

/// Classifies one line (without its line end). Only lines shorter than 30 characters are
/// compared, with letter case ignored; nothing is trimmed. Of a longer line only the first
/// character is looked at.
DumpLine ClassifyDumpLine(std::string_view line);

/// What the copy saw in the raw dump.
struct DumpFindings {
  /// The dump closed with the roll-back that says the shell met errors reading the album.
  bool closedWithErrors = false;
  /// The number (from 1) of the first line that starts with '.', or 0. The sqlite3 shell
  /// runs such a line as one of its own commands when no statement is open, and .dump
  /// writes none of its own: the line comes from text stored in the album (a table's
  /// schema text can hold line breaks), so feeding the dump to the shell would run
  /// whatever the album says.
  std::int64_t shellCommandLine = 0;
};

/// Copies the raw dump to a new cleaned dump, one line at a time, with the two rewrites;
/// every other byte passes unchanged (a last line without a line end gains one). Throws
/// IOException or NilObjectException as the streams do.
DumpFindings CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump);
