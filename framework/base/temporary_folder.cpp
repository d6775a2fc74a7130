// The process's private temporary folder and the TemporaryFolder guard.
//
// The process folder is made on first use (thread-safe: a function-local static) with
// mkdtemp under $TMPDIR, or /tmp when $TMPDIR is unset, empty or unusable. An ExitCleanup
// made at that moment removes it with everything in it when the process ends normally
// (return from main or exit()), once the processes that may write into it have ended;
// not on _exit, abort or a fatal signal. Only the process that made the folder removes
// it: a forked child that calls exit() leaves it alone. The folder's state is never
// destroyed, so ProcessTemporaryFolder() stays callable from other static destructors
// (the folder is then already gone).
#include "framework/base/temporary_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "framework/base/exceptions.h"
#include "framework/base/exit_cleanup.h"

namespace fw {

namespace fs = std::filesystem;

namespace {

// Removes `path` and everything in it; never throws, ignores errors. Sub-folders
// without write or search permission are opened up first so their contents can go.
void RemoveTree(const fs::path& path) noexcept {
  try {
    std::error_code ec;
    fs::remove_all(path, ec);
    if (!ec) return;
    // Second try: make every folder in the tree rwx for the owner, then remove again.
    const auto openUp = [](const fs::path& folder) {
      std::error_code ignored;
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    };
    if (fs::is_directory(fs::symlink_status(path, ec))) {
      openUp(path);
      fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
      for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) openUp(it->path());
      }
    }
    ec.clear();
    fs::remove_all(path, ec);
  } catch (...) {
    // Allocation failures and the like: nothing more can be done here.
  }
}

std::string ErrnoText(int error) { return std::string(std::strerror(error)); }

// mkdtemp of `parent`/`prefix`XXXXXX with mode 0700. Returns the empty path and sets
// `error` on failure.
fs::path MakeTemporaryFolder(const fs::path& parent, const char* prefix, int& error) {
  std::string pattern = parent.native();
  if (pattern.empty() || pattern.back() != '/') pattern += '/';
  pattern += prefix;
  pattern += "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    error = errno;
    return {};
  }
  ::chmod(pattern.c_str(), 0700);  // mkdtemp already uses 0700; a strange umask cannot widen it
  return fs::path(pattern);
}

struct ProcessFolderState {
  fs::path path;
  ExitCleanup removal{ExitCleanup::Stage::RemoveFiles, [this] { RemoveTree(path); }};
};

ProcessFolderState* MakeProcessFolderState() {
  std::string candidates[2];
  int count = 0;
  if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir != '\0') {
    candidates[count++] = tmpdir;
  }
  candidates[count++] = "/tmp";
  std::string failures;
  for (int i = 0; i < count; ++i) {
    int error = 0;
    fs::path made = MakeTemporaryFolder(candidates[i], "quorvanta-", error);
    if (!made.empty()) {
      // Absolute and normal, as FolderItem stores paths.
      return new ProcessFolderState{FolderItem(made).NativePath()};
    }
    if (!failures.empty()) failures += "; ";
    failures += candidates[i] + ": " + ErrnoText(error);
  }
  throw IOException("The temporary folder could not be made (" + failures + ").");
}

}  // namespace

const fs::path& ProcessTemporaryFolder() {
  // Thread-safe first use; when the constructor throws, the next call tries again.
  static ProcessFolderState* const state = MakeProcessFolderState();
  return state->path;
}

FolderItemPtr GetTemporaryFolderItem() {
  static std::atomic<unsigned long> counter{0};
  const fs::path& folder = ProcessTemporaryFolder();
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (;;) {
    std::string name = "tmp-" + std::to_string(counter.fetch_add(1)) + "-" +
                       std::to_string(random() % 1000000000ULL);
    fs::path candidate(folder.native() + "/" + name);
    struct stat st;
    if (::lstat(candidate.c_str(), &st) != 0) return FolderItem::Make(candidate);
  }
}

TemporaryFolder::TemporaryFolder() {
  int error = 0;
  const fs::path& parent = ProcessTemporaryFolder();
  path_ = MakeTemporaryFolder(parent, "folder-", error);
  if (path_.empty()) {
    throw IOException("A temporary folder could not be made in " + parent.native() + ": " + ErrnoText(error),
                      error);
  }
}

TemporaryFolder::~TemporaryFolder() { RemoveTree(path_); }

FolderItemPtr TemporaryFolder::Child(std::string_view name) const {
  return FolderItem(path_).Child(name, false);
}

}  // namespace fw
