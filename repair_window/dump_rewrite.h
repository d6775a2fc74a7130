// The two rewrites that turn the sqlite3 shell's dump of a damaged album into a script
// that rebuilds whatever the dump could read: the dump's closing roll-back becomes a
// commit, and its opening of a transaction goes (each statement then stands alone, so one
// that fails does not take the others with it).
#pragma once

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

/// Copies the raw dump to a new cleaned dump, one line at a time, with the two rewrites;
/// every other byte passes unchanged (a last line without a line end gains one). True
/// when the dump closed with the roll-back that says the shell met errors reading the
/// album. Throws IOException or NilObjectException as the streams do.
bool CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump);
