// The shell's error output, as sqlite3 3.40 writes it for a script read from its input:
//   "Parse error near line 12: no such table: images"          (a statement not prepared)
//   "Runtime error near line 13: database or disk is full (13)" (a statement that failed)
//   "Error: unable to open database "x.qva": unable to open database file"
//   "line 14: cannot use the writefile() function in safe mode"   (the shell exits)
// A statement's error is fatal when SQLite says the file could not be written or read;
// the shell's own "Error:" lines and its safe-mode refusals end the rebuild in any case.
#include "repair_window/rebuild_errors.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "framework/base/exceptions.h"
#include "framework/base/text_stream.h"

namespace {

// Room for about ten thousand lines of messages.
constexpr off_t kReservedBytes = 1 << 20;

// What sqlite3_errstr says for the result codes that mean the new album cannot be
// written or read: SQLITE_FULL, SQLITE_IOERR, SQLITE_READONLY, SQLITE_CANTOPEN,
// SQLITE_NOMEM, SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_PERM, SQLITE_BUSY, SQLITE_LOCKED.
constexpr std::array<std::string_view, 10> kCannotWrite = {
    "database or disk is full",         "disk I/O error",  "attempt to write a readonly database",
    "unable to open database file",     "out of memory",   "database disk image is malformed",
    "file is not a database",           "access permission denied", "database is locked",
    "database table is locked"};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Where the text after "<prefix><digits>: " starts, or npos when `line` is not so made.
std::size_t AfterLineNumber(std::string_view line, std::string_view prefix) {
  if (!StartsWith(line, prefix)) return std::string_view::npos;
  std::size_t at = prefix.size();
  const std::size_t digits = at;
  while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
  if (at == digits || line.substr(at, 2) != ": ") return std::string_view::npos;
  return at + 2;
}

// A statement's message without the result code that the shell adds: "… (13)".
std::string_view WithoutResultCode(std::string_view message) {
  const std::size_t open = message.rfind(" (");
  if (open == std::string_view::npos || message.back() != ')') return message;
  const std::string_view code = message.substr(open + 2, message.size() - open - 3);
  if (code.empty()) return message;
  for (char c : code) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return message;
  }
  return message.substr(0, open);
}

}  // namespace

void ReserveErrorOutput(const fw::FolderItem& file) {
  const std::string& path = file.NativePath().native();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw fw::IOException("The file \"" + path + "\" could not be created: " + std::strerror(errno), errno);
  const int reserved = ::posix_fallocate(fd, 0, kReservedBytes);  // returns the error; errno is untouched
  ::close(fd);
  if (reserved != 0) {
    throw fw::IOException("Room could not be reserved in \"" + path + "\": " + std::strerror(reserved), reserved);
  }
}

std::string RebuildFailure(std::string_view line) {
  if (const std::size_t at = AfterLineNumber(line, "line "); at != std::string_view::npos) {
    return std::string(line.substr(at));  // a refusal of the safe mode: the shell has exited
  }
  if (StartsWith(line, "Error: ")) return std::string(line.substr(7));
  std::size_t at = AfterLineNumber(line, "Runtime error near line ");
  if (at == std::string_view::npos) at = AfterLineNumber(line, "Parse error near line ");
  if (at == std::string_view::npos) return "";
  const std::string_view message = WithoutResultCode(line.substr(at));
  for (std::string_view fatal : kCannotWrite) {
    if (message == fatal) return std::string(message);
  }
  return "";
}

std::string FirstRebuildFailure(const fw::FolderItemPtr& errorOutput) {
  std::shared_ptr<fw::TextInputStream> reader = fw::TextInputStream::Open(errorOutput);
  std::string line;
  while (!reader->AtEOF()) {
    reader->ReadLine(line);
    if (!line.empty() && line.front() == '\0') break;  // the reserved room that was not used
    if (std::string reason = RebuildFailure(line); !reason.empty()) return reason;
  }
  return "";
}
