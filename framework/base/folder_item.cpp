// FolderItem on std::filesystem and POSIX. Paths are handled as byte strings
// (std::filesystem::path::native() on POSIX is a std::string of the raw bytes); nothing
// here converts through a locale or assumes UTF-8.
#include "framework/base/folder_item.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace fw {

namespace fs = std::filesystem;

namespace {

// Absolute and lexically normal, without a trailing "/" (except for the root itself).
fs::path Normalize(const fs::path& path) {
  std::error_code noCurrentFolder;
  fs::path absolute = fs::absolute(path.empty() ? fs::path(".") : path, noCurrentFolder);
  if (noCurrentFolder) absolute = fs::path("/") / path;
  // Rebuilt from "/": a leading "//" (on Linux the same as "/") reads as "/".
  fs::path result = fs::path("/") / absolute.lexically_normal().relative_path();
  if (result.has_relative_path() && !result.has_filename()) result = result.parent_path();  // "/a/b/"
  return result;
}

}  // namespace

FolderItem::FolderItem(const fs::path& path) : path_(Normalize(path)) {}

std::string FolderItem::Name() const {
  if (path_.native() == "/") return "/";
  return path_.filename().native();
}

std::string FolderItem::DisplayName() const { return Name(); }

bool FolderItem::Exists() const {
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FolderItemPtr FolderItem::Parent() const {
  if (path_.native() == "/") return nullptr;
  return Make(path_.parent_path());
}

FolderItemPtr FolderItem::Child(std::string_view name, bool followAlias) const {
  // Joined as bytes: a name that starts with "/" stays inside this folder (operator/
  // would replace the whole path by it).
  fs::path child(path_.native() + "/" + std::string(name));
  if (followAlias) {
    // One level of link: its text, taken from this folder when relative. Anything else
    // (no link, a link that cannot be read, nothing there) stays the child itself.
    std::error_code notALink;
    const fs::path target = fs::read_symlink(child, notALink);
    if (!notALink) return Make(path_ / target);
  }
  return Make(child);
}

std::string FolderItem::ShellPath() const {
  const std::string& raw = path_.native();
  std::string word;
  word.reserve(raw.size() + 2);
  word += '\'';
  for (char c : raw) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  word += '\'';
  return word;
}

bool FolderItem::Delete() const {
  std::error_code ignored;
  return Delete(ignored);
}

bool FolderItem::Delete(std::error_code& error) const {
  struct stat st;
  int result = ::lstat(path_.c_str(), &st);
  if (result == 0) {
    result = S_ISDIR(st.st_mode) ? ::rmdir(path_.c_str()) : ::unlink(path_.c_str());  // a link itself, never its target
  }
  error = result == 0 ? std::error_code() : std::error_code(errno, std::generic_category());
  return result == 0;
}

bool SameFile(const FolderItem& a, const FolderItem& b) {
  std::error_code missing;  // either one missing: not the same file
  return fs::equivalent(a.NativePath(), b.NativePath(), missing);
}

}  // namespace fw
