// The album fixtures on the SQLite C API and POSIX. Connections and statements are held
// by unique_ptr guards, so a maker that throws half-way leaves nothing open.
#include "tests/support/albums.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace testalbums {

namespace fs = std::filesystem;

namespace {

struct Closer {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct Finalizer {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

Connection Open(const fs::path& path, int flags) {
  sqlite3* opened = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &opened, flags, nullptr);
  Connection db(opened);
  if (rc != SQLITE_OK) {
    Fail("cannot open " + path.native() + ": " + (opened ? sqlite3_errmsg(opened) : sqlite3_errstr(rc)));
  }
  return db;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    Fail("\"" + sql + "\" failed: " + text);
  }
}

Statement Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* prepared = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &prepared, nullptr);
  Statement statement(prepared);
  if (rc != SQLITE_OK) Fail("\"" + sql + "\" failed: " + sqlite3_errmsg(db));
  return statement;
}

void Step(sqlite3* db, sqlite3_stmt* statement) {
  if (sqlite3_step(statement) != SQLITE_DONE) Fail(std::string("insert failed: ") + sqlite3_errmsg(db));
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

void MustNotExist(const fs::path& path) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(path, ec))) Fail(path.native() + " exists already");
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write " + path.native());
}

fs::path Beside(const fs::path& path, const char* suffix) { return fs::path(path.native() + suffix); }

// Overwrites `length` bytes at `offset` of page `page` (numbered from 1) with 0x5A.
void Scribble(const fs::path& path, int pageSize, long long page, int offset, int length) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp((page - 1) * pageSize + offset);
  const std::string junk(static_cast<std::size_t>(length), '\x5A');
  file.write(junk.data(), length);
  file.close();
  if (!file) Fail("cannot damage " + path.native());
}

// The page size, and the leaf pages of b-tree `name` in page order, from dbstat.
std::vector<long long> LeafPages(const fs::path& path, const std::string& name, int& pageSize) {
  Connection db = Open(path, SQLITE_OPEN_READONLY);
  Statement size = Prepare(db.get(), "PRAGMA page_size");
  if (sqlite3_step(size.get()) != SQLITE_ROW) Fail("no page size");
  pageSize = sqlite3_column_int(size.get(), 0);
  Statement pages = Prepare(db.get(),
                            "SELECT pageno FROM dbstat WHERE name = ?1 AND pagetype = 'leaf' ORDER BY pageno");
  sqlite3_bind_text(pages.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  std::vector<long long> result;
  while (sqlite3_step(pages.get()) == SQLITE_ROW) result.push_back(sqlite3_column_int64(pages.get(), 0));
  return result;
}

void CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) Fail("cannot copy " + from.native() + ": " + ec.message());
}

// Leaves `path` (and its journal) as a copy of the file at `stage`, taken now.
void Snapshot(const fs::path& stage, const fs::path& path, const char* companion) {
  CopyFile(stage, path);
  CopyFile(Beside(stage, companion), Beside(path, companion));
}

}  // namespace

ScratchFolder::ScratchFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string pattern = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
  pattern += "/qv-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp failed: " + std::string(std::strerror(errno)));
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  ::chmod(path_.c_str(), 0700);
  for (fs::recursive_directory_iterator it(path_, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
  fs::remove_all(path_, ec);
}

void MakeSoundAlbum(const fs::path& path, int rows) {
  MustNotExist(path);
  Connection db = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  Exec(db.get(),
       "CREATE TABLE images(id INTEGER PRIMARY KEY, name TEXT, data BLOB);"
       "CREATE INDEX images_by_name ON images(name);"
       "CREATE TABLE notes(id INTEGER PRIMARY KEY, image_id INTEGER, body TEXT, score REAL);"
       "CREATE INDEX notes_by_image ON notes(image_id);"
       "BEGIN");
  Statement image = Prepare(db.get(), "INSERT INTO images(id, name, data) VALUES (?1, ?2, ?3)");
  Statement note = Prepare(db.get(), "INSERT INTO notes(image_id, body, score) VALUES (?1, ?2, ?3)");
  std::mt19937 random(20240601);
  const char* const kNames[] = {"beach", "O'Hara's \"party\"", "Ærøskøbing – ☃", "line one\nline two", "tab\there"};
  for (int i = 1; i <= rows; ++i) {
    sqlite3_bind_int(image.get(), 1, i);
    if (i % 11 != 0) {
      const std::string name = std::string(kNames[i % 5]) + " " + std::to_string(i);
      sqlite3_bind_text(image.get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
    }
    if (i % 7 != 0) {
      // Up to 6000 bytes: many rows spill into overflow pages of a 4096-byte page.
      std::string blob(random() % 6000, '\0');
      for (char& c : blob) c = static_cast<char>(random() & 0xFF);
      sqlite3_bind_blob(image.get(), 3, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    }
    Step(db.get(), image.get());
    sqlite3_bind_int(note.get(), 1, i);
    std::string body;
    for (unsigned n = random() % 20; n > 0; --n) body += "note " + std::to_string(i) + (n % 4 == 0 ? "\n" : " ");
    sqlite3_bind_text(note.get(), 2, body.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(note.get(), 3, i * 0.25);
    Step(db.get(), note.get());
  }
  Exec(db.get(), "COMMIT");
}

void MakeDamagedAlbum(const fs::path& path) {
  MakeSoundAlbum(path, 200);
  int pageSize = 0;
  const std::vector<long long> leaves = LeafPages(path, "images_by_name", pageSize);
  if (leaves.empty() || pageSize < 4096) Fail("the index has no leaf page to damage");
  Scribble(path, pageSize, leaves.front(), 3000, 1000);
}

void MakeDamagedAlbumWithDumpErrors(const fs::path& path) {
  MakeSoundAlbum(path, 200);
  int pageSize = 0;
  const std::vector<long long> leaves = LeafPages(path, "images", pageSize);
  const std::vector<long long> indexLeaves = LeafPages(path, "images_by_name", pageSize);
  if (leaves.size() < 8 || indexLeaves.empty()) Fail("too few leaf pages to damage");
  Scribble(path, pageSize, indexLeaves.front(), 3000, 1000);
  Scribble(path, pageSize, leaves[leaves.size() / 2], 8, pageSize - 8);
}

void MakeNotADatabase(const fs::path& path) {
  MustNotExist(path);
  std::mt19937 random(4242);
  std::string bytes(4096, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  WriteFile(path, bytes);
}

void MakeEmptyFile(const fs::path& path) {
  MustNotExist(path);
  WriteFile(path, std::string());
}

void MakeAlbumWithHotJournal(const fs::path& path) {
  MustNotExist(path);
  ScratchFolder staging;
  const fs::path stage = staging / "album.qva";
  MakeSoundAlbum(stage, 120);
  const std::string sound = FileBytes(stage);
  Connection writer = Open(stage, SQLITE_OPEN_READWRITE);
  Exec(writer.get(),
       "PRAGMA cache_size = 5; BEGIN;"
       "UPDATE images SET name = name || ' (renamed)', data = randomblob(length(data));"
       "DELETE FROM notes WHERE id % 3 = 0");
  if (FileBytes(stage) == sound) Fail("the writer did not spill pages into the album");
  Snapshot(stage, path, "-journal");
  Exec(writer.get(), "ROLLBACK");
}

void MakeAlbumWithWal(const fs::path& path) {
  MustNotExist(path);
  ScratchFolder staging;
  const fs::path stage = staging / "album.qva";
  MakeSoundAlbum(stage, 60);
  Connection writer = Open(stage, SQLITE_OPEN_READWRITE);
  Exec(writer.get(),
       "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
       "DELETE FROM notes WHERE id % 3 = 0;"
       "UPDATE images SET name = name || ' (renamed)'");
  Snapshot(stage, path, "-wal");
}

void MakeCleanWalAlbum(const fs::path& path) {
  MakeSoundAlbum(path, 40);
  Connection db = Open(path, SQLITE_OPEN_READWRITE);
  Exec(db.get(), "PRAGMA journal_mode = WAL; CREATE TABLE wal_marker(x); DROP TABLE wal_marker");
  db.reset();  // the last connection checkpoints and deletes -wal and -shm
  const std::string header = FileBytes(path).substr(0, 20);
  if (header[18] != 2 || header[19] != 2 || fs::exists(Beside(path, "-wal"))) Fail("not a clean WAL album");
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path.native());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().native());
  }
  if (ec) Fail("cannot list " + folder.native() + ": " + ec.message());
  std::sort(names.begin(), names.end());
  return names;
}

FolderSnapshot::FolderSnapshot(const fs::path& folder) {
  for (const std::string& name : FolderListing(folder)) {
    const fs::path item = folder / name;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(item, ec);
    std::string& entry = files_[name];
    if (fs::is_symlink(status)) {
      entry = "<link to " + fs::read_symlink(item, ec).native() + ">";
    } else if (fs::is_directory(status)) {
      entry = "<folder>";
    } else if (!fs::is_regular_file(status)) {
      entry = "<special file>";
    } else if (::access(item.c_str(), R_OK) != 0) {
      entry = "<unreadable, " + std::to_string(fs::file_size(item, ec)) + " bytes>";
    } else {
      entry = FileBytes(item);
    }
  }
}

std::string FolderSnapshot::Describe() const {
  std::string text = "{";
  for (const auto& [name, bytes] : files_) {
    text += (text.size() > 1 ? ", " : "") + name + " (" + std::to_string(bytes.size()) + " bytes)";
  }
  return text + "}";
}

void CopyAlbumSet(const fs::path& album, const fs::path& to) {
  CopyFile(album, to);
  for (const char* suffix : {"-journal", "-wal"}) {
    if (fs::exists(Beside(album, suffix))) CopyFile(Beside(album, suffix), Beside(to, suffix));
  }
}

std::vector<std::string> QueryColumn(const fs::path& database, const std::string& sql) {
  Connection db = Open(database, SQLITE_OPEN_READWRITE);
  Statement statement = Prepare(db.get(), sql);
  std::vector<std::string> rows;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    rows.emplace_back(text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 0)))
                           : std::string());
  }
  if (rc != SQLITE_DONE) Fail("\"" + sql + "\" failed: " + sqlite3_errmsg(db.get()));
  return rows;
}

std::string ShellQuote(std::string_view text) {
  std::string word = "'";
  for (char c : text) word += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string RunSqlite3Arguments(const std::vector<std::string>& arguments) {
  std::string command = "sqlite3 -batch";
  for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
  command += " </dev/null 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
  if (!pipe) Fail("cannot run sqlite3: " + std::string(std::strerror(errno)));
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  return out;
}

}  // namespace testalbums
