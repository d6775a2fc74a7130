// The process temporary folder, fresh temporary names and the TemporaryFolder guard.
#include "framework/base/temporary_folder.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

void WriteFile(const fs::path& path) {
  std::ofstream out(path, std::ios::binary);
  out << "data";
}

}  // namespace

TEST(TemporaryFolderTest, ProcessFolderIsPrivate) {
  const fs::path& folder = fw::ProcessTemporaryFolder();
  EXPECT_TRUE(folder.is_absolute());
  EXPECT_EQ(folder.filename().native().rfind("quorvanta-", 0), 0u) << folder.native();
  EXPECT_EQ(folder.filename().native().size(), std::string("quorvanta-XXXXXX").size());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(&fw::ProcessTemporaryFolder(), &folder);  // made once
}

TEST(TemporaryFolderTest, TemporaryItemNamesAreFreshAndNothingIsMade) {
  std::set<std::string> names;
  for (int i = 0; i < 1000; ++i) {
    auto item = fw::GetTemporaryFolderItem();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->Exists());
    EXPECT_EQ(item->Parent()->NativePath(), fw::ProcessTemporaryFolder());
    EXPECT_TRUE(names.insert(item->NativePath().native()).second);
    if (i % 100 == 0) WriteFile(item->NativePath());  // used names are never given again
  }
}

TEST(TemporaryFolderTest, GuardMakesAPrivateFolderAndRemovesEverything) {
  fw::TemporaryFolder outside;
  WriteFile(outside.Path() / "target");
  fs::path path;
  {
    fw::TemporaryFolder tmp;
    path = tmp.Path();
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(ModeOf(path), 0700u);
    EXPECT_EQ(path.parent_path(), fw::ProcessTemporaryFolder());
    fs::create_directories(path / "a" / "b");
    WriteFile(path / "a" / "b" / "file");
    WriteFile(path / "top");
    ASSERT_EQ(::symlink((outside.Path() / "target").c_str(), (path / "link").c_str()), 0);
    // A folder that its owner made read-only, with something inside.
    fs::create_directories(path / "locked");
    WriteFile(path / "locked" / "inner");
    ASSERT_EQ(::chmod((path / "locked").c_str(), 0500), 0);
    EXPECT_EQ(tmp.Child("top")->NativePath(), path / "top");
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::exists(outside.Path() / "target"));  // a link's target is never touched
}

TEST(TemporaryFolderTest, GuardsAreDistinctAndToleratePrematureRemoval) {
  fw::TemporaryFolder a;
  {
    fw::TemporaryFolder b;
    EXPECT_NE(a.Path(), b.Path());
    fs::remove_all(b.Path());  // the destructor then finds nothing; it must not throw
  }
  EXPECT_TRUE(fs::is_directory(a.Path()));
}

TEST(TemporaryFolderTest, ChildDoesNotFollowLinks) {
  fw::TemporaryFolder tmp;
  ASSERT_EQ(::symlink("/etc", (tmp.Path() / "l").c_str()), 0);
  EXPECT_EQ(tmp.Child("l")->NativePath(), tmp.Path() / "l");
}

// A forked child that ends with exit() must not remove its parent's folder.
TEST(TemporaryFolderTest, ForkedChildLeavesTheFolderAlone) {
  const fs::path folder = fw::ProcessTemporaryFolder();
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::alarm(20);  // never hang the suite should exit() block in the child
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(fs::is_directory(folder));
}

// A fresh process (gtest re-runs this test in a new process of the test program) makes
// its folder under $TMPDIR on first use, from many threads at once, and removes it with
// its contents when it calls exit().
TEST(TemporaryFolderTest, FolderIsMadeUnderTmpdirAndRemovedAtExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The parent sets the variables; the re-run child keeps what it inherited.
  static fw::TemporaryFolder* parentTmp = nullptr;
  if (std::getenv("QV_TMPTEST_RECORD") == nullptr) {
    parentTmp = new fw::TemporaryFolder();
    fs::create_directories(parentTmp->Path() / "tmpdir");
    ::setenv("QV_TMPTEST_RECORD", (parentTmp->Path() / "record").c_str(), 1);
    ::setenv("QV_TMPTEST_TMPDIR", (parentTmp->Path() / "tmpdir").c_str(), 1);
  }
  const char* oldTmpdir = std::getenv("TMPDIR");
  const std::string savedTmpdir = oldTmpdir ? oldTmpdir : "";
  ::setenv("TMPDIR", std::getenv("QV_TMPTEST_TMPDIR"), 1);

  EXPECT_EXIT(
      {
        std::vector<std::thread> threads;
        std::vector<const fs::path*> seen(8, nullptr);
        for (int i = 0; i < 8; ++i) {
          threads.emplace_back([&seen, i] { seen[static_cast<size_t>(i)] = &fw::ProcessTemporaryFolder(); });
        }
        for (auto& t : threads) t.join();
        for (auto* p : seen) {
          if (p != seen[0]) std::exit(3);
        }
        const fs::path& folder = *seen[0];
        {
          std::ofstream record(std::getenv("QV_TMPTEST_RECORD"), std::ios::binary);
          record << folder.native();
        }
        fs::create_directories(folder / "x" / "y");
        WriteFile(folder / "x" / "y" / "z");
        static fw::TemporaryFolder leftOpen;  // a guard still alive at exit
        WriteFile(leftOpen.Path() / "w");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");

  if (savedTmpdir.empty() && oldTmpdir == nullptr) {
    ::unsetenv("TMPDIR");
  } else {
    ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
  }
  ::unsetenv("QV_TMPTEST_RECORD");
  ::unsetenv("QV_TMPTEST_TMPDIR");
  ASSERT_NE(parentTmp, nullptr);
  std::ifstream record(parentTmp->Path() / "record", std::ios::binary);
  std::string childFolder((std::istreambuf_iterator<char>(record)), std::istreambuf_iterator<char>());
  const fs::path tmpdir = parentTmp->Path() / "tmpdir";
  EXPECT_EQ(fs::path(childFolder).parent_path(), tmpdir);
  EXPECT_EQ(fs::path(childFolder).filename().native().rfind("quorvanta-", 0), 0u) << childFolder;
  EXPECT_FALSE(fs::exists(childFolder));
  // Nothing of ours is left in $TMPDIR (Qt may put its runtime folder there).
  for (const auto& entry : fs::directory_iterator(tmpdir)) {
    EXPECT_NE(entry.path().filename().native().rfind("quorvanta-", 0), 0u) << entry.path();
  }
  delete parentTmp;
  parentTmp = nullptr;
}
