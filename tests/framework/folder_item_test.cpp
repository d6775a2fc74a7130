// FolderItem: paths, names, links, shell quoting (checked by a real /bin/sh), SameFile
// and Delete.
#include "framework/base/folder_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/base/temporary_folder.h"

namespace fs = std::filesystem;
using fw::FolderItem;

namespace {

void WriteFile(const fs::path& path, const std::string& content = "x") {
  std::ofstream out(path, std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << path.native();
}

// Runs /bin/sh -c with the command line (argv, no further shell) and returns its stdout.
std::string RunShell(const std::string& commandLine, const fs::path& cwd) {
  int fds[2];
  if (::pipe(fds) != 0) return "<pipe failed>";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

}  // namespace

TEST(FolderItemTest, StoredPathIsAbsoluteAndNormal) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"/a/b/c", "/a/b/c"},     {"/a/b/c/", "/a/b/c"},  {"/a/./b/../c", "/a/c"},
      {"/", "/"},               {"//", "/"},            {"/a//b///", "/a/b"},
      {"/..", "/"},             {"/a/b/..", "/a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderItem(c.in).NativePath().native(), c.out) << c.in;
  }
  const std::string cwd = fs::current_path().native();
  EXPECT_EQ(FolderItem("rel/x").NativePath().native(), cwd + "/rel/x");
  EXPECT_EQ(FolderItem("").NativePath().native(), cwd);
}

TEST(FolderItemTest, NameKeepsBytes) {
  const std::string odd = std::string("na\xff\xfe me\n'\"$(x)", 15);
  FolderItem item(fs::path("/tmp/" + odd));
  EXPECT_EQ(item.Name(), odd);
  EXPECT_EQ(item.DisplayName(), odd);
  EXPECT_EQ(FolderItem("/a/b.qva").Name(), "b.qva");
  EXPECT_EQ(FolderItem("/").Name(), "/");
}

TEST(FolderItemTest, ParentOfRootIsNil) {
  EXPECT_EQ(FolderItem("/").Parent(), nullptr);
  auto p = FolderItem("/a/b").Parent();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->NativePath().native(), "/a");
  auto root = p->Parent();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->NativePath().native(), "/");
  EXPECT_EQ(root->Parent(), nullptr);
}

TEST(FolderItemTest, ExistsAndDirectory) {
  fw::TemporaryFolder tmp;
  FolderItem folder(tmp.Path());
  EXPECT_TRUE(folder.Exists());
  EXPECT_TRUE(folder.Directory());
  auto file = folder.Child("f");
  EXPECT_FALSE(file->Exists());
  EXPECT_FALSE(file->Directory());
  WriteFile(file->NativePath());
  EXPECT_TRUE(file->Exists());
  EXPECT_FALSE(file->Directory());
  // A dangling link does not exist (counted by its target).
  ASSERT_EQ(::symlink("nowhere", (tmp.Path() / "dangling").c_str()), 0);
  EXPECT_FALSE(folder.Child("dangling", false)->Exists());
}

TEST(FolderItemTest, ChildWithoutLinks) {
  FolderItem folder("/some/where");
  EXPECT_EQ(folder.Child("x.qva")->NativePath().native(), "/some/where/x.qva");
  EXPECT_EQ(folder.Child("x.qva", false)->NativePath().native(), "/some/where/x.qva");
  // A leading "/" does not leave the folder.
  EXPECT_EQ(folder.Child("/etc")->NativePath().native(), "/some/where/etc");
  EXPECT_EQ(FolderItem("/").Child("a")->NativePath().native(), "/a");
}

TEST(FolderItemTest, ChildFollowsLinks) {
  fw::TemporaryFolder tmp;
  fs::create_directories(tmp.Path() / "real" / "deep");
  WriteFile(tmp.Path() / "real" / "deep" / "target.qva");
  FolderItem folder(tmp.Path());
  // Relative link: taken from the folder holding the link.
  ASSERT_EQ(::symlink("real/./deep/../deep/target.qva", (tmp.Path() / "rel").c_str()), 0);
  // Absolute link.
  const std::string abs = (tmp.Path() / "real" / "deep" / "target.qva").native();
  ASSERT_EQ(::symlink(abs.c_str(), (tmp.Path() / "abs").c_str()), 0);
  // Dangling link: still resolved by its text.
  ASSERT_EQ(::symlink("../gone", (tmp.Path() / "dangling").c_str()), 0);

  EXPECT_EQ(folder.Child("rel")->NativePath().native(), abs);
  EXPECT_EQ(folder.Child("abs")->NativePath().native(), abs);
  EXPECT_EQ(folder.Child("dangling")->NativePath().native(),
            tmp.Path().parent_path().native() + "/gone");
  EXPECT_EQ(folder.Child("rel", false)->NativePath().native(), (tmp.Path() / "rel").native());
  EXPECT_EQ(folder.Child("missing")->NativePath().native(), (tmp.Path() / "missing").native());
  EXPECT_TRUE(fw::SameFile(*folder.Child("rel"), *folder.Child("rel", false)));
}

TEST(FolderItemTest, ShellPathQuoting) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"/a b", "'/a b'"},
      {"/it's", "'/it'\\''s'"},
      {"/''", "'/'\\'''\\'''"},
      {"/$(x)", "'/$(x)'"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderItem(c.in).ShellPath(), c.out) << c.in;
}

TEST(FolderItemTest, ShellPathSurvivesARealShell) {
  fw::TemporaryFolder tmp;
  const std::vector<std::string> hostile = {
      "plain",
      "with blanks  and\ttab",
      "single'quote",
      "''double''single",
      "double\"quote",
      "$(touch pwned)",
      "`touch pwned`",
      "a;touch pwned;b",
      "star*?[a]",
      "new\nline",
      "trailing newline\n",
      std::string("non-utf8 \xff\xfe\xc0\x80", 13),
      "back\\slash\\",
      "$HOME ${PATH} $1 $$",
      "-dash",
      "!bang&amp|pipe>gt<lt",
      "~tilde",
  };
  for (const auto& name : hostile) {
    auto item = FolderItem(tmp.Path()).Child(name, false);
    const std::string out = RunShell("printf %s " + item->ShellPath(), tmp.Path());
    EXPECT_EQ(out, item->NativePath().native()) << item->ShellPath();
  }
  EXPECT_FALSE(fs::exists(tmp.Path() / "pwned"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

TEST(FolderItemTest, SameFile) {
  fw::TemporaryFolder tmp;
  fs::create_directories(tmp.Path() / "sub");
  WriteFile(tmp.Path() / "f");
  WriteFile(tmp.Path() / "g");
  ASSERT_EQ(::link((tmp.Path() / "f").c_str(), (tmp.Path() / "hard").c_str()), 0);
  ASSERT_EQ(::symlink("f", (tmp.Path() / "soft").c_str()), 0);
  const std::string base = tmp.Path().native();
  EXPECT_TRUE(fw::SameFile(FolderItem(base + "/f"), FolderItem(base + "/f")));
  EXPECT_TRUE(fw::SameFile(FolderItem(base + "/f"), FolderItem(base + "/hard")));
  EXPECT_TRUE(fw::SameFile(FolderItem(base + "/f"), FolderItem(base + "/soft")));
  EXPECT_TRUE(fw::SameFile(FolderItem(base + "/sub/../f"), FolderItem(base + "/f")));
  EXPECT_FALSE(fw::SameFile(FolderItem(base + "/f"), FolderItem(base + "/g")));
  EXPECT_FALSE(fw::SameFile(FolderItem(base + "/missing"), FolderItem(base + "/missing")));
  EXPECT_FALSE(fw::SameFile(FolderItem(base + "/f"), FolderItem(base + "/missing")));
}

TEST(FolderItemTest, Delete) {
  fw::TemporaryFolder tmp;
  FolderItem folder(tmp.Path());
  WriteFile(tmp.Path() / "f");
  fs::create_directories(tmp.Path() / "empty");
  fs::create_directories(tmp.Path() / "full");
  WriteFile(tmp.Path() / "full" / "x");
  WriteFile(tmp.Path() / "target");
  ASSERT_EQ(::symlink("target", (tmp.Path() / "link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", (tmp.Path() / "dangling").c_str()), 0);

  auto f = folder.Child("f");
  EXPECT_TRUE(f->Delete());
  EXPECT_FALSE(f->Exists());
  EXPECT_FALSE(f->Delete());  // nothing left to delete; the reference stays usable
  EXPECT_EQ(f->Name(), "f");

  EXPECT_TRUE(folder.Child("empty")->Delete());
  EXPECT_FALSE(fs::exists(tmp.Path() / "empty"));
  EXPECT_FALSE(folder.Child("full")->Delete());
  EXPECT_TRUE(fs::exists(tmp.Path() / "full" / "x"));

  EXPECT_TRUE(folder.Child("link", false)->Delete());
  EXPECT_FALSE(fs::is_symlink(tmp.Path() / "link"));
  EXPECT_TRUE(fs::exists(tmp.Path() / "target"));
  EXPECT_TRUE(folder.Child("dangling", false)->Delete());
  EXPECT_FALSE(fs::is_symlink(tmp.Path() / "dangling"));
}
