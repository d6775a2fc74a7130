#include "repair_window/dump_rewrite.h"

#include "framework/base/text.h"

DumpLine ClassifyDumpLine(std::string_view line) {
  // Longer lines are statements of the album's data: they are never looked at.
  if (fw::Len(line) >= 30) return DumpLine::Unchanged;
  if (fw::TextEquals(line, "ROLLBACK; -- due to errors")) return DumpLine::RollbackLine;
  if (fw::TextEquals(line, "BEGIN TRANSACTION;")) return DumpLine::BeginLine;
  return DumpLine::Unchanged;
}

std::string RewriteDumpLine(std::string line) {
  switch (ClassifyDumpLine(line)) {
    case DumpLine::RollbackLine: return "COMMIT;";
    case DumpLine::BeginLine: return std::string();
    case DumpLine::Unchanged: break;
  }
  return line;
}
