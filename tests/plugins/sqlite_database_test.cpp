// SQLiteDatabase as the check uses it: set file, Connect, SQLSelect, SQLExecute, Close.
// Every verdict is compared with what SQLite says of an independent copy that the test
// makes and lets SQLite recover, and every test that opens an album checks that the
// album, the files beside it and the folder are exactly as before, and that no private
// copy is left in the process's temporary folder.
#include "plugins/sqlite_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/base/temporary_folder.h"
#include "tests/support/albums.h"

namespace {

using namespace testalbums;
namespace fs = std::filesystem;
using plugins::SQLiteDatabase;
using Rows = std::vector<std::string>;

bool RunningAsRoot() { return ::geteuid() == 0; }

// Every row's `column`, through a record set.
Rows Select(SQLiteDatabase& db, const std::string& sql, const std::string& column) {
  auto records = db.SQLSelect(sql);
  if (records == nullptr) {
    ADD_FAILURE() << sql << ": " << db.ErrorMessage();
    return {};
  }
  Rows rows;
  for (; !records->AtEOF(); records->MoveNext()) {
    auto field = records->Field(column);
    if (field == nullptr) {
      ADD_FAILURE() << "no column " << column;
      return rows;
    }
    rows.push_back(field->StringValue());
  }
  return rows;
}

// What SQLite says of the album once recovered: asked of a copy made here, opened plainly.
Rows Recovered(const fs::path& album, const std::string& sql) {
  ScratchFolder scratch;
  CopyAlbumSet(album, scratch / "copy.qva");
  return QueryColumn(scratch / "copy.qva", sql);
}

class SQLiteDatabaseTest : public ::testing::Test {
 protected:
  void TearDown() override {
    db.Close();  // record sets, local to the test body, are gone by now
    EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries) << "a private copy was left behind";
    for (const auto& [where, before] : watched) EXPECT_EQ(FolderSnapshot(where), before) << where;
  }
  // Connects to `path`; the folder that holds it is checked for any change at the end.
  bool Connect(const fs::path& path) {
    const fs::path where = path.parent_path();
    if (std::find_if(watched.begin(), watched.end(), [&](const auto& w) { return w.first == where; }) ==
        watched.end()) {
      watched.emplace_back(where, FolderSnapshot(where));
    }
    db.SetDatabaseFile(fw::FolderItem::Make(path));
    return db.Connect();
  }
  // Connects to the album in `where`, checks it and runs two queries, and compares all with a
  // recovered copy.
  void ExpectRecoveredVerdict(const fs::path& where) {
    ASSERT_TRUE(Connect(where)) << db.ErrorMessage();
    EXPECT_EQ(Select(db, "PRAGMA integrity_check", "integrity_check"), Recovered(where, "PRAGMA integrity_check"));
    EXPECT_EQ(Select(db, "SELECT count(*) AS n FROM notes", "n"), Recovered(where, "SELECT count(*) FROM notes"));
    EXPECT_EQ(Select(db, "SELECT name FROM images ORDER BY id", "name"),
              Recovered(where, "SELECT name FROM images ORDER BY id"));
    db.Close();
  }

  ScratchFolder folder;
  const fs::path album = folder / "album.qva";
  const Rows temporaries = FolderListing(fw::ProcessTemporaryFolder());
  std::vector<std::pair<fs::path, FolderSnapshot>> watched;  // folders as they were before the first Connect
  SQLiteDatabase db;
};

// --- Verdicts: what SQLite says of the album, album untouched -------------------------

TEST_F(SQLiteDatabaseTest, DamagedAlbumGivesEveryFindingWithItsNewlines) {
  MakeDamagedAlbum(album);
  ASSERT_TRUE(Connect(album));
  const Rows findings = Select(db, "PRAGMA integrity_check", "integrity_check");
  ASSERT_GE(findings.size(), 3u);
  EXPECT_NE(findings.front(), "ok");
  std::string joined;
  for (const std::string& row : findings) joined += row + "\n";
  ScratchFolder scratch;
  CopyAlbumSet(album, scratch / "copy.qva");
  EXPECT_EQ(joined, RunSqlite3(scratch / "copy.qva", "PRAGMA integrity_check"));
  EXPECT_NE(findings.front().find('\n'), std::string::npos) << "the first finding spans two lines";
}

// Sound albums, and albums SQLite recovers when it opens them: a hot journal, a log
// with commits the album file lacks (there the recovered copy has 40 notes, the album
// file alone 60), and a clean album in log mode, which a reader in place would leave
// "-wal" and "-shm" files beside.
void MakeSound(const fs::path& path) { MakeSoundAlbum(path); }
const std::pair<const char*, void (*)(const fs::path&)> kAlbums[] = {
    {"sound", &MakeSound}, {"hot journal", &MakeAlbumWithHotJournal}, {"log", &MakeAlbumWithWal},
    {"clean log mode", &MakeCleanWalAlbum}};

TEST_F(SQLiteDatabaseTest, AlbumsAreJudgedAsSQLiteJudgesThemRecoveredAndLeftUntouched) {
  for (const auto& [kind, make] : kAlbums) {
    SCOPED_TRACE(kind);
    const fs::path sub = folder / kind;
    fs::create_directory(sub);
    make(sub / "album.qva");
    ExpectRecoveredVerdict(sub / "album.qva");
    EXPECT_EQ(Recovered(sub / "album.qva", "PRAGMA integrity_check"), Rows{"ok"});
  }
}

TEST_F(SQLiteDatabaseTest, AlbumsInReadOnlyFoldersAreJudgedTheSame) {
  if (RunningAsRoot()) GTEST_SKIP() << "root writes into read-only folders";
  for (const auto& [kind, make] : kAlbums) {
    SCOPED_TRACE(kind);
    const fs::path sub = folder / kind;
    fs::create_directory(sub);
    make(sub / "album.qva");
    fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectRecoveredVerdict(sub / "album.qva");
  }
}

TEST_F(SQLiteDatabaseTest, EmptyFileIsAnEmptySoundDatabase) {
  MakeEmptyFile(album);
  ASSERT_TRUE(Connect(album));
  EXPECT_EQ(Select(db, "PRAGMA integrity_check", "integrity_check"), Rows{"ok"});
  EXPECT_EQ(Select(db, "SELECT count(*) AS n FROM sqlite_master", "n"), Rows{"0"});
}

TEST_F(SQLiteDatabaseTest, NotADatabaseConnectsButNoStatementRuns) {
  MakeNotADatabase(album);
  ASSERT_TRUE(Connect(album)) << db.ErrorMessage();
  EXPECT_EQ(db.SQLSelect("PRAGMA integrity_check"), nullptr);
  EXPECT_TRUE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "file is not a database");
  db.SQLExecute("SELECT 1");  // resets the outcome...
  db.SQLExecute("PRAGMA integrity_check");  // ...so this must set it again
  EXPECT_TRUE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "file is not a database");
}

// --- Connect refuses, and creates nothing ---------------------------------------------

TEST_F(SQLiteDatabaseTest, ConnectRefusesWhatIsNotAReadableFile) {
  fs::create_directory(folder / "a folder");
  fs::create_symlink("nowhere.qva", folder / "dangling.qva");
  ASSERT_EQ(::mkfifo((folder / "a pipe").c_str(), 0600), 0);
  for (const char* name : {"missing.qva", "dangling.qva", "a folder", "a pipe"}) {
    EXPECT_FALSE(Connect(folder / name)) << name;
    EXPECT_TRUE(db.Error());
    EXPECT_FALSE(db.ErrorMessage().empty());
    EXPECT_FALSE(db.IsConnected());
  }

  SQLiteDatabase unset;
  EXPECT_FALSE(unset.Connect());
  EXPECT_TRUE(unset.Error());
}

TEST_F(SQLiteDatabaseTest, ConnectRefusesAnUnreadableAlbum) {
  if (RunningAsRoot()) GTEST_SKIP() << "root reads every file";
  MakeSoundAlbum(album);
  fs::permissions(album, fs::perms::owner_write);
  EXPECT_FALSE(Connect(album));
}

// --- Statement outcomes --------------------------------------------------------------

TEST_F(SQLiteDatabaseTest, OutcomeDescribesTheLastStatement) {
  MakeSoundAlbum(album);
  ASSERT_TRUE(Connect(album));
  db.SQLExecute("SELECT * FROM images");
  EXPECT_FALSE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "not an error");
  db.SQLExecute("SELECT 1; SELECT nosuch FROM images; SELECT 2");
  EXPECT_TRUE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "no such column: nosuch");
  EXPECT_NE(db.SQLSelect("SELECT id FROM images"), nullptr);
  EXPECT_FALSE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "not an error");
  EXPECT_EQ(db.SQLSelect("  -- nothing "), nullptr);
  EXPECT_TRUE(db.Error());
  db.Close();
  EXPECT_EQ(db.SQLSelect("SELECT 1"), nullptr);
  EXPECT_TRUE(db.Error());
}

TEST_F(SQLiteDatabaseTest, WritesAreRefusedInPlaceAndOnThePrivateCopy) {
  for (auto make : {&MakeSound, &MakeAlbumWithHotJournal}) {
    const fs::path sub = folder / (make == &MakeSound ? "in place" : "copied");
    fs::create_directory(sub);
    make(sub / "album.qva");
    ASSERT_TRUE(Connect(sub / "album.qva"));
    db.SQLExecute("CREATE TABLE intruder(x)");
    EXPECT_TRUE(db.Error());
    EXPECT_EQ(db.ErrorMessage(), "attempt to write a readonly database");
    EXPECT_EQ(Select(db, "SELECT count(*) AS n FROM sqlite_master WHERE name = 'intruder'", "n"), Rows{"0"});
  }
}

// --- Record sets and fields ----------------------------------------------------------

TEST_F(SQLiteDatabaseTest, FieldsGiveSQLitesBytesUnchanged) {
  MakeSoundAlbum(album);
  ASSERT_TRUE(Connect(album));
  auto records = db.SQLSelect(
      "SELECT data, hex(data) AS h, name, hex(name) AS hn FROM images UNION ALL "
      "SELECT x'00410a42', '00410A42', NULL, '' ORDER BY 2");
  ASSERT_NE(records, nullptr);
  int seen = 0;
  for (; !records->AtEOF(); records->MoveNext(), ++seen) {
    for (const auto& [value, hex] : {std::pair{"data", "h"}, std::pair{"NAME", "hn"}}) {
      std::string expected;
      const std::string digits = records->Field(hex)->StringValue();
      for (std::size_t i = 0; i < digits.size(); i += 2) {
        expected += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
      }
      EXPECT_EQ(records->Field(value)->StringValue(), expected) << "row " << seen;
    }
  }
  EXPECT_EQ(seen, 41);
  records = db.SQLSelect("SELECT NULL AS absent, 2.5 AS real, '' AS blank");
  ASSERT_NE(records, nullptr) << db.ErrorMessage();
  EXPECT_TRUE(records->Field("absent")->IsNull());
  EXPECT_EQ(records->Field("absent")->StringValue(), "");
  EXPECT_EQ(records->Field("real")->StringValue(), "2.5");
  EXPECT_FALSE(records->Field("blank")->IsNull());
  EXPECT_EQ(records->Field("missing"), nullptr);
  records->MoveNext();
  EXPECT_TRUE(records->AtEOF());
  EXPECT_EQ(records->Field("real"), nullptr);
  records->MoveNext();
  EXPECT_TRUE(records->AtEOF());
  EXPECT_TRUE(db.SQLSelect("SELECT * FROM images WHERE 0")->AtEOF());
}

TEST_F(SQLiteDatabaseTest, StepThatFailsEndsTheRecordSetAndSaysWhy) {
  MakeDamagedAlbumWithDumpErrors(album);
  ASSERT_TRUE(Connect(album));
  auto records = db.SQLSelect("SELECT id, data FROM images");  // a table scan: the index does not cover data
  ASSERT_NE(records, nullptr) << db.ErrorMessage();
  int rows = 0;
  for (; !records->AtEOF(); records->MoveNext()) ++rows;
  EXPECT_GT(rows, 0) << "the first leaf pages are intact";
  EXPECT_TRUE(db.Error());
  EXPECT_EQ(db.ErrorMessage(), "database disk image is malformed");
}

// --- Lifetime: the private copy goes with the last reference ---------------------------

TEST_F(SQLiteDatabaseTest, PrivateCopyGoesAtCloseOrWithTheLastReference) {
  MakeAlbumWithWal(album);
  ASSERT_TRUE(Connect(album));
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()).size(), temporaries.size() + 1);
  ASSERT_TRUE(db.Connect());  // connecting again replaces the copy
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()).size(), temporaries.size() + 1);
  db.Close();
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);

  auto owned = std::make_unique<SQLiteDatabase>();
  owned->SetDatabaseFile(fw::FolderItem::Make(album));
  ASSERT_TRUE(owned->Connect());
  owned.reset();  // no Close
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
}

TEST_F(SQLiteDatabaseTest, RecordSetKeepsTheConnectionUntilItEnds) {
  MakeAlbumWithHotJournal(album);
  ASSERT_TRUE(Connect(album));
  auto all = db.SQLSelect("SELECT id FROM images ORDER BY id");
  auto first = db.SQLSelect("SELECT id FROM images ORDER BY id");
  db.Close();
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()).size(), temporaries.size() + 1);
  Rows ids;
  for (; !all->AtEOF(); all->MoveNext()) ids.push_back(all->Field("id")->StringValue());
  EXPECT_EQ(ids, Recovered(album, "SELECT id FROM images ORDER BY id"));
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()).size(), temporaries.size() + 1) << "`first` still uses it";
  EXPECT_EQ(first->Field("id")->StringValue(), "1");
  first.reset();
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
}

}  // namespace
