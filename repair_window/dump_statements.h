// DumpStatements: follows a dump line by line the way the sqlite3 shell reads its input,
// and finds the first thing in it that the shell would run although .dump never writes it:
// one of the shell's own commands, or a statement that is not one of the dump's forms. The
// dump holds each table's stored text as it stands, and a damaged or crafted album's text
// may hold anything; a rebuild must run nothing but the album's own structure and rows.
//
// How the shell (3.40) reads: it gathers lines until sqlite3_complete() says that the text
// gathered ends a statement (it asks only when a line ends in ';' outside strings, names
// and comments), and hands all of that text to SQLite, which runs every statement in it. A
// line that starts with '.' while nothing is gathered is one of the shell's commands; the
// same line inside a statement that is still open is SQL. A line that starts with '#'
// while nothing is gathered, and a line of white space and comments, is skipped. A line
// "go" or "/" stands for ';' when the text gathered would then be complete. One '\r'
// before the line end is dropped.
//
// These forms pass, and nothing else:
// - the dump's fixed statements: PRAGMA foreign_keys=OFF, PRAGMA writable_schema=ON or
//   OFF, COMMIT, DELETE FROM sqlite_sequence, ANALYZE sqlite_schema. (Its opening of a
//   transaction is not among them: the copy turns that line into an empty one.)
// - a stored definition: CREATE TABLE [IF NOT EXISTS] name(...), with nothing after the
//   column list but WITHOUT ROWID and STRICT (SQLite stores a CREATE TABLE ... AS SELECT
//   with a plain column list, so an AS never passes); CREATE [UNIQUE] INDEX; CREATE VIEW;
//   CREATE TRIGGER.
// - INSERT INTO name[(columns)] VALUES(...) with literal values only: numbers with an
//   optional sign (1e999 among them), strings, blobs, NULL, and the
//   replace('...','\n',char(10)) and char(13) forms in which the shell writes line breaks.
// Empty statements and comments (the dump's error comments among them) run nothing and
// pass. A statement ends at the first ';' outside strings, names and comments, and a
// CREATE TRIGGER at the ';' after its END, as SQLite's parser ends them.
//
// Memory: the text of one statement as the shell gathers it. Work: each line is scanned a
// few times, and sqlite3_complete() runs over the gathered text where the shell runs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Not thread-safe; one object follows one dump from its first line.
class DumpStatements {
 public:
  /// Reads the next line of the dump, without its line end. Once something has been
  /// found, the lines that follow are not looked at.
  void Read(std::string_view line);
  /// The end of the dump: the shell runs what it has gathered and not yet run, whether
  /// or not it is complete.
  void End();

  /// The number (from 1) of the first line that the shell would run as one of its own
  /// commands; 0 while there is none.
  std::int64_t ShellCommandLine() const noexcept { return shellCommandLine_; }
  /// The number of the line on which the first statement starts that is not one of the
  /// dump's forms (a line holding a NUL byte, which .dump never writes, counts as one);
  /// 0 while there is none.
  std::int64_t ForeignStatementLine() const noexcept { return foreignStatementLine_; }
  /// True once either has been found.
  bool Found() const noexcept { return shellCommandLine_ != 0 || foreignStatementLine_ != 0; }

 private:
  /// Where the shell's quick look at its input stands after a line.
  struct Scan {
    char closer = 0;         // what ends the open string, name or comment ('*' for */); 0 when none is open
    bool dark = false;       // something but white space, comments and ';' was seen since gathering began
    bool semicolon = false;  // outside strings, names and comments, ';' came last
  };
  static void Look(std::string_view line, Scan& scan);
  static bool IsTerminatorLine(std::string_view line);

  // Checks the statements of the gathered text, then starts gathering anew.
  void RunGathered();

  std::string gathered_;         // the text gathered since the last run, as the shell holds it
  std::int64_t gatheredLine_ = 0;  // the line on which gathered_ starts
  std::int64_t line_ = 0;          // the lines read so far
  Scan scan_;                      // the quick look since gathered_ began
  std::int64_t shellCommandLine_ = 0;
  std::int64_t foreignStatementLine_ = 0;
};
