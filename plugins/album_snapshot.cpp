// AlbumSnapshot on POSIX calls. Files are read through descriptors held by a small
// guard, the copy is streamed through a fixed buffer (an album of hundreds of megabytes
// is never held in memory), and every failure is turned into fw::IOException before the
// guards release what they hold.
#include "plugins/album_snapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "framework/base/exceptions.h"
#include "framework/base/temporary_folder.h"
#include "plugins/file_descriptor.h"
#include "plugins/super_journal.h"

namespace plugins {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyBufferSize = 1 << 20;
constexpr int kCopyAttempts = 3;
// SQLite's lock bytes (os_unix.c): readers hold a read lock on the 510 "shared" bytes
// that follow the pending and reserved bytes at 1 GiB; a writer needs a write lock on
// all of them to commit.
constexpr off_t kSharedFirstByte = 0x40000000 + 2;
constexpr off_t kSharedSize = 510;
constexpr int kLockAttempts = 20;
constexpr auto kLockPause = std::chrono::milliseconds(50);

std::string ErrorText(int error) { return std::strerror(error); }

// What is seen of one file at one moment; two equal states mean the file did not change
// in between as far as the system records it.
struct FileState {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modified_sec = 0, modified_nsec = 0, changed_sec = 0, changed_nsec = 0;
  bool operator==(const FileState&) const = default;
};

FileState Observe(const fs::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return {};
    throw fw::IOException("\"" + path.native() + "\" cannot be looked at: " + ErrorText(errno));
  }
  return FileState{true,
                   st.st_dev,
                   st.st_ino,
                   st.st_size,
                   static_cast<long long>(st.st_mtim.tv_sec),
                   static_cast<long long>(st.st_mtim.tv_nsec),
                   static_cast<long long>(st.st_ctim.tv_sec),
                   static_cast<long long>(st.st_ctim.tv_nsec)};
}

// The album, its journal and its log, seen together.
struct AlbumState {
  FileState album, journal, wal;
  bool operator==(const AlbumState&) const = default;
};

fs::path Beside(const fs::path& album, const char* suffix) { return fs::path(album.native() + suffix); }

AlbumState ObserveAlbum(const fs::path& album) {
  return AlbumState{Observe(album), Observe(Beside(album, "-journal")), Observe(Beside(album, "-wal"))};
}

// Opens a regular file for reading. O_NONBLOCK keeps a named pipe from blocking the
// open; it changes nothing for regular files. Throws when the file cannot be opened or
// is not a regular file; returns an invalid descriptor when nothing exists at the path
// and `mayBeMissing` is true.
FileDescriptor OpenRegularFile(const fs::path& path, const std::string& what, bool mayBeMissing) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.Valid()) {
    if (errno == ENOENT && mayBeMissing) return fd;
    throw fw::IOException(what + " \"" + path.native() + "\" cannot be read: " + ErrorText(errno));
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) {
    throw fw::IOException(what + " \"" + path.native() + "\" cannot be read: " + ErrorText(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    throw fw::IOException(what + " \"" + path.native() + "\" is not a file.");
  }
  return fd;
}

// True when the header puts the database in write-ahead-log mode (file format write
// and read versions at bytes 18 and 19; SQLite opens the log when byte 19 is 2, and a
// header with byte 18 at 2 is treated the same way to be safe).
bool HeaderSaysWal(int fd) {
  unsigned char header[20];
  ssize_t n;
  do {
    n = ::pread(fd, header, sizeof header, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw fw::IOException("The album cannot be read: " + ErrorText(errno));
  return n == static_cast<ssize_t>(sizeof header) && (header[18] == 2 || header[19] == 2);
}

// Takes a read lock on SQLite's shared bytes through the open file description `fd`,
// released when `fd` closes. An open-file-description lock is used, not a POSIX
// process lock, because closing a descriptor drops all of a process's POSIX locks on
// the file, including those of SQLite connections of this process. Waits about a
// second for a writer that is committing and returns false when it still holds the
// album. A file system without such locks counts as locked: the before-and-after
// comparison still guards the copy.
bool LockShared(int fd) {
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kSharedFirstByte;
  lock.l_len = kSharedSize;
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return true;  // no such locks here
    std::this_thread::sleep_for(kLockPause);
  }
  return false;
}

// Streams everything from `from` into the new file `to` (which must not exist).
void CopyInto(int from, const fs::path& to) {
  FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.Valid()) throw fw::IOException("The copy \"" + to.native() + "\" cannot be made: " + ErrorText(errno));
  std::vector<char> buffer(kCopyBufferSize);
  off_t offset = 0;
  for (;;) {
    ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw fw::IOException("The album cannot be read: " + ErrorText(errno));
    }
    if (got == 0) break;
    offset += got;
    const char* next = buffer.data();
    while (got > 0) {
      ssize_t put = ::write(out.Get(), next, static_cast<std::size_t>(got));
      if (put < 0) {
        if (errno == EINTR) continue;
        throw fw::IOException("The copy \"" + to.native() + "\" cannot be written: " + ErrorText(errno));
      }
      next += put;
      got -= put;
    }
  }
  if (out.Close() != 0) {
    throw fw::IOException("The copy \"" + to.native() + "\" cannot be written: " + ErrorText(errno));
  }
}

// Copies the file beside the album, if one is still there. A file that vanished since
// it was looked at is left out; the comparison of states afterwards notices it.
void CopyBeside(const fs::path& album, const char* suffix, const FileState& seen, const fs::path& copy) {
  if (!seen.present) return;
  const fs::path source = Beside(album, suffix);
  FileDescriptor in = OpenRegularFile(source, "The file beside the album", true);
  if (in.Valid()) CopyInto(in.Get(), Beside(copy, suffix));
}

}  // namespace

AlbumSnapshot::AlbumSnapshot(const fw::FolderItem& album) {
  std::error_code ec;
  const fs::path resolved = fs::canonical(album.NativePath(), ec);
  if (ec) {
    throw fw::IOException("The album \"" + album.NativePath().native() + "\" cannot be found: " + ec.message());
  }
  for (int attempt = 0; attempt < kCopyAttempts; ++attempt) {
    const AlbumState before = ObserveAlbum(resolved);
    FileDescriptor in = OpenRegularFile(resolved, "The album", false);
    const bool locked = LockShared(in.Get());
    const bool wal = HeaderSaysWal(in.Get());
    if (!before.journal.present && !before.wal.present && !wal) {
      // Nothing to recover, nothing SQLite would create. A writer that still holds the
      // album is SQLite's to wait for (or to report as "database is locked").
      database_path_ = resolved;
      return;
    }
    if (!locked) {
      throw fw::IOException("The album is being written by another program. Try again when it has finished.");
    }
    auto folder = std::make_unique<fw::TemporaryFolder>();
    const fs::path copy = folder->Path() / kCopyName;
    CopyInto(in.Get(), copy);
    CopyBeside(resolved, "-journal", before.journal, copy);
    CopyBeside(resolved, "-wal", before.wal, copy);
    if (std::error_code ec; fs::exists(Beside(copy, "-journal"), ec)) {
      KeepSuperJournalPrivate(Beside(copy, "-journal"), folder->Path());
    }
    if (ObserveAlbum(resolved) == before) {
      copy_folder_ = std::move(folder);
      database_path_ = copy;
      return;
    }
    // Something changed while copying: `folder` removes this copy, and the album is
    // looked at again (it may no longer need a copy at all).
  }
  throw fw::IOException("The album \"" + resolved.native() +
                        "\" kept changing while it was being copied. Close the program that writes it and try again.");
}

AlbumSnapshot::~AlbumSnapshot() = default;

fs::path AlbumSnapshot::CopyFolder() const { return copy_folder_ ? copy_folder_->Path() : fs::path(); }

}  // namespace plugins
