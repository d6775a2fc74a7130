#include "repair_window/dump_rewrite.h"

#include "framework/base/text.h"
#include "framework/base/text_stream.h"

DumpLine ClassifyDumpLine(std::string_view line) {
  // Longer lines are statements of the album's data: they are never looked at. Bytes are
  // counted here, not characters: a line of 30 bytes or more that is shorter than 30
  // characters cannot equal either line below (plain ASCII, 26 and 18 bytes), so the
  // outcome is that of counting characters, without decoding every line of the dump.
  if (line.size() >= 30) return DumpLine::Unchanged;
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

bool CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump) {
  bool dumpHadErrors = false;
  std::shared_ptr<fw::TextInputStream> reader = fw::TextInputStream::Open(rawDump);
  std::shared_ptr<fw::TextOutputStream> writer = fw::TextOutputStream::Create(cleanedDump);
  while (!reader->AtEOF()) {
    std::string line = reader->ReadLine();
    if (ClassifyDumpLine(line) == DumpLine::RollbackLine) dumpHadErrors = true;
    writer->WriteLine(RewriteDumpLine(std::move(line)));
  }
  reader->Close();
  writer->Close();
  return dumpHadErrors;
}
