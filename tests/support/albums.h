// Albums and folders that the tests of the whole project make, and the helpers to look
// at them afterwards. Every album is a real SQLite file made through the SQLite C API;
// damage is made in code, at a place found through SQLite's own page map. Each maker
// throws std::runtime_error when it cannot make what it promises, so a test never runs
// on a fixture that is not what it claims to be.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace testalbums {

/// RAII test folder: a new folder made with mkdtemp under $TMPDIR (or /tmp), removed
/// with everything in it when the guard goes, even when a test took away the write
/// permission of a folder inside it. Throws std::runtime_error when it cannot be made.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const noexcept { return path_; }
  /// The path of `name` inside the folder; nothing is created.
  std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }

 private:
  std::filesystem::path path_;  // exists from construction until destruction
};

/// A sound album in rollback-journal mode, closed cleanly: tables
/// images(id INTEGER PRIMARY KEY, name TEXT, data BLOB) and
/// notes(id INTEGER PRIMARY KEY, image_id INTEGER, body TEXT, score REAL), an index on
/// images(name) and one on notes(image_id), `rows` rows in each. Content is varied and
/// the same on every run: texts with quotes, newlines, non-ASCII letters and NULLs;
/// blobs from empty to larger than a page (overflow pages). `path` must not exist.
void MakeSoundAlbum(const std::filesystem::path& path, int rows = 40);

/// A damaged album whose table contents are intact: PRAGMA integrity_check gives many
/// rows ("free space corruption", "row N missing from index images_by_name", ...), and
/// `sqlite3 album .dump` still ends with "COMMIT;" because .dump reads tables, not
/// indexes. Damage: 1000 bytes at offset 3000 of the first leaf page of the index
/// images_by_name (found through the dbstat table) are overwritten with 0x5A.
void MakeDamagedAlbum(const std::filesystem::path& path);

/// A damaged album that the dump cannot read completely: integrity_check gives several
/// rows (a first one listing "On tree page P cell C: Offset ... out of range" lines,
/// then "row N missing from index images_by_name" rows, then "database disk image is
/// malformed", where the check gives up on the damaged table page), and
/// `sqlite3 album .dump` ends with "ROLLBACK; -- due to errors". Damage: that of
/// MakeDamagedAlbum, and the middle leaf page of table images overwritten with 0x5A
/// after its 8-byte page header, so its cell pointers point outside the page; rows on
/// the leaf pages before it stay readable. (Damaging the table page alone gives only
/// two rows: the page findings come as one row, and the index check gives up there.)
void MakeDamagedAlbumWithDumpErrors(const std::filesystem::path& path);

/// 4096 bytes from a fixed-seed generator: a file that is not a database.
void MakeNotADatabase(const std::filesystem::path& path);
/// A file of 0 bytes (to SQLite, a valid empty database).
void MakeEmptyFile(const std::filesystem::path& path);

/// An album whose last writer died in the middle of a transaction: the album holds some
/// changed pages, and a hot "-journal" beside it holds the originals. Opened plainly,
/// SQLite rolls the journal back into the album (then sound again); without the
/// journal, the album reads as damaged. Made by copying album and journal while a
/// writer holds the transaction open (its page cache of 5 pages forces it to spill
/// pages into the file), in a staging folder that is removed afterwards.
void MakeAlbumWithHotJournal(const std::filesystem::path& path);

/// An album in write-ahead-log mode with commits that are only in its "-wal" file (no
/// "-shm"): the notes table has 60 rows in the album file and 40 after the log is
/// applied, and every image name ends in " (renamed)" only in the log. Made by copying
/// album and log while a writer that never checkpoints still holds them open.
void MakeAlbumWithWal(const std::filesystem::path& path);

/// A sound album in write-ahead-log mode (header bytes 18 and 19 are 2), closed
/// cleanly: no "-wal" and no "-shm" file beside it.
void MakeCleanWalAlbum(const std::filesystem::path& path);

/// The whole content of a file. Throws std::runtime_error when it cannot be read.
std::string FileBytes(const std::filesystem::path& path);
/// The names in a folder (hidden ones included), sorted. Throws when it cannot be read.
std::vector<std::string> FolderListing(const std::filesystem::path& folder);
/// Everything in a folder at one moment: the names (hidden ones included) and the
/// bytes of each file; a sub-folder, a symbolic link (its text), another special file
/// or a file this process may not read (its size) is recorded without bytes. Two
/// snapshots compare equal when nothing was added, removed or changed. Throws
/// std::runtime_error when the folder cannot be listed.
class FolderSnapshot {
 public:
  explicit FolderSnapshot(const std::filesystem::path& folder);
  bool operator==(const FolderSnapshot&) const = default;
  /// Names and sizes (not the bytes), for failure messages.
  std::string Describe() const;

 private:
  std::map<std::string, std::string> files_;  // name -> bytes; "<folder>" for a folder
};
/// Lets GoogleTest print a snapshot briefly instead of all of its bytes.
inline void PrintTo(const FolderSnapshot& snapshot, std::ostream* out) { *out << snapshot.Describe(); }

/// Copies `album` to `to`, and its "-journal" and "-wal" files, where present, to the
/// names SQLite expects beside `to`. Throws std::runtime_error on failure.
void CopyAlbumSet(const std::filesystem::path& album, const std::filesystem::path& to);

/// The first column of every row of `sql`, run through the C API on `database` opened
/// for writing (never created), so SQLite recovers a hot journal or a log first. Use
/// it only on copies made by the test. Throws std::runtime_error with SQLite's message
/// when the statement fails.
std::vector<std::string> QueryColumn(const std::filesystem::path& database, const std::string& sql);

/// `text` as one /bin/sh word, in single quotes.
std::string ShellQuote(std::string_view text);
/// Runs the real `sqlite3` shell (in batch mode, stdin from /dev/null, stderr thrown
/// away) with `arguments`, each quoted as one shell word, and returns its stdout.
std::string RunSqlite3Arguments(const std::vector<std::string>& arguments);
template <typename... Arguments>
std::string RunSqlite3(const Arguments&... arguments) {
  return RunSqlite3Arguments({std::string(arguments)...});
}

}  // namespace testalbums
