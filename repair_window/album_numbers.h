// The two numbers that an application keeps in its album's header for itself: the user
// version (to many, the version of their schema) and the application id. .dump does not
// write them, so a repair carries them over into the new album with statements of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

struct AlbumNumbers {
  std::int32_t userVersion = 0;    // header bytes 60-63, big-endian, as PRAGMA user_version gives it
  std::int32_t applicationId = 0;  // header bytes 68-71, big-endian, as PRAGMA application_id gives it
};

/// The numbers in page 1 of the SQLite database file at `database`. Nothing when that
/// page cannot be read: the file cannot be opened or read, is shorter than the header's
/// 100 bytes, or does not start with SQLite's header string. Never throws.
std::optional<AlbumNumbers> ReadAlbumNumbers(const std::filesystem::path& database) noexcept;

/// The statements that give a new database these numbers, one line each:
/// "PRAGMA user_version=N;" and "PRAGMA application_id=N;".
std::string AlbumNumberStatements(const AlbumNumbers& numbers);
