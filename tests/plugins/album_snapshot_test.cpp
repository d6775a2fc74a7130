// AlbumSnapshot reads in place only what SQLite can read without recovering or creating
// anything, copies everything else exactly with its journal or log, and leaves nothing
// behind: not beside the album, not in the process's temporary folder.
#include "plugins/album_snapshot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "framework/base/exceptions.h"
#include "framework/base/temporary_folder.h"
#include "tests/support/albums.h"

namespace {

using namespace testalbums;
namespace fs = std::filesystem;
using plugins::AlbumSnapshot;

class AlbumSnapshotTest : public ::testing::Test {
 protected:
  std::unique_ptr<AlbumSnapshot> Take(const fs::path& path) {
    return std::make_unique<AlbumSnapshot>(fw::FolderItem(path));
  }
  // The copy's files and their bytes against the originals beside the album.
  void ExpectCopyOf(const AlbumSnapshot& snapshot, const std::vector<std::string>& suffixes) {
    ASSERT_TRUE(snapshot.IsPrivateCopy());
    std::vector<std::string> expected;
    for (const std::string& suffix : suffixes) {
      expected.push_back(std::string(AlbumSnapshot::kCopyName) + suffix);
      EXPECT_EQ(FileBytes(snapshot.DatabasePath().native() + suffix), FileBytes(album.native() + suffix)) << suffix;
    }
    EXPECT_EQ(FolderListing(snapshot.CopyFolder()), expected);
  }

  ScratchFolder folder;
  const fs::path album = folder / "album.qva";
  const std::vector<std::string> temporaries = FolderListing(fw::ProcessTemporaryFolder());
};

TEST_F(AlbumSnapshotTest, ReadsInPlaceWhatNeedsNoRecovery) {
  for (auto make : {+[](const fs::path& p) { MakeSoundAlbum(p); }, &MakeEmptyFile, &MakeNotADatabase,
                    &MakeDamagedAlbum}) {
    make(album);
    const FolderSnapshot before(folder.Path());
    auto snapshot = Take(folder / "." / "album.qva");
    EXPECT_FALSE(snapshot->IsPrivateCopy());
    EXPECT_EQ(snapshot->DatabasePath(), album);
    EXPECT_EQ(FolderSnapshot(folder.Path()), before);
    EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
    fs::remove(album);
  }
}

TEST_F(AlbumSnapshotTest, LooksForTheJournalBesideTheRealFile) {
  fs::create_directory(folder / "real");
  MakeAlbumWithHotJournal(folder / "real" / "album.qva");
  fs::create_symlink("real/album.qva", album);  // the journal is beside the target only
  auto snapshot = Take(album);
  ASSERT_TRUE(snapshot->IsPrivateCopy());
  EXPECT_EQ(FolderListing(snapshot->CopyFolder()), (std::vector<std::string>{"album.qva", "album.qva-journal"}));
}

TEST_F(AlbumSnapshotTest, CopiesAlbumWithItsJournal) {
  MakeAlbumWithHotJournal(album);
  auto snapshot = Take(album);
  ExpectCopyOf(*snapshot, {"", "-journal"});
}

TEST_F(AlbumSnapshotTest, CopiesAlbumWithItsLogButNotTheSharedMemoryFile) {
  MakeAlbumWithWal(album);
  MakeNotADatabase(folder / "album.qva-shm");
  auto snapshot = Take(album);
  ExpectCopyOf(*snapshot, {"", "-wal"});
}

TEST_F(AlbumSnapshotTest, CopiesAnAlbumWhoseHeaderSaysWal) {
  MakeCleanWalAlbum(album);
  auto snapshot = Take(album);
  ExpectCopyOf(*snapshot, {""});
}

TEST_F(AlbumSnapshotTest, StreamsFilesLargerThanItsBufferExactly) {
  MakeSoundAlbum(album, 700);  // about 2.3 MB
  std::mt19937 random(7);
  std::string journal((3 << 20) + 123, '\0');  // three buffers and a bit
  for (char& c : journal) c = static_cast<char>(random());
  journal[0] = '\xd9';
  std::FILE* out = std::fopen((folder / "album.qva-journal").c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(std::fwrite(journal.data(), 1, journal.size(), out), journal.size());
  ASSERT_EQ(std::fclose(out), 0);
  auto snapshot = Take(album);
  ExpectCopyOf(*snapshot, {"", "-journal"});
}

TEST_F(AlbumSnapshotTest, RefusesWhatCannotBeReadAndLeavesNothing) {
  fs::create_directory(folder / "a folder");
  ASSERT_EQ(::mkfifo((folder / "a pipe").c_str(), 0600), 0);  // opening it must not wait for a writer
  fs::create_symlink("nowhere.qva", folder / "dangling.qva");
  MakeSoundAlbum(folder / "journal is a folder.qva");
  fs::create_directory(folder / "journal is a folder.qva-journal");
  const FolderSnapshot before(folder.Path());
  for (const char* name : {"missing.qva", "a folder", "a pipe", "dangling.qva", "journal is a folder.qva"}) {
    EXPECT_THROW(Take(folder / name), fw::IOException) << name;
  }
  EXPECT_EQ(FolderSnapshot(folder.Path()), before);
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
}

TEST_F(AlbumSnapshotTest, WaitsForNoHalfWrittenTransaction) {
  MakeSoundAlbum(album);
  sqlite3* opened = nullptr;
  const int rc = sqlite3_open_v2(album.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> writer(opened, &sqlite3_close_v2);
  ASSERT_EQ(rc, SQLITE_OK);
  // A journal beside the album calls for a copy, and the writer's exclusive lock must
  // keep it from being made.
  ASSERT_EQ(sqlite3_exec(writer.get(), "BEGIN EXCLUSIVE; DELETE FROM notes", nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_TRUE(fs::exists(folder / "album.qva-journal"));
  EXPECT_THROW(Take(album), fw::IOException);
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
  ASSERT_EQ(sqlite3_exec(writer.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_FALSE(Take(album)->IsPrivateCopy());
}

TEST_F(AlbumSnapshotTest, RefusesAnAlbumItMayNotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  MakeSoundAlbum(album);
  fs::permissions(album, fs::perms::none);
  EXPECT_THROW(Take(album), fw::IOException);
  fs::permissions(album, fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
