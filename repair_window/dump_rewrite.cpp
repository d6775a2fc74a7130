#include "repair_window/dump_rewrite.h"

#include "framework/base/text.h"
#include "framework/base/text_stream.h"

DumpLine ClassifyDumpLine(std::string_view line) {
  if (!line.empty() && line.front() == '.') return DumpLine::ShellCommand;
  // Longer lines are statements of the album's data: they are never looked at. Bytes are
  // counted here, not characters: a line of 30 bytes or more that is shorter than 30
  // characters cannot equal either line below (plain ASCII, 26 and 18 bytes), so the
  // outcome is that of counting characters, without decoding every line of the dump.
  if (line.size() >= 30) return DumpLine::Unchanged;
  if (fw::TextEquals(line, "ROLLBACK; -- due to errors")) return DumpLine::RollbackLine;
  if (fw::TextEquals(line, "BEGIN TRANSACTION;")) return DumpLine::BeginLine;
  return DumpLine::Unchanged;
}

DumpFindings CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump) {
  DumpFindings findings;
  std::shared_ptr<fw::TextInputStream> reader = fw::TextInputStream::Open(rawDump);
  std::shared_ptr<fw::TextOutputStream> writer = fw::TextOutputStream::Create(cleanedDump);
  std::string line;  // one string for every line: no allocation per line
  for (std::int64_t number = 1; !reader->AtEOF(); ++number) {
    reader->ReadLine(line);
    switch (ClassifyDumpLine(line)) {
      case DumpLine::RollbackLine:
        findings.closedWithErrors = true;
        writer->WriteLine("COMMIT;");
        break;
      case DumpLine::BeginLine: writer->WriteLine(""); break;
      case DumpLine::ShellCommand:
        if (findings.shellCommandLine == 0) findings.shellCommandLine = number;
        writer->WriteLine(line);
        break;
      case DumpLine::Unchanged: writer->WriteLine(line); break;
    }
  }
  reader->Close();
  writer->Close();
  return findings;
}
