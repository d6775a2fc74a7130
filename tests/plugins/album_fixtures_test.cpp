// The album fixtures are what they claim, as SQLite and the sqlite3 shell see them:
// every other test of the project relies on that.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/albums.h"

namespace {

using namespace testalbums;
namespace fs = std::filesystem;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(AlbumFixtures, SoundAndDamagedAlbumsGetTheirVerdictsAndDumps) {
  ScratchFolder folder;
  MakeSoundAlbum(folder / "sound.qva", 40);
  MakeDamagedAlbum(folder / "damaged.qva");
  MakeDamagedAlbumWithDumpErrors(folder / "unreadable-rows.qva");

  EXPECT_EQ(QueryColumn(folder / "sound.qva", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(QueryColumn(folder / "sound.qva", "SELECT count(*) FROM notes"), std::vector<std::string>{"40"});
  EXPECT_TRUE(EndsWith(RunSqlite3(folder / "sound.qva", ".dump"), "COMMIT;\n"));

  for (const char* name : {"damaged.qva", "unreadable-rows.qva"}) {
    const auto findings = QueryColumn(folder / name, "PRAGMA integrity_check");
    EXPECT_GE(findings.size(), 3u) << name;
    EXPECT_NE(findings.front(), "ok") << name;
  }
  // Only index pages are damaged, so the dump reads every row.
  EXPECT_TRUE(EndsWith(RunSqlite3(folder / "damaged.qva", ".dump"), "COMMIT;\n"));
  EXPECT_TRUE(EndsWith(RunSqlite3(folder / "unreadable-rows.qva", ".dump"), "ROLLBACK; -- due to errors\n"));
}

TEST(AlbumFixtures, HotJournalIsRolledBackAndTheAlbumAloneReadsDamaged) {
  ScratchFolder folder;
  MakeAlbumWithHotJournal(folder / "album.qva");
  ASSERT_TRUE(fs::exists(folder / "album.qva-journal"));

  CopyAlbumSet(folder / "album.qva", folder / "recovered.qva");
  EXPECT_EQ(QueryColumn(folder / "recovered.qva", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_FALSE(fs::exists(folder / "recovered.qva-journal")) << "SQLite did not roll the journal back";

  fs::copy_file(folder / "album.qva", folder / "alone.qva");
  EXPECT_NE(QueryColumn(folder / "alone.qva", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

TEST(AlbumFixtures, WalHoldsCommitsTheAlbumFileLacks) {
  ScratchFolder folder;
  MakeAlbumWithWal(folder / "album.qva");
  EXPECT_EQ(FolderListing(folder.Path()), (std::vector<std::string>{"album.qva", "album.qva-wal"}));

  CopyAlbumSet(folder / "album.qva", folder / "recovered.qva");
  EXPECT_EQ(QueryColumn(folder / "recovered.qva", "SELECT count(*) FROM notes"), std::vector<std::string>{"40"});
  fs::copy_file(folder / "album.qva", folder / "alone.qva");
  EXPECT_EQ(QueryColumn(folder / "alone.qva", "SELECT count(*) FROM notes"), std::vector<std::string>{"60"});
}

TEST(AlbumFixtures, RunSqlite3PassesAwkwardNamesAsOneWord) {
  ScratchFolder folder;
  const fs::path album = folder / "it's a $(touch hacked) `touch hacked`; * \"x\".qva";
  MakeSoundAlbum(album, 3);
  const FolderSnapshot before(folder.Path());
  EXPECT_EQ(RunSqlite3(album, "SELECT count(*) FROM images; SELECT 'a''b'"), "3\na'b\n");
  EXPECT_EQ(FolderSnapshot(folder.Path()), before);
}

}  // namespace
