// The super-journal record of a rollback journal. A journal written by a transaction that
// spanned several databases ends with the absolute path of a "super-journal". When SQLite
// rolls such a hot journal back, it opens that path and, when no other journal still needs
// it, deletes it: a journal found beside an album could name any file of the user's, the
// album itself included. This keeps SQLite inside a private folder.
#pragma once

#include <filesystem>

namespace plugins {

/// Points the super-journal record of `journal` (a private copy of an album's journal) at
/// a file in `privateFolder`, so that recovering the copy reads, creates and deletes
/// nothing outside that folder. The meaning of the record is kept: when the file that it
/// named exists as SQLite judges existence, a stand-in listing no journal is made there
/// (the hot journal is rolled back, and SQLite deletes only the stand-in); when it does
/// not, the record names a private path where nothing exists (the journal is not rolled
/// back). A journal whose record SQLite would not read (none, a bad checksum, an empty
/// name) is left as it is. Throws fw::IOException when the journal cannot be read or
/// written, or the stand-in cannot be made.
void KeepSuperJournalPrivate(const std::filesystem::path& journal, const std::filesystem::path& privateFolder);

}  // namespace plugins
