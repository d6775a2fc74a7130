// What the benchmarks share: the large album they work on (made once per run, or kept in
// QV_BENCH_ALBUMS between runs), a damaged copy of it, a fixed-seed generator, and small
// helpers for SQLite and the shell.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace benchalbums {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Album content. About 200 MB in all: images carry the bulk (blobs of up to 700 bytes,
// every 100th one of 4 to 16 KB so that overflow pages are part of it), notes carry the
// row count.
inline constexpr int kImageRows = 240'000;
inline constexpr int kNoteRows = 760'000;
// The large album's file names start with this; change it when the content changes.
inline constexpr const char* kLargeAlbumTag = "check-bench-v1";

[[noreturn]] void Fail(const std::string& what);

// splitmix64: a fixed-seed generator, so every run makes the same data.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
};

// `text` as one word for /bin/sh, in single quotes.
std::string ShellWord(const std::string& text);

// Everything `command` prints on stdout; fails when it does not exit with 0.
std::string OutputOf(const std::string& command);

struct DbCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

Db OpenForWriting(const fs::path& path);
Db OpenReadOnly(const fs::path& path);
void Exec(sqlite3* db, const char* sql);
Stmt Prepare(sqlite3* db, const char* sql);

// The large album in rollback-journal mode: the tables and indexes of a real album,
// kImageRows + kNoteRows rows.
void MakeLargeAlbum(const fs::path& path);
// The same album in write-ahead-log mode, closed cleanly (no -wal, no -shm beside it).
void MakeWalCopy(const fs::path& plain, const fs::path& path);
// A copy of `sound` with 1000 bytes at offset 3000 of the first leaf page of the index
// images_by_name (found through dbstat) overwritten: PRAGMA integrity_check finds the
// damage, while every table still reads in full, so ".dump" gives all rows.
void MakeDamagedCopy(const fs::path& sound, const fs::path& path);

// Makes `path` with `make` unless it is already there; a half-made file never takes the
// final name, so a file that exists is complete.
template <class Make>
void MakeOnce(const fs::path& path, Make make) {
  if (fs::exists(path)) {
    std::printf("Reusing %s\n", path.c_str());
    return;
  }
  const fs::path part = path.native() + ".part";
  const auto start = Clock::now();
  make(part);
  fs::rename(part, path);
  std::printf("Made %s in %.1f s\n", path.c_str(), std::chrono::duration<double>(Clock::now() - start).count());
}

// Reads the whole file once, so that what follows finds it in the page cache.
void ReadThrough(const fs::path& path);

long long CountRows(const fs::path& album, const char* table);

// Where the albums live: QV_BENCH_ALBUMS when set (kept), or a temporary folder named
// after `prefix` under $TMPDIR (or /tmp) that is removed when this guard goes.
class AlbumFolder {
 public:
  explicit AlbumFolder(const char* prefix);
  ~AlbumFolder();
  AlbumFolder(const AlbumFolder&) = delete;
  AlbumFolder& operator=(const AlbumFolder&) = delete;
  const fs::path& Path() const { return path_; }
  bool Temporary() const { return temporary_; }

 private:
  fs::path path_;
  bool temporary_ = false;
};

// A new folder `prefix`XXXXXX made with mkdtemp under `parent`.
fs::path MakeTemporaryFolderUnder(const fs::path& parent, const char* prefix);

}  // namespace benchalbums
