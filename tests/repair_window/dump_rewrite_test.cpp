// The dump's two rewrites, and the copy that applies them byte for byte.
#include <fstream>
#include <gtest/gtest.h>

#include "framework/base/exceptions.h"
#include "repair_window/dump_rewrite.h"
#include "tests/support/albums.h"

namespace {

TEST(DumpRewrite, OnlyLinesShorterThanThirtyCharactersAreCompared) {
  // 29 characters is compared (and, being no transaction line, kept); 30 is never looked at.
  EXPECT_EQ(ClassifyDumpLine(std::string(29, 'x')), DumpLine::Unchanged);
  // Characters, not bytes: 18 letters of two bytes each are 18 characters.
  const std::string wide = "ＢＥＧＩＮ";  // full-width letters are not the ASCII words
  EXPECT_EQ(ClassifyDumpLine(wide), DumpLine::Unchanged);
  std::string padded = "ROLLBACK; -- due to errors";  // 26 characters
  EXPECT_EQ(ClassifyDumpLine(padded), DumpLine::RollbackLine);
  padded += "    ";  // 30 characters: copied without comparison
  EXPECT_EQ(ClassifyDumpLine(padded), DumpLine::Unchanged);
}

class CleanedDump : public ::testing::Test {
 protected:
  std::string Clean(const std::string& raw, bool* hadErrors = nullptr) {
    const auto rawPath = folder / "raw.sql";
    const auto cleanPath = folder / "dump_clean.sql";
    std::ofstream(rawPath, std::ios::binary) << raw;
    const bool errors = CopyCleanedDump(fw::FolderItem::Make(rawPath), fw::FolderItem::Make(cleanPath)).closedWithErrors;
    if (hadErrors) *hadErrors = errors;
    return testalbums::FileBytes(cleanPath);
  }
  testalbums::ScratchFolder folder;
};

TEST_F(CleanedDump, OnlyTheTwoTransactionLinesChange) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ROLLBACK; -- due to errors", "COMMIT;"},
      {"rollback; -- DUE TO ERRORS", "COMMIT;"},       // letter case ignored
      {"BEGIN TRANSACTION;", ""},
      {"begin transaction;", ""},
      {"BEGIN TRANSACTION; ", "BEGIN TRANSACTION; "},   // a trailing blank: not equal
      {" BEGIN TRANSACTION;", " BEGIN TRANSACTION;"},   // nothing is trimmed
      {"COMMIT;", "COMMIT;"},
      {"ROLLBACK;", "ROLLBACK;"},
      {"", ""},
      {"INSERT INTO t VALUES('BEGIN TRANSACTION;');", "INSERT INTO t VALUES('BEGIN TRANSACTION;');"},
  };
  std::string raw, expected;
  for (const auto& [line, cleaned] : cases) {
    raw += line + "\n";
    expected += cleaned + "\n";
  }
  EXPECT_EQ(Clean(raw), expected);
}

TEST_F(CleanedDump, EveryOtherByteIsCopiedExactly) {
  static const char kBinary[] = "bytes \x00\xff\xfe invalid \xc3( utf-8 and a lone \r carriage return\n";
  const std::string binary(kBinary, sizeof kBinary - 1);
  std::string junk = "INSERT INTO t VALUES(X'00ff');\n" + binary;
  junk += "BEGIN TRANSACTION;\nROLLBACK; -- due to errors\nROLLBACK; -- due to errors\nlast line without end";
  bool hadErrors = false;
  const std::string cleaned = Clean(junk, &hadErrors);
  std::string expected = "INSERT INTO t VALUES(X'00ff');\n" + binary;
  expected += "\nCOMMIT;\nCOMMIT;\nlast line without end\n";
  EXPECT_EQ(cleaned, expected);
  EXPECT_TRUE(hadErrors);
}

TEST_F(CleanedDump, TheCallersOwnLinesComeFirstAndAreNotChecked) {
  const auto raw = folder / "raw.sql", cleaned = folder / "dump_clean.sql";
  std::ofstream(raw, std::ios::binary) << "CREATE TABLE t(a);\n.shell true\n";
  const DumpFindings found = CopyCleanedDump(fw::FolderItem::Make(raw), fw::FolderItem::Make(cleaned),
                                             "PRAGMA user_version=7;\nPRAGMA application_id=1;\n");
  EXPECT_EQ(testalbums::FileBytes(cleaned),
            "PRAGMA user_version=7;\nPRAGMA application_id=1;\nCREATE TABLE t(a);\n.shell true\n");
  EXPECT_EQ(found.shellCommandLine, 2) << "lines are those of the dump";
  EXPECT_EQ(found.foreignStatementLine, 0);
}

TEST_F(CleanedDump, EmptyDumpGivesAnEmptyCleanedDump) {
  bool hadErrors = true;
  EXPECT_EQ(Clean("", &hadErrors), "");
  EXPECT_FALSE(hadErrors);
}

TEST_F(CleanedDump, MissingRawDumpRaisesIOException) {
  EXPECT_THROW(CopyCleanedDump(fw::FolderItem::Make(folder / "none.sql"), fw::FolderItem::Make(folder / "out.sql")),
               fw::IOException);
  EXPECT_THROW(CopyCleanedDump(nullptr, fw::FolderItem::Make(folder / "out.sql")), fw::NilObjectException);
}

}  // namespace
