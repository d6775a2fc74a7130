#include "bench/bench_albums.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace benchalbums {

void Fail(const std::string& what) { throw std::runtime_error(what); }

std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  return word + "'";
}

std::string OutputOf(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) Fail("cannot run " + command);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  if (::pclose(pipe) != 0) Fail(command + " failed: " + output);
  return output;
}

namespace {

Db Open(const fs::path& path, int flags) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) Fail("cannot open " + path.native() + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  return db;
}

void StepDone(sqlite3* db, sqlite3_stmt* statement) {
  if (sqlite3_step(statement) != SQLITE_DONE) Fail(std::string("insert failed: ") + sqlite3_errmsg(db));
  sqlite3_reset(statement);
}

}  // namespace

Db OpenForWriting(const fs::path& path) { return Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE); }

Db OpenReadOnly(const fs::path& path) { return Open(path, SQLITE_OPEN_READONLY); }

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    Fail(std::string("\"") + sql + "\" failed: " + text);
  }
}

Stmt Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) Fail(std::string("cannot prepare ") + sql);
  return Stmt(raw);
}

// Filled in one transaction with journalling and syncing off; the indexes are made after
// the rows (one sort each instead of a million scattered inserts).
void MakeLargeAlbum(const fs::path& path) {
  fs::remove(path);
  Db db = OpenForWriting(path);
  Exec(db.get(),
       "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -262144;"
       "CREATE TABLE images(id INTEGER PRIMARY KEY, name TEXT, data BLOB);"
       "CREATE TABLE notes(id INTEGER PRIMARY KEY, image_id INTEGER, body TEXT, score REAL);"
       "BEGIN");
  Random random{20240611};
  {
    Stmt image = Prepare(db.get(), "INSERT INTO images(id, name, data) VALUES (?1, ?2, ?3)");
    static const std::array<const char*, 6> kPlaces = {"Beach", "Café de l'Été", "Garden", "Zürich",
                                                       "Birthday \"Oma\"", "Snow"};
    std::vector<unsigned char> blob(16 * 1024);
    for (int id = 1; id <= kImageRows; ++id) {
      const std::uint64_t key = random.Next();
      char name[96];
      std::snprintf(name, sizeof name, "%s %08llx IMG_%07d.jpg", kPlaces[key % kPlaces.size()],
                    static_cast<unsigned long long>(key >> 32), id);
      const int size = id % 100 == 0 ? 4096 + random.Below(12 * 1024) : random.Below(701);
      for (int i = 0; i < size; i += 8) {
        const std::uint64_t word = random.Next();
        std::memcpy(blob.data() + i, &word, static_cast<std::size_t>(std::min(8, size - i)));
      }
      sqlite3_bind_int(image.get(), 1, id);
      sqlite3_bind_text(image.get(), 2, name, -1, SQLITE_TRANSIENT);
      if (id % 997 == 0) {
        sqlite3_bind_null(image.get(), 3);
      } else {
        sqlite3_bind_blob(image.get(), 3, blob.data(), size, SQLITE_STATIC);
      }
      StepDone(db.get(), image.get());
    }
  }
  {
    Stmt note = Prepare(db.get(), "INSERT INTO notes(image_id, body, score) VALUES (?1, ?2, ?3)");
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz      ,.'\n";
    std::string body;
    for (int n = 1; n <= kNoteRows; ++n) {
      sqlite3_bind_int(note.get(), 1, 1 + random.Below(kImageRows));
      if (n % 13 == 0) {
        sqlite3_bind_null(note.get(), 2);
      } else {
        body.resize(static_cast<std::size_t>(16 + random.Below(81)));
        for (char& c : body) c = kLetters[random.Below(static_cast<int>(sizeof kLetters - 1))];
        sqlite3_bind_text(note.get(), 2, body.data(), static_cast<int>(body.size()), SQLITE_STATIC);
      }
      sqlite3_bind_double(note.get(), 3, static_cast<double>(random.Below(1'000'000)) / 1000.0);
      StepDone(db.get(), note.get());
    }
  }
  Exec(db.get(),
       "CREATE INDEX images_by_name ON images(name);"
       "CREATE INDEX notes_by_image ON notes(image_id);"
       "COMMIT");
}

// The last connection checkpoints and removes -wal and -shm, so only the header says WAL.
void MakeWalCopy(const fs::path& plain, const fs::path& path) {
  fs::remove(path);
  fs::copy_file(plain, path);
  {
    Db db = OpenForWriting(path);
    Exec(db.get(), "PRAGMA journal_mode = WAL; CREATE TABLE wal_marker(x); DROP TABLE wal_marker");
  }
  char header[20] = {};
  std::ifstream(path, std::ios::binary).read(header, sizeof header);
  if (header[18] != 2 || header[19] != 2 || fs::exists(path.native() + "-wal")) Fail("not a clean WAL album");
}

void MakeDamagedCopy(const fs::path& sound, const fs::path& path) {
  fs::remove(path);
  fs::copy_file(sound, path);
  int pageSize = 0;
  long long firstLeaf = 0;
  {
    Db db = OpenReadOnly(path);
    Stmt size = Prepare(db.get(), "PRAGMA page_size");
    if (sqlite3_step(size.get()) != SQLITE_ROW) Fail("no page size");
    pageSize = sqlite3_column_int(size.get(), 0);
    Stmt leaf = Prepare(db.get(),
                        "SELECT min(pageno) FROM dbstat WHERE name = 'images_by_name' AND pagetype = 'leaf'");
    if (sqlite3_step(leaf.get()) != SQLITE_ROW) Fail("dbstat gives no leaf page of images_by_name");
    firstLeaf = sqlite3_column_int64(leaf.get(), 0);
  }
  if (firstLeaf < 2 || pageSize < 4096) Fail("the index has no leaf page to damage");
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp((firstLeaf - 1) * pageSize + 3000);
  const std::string junk(1000, '\x5A');
  file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  file.close();
  if (!file) Fail("cannot damage " + path.native());
}

void ReadThrough(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
  }
}

long long CountRows(const fs::path& album, const char* table) {
  Db db = OpenReadOnly(album);
  Stmt count = Prepare(db.get(), (std::string("SELECT count(*) FROM ") + table).c_str());
  if (sqlite3_step(count.get()) != SQLITE_ROW) Fail("cannot count rows");
  return sqlite3_column_int64(count.get(), 0);
}

fs::path MakeTemporaryFolderUnder(const fs::path& parent, const char* prefix) {
  std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).native();
  if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a temporary folder under " + parent.native());
  return pattern;
}

AlbumFolder::AlbumFolder(const char* prefix) {
  const char* cache = std::getenv("QV_BENCH_ALBUMS");
  if (cache != nullptr && *cache != '\0') {
    path_ = fs::absolute(cache);
    fs::create_directories(path_);
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  path_ = MakeTemporaryFolderUnder(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp", (std::string(prefix) + ".").c_str());
  temporary_ = true;
}

AlbumFolder::~AlbumFolder() {
  if (!temporary_) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace benchalbums
