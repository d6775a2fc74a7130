// What the sqlite3 shell's error output says of a rebuild. The rebuild runs the cleaned
// dump one statement at a time, and a damaged album makes some statements fail (a row
// that breaks a constraint, a table that could not be read): those errors are expected,
// and the rest of the album stands. Other errors say that the new album could not be
// written at all (a full disk, an I/O error, a read-only or vanished place) or that the
// shell stopped early (a command refused in its safe mode): then the rebuild failed, and
// the new album is only a part of what the dump holds.
#pragma once

#include <string>
#include <string_view>

#include "framework/base/folder_item.h"

/// Makes `file`, with room for the shell's error output reserved on disk: the rebuild
/// writes the new album and, usually, this file on the same disk, and its messages must
/// be kept even when it fills that disk. The shell writes into the file from its start,
/// so what it wrote is followed by NUL bytes. Throws fw::IOException when the file cannot
/// be made or the room cannot be reserved.
void ReserveErrorOutput(const fw::FolderItem& file);

/// SQLite's reason in one line of the shell's error output when the line says that the
/// rebuild could not go on; "" for an ordinary statement error or any other line.
std::string RebuildFailure(std::string_view line);

/// The reason of the first line in the error output file that RebuildFailure finds, or ""
/// when there is none. Throws fw::IOException when the file cannot be read.
std::string FirstRebuildFailure(const fw::FolderItemPtr& errorOutput);
