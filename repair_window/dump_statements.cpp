#include "repair_window/dump_statements.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "framework/base/text.h"
#include "plugins/sql_complete.h"

namespace {

// White space to the shell (isspace in the C locale).
bool IsShellSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// White space to SQLite's tokenizer: a vertical tab is not among it.
bool IsSqlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Looked up in a table: the hex digits of blobs make up most of a dump.
constexpr auto kHexDigits = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("0123456789abcdefABCDEF")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();
bool IsHexDigit(char c) { return kHexDigits[static_cast<unsigned char>(c)]; }

// A character of a name or keyword to SQLite: a letter, a digit, '_', '$' or any byte of
// a multi-byte UTF-8 character.
bool IsIdChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return IsDigit(c) || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || c == '_' || c == '$' || u >= 0x80;
}

// ---------------------------------------------------------------------------------
// SQLite's tokens, as far as the check needs them. Strings, quoted names, blobs,
// comments and parameters have the extent that SQLite's tokenizer gives them, so a ';'
// is a statement's end here exactly where it is one to SQLite.
// ---------------------------------------------------------------------------------

enum class Kind {
  End,        // no more text
  Word,       // a keyword or a plain name
  Number,     // 12, 1.5, 1e999, 0x1F
  String,     // '...'
  Blob,       // X'00ff'
  Name,       // "...", [...], `...`
  Semicolon,  // ;
  Symbol,     // any other single character: ( ) , = - + ...
  Other,      // a parameter, or a token that SQLite does not accept
};

struct Token {
  Kind kind = Kind::End;
  std::string_view text;
  std::size_t at = 0;  // where the token starts in the text
};

class Tokens {
 public:
  explicit Tokens(std::string_view sql) : sql_(sql) {}

  /// The next token; white space and comments are passed over.
  Token Next() {
    SkipSpace();
    const std::size_t start = pos_;
    const Kind kind = pos_ < sql_.size() ? Scan() : Kind::End;
    return {kind, sql_.substr(start, pos_ - start), start};
  }

 private:
  void SkipSpace() {
    while (pos_ < sql_.size()) {
      const char c = sql_[pos_];
      if (IsSqlSpace(c)) {
        ++pos_;
      } else if (sql_.compare(pos_, 2, "--") == 0) {
        pos_ = std::min(sql_.find('\n', pos_), sql_.size());
      } else if (sql_.compare(pos_, 2, "/*") == 0 && pos_ + 2 < sql_.size()) {
        // An unterminated comment runs to the end of the text.
        const std::size_t end = sql_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? sql_.size() : end + 2;
      } else if (sql_.compare(pos_, 3, "\xEF\xBB\xBF") == 0) {
        pos_ += 3;  // a byte-order mark where a token would start
      } else {
        return;
      }
    }
  }

  Kind Scan() {
    const char c = sql_[pos_];
    const char next = pos_ + 1 < sql_.size() ? sql_[pos_ + 1] : '\0';
    switch (c) {
      case ';': ++pos_; return Kind::Semicolon;
      case '\'': return Quoted('\'', Kind::String);
      case '"':
      case '`': return Quoted(c, Kind::Name);
      case '[': return Through(']', Kind::Name);
      case '$':
      case '@':
      case ':':
      case '#': return Parameter();
      case '?':
        for (++pos_; pos_ < sql_.size() && IsDigit(sql_[pos_]);) ++pos_;
        return Kind::Other;
      case 'x':
      case 'X':
        if (next == '\'') return BlobLiteral();
        break;
      case '.':
        if (IsDigit(next)) return NumberLiteral();
        break;
      default: break;
    }
    if (IsDigit(c)) return NumberLiteral();
    if (IsIdChar(c)) {
      while (pos_ < sql_.size() && IsIdChar(sql_[pos_])) ++pos_;
      return Kind::Word;
    }
    ++pos_;
    return Kind::Symbol;
  }

  // From an opening quote to the one that closes it; a doubled quote stands for itself.
  Kind Quoted(char quote, Kind kind) {
    for (std::size_t from = pos_ + 1;;) {
      const std::size_t end = sql_.find(quote, from);
      if (end == std::string_view::npos) return Unterminated();
      if (end + 1 < sql_.size() && sql_[end + 1] == quote) {
        from = end + 2;
        continue;
      }
      pos_ = end + 1;
      return kind;
    }
  }

  Kind Through(char closer, Kind kind) {
    const std::size_t end = sql_.find(closer, pos_ + 1);
    if (end == std::string_view::npos) return Unterminated();
    pos_ = end + 1;
    return kind;
  }

  Kind Unterminated() {
    pos_ = sql_.size();
    return Kind::Other;
  }

  // X'...': an even number of hex digits; anything else up to the next quote is no blob.
  Kind BlobLiteral() {
    std::size_t i = pos_ + 2;
    while (i < sql_.size() && IsHexDigit(sql_[i])) ++i;
    const bool hex = i < sql_.size() && sql_[i] == '\'' && (i - pos_) % 2 == 0;
    if (!hex) i = std::min(sql_.find('\'', i), sql_.size());
    pos_ = std::min(i + 1, sql_.size());
    return hex ? Kind::Blob : Kind::Other;
  }

  Kind NumberLiteral() {
    std::size_t i = pos_;
    if (sql_.compare(i, 2, "0x") == 0 || sql_.compare(i, 2, "0X") == 0) {
      if (i + 2 < sql_.size() && IsHexDigit(sql_[i + 2])) {
        for (i += 2; i < sql_.size() && IsHexDigit(sql_[i]);) ++i;
        pos_ = i;
        return Kind::Number;
      }
    }
    auto digits = [&] {
      while (i < sql_.size() && IsDigit(sql_[i])) ++i;
    };
    digits();
    if (i < sql_.size() && sql_[i] == '.') {
      ++i;
      digits();
    }
    if (i < sql_.size() && (sql_[i] == 'e' || sql_[i] == 'E')) {
      const std::size_t sign = i + 1 < sql_.size() && (sql_[i + 1] == '+' || sql_[i + 1] == '-') ? 1 : 0;
      if (i + 1 + sign < sql_.size() && IsDigit(sql_[i + 1 + sign])) {
        i += 1 + sign;
        digits();
      }
    }
    Kind kind = Kind::Number;
    for (; i < sql_.size() && IsIdChar(sql_[i]); ++i) kind = Kind::Other;  // 12abc
    pos_ = i;
    return kind;
  }

  // $name, @name, :name, #name; a Tcl-style "$name(...)" runs to the ')' and may hold
  // ';' (SQLite reads it so, and then binds nothing to it).
  Kind Parameter() {
    std::size_t i = pos_ + 1;
    std::size_t letters = 0;
    while (i < sql_.size()) {
      const char c = sql_[i];
      if (IsIdChar(c)) {
        ++letters;
        ++i;
      } else if (c == '(' && letters > 0) {
        for (++i; i < sql_.size() && !IsShellSpace(sql_[i]) && sql_[i] != ')';) ++i;
        if (i < sql_.size() && sql_[i] == ')') ++i;
        break;
      } else if (c == ':' && i + 1 < sql_.size() && sql_[i + 1] == ':') {
        i += 2;
      } else {
        break;
      }
    }
    pos_ = i;
    return Kind::Other;
  }

  std::string_view sql_;
  std::size_t pos_ = 0;  // the first character not yet read
};

// ---------------------------------------------------------------------------------
// The forms of the dump's statements.
// ---------------------------------------------------------------------------------

/// Reads one statement from its first token and tells whether it is one of the dump's
/// forms. Afterwards Rest() is the token after the statement's ';' (or the end).
class Form {
 public:
  Form(Tokens& tokens, Token first) : tokens_(tokens), t_(first) {}

  bool Matches() {
    if (!Statement()) return false;
    if (t_.kind == Kind::Semicolon) {
      Advance();
      return true;
    }
    return t_.kind == Kind::End;
  }
  Token Rest() const { return t_; }

 private:
  bool Statement() {
    if (Accept("PRAGMA")) {
      if (Accept("foreign_keys")) return Expect('=') && Accept("OFF");
      return Accept("writable_schema") && Expect('=') && (Accept("ON") || Accept("OFF"));
    }
    if (Accept("COMMIT")) return true;
    if (Accept("DELETE")) return Accept("FROM") && Accept("sqlite_sequence");
    if (Accept("ANALYZE")) return Accept("sqlite_schema");
    if (Accept("INSERT")) return Insert();
    if (!Accept("CREATE")) return false;
    if (Accept("TABLE")) return Table();
    if (Accept("UNIQUE")) return Accept("INDEX") && ToTheEnd();
    if (Accept("INDEX") || Accept("VIEW")) return ToTheEnd();
    if (Accept("TRIGGER")) return ToTheTriggersEnd();
    return false;
  }

  // INSERT INTO name[(columns)] VALUES(literal, ...)
  bool Insert() {
    if (!Accept("INTO") || !ObjectName()) return false;
    if (Expect('(')) {
      do {
        if (!ObjectName()) return false;
      } while (Expect(','));
      if (!Expect(')')) return false;
    }
    if (!Accept("VALUES") || !Expect('(')) return false;
    do {
      if (!Value()) return false;
    } while (Expect(','));
    return Expect(')');
  }

  bool Value() {
    if (Expect('-') || Expect('+')) return Take(Kind::Number);
    if (Take(Kind::Number) || Take(Kind::String) || Take(Kind::Blob) || Accept("NULL")) return true;
    return IsWord("replace") && LineBreaks(0);
  }

  // replace(text, 'marker', char(10)) or char(13); the text may be such a form itself,
  // as for a value that holds both kinds of line break.
  bool LineBreaks(int depth) {
    if (depth == 2 || !Accept("replace") || !Expect('(')) return false;
    if (!(IsWord("replace") ? LineBreaks(depth + 1) : Take(Kind::String))) return false;
    if (!Expect(',') || !Take(Kind::String) || !Expect(',') || !Accept("char") || !Expect('(')) return false;
    if (t_.kind != Kind::Number || (t_.text != "10" && t_.text != "13")) return false;
    Advance();
    return Expect(')') && Expect(')');
  }

  // CREATE TABLE [IF NOT EXISTS] name(...) [WITHOUT ROWID] [, STRICT]
  bool Table() {
    if (Accept("IF") && !(Accept("NOT") && Accept("EXISTS"))) return false;
    if (!ObjectName() || !Expect('(')) return false;
    for (int depth = 1; depth > 0; Advance()) {
      if (t_.kind == Kind::End || t_.kind == Kind::Semicolon) return false;
      if (IsSymbol('(')) ++depth;
      if (IsSymbol(')')) --depth;
    }
    if (t_.kind == Kind::Semicolon || t_.kind == Kind::End) return true;
    do {
      if (!(Accept("WITHOUT") ? Accept("ROWID") : Accept("STRICT"))) return false;
    } while (Expect(','));
    return true;
  }

  bool ToTheEnd() {
    while (t_.kind != Kind::Semicolon && t_.kind != Kind::End) Advance();
    return true;
  }

  // A trigger's body holds statements of its own; the CREATE TRIGGER ends at the ';'
  // that follows an END which itself follows a ';' (sqlite3_complete()'s rule).
  bool ToTheTriggersEnd() {
    enum { InBody, AfterSemicolon, AfterEnd } state = InBody;
    for (; t_.kind != Kind::End; Advance()) {
      if (t_.kind == Kind::Semicolon) {
        if (state == AfterEnd) return true;
        state = AfterSemicolon;
      } else {
        state = state == AfterSemicolon && IsWord("END") ? AfterEnd : InBody;
      }
    }
    return true;
  }

  bool ObjectName() {
    return Take(Kind::Word) || Take(Kind::Name) || Take(Kind::String);
  }

  void Advance() { t_ = tokens_.Next(); }
  bool IsWord(std::string_view word) const { return t_.kind == Kind::Word && fw::TextEquals(t_.text, word); }
  bool IsSymbol(char c) const { return t_.kind == Kind::Symbol && t_.text.front() == c; }
  bool Accept(std::string_view word) {
    if (!IsWord(word)) return false;
    Advance();
    return true;
  }
  bool Expect(char symbol) {
    if (!IsSymbol(symbol)) return false;
    Advance();
    return true;
  }
  bool Take(Kind kind) {
    if (t_.kind != kind) return false;
    Advance();
    return true;
  }

  Tokens& tokens_;
  Token t_;  // the current token
};

/// The number of the line on which the first statement of `sql` starts that is not one of
/// the dump's forms, counting `sql`'s first line as `firstLine`; 0 when every one is.
std::int64_t FirstForeignStatement(std::string_view sql, std::int64_t firstLine) {
  Tokens tokens(sql);
  std::int64_t line = firstLine;
  std::size_t counted = 0;  // line is the line of sql[counted]
  for (Token t = tokens.Next(); t.kind != Kind::End;) {
    if (t.kind == Kind::Semicolon) {  // an empty statement
      t = tokens.Next();
      continue;
    }
    line += std::count(sql.begin() + static_cast<std::ptrdiff_t>(counted), sql.begin() + static_cast<std::ptrdiff_t>(t.at), '\n');
    counted = t.at;
    Form form(tokens, t);
    if (!form.Matches()) return line;
    t = form.Rest();
  }
  return 0;
}

}  // namespace

// The shell's quick look at a line (its quickscan()), carried on from the lines before.
void DumpStatements::Look(std::string_view line, Scan& scan) {
  for (std::size_t i = 0; i < line.size();) {
    if (scan.closer == '*') {
      const std::size_t end = line.find("*/", i);
      if (end == std::string_view::npos) return;
      i = end + 2;
      scan.closer = 0;
      continue;
    }
    if (scan.closer != 0) {
      const std::size_t end = line.find(scan.closer, i);
      if (end == std::string_view::npos) return;
      i = end + 1;
      if (scan.closer != ']' && i < line.size() && line[i] == scan.closer) {
        ++i;  // a doubled quote stands for itself
      } else {
        scan.closer = 0;
      }
      continue;
    }
    const char c = line[i++];
    const char next = i < line.size() ? line[i] : '\0';
    if (IsShellSpace(c)) continue;
    if (c == '-' && next == '-') return;  // a comment to the line's end
    if (c == ';') {
      scan.semicolon = true;
      continue;
    }
    if (c == '/' && next == '*') {
      ++i;
      scan.closer = '*';
      continue;
    }
    if (c == '[' || c == '`' || c == '\'' || c == '"') scan.closer = c == '[' ? ']' : c;
    scan.dark = true;
    scan.semicolon = false;
  }
}

// The shell takes a line "go" or "/" (letter case ignored, white space and comments
// around it) for the end of a statement.
bool DumpStatements::IsTerminatorLine(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsShellSpace(line[i])) ++i;
  if (line.substr(i, 1) == "/") {
    i += 1;
  } else if (fw::TextEquals(line.substr(i, 2), "go")) {
    i += 2;
  } else {
    return false;
  }
  Scan rest;
  Look(line.substr(i), rest);
  return rest.closer == 0 && !rest.dark && !rest.semicolon;
}

void DumpStatements::Read(std::string_view line) {
  if (Found()) return;
  ++line_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find('\0') != std::string_view::npos) {
    foreignStatementLine_ = line_;
    return;
  }
  if (scan_.closer == 0 && IsTerminatorLine(line)) {
    gathered_ += ';';
    const bool complete = gathered_.size() == 1 || plugins::IsCompleteSql(gathered_);
    gathered_.pop_back();
    if (complete) line = ";";
  }
  Look(line, scan_);
  if (gathered_.empty()) {
    if (scan_.closer == 0 && !scan_.dark) {  // white space, comments and ';' only
      scan_ = {};
      return;
    }
    if (line.front() == '.') {
      shellCommandLine_ = line_;
      return;
    }
    if (line.front() == '#') {
      scan_ = {};
      return;
    }
    while (IsShellSpace(line.front())) line.remove_prefix(1);
    gathered_.assign(line);
    gatheredLine_ = line_;
  } else {
    gathered_ += '\n';
    gathered_ += line;
  }
  if (scan_.closer == 0 && scan_.semicolon && plugins::IsCompleteSql(gathered_)) {
    RunGathered();
  } else if (scan_.closer == 0 && !scan_.dark) {
    gathered_.clear();  // a comment that spanned lines
    scan_ = {};
  }
}

void DumpStatements::End() {
  if (!Found() && !gathered_.empty()) RunGathered();
}

void DumpStatements::RunGathered() {
  foreignStatementLine_ = FirstForeignStatement(gathered_, gatheredLine_);
  gathered_.clear();
  scan_ = {};
}
