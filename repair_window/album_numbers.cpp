#include "repair_window/album_numbers.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "plugins/file_descriptor.h"

namespace {

constexpr std::size_t kHeaderSize = 100;
constexpr char kHeaderString[] = "SQLite format 3";  // with its NUL, the header's first 16 bytes

std::int32_t BigEndian(const unsigned char* bytes) {
  const std::uint32_t value = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                              (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<AlbumNumbers> ReadAlbumNumbers(const std::filesystem::path& database) noexcept {
  const plugins::FileDescriptor file(::open(database.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.Valid()) return std::nullopt;
  std::array<unsigned char, kHeaderSize> header{};
  std::size_t got = 0;
  while (got < header.size()) {
    const ssize_t n = ::pread(file.Get(), header.data() + got, header.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  if (std::memcmp(header.data(), kHeaderString, sizeof kHeaderString) != 0) return std::nullopt;
  return AlbumNumbers{BigEndian(&header[60]), BigEndian(&header[68])};
}

std::string AlbumNumberStatements(const AlbumNumbers& numbers) {
  return "PRAGMA user_version=" + std::to_string(numbers.userVersion) + ";\nPRAGMA application_id=" +
         std::to_string(numbers.applicationId) + ";\n";
}
