// What the rebuild would run of an album's dump: real albums, honest and crafted, dumped by
// the real sqlite3, go through the copy that makes the cleaned dump, and the copy must
// find exactly what the sqlite3 shell would run that .dump itself never writes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <ostream>

#include "repair_window/dump_rewrite.h"
#include "tests/support/albums.h"

namespace {

namespace fs = std::filesystem;

std::string SqlText(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

/// SQL that makes an album whose table images has the stored text `schema` in place of
/// its own (as a crafted file can); its dump writes that text on its line 3.
std::string Crafted(const std::string& schema) {
  return "CREATE TABLE images(a); INSERT INTO images VALUES(1); PRAGMA writable_schema=ON; "
         "UPDATE sqlite_master SET sql = " + SqlText(schema) + " WHERE name = 'images'";
}

/// What the copy must find: the first line that the shell would run as its own command,
/// and the line where the first statement starts that .dump does not write.
struct Found {
  std::int64_t shellCommandLine = 0;
  std::int64_t foreignStatementLine = 0;
  bool operator==(const Found&) const = default;
};
const Found kNothing{0, 0};
Found Command(std::int64_t line) { return {line, 0}; }
Found Statement(std::int64_t line) { return {0, line}; }
void PrintTo(const Found& f, std::ostream* out) {
  *out << "{shell command at line " << f.shellCommandLine << ", statement at line " << f.foreignStatementLine << "}";
}

/// Makes a dump in a scratch folder and returns its text.
using DumpMaker = std::function<std::string(const fs::path& folder)>;

/// The real sqlite3's dump of an album that `make` makes; the dump leaves the album as it was.
DumpMaker DumpOf(std::function<void(const fs::path&)> make) {
  return [make](const fs::path& folder) {
    const fs::path album = folder / "album.qva";
    make(album);
    const std::string bytes = testalbums::FileBytes(album);
    std::string dump = testalbums::RunSqlite3(album.native(), ".dump");
    EXPECT_EQ(testalbums::FileBytes(album), bytes);
    return dump;
  };
}
DumpMaker DumpOf(const std::string& sql) {
  return DumpOf([sql](const fs::path& album) { testalbums::RunSqlite3(album.native(), sql); });
}
/// A dump text that .dump itself cannot write.
DumpMaker Text(const std::string& text) {
  return [text](const fs::path&) { return text; };
}

struct Case {
  const char* what;
  DumpMaker dump;
  Found expected;
};

TEST(DumpStatements, TheRebuildRunsOnlyWhatDumpWrites) {
  const std::string fsdir = "fsdir('.')";
  const std::vector<Case> cases = {
      // Honest albums: every form that .dump writes passes.
      {"virtual tables with shadow tables",
       DumpOf("CREATE VIRTUAL TABLE ft USING fts5(body); INSERT INTO ft VALUES('hello world'); "
              "CREATE VIRTUAL TABLE rt USING rtree(id, x0, x1); INSERT INTO rt VALUES(1, 0.5, 2);"),
       kNothing},
      {"AUTOINCREMENT, sqlite_stat1, indexes",
       DumpOf("CREATE TABLE t(id INTEGER PRIMARY KEY AUTOINCREMENT, n TEXT); CREATE UNIQUE INDEX u ON t(n) "
              "WHERE n IS NOT NULL; CREATE INDEX e ON t(id + 1); INSERT INTO t(n) VALUES('a'),('b'); ANALYZE;"),
       kNothing},
      {"WITHOUT ROWID, STRICT, generated columns, a comment in a table's text",
       DumpOf("CREATE TABLE w(k TEXT PRIMARY KEY, v) WITHOUT ROWID; CREATE TABLE s(a INTEGER, b TEXT) STRICT; "
              "CREATE TABLE g(a INT, b AS (a * 2) STORED, c INT GENERATED ALWAYS AS (a + 1), d -- note\n); "
              "INSERT INTO w VALUES('k', 'v'); INSERT INTO s VALUES(1, 'x'); INSERT INTO g(a, d) VALUES(1, 2);"),
       kNothing},
      {"views and triggers, one with a line that starts with '.', one with a comment left open",
       DumpOf("CREATE TABLE t(a, b); CREATE VIEW v AS SELECT a FROM t -- why\n; "
              "CREATE TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO t VALUES('Loading\n...done', 1); "
              "UPDATE t SET b = 2; END; CREATE VIEW u AS SELECT 1 /* never closed"),
       kNothing},
      {"line breaks, quotes and every kind of number in values",
       DumpOf("CREATE TABLE t(a, b, c); INSERT INTO t VALUES('two\nlines', 'cr' || char(13) || 'lf' || "
              "char(13, 10), 'it''s \\n'), (1e308 * 10, -1e308 * 10, -9223372036854775808), (0.1, -2.5e-30, "
              "x'00ff'), (NULL, '', zeroblob(2));"),
       kNothing},
      {"quoted and odd table names, a table made AS SELECT",
       DumpOf("CREATE TABLE \"odd \"\"name\"\"\"(a, \"b c\"); INSERT INTO \"odd \"\"name\"\"\" VALUES(1, 2); "
              "CREATE TABLE 'single'(x); CREATE TABLE [select](x); INSERT INTO [select] VALUES(3); "
              "CREATE TABLE \"caf\xc3\xa9\"(x); CREATE TABLE copy AS SELECT 1 AS one;"),
       kNothing},
      {"a damaged album whose dump met errors", DumpOf(testalbums::MakeDamagedAlbumWithDumpErrors), kNothing},
      {"a file that is not a database", DumpOf(testalbums::MakeNotADatabase), kNothing},
      {"'#' and '.' inside a comment that a statement opened",
       DumpOf(Crafted("CREATE TABLE images(a);\n/* .shell true\n# */ CREATE TABLE images2(b)")), kNothing},
      // Crafted albums: what their stored text adds is found at the line where it starts.
      {"CREATE TABLE ... AS on a line of its own",
       DumpOf(Crafted("CREATE TABLE images(a);\nCREATE TABLE stolen AS SELECT name, data FROM " + fsdir)),
       Statement(4)},
      {"CREATE TABLE ... AS in the same line as the table",
       DumpOf(Crafted("CREATE TABLE images(a); CREATE TABLE stolen AS SELECT name, data FROM " + fsdir)),
       Statement(3)},
      {"INSERT ... SELECT", DumpOf(Crafted("CREATE TABLE images(a);\nINSERT INTO images SELECT data FROM " + fsdir)),
       Statement(4)},
      {"INSERT of a value that is not a literal",
       DumpOf(Crafted("CREATE TABLE images(a);\nINSERT INTO images VALUES((SELECT data FROM " + fsdir + "))")),
       Statement(4)},
      {"a function that is not one of the line-break forms",
       DumpOf(Crafted("CREATE TABLE images(a);\nINSERT INTO images VALUES(replace(upper('a'), 'b', char(10)))")),
       Statement(4)},
      {"a PRAGMA that is not one of the dump's", DumpOf(Crafted("CREATE TABLE images(a);\nPRAGMA journal_mode=PERSIST")),
       Statement(4)},
      {"a statement after a trigger's END",
       DumpOf(Crafted("CREATE TABLE images(a); CREATE TRIGGER x AFTER INSERT ON images BEGIN SELECT 1; END; VACUUM")),
       Statement(3)},
      {"\"go\" ends the table, so the next line is a statement of its own",
       DumpOf(Crafted("CREATE TABLE images(a)\n  GO\nATTACH 'x' AS y")), Statement(5)},
      {"a shell command where no statement is open", DumpOf(Crafted("CREATE TABLE images(a);\n.trace stdout")),
       Command(4)},
      {"a comment closed on its own line ends the statement before it",
       DumpOf(Crafted("CREATE TABLE images(a); /*\n*/\n.shell true")), Command(5)},
      {"a line with a NUL byte", Text(std::string("CREATE TABLE t(a);\nSELECT '\0';\n", 31)), Statement(2)},
  };
  for (const Case& c : cases) {
    testalbums::ScratchFolder folder;
    const fs::path raw = folder / "raw.sql";
    std::ofstream(raw, std::ios::binary) << c.dump(folder.Path());
    const DumpFindings found = CopyCleanedDump(fw::FolderItem::Make(raw), fw::FolderItem::Make(folder / "clean.sql"));
    EXPECT_EQ((Found{found.shellCommandLine, found.foreignStatementLine}), c.expected)
        << c.what << "\n" << testalbums::FileBytes(raw);
  }
}

}  // namespace
