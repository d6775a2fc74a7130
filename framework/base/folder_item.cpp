// FolderItem on std::filesystem and POSIX. Paths are handled as byte strings
// (std::filesystem::path::native() on POSIX is a std::string of the raw bytes); nothing
// here converts through a locale or assumes UTF-8.
#include "framework/base/folder_item.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace fw {

namespace fs = std::filesystem;

namespace {

// Absolute and lexically normal, without a trailing "/" (except for the root itself).
fs::path Normalize(const fs::path& path) {
  fs::path result;
  if (path.empty()) {
    std::error_code ec;
    result = fs::current_path(ec);
    if (ec) result = "/";
  } else if (path.is_absolute()) {
    result = path;
  } else {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    result = (ec ? fs::path("/") : cwd) / path;
  }
  result = result.lexically_normal();
  // lexically_normal keeps a trailing separator ("a/b/" -> "a/b/"); drop it.
  std::string native = result.native();
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  // "//x" is implementation-defined in POSIX; on Linux it is "/x". Collapse leading "//".
  while (native.size() > 1 && native[0] == '/' && native[1] == '/') native.erase(0, 1);
  if (native.empty()) native = "/";
  return fs::path(native);
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
    struct stat st;
    if (::lstat(child.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      // readlink with a growing buffer: the target may be longer than st_size says
      // (e.g. on /proc) or change between the calls.
      std::vector<char> buffer(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256);
      for (;;) {
        ssize_t n = ::readlink(child.c_str(), buffer.data(), buffer.size());
        if (n < 0) break;  // vanished or unreadable: keep the link's own path
        if (static_cast<std::size_t>(n) < buffer.size()) {
          fs::path target(std::string(buffer.data(), static_cast<std::size_t>(n)));
          // A relative target is taken from the folder that holds the link.
          return Make(target.is_absolute() ? target : fs::path(path_.native() + "/" + target.native()));
        }
        buffer.resize(buffer.size() * 2);
      }
    }
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
  struct stat sa, sb;
  if (::stat(a.NativePath().c_str(), &sa) != 0) return false;
  if (::stat(b.NativePath().c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace fw
