// KeepSuperJournalPrivate on POSIX calls. The record's layout is SQLite's (pager.c): at the
// very end of the journal stand the name's bytes, then its length and the sum of its bytes
// (each a 4-byte big-endian number), then the 8 bytes of the journal's magic. SQLite reads
// the record only there, and only when the length is at most its longest path name and
// the sum matches.
#include "plugins/super_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/base/exceptions.h"
#include "plugins/file_descriptor.h"

namespace plugins {

namespace fs = std::filesystem;

namespace {

constexpr std::array<unsigned char, 8> kJournalMagic = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr std::uint32_t kLongestName = 512;  // the unix VFS's longest path name
constexpr const char* kStandInName = "super-journal";

std::uint32_t ReadBigEndian(const unsigned char* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

void PutBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

// SQLite sums the name's bytes as plain chars, so the sum follows the platform's char.
std::uint32_t NameSum(const std::string& name) {
  std::uint32_t sum = 0;
  for (char c : name) sum += static_cast<std::uint32_t>(c);
  return sum;
}

[[noreturn]] void Fail(const std::string& what, const fs::path& path, int error) {
  throw fw::IOException(what + " \"" + path.native() + "\": " + std::strerror(error), error);
}

void ReadExactly(int fd, void* into, std::size_t size, off_t offset, const fs::path& path) {
  auto* next = static_cast<char*>(into);
  while (size > 0) {
    const ssize_t got = ::pread(fd, next, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("The journal copy cannot be read:", path, errno);
    if (got == 0) Fail("The journal copy cannot be read:", path, EIO);
    next += got;
    offset += got;
    size -= static_cast<std::size_t>(got);
  }
}

void WriteExactly(int fd, const std::string& bytes, off_t offset, const fs::path& path) {
  const char* next = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    const ssize_t put = ::pwrite(fd, next, size, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) Fail("The journal copy cannot be written:", path, errno);
    next += put;
    offset += put;
    size -= static_cast<std::size_t>(put);
  }
}

// Whether SQLite's unix VFS counts `name` as an existing file: something is there, and a
// regular file is not empty.
bool ExistsForSQLite(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 0);
}

// A super-journal that lists no journal: one NUL byte, so that it is not empty.
void MakeStandIn(const fs::path& path) {
  FileDescriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.Valid()) Fail("The stand-in super-journal cannot be made:", path, errno);
  WriteExactly(out.Get(), std::string(1, '\0'), 0, path);
  if (out.Close() != 0) Fail("The stand-in super-journal cannot be made:", path, errno);
}

}  // namespace

void KeepSuperJournalPrivate(const fs::path& journal, const fs::path& privateFolder) {
  FileDescriptor fd(::open(journal.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
  if (!fd.Valid()) Fail("The journal copy cannot be opened:", journal, errno);
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) Fail("The journal copy cannot be read:", journal, errno);
  const off_t size = st.st_size;
  if (size < 16) return;

  unsigned char tail[16];
  ReadExactly(fd.Get(), tail, sizeof tail, size - 16, journal);
  const std::uint32_t length = ReadBigEndian(tail);
  const std::uint32_t sum = ReadBigEndian(tail + 4);
  if (std::memcmp(tail + 8, kJournalMagic.data(), kJournalMagic.size()) != 0) return;
  if (length == 0 || length > kLongestName || length > size - 16) return;

  const off_t nameAt = size - 16 - static_cast<off_t>(length);
  std::string recorded(length, '\0');
  ReadExactly(fd.Get(), recorded.data(), length, nameAt, journal);
  if (NameSum(recorded) != sum) return;  // SQLite reads no name from a record that does not add up
  const std::string named = recorded.substr(0, recorded.find('\0'));
  if (named.empty()) return;

  const fs::path standIn = privateFolder / kStandInName;
  const std::string name = standIn.native();
  if (name.size() > kLongestName) {
    throw fw::IOException("The temporary folder's path is too long for SQLite: \"" + privateFolder.native() + "\"");
  }
  if (ExistsForSQLite(named)) MakeStandIn(standIn);

  std::string record = name;
  PutBigEndian(record, static_cast<std::uint32_t>(name.size()));
  PutBigEndian(record, NameSum(name));
  record.append(reinterpret_cast<const char*>(kJournalMagic.data()), kJournalMagic.size());
  if (::ftruncate(fd.Get(), nameAt) != 0) Fail("The journal copy cannot be written:", journal, errno);
  WriteExactly(fd.Get(), record, nameAt, journal);
  if (fd.Close() != 0) Fail("The journal copy cannot be written:", journal, errno);
}

}  // namespace plugins
