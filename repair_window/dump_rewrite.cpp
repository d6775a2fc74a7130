#include "repair_window/dump_rewrite.h"

#include "framework/base/text.h"
#include "framework/base/text_stream.h"
#include "repair_window/dump_statements.h"

DumpLine ClassifyDumpLine(std::string_view line) {
  // Longer lines are statements of the album's data: they are never compared. Bytes are
  // counted here, not characters: a line of 30 bytes or more that is shorter than 30
  // characters cannot equal either line below (plain ASCII, 26 and 18 bytes), so the
  // outcome is that of counting characters, without decoding every line of the dump.
  if (line.size() >= 30) return DumpLine::Unchanged;
  if (fw::TextEquals(line, "ROLLBACK; -- due to errors")) return DumpLine::RollbackLine;
  if (fw::TextEquals(line, "BEGIN TRANSACTION;")) return DumpLine::BeginLine;
  return DumpLine::Unchanged;
}

DumpFindings CopyCleanedDump(const fw::FolderItemPtr& rawDump, const fw::FolderItemPtr& cleanedDump,
                             std::string_view openingLines) {
  std::shared_ptr<fw::TextInputStream> reader = fw::TextInputStream::Open(rawDump);
  std::shared_ptr<fw::TextOutputStream> writer = fw::TextOutputStream::Create(cleanedDump);
  writer->Write(openingLines);
  DumpFindings findings;
  DumpStatements statements;
  std::string line;  // one string for every line: no allocation per line
  while (!reader->AtEOF()) {
    reader->ReadLine(line);
    switch (ClassifyDumpLine(line)) {
      case DumpLine::RollbackLine:
        findings.closedWithErrors = true;
        line = "COMMIT;";
        break;
      case DumpLine::BeginLine: line.clear(); break;
      case DumpLine::Unchanged: break;
    }
    statements.Read(line);
    writer->WriteLine(line);
  }
  statements.End();
  reader->Close();
  writer->Close();
  findings.shellCommandLine = statements.ShellCommandLine();
  findings.foreignStatementLine = statements.ForeignStatementLine();
  return findings;
}
