// AlbumSnapshot reads in place only what SQLite can read without recovering or creating
// anything, copies everything else exactly with its journal or log, and leaves nothing
// behind: not beside the album, not in the process's temporary folder.
#include "plugins/album_snapshot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

// A transaction over several databases leaves journals that end with the path of a
// "super-journal", which SQLite deletes once it has rolled a journal back. The record is
// written byte by byte: the lock-byte page's number, the name, its length, the sum of its
// bytes and the journal's magic.
void AppendSuperJournalRecord(const fs::path& journal, const std::string& name) {
  auto bigEndian = [](std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
  };
  std::uint32_t sum = 0;
  for (char c : name) sum += static_cast<std::uint32_t>(c);
  std::FILE* out = std::fopen(journal.c_str(), "ab");
  ASSERT_NE(out, nullptr);
  const std::string record = bigEndian(0x40000000 / 4096 + 1) + name + bigEndian(name.size()) + bigEndian(sum) +
                             "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
  ASSERT_EQ(std::fwrite(record.data(), 1, record.size(), out), record.size());
  ASSERT_EQ(std::fclose(out), 0);
}

// What SQLite makes of an album: the check's first row, and the notes that the sqlite3
// shell's dump holds. Each reading recovers a copy of its own.
std::pair<std::string, long> Reading(const std::function<fs::path()>& copy) {
  const std::string check = QueryColumn(copy(), "PRAGMA integrity_check").at(0);
  const std::string dump = RunSqlite3(copy().native(), ".dump");
  long notes = 0;
  for (std::size_t at = dump.find("INSERT INTO notes"); at != std::string::npos; at = dump.find("INSERT INTO notes", at + 1)) {
    ++notes;
  }
  return {check, notes};
}

TEST_F(AlbumSnapshotTest, ASuperJournalThatTheJournalNamesIsNeverTouched) {
  // The hot journal's transaction renamed every image and deleted a third of 120 notes.
  for (const auto& [named, exists] : std::vector<std::pair<std::string, bool>>{
           {"notes.txt", true}, {"album.qva", true}, {"gone.txt", false}}) {
    ScratchFolder here;
    const fs::path album = here / "album.qva";
    MakeAlbumWithHotJournal(album);
    std::ofstream(here / "notes.txt") << "the person's notes";
    AppendSuperJournalRecord(here / "album.qva-journal", (here / named).native());
    const FolderSnapshot before(here.Path());

    // An existing super-journal means the transaction never committed: it is rolled back.
    // A missing one means it did: SQLite's own reading of a plain copy, which names
    // nothing that is there, says what is kept then.
    std::pair<std::string, long> expected{"ok", 120};
    std::vector<std::unique_ptr<ScratchFolder>> plainCopies;
    if (!exists) {
      expected = Reading([&] {
        plainCopies.push_back(std::make_unique<ScratchFolder>());
        CopyAlbumSet(album, *plainCopies.back() / "album.qva");
        return *plainCopies.back() / "album.qva";
      });
    }
    std::vector<std::unique_ptr<AlbumSnapshot>> snapshots;
    EXPECT_EQ(Reading([&] {
                snapshots.push_back(Take(album));
                return snapshots.back()->DatabasePath();
              }),
              expected)
        << named;
    EXPECT_EQ(FolderSnapshot(here.Path()), before) << named;
  }
  EXPECT_EQ(FolderListing(fw::ProcessTemporaryFolder()), temporaries);
}

TEST_F(AlbumSnapshotTest, RefusesAnAlbumItMayNotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  MakeSoundAlbum(album);
  fs::permissions(album, fs::perms::none);
  EXPECT_THROW(Take(album), fw::IOException);
  fs::permissions(album, fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
