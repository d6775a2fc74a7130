// File-name splitting: NameExtensionMBS and NameWithoutExtensionMBS.
#include "plugins/file_name.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(FileNameTest, SplitsNameAndExtension) {
  struct Case {
    std::string path, extension, name;
  };
  const std::vector<Case> cases = {
      {"/albums/album.qva", "qva", "album"},
      {"/albums/a.b.qva", "qva", "a.b"},
      {"/albums/name.", "", "name"},
      {"/albums/README", "", "README"},
      {"/albums/.qva", "", ".qva"},
      {"/albums/.hidden", "", ".hidden"},
      {"/albums/.hidden.qva", "qva", ".hidden"},
      {"/albums/..qva", "qva", "."},
      {"/albums/archive.tar.gz", "gz", "archive.tar"},
      {"/albums/Album.QVA", "QVA", "Album"},
      {"/albums/with blanks .qva", "qva", "with blanks "},
      {"/albums/x.backup.", "", "x.backup"},
      {"/some.folder/file", "", "file"},  // a dot in a parent folder does not count
      {"/albums/caf\xc3\xa9.qv\xff", "qv\xff", "caf\xc3\xa9"},
      {"/albums/...", "", "..."},
      {"/", "", "/"},
  };
  for (const auto& c : cases) {
    fw::FolderItem item(c.path);
    EXPECT_EQ(plugins::NameExtensionMBS(item), c.extension) << c.path;
    EXPECT_EQ(plugins::NameWithoutExtensionMBS(item), c.name) << c.path;
  }
}

TEST(FileNameTest, NameAndExtensionGiveTheNameBack) {
  for (const std::string name : {"a.qva", "a.b.c", "plain", "x.", ".hidden", ".h.qva", "..qva"}) {
    fw::FolderItem item("/f/" + name);
    const std::string base = plugins::NameWithoutExtensionMBS(item);
    const std::string extension = plugins::NameExtensionMBS(item);
    const bool hasDot = base.size() < name.size();
    EXPECT_EQ(base + (hasDot ? "." + extension : ""), name) << name;
  }
}
