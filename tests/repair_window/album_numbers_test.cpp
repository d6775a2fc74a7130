// Reading the two numbers that an application keeps in its album's header.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>

#include "repair_window/album_numbers.h"
#include "tests/support/albums.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(AlbumNumbers, ReadFromPageOneOrNotAtAll) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::optional<std::pair<std::int32_t, std::int32_t>> numbers;  // user version, application id
  };
  const std::vector<Case> cases = {
      {"an album that sets both",
       [](const fs::path& p) {
         testalbums::MakeSoundAlbum(p, 2);
         testalbums::RunSqlite3(p.native(), "PRAGMA user_version = 7; PRAGMA application_id = 1364350529;");
       },
       std::pair{7, 1364350529}},
      {"negative numbers",
       [](const fs::path& p) { testalbums::RunSqlite3(p.native(), "PRAGMA user_version = -1; PRAGMA application_id = -2;"); },
       std::pair{-1, -2}},
      {"an album that sets neither", [](const fs::path& p) { testalbums::MakeSoundAlbum(p, 2); }, std::pair{0, 0}},
      {"a header cut short", [](const fs::path& p) { Write(p, std::string("SQLite format 3\0", 16) + std::string(83, '\7')); },
       std::nullopt},
      {"no SQLite header", testalbums::MakeNotADatabase, std::nullopt},
      {"an empty file", testalbums::MakeEmptyFile, std::nullopt},
      {"no file", [](const fs::path&) {}, std::nullopt},
  };
  for (const Case& c : cases) {
    testalbums::ScratchFolder folder;
    const fs::path album = folder / "album.qva";
    c.make(album);
    const std::optional<AlbumNumbers> numbers = ReadAlbumNumbers(album);
    ASSERT_EQ(numbers.has_value(), c.numbers.has_value()) << c.what;
    if (numbers) {
      EXPECT_EQ(numbers->userVersion, c.numbers->first) << c.what;
      EXPECT_EQ(numbers->applicationId, c.numbers->second) << c.what;
    }
  }
}

}  // namespace
