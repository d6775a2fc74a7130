// The album check as the window shows it: each kind of album gets its verdict and the
// Repair button its state, the default output is named beside the album, and the album,
// the files beside it and its folder are exactly as they were.
#include <gtest/gtest.h>

#include "framework/base/folder_item.h"
#include "tests/support/albums.h"
#include "tests/support/test_interaction.h"
#include "tests/support/window1_probe.h"

namespace {

using testalbums::FileBytes;
using testalbums::FolderSnapshot;
using testalbums::ScratchFolder;
namespace fs = std::filesystem;

/// Checks `album` in a new window and asserts that nothing on disk changed meanwhile.
class AlbumCheck : public ::testing::Test {
 protected:
  std::shared_ptr<Window1> Check(const fs::path& album, std::shared_ptr<Window1> window = nullptr) {
    if (!window) window = fw::New<Window1>();
    const FolderSnapshot before(album.parent_path());
    const bool existed = fs::exists(album);
    const std::string bytes = existed ? FileBytes(album) : std::string();
    window->Action_Init(fw::FolderItem::Make(album));
    EXPECT_EQ(FolderSnapshot(album.parent_path()), before);
    if (existed) {
      EXPECT_EQ(FileBytes(album), bytes) << "the album changed";
    }
    EXPECT_EQ(fs::exists(album), existed);
    return window;
  }
  static std::string FirstFinding(const fs::path& album) {
    ScratchFolder copy;  // SQLite's own word on an independent copy
    testalbums::CopyAlbumSet(album, copy / "copy.qva");
    return testalbums::QueryColumn(copy / "copy.qva", "PRAGMA integrity_check").at(0);
  }

  ScratchFolder folder;
  testsupport::InteractionGuard person;
};

TEST_F(AlbumCheck, SoundAlbumIsOkAndNeedsNoRepair) {
  const fs::path album = folder / "Family 2024.qva";
  testalbums::MakeSoundAlbum(album);
  auto window = fw::New<Window1>();
  Window1Probe::RepairButton(*window)->SetEnabled(true);
  Check(album, window);
  EXPECT_EQ(Window1Probe::Status(*window), "Album OK - No need to repair");
  EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
  EXPECT_EQ(Window1Probe::FileLabel(*window), "Family 2024.qva");
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), album);
  EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / "Family 2024_repaired.qva");
  EXPECT_EQ(person->altQueries, 0);  // a row was read: the Alt key plays no part
}

TEST_F(AlbumCheck, EmptyFileIsAnEmptyDatabaseToSqlite) {
  const fs::path album = folder / "empty.qva";
  testalbums::MakeEmptyFile(album);
  auto window = Check(album);
  EXPECT_EQ(Window1Probe::Status(*window), "Album OK - No need to repair");
}

TEST_F(AlbumCheck, DamagedAlbumShowsTheFirstFindingOnlyAndOffersRepair) {
  for (auto make : {testalbums::MakeDamagedAlbum, testalbums::MakeDamagedAlbumWithDumpErrors}) {
    ScratchFolder here;
    const fs::path album = here / "damaged.qva";
    make(album);
    ScratchFolder copy;
    testalbums::CopyAlbumSet(album, copy / "damaged.qva");
    const auto findings = testalbums::QueryColumn(copy / "damaged.qva", "PRAGMA integrity_check");
    ASSERT_GT(findings.size(), 1u) << "the damage should give several findings";
    person->altDown = true;  // held Alt changes nothing when there is a row
    auto window = Check(album);
    EXPECT_EQ(Window1Probe::Status(*window), "Album Corrupted - " + findings.front());
    EXPECT_TRUE(Window1Probe::RepairButton(*window)->Enabled());
  }
}

TEST_F(AlbumCheck, FileThatIsNotADatabaseShowsSqlitesMessageAndOffersRepair) {
  const fs::path album = folder / "noise.qva";
  testalbums::MakeNotADatabase(album);
  for (bool alt : {false, true}) {
    person->altDown = alt;
    auto window = Check(album);
    EXPECT_EQ(Window1Probe::Status(*window), "file is not a database");
    EXPECT_TRUE(Window1Probe::RepairButton(*window)->Enabled());
  }
  EXPECT_EQ(person->altQueries, 0);  // the failed statement decides before any key is read
}

TEST_F(AlbumCheck, MissingAlbumCannotConnectAndKeepsTheButtonAsItWas) {
  const fs::path damaged = folder / "damaged.qva";
  testalbums::MakeDamagedAlbum(damaged);
  auto window = Check(damaged);
  ASSERT_TRUE(Window1Probe::RepairButton(*window)->Enabled());
  const std::string verdictLine = Window1Probe::RepairLine(*window);

  const fs::path missing = folder / "gone.qva";
  Check(missing, window);
  EXPECT_EQ(Window1Probe::Status(*window), "Could not connect to album");
  EXPECT_TRUE(Window1Probe::RepairButton(*window)->Enabled());  // left as the damaged album set it
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), missing);
  EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / "gone_repaired.qva");
  EXPECT_EQ(Window1Probe::FileLabel(*window), "gone.qva");
  EXPECT_FALSE(fs::exists(missing)) << "a missing album must never become a new database";

  Window1Probe::RepairButton(*window)->SetEnabled(false);
  const fs::path subfolder = folder / "a folder.qva";
  fs::create_directory(subfolder);
  Check(subfolder, window);  // a folder is no album either
  EXPECT_EQ(Window1Probe::Status(*window), "Could not connect to album");
  EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
}

TEST_F(AlbumCheck, NoFileChangesNothing) {
  auto window = fw::New<Window1>();
  window->Action_Init(nullptr);
  EXPECT_EQ(Window1Probe::FileLabel(*window), "Drop Album File to be repaired into this window");
  EXPECT_EQ(Window1Probe::Status(*window), "");
  EXPECT_FALSE(Window1Probe::RepairButton(*window)->Enabled());
  EXPECT_EQ(Window1Probe::Source(*window), nullptr);
  EXPECT_EQ(Window1Probe::Dest(*window), nullptr);
}

TEST_F(AlbumCheck, ItemWithoutAParentFolderEndsAfterTakingIt) {
  auto window = fw::New<Window1>();
  window->Action_Init(fw::FolderItem::Make("/"));
  EXPECT_EQ(Window1Probe::Source(*window)->NativePath(), fs::path("/"));
  EXPECT_EQ(Window1Probe::Dest(*window), nullptr);
  EXPECT_EQ(Window1Probe::FileLabel(*window), "Drop Album File to be repaired into this window");
  EXPECT_EQ(Window1Probe::Status(*window), "");
}

TEST_F(AlbumCheck, DefaultOutputIsNamedAfterTheAlbumBesideIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a.b.c.qva", "a.b.c_repaired.qva"},
      {"My Album.QVA", "My Album_repaired.qva"},
      {"it's \"ours\" $(x).qva", "it's \"ours\" $(x)_repaired.qva"},
      {"Ålbum Ünïcode 写真.qva", "Ålbum Ünïcode 写真_repaired.qva"},
      {"noextension", "noextension_repaired.qva"},
  };
  for (const auto& [name, output] : cases) {
    const fs::path album = folder / name;
    testalbums::MakeSoundAlbum(album, 2);
    auto window = Check(album);
    EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / output) << name;
    EXPECT_FALSE(fs::exists(folder / output)) << "nothing is created";
    EXPECT_EQ(Window1Probe::FileLabel(*window), name);
  }
}

TEST_F(AlbumCheck, NextAlbumReplacesTheOutputAndLeavesTheRepairLine) {
  const fs::path first = folder / "first.qva";
  const fs::path second = folder / "second.qva";
  testalbums::MakeSoundAlbum(first, 2);
  testalbums::MakeDamagedAlbum(second);
  auto window = Check(first);
  fw::FindControl<fw::Label>(window.get(), "lblRepaired")->SetText("Album Database Structure Repaired");
  Check(second, window);
  EXPECT_EQ(Window1Probe::Dest(*window)->NativePath(), folder / "second_repaired.qva");
  EXPECT_EQ(Window1Probe::RepairLine(*window), "Album Database Structure Repaired");
}

TEST_F(AlbumCheck, LeftoverJournalOrWalIsJudgedAsSqliteRecoversItWithoutTouchingTheAlbum) {
  struct Case {
    const char* name;
    void (*make)(const fs::path&);
  };
  for (const Case& c : {Case{"hot journal", testalbums::MakeAlbumWithHotJournal},
                        Case{"uncheckpointed wal", testalbums::MakeAlbumWithWal},
                        Case{"clean wal", testalbums::MakeCleanWalAlbum}}) {
    ScratchFolder here;
    const fs::path album = here / "album.qva";
    c.make(album);
    const std::string expected = FirstFinding(album);
    auto window = Check(album);  // also checks every file beside it and the listing
    const std::string verdict =
        expected == "ok" ? "Album OK - No need to repair" : "Album Corrupted - " + expected;
    EXPECT_EQ(Window1Probe::Status(*window), verdict) << c.name;
  }
}

}  // namespace
