// The album repair: the user picks where the new album goes; the album is dumped as SQL
// text with the sqlite3 shell, the dump's transaction lines are rewritten, the text is fed
// to sqlite3 to build the new album, and the new album is checked. Every stage shows in
// lblRepaired, and every ending after the dialog also in a message box.
//
// The album is never written: a leftover journal or log beside it is recovered on a
// private copy, and the album can never be chosen as the output. The new album is made
// by the repair itself (see NewAlbum), so the rebuild writes only into a file of its own.
// The two dumps live in private temporary folders of this repair, removed on every way
// out. Both sqlite3 runs are in the shell's safe mode, and a dump that holds a line the
// shell would take as its own command, or a statement that .dump never writes, is not
// rebuilt, so nothing stored in an album is ever run. The album's user version and
// application id, which .dump leaves out, are carried over by statements of the repair's
// own. A step that did not run to its end, a rebuild that could not write, or a failure
// of this machine (a full disk, say) ends only this repair, as a failed repair.
#include <string.h>  // strsignal

#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/base/temporary_folder.h"
#include "framework/base/text.h"
#include "framework/interaction.h"
#include "plugins/album_snapshot.h"
#include "plugins/shell.h"
#include "plugins/sqlite_database.h"
#include "repair_window/album_numbers.h"
#include "repair_window/dump_rewrite.h"
#include "repair_window/new_album.h"
#include "repair_window/rebuild_errors.h"
#include "repair_window/window1.h"

namespace {

const char* const kRefuseAlbumAsOutput =
    "The repaired album cannot replace the album it is made from. Please choose another name or folder.";
const char* const kRefuseFolderAsOutput =
    "The repaired album cannot take the place of a folder. Please choose another name.";
const char* const kRefuseOutputInProgress =
    "Another repair is making its album at that place. Please choose another name or folder.";
const char* const kNothingRecovered = "No data could be recovered from the album";
const char* const kRepairFailed = "Album failed to repair successfully";
const char* const kRepaired = "Album Database Structure Repaired";

/// Ends the repair as a failed one; what() is the repair line's text.
struct RepairFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The reason a framework operation gave: the system's words when it names an error.
std::string Reason(const fw::RuntimeException& e) {
  return e.ErrorNumber() != 0 ? std::strerror(e.ErrorNumber()) : e.Message();
}

/// Runs one step of the repair. A failure that the framework raises in it (a full disk, a
/// process that cannot start) becomes this repair's failure: "Could not <what>: <reason>".
template <class Step>
auto Attempt(const char* what, Step&& step) -> decltype(step()) {
  try {
    return step();
  } catch (const fw::RuntimeException& e) {
    throw RepairFailure(std::string("Could not ") + what + ": " + Reason(e));
  }
}

/// Starts `commandLine` without waiting for it; its error output goes to `errorOutput`
/// when one is given.
std::unique_ptr<plugins::Shell> Start(const std::string& commandLine, const fw::FolderItemPtr& errorOutput = nullptr) {
  return Attempt("start sqlite3", [&] {
    auto shell = std::make_unique<plugins::Shell>();
    shell->SetMode(1);
    if (errorOutput) shell->SetErrorOutput(errorOutput->NativePath().native());
    shell->Execute(commandLine);
    return shell;
  });
}

/// Waits for the process, looking at it every half second. The pauses handle events as
/// they come, so the windows stay live (a screen reader is answered, a click is taken at
/// once). A quit meanwhile unwinds from DoEvents, and the Shell's guard ends the process.
void WaitFor(plugins::Shell& shell, fw::Application& app) {
  while (shell.IsRunning()) {
    app.DoEvents(500);
    shell.Poll();
  }
}

/// Fails the repair when the step's sqlite3 did not run to its end: sh reports a command
/// that it could not run with 126 or 127, and one that a signal ended with 128 + the
/// signal's number. sqlite3's own statuses (0, or 1 after errors) are judged elsewhere.
void RequireRanToItsEnd(const plugins::Shell& shell, const std::string& step) {
  const int status = shell.ExitCode();
  if (status == 126 || status == 127) throw RepairFailure(step + " failed: sqlite3 could not be run");
  if (status > 128) {
    throw RepairFailure(step + " failed: sqlite3 was stopped (" + ::strsignal(status - 128) + ")");
  }
}

/// True when `chosen` is the album itself, by any path (a link, "..", another name).
bool IsTheAlbum(const fw::FolderItem& chosen, const fw::FolderItem& album) {
  return chosen.NativePath() == album.NativePath() || fw::SameFile(chosen, album);
}

/// Why the new album may not go to `chosen`, or nullptr when it may: the album itself, a
/// folder, and a place where another repair is building are never replaced.
const char* RefusalOf(const fw::FolderItem& chosen, const fw::FolderItemPtr& album) {
  if (album && IsTheAlbum(chosen, *album)) return kRefuseAlbumAsOutput;
  if (chosen.Directory()) return kRefuseFolderAsOutput;
  if (NewAlbum::Claimed(chosen)) return kRefuseOutputInProgress;
  return nullptr;
}

/// The names of the tables of an open database, SQLite's own left out; nothing when
/// they cannot be read.
std::optional<std::vector<std::string>> UserTables(plugins::SQLiteDatabase& db) {
  std::shared_ptr<plugins::RecordSet> rows =
      db.SQLSelect("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
  if (!rows) return std::nullopt;
  std::vector<std::string> names;
  for (; !rows->AtEOF(); rows->MoveNext()) {
    std::shared_ptr<plugins::DatabaseField> field = rows->Field("name");
    if (!field) return std::nullopt;
    names.push_back(field->StringValue());
  }
  return names;
}

/// True when one of `tables` holds a row, or when a table cannot be read (nothing is
/// claimed about what cannot be seen).
bool AnyRow(plugins::SQLiteDatabase& db, const std::vector<std::string>& tables) {
  for (const std::string& table : tables) {
    std::string quoted = "\"";
    for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    std::shared_ptr<plugins::RecordSet> rows = db.SQLSelect("SELECT 1 FROM " + quoted + "\" LIMIT 1");
    if (!rows || !rows->AtEOF()) return true;
  }
  return false;
}

}  // namespace

void Window1::Action_Repair() {
  if (!pDest) return;
  cmdRepair()->SetEnabled(false);

  // The album and the output are taken now and kept to the end, whatever a drop on the
  // window does to pSource and pDest meanwhile.
  const fw::FolderItemPtr album = pSource;
  fw::FolderItemPtr output;
  while (true) {
    output = ShowSaveDialogPro(pDest->Parent(), "Repair", "Select Output Album", "Prompt", ".qva", pDest->DisplayName());
    if (!output) return;
    const char* refusal = RefusalOf(*output, album);
    if (refusal == nullptr) break;
    fw::MsgBox(refusal);
  }
  pDest = output;

  NewAlbum newAlbum(output);  // before the rebuild's Shell: sqlite3 ends before its files go
  try {
    // A file left at the chosen place would be read by the final check as the new album.
    if (std::error_code why; output->Exists() && !output->Delete(why)) {
      throw RepairFailure("Could not replace the file at the chosen place: " + why.message());
    }

    std::shared_ptr<fw::Application> app = fw::RequireApplication();
    auto dumpFolder = Attempt("make a temporary folder", [] { return std::make_unique<fw::TemporaryFolder>(); });
    const fw::FolderItemPtr rawDump = dumpFolder->Child("album_dump.sql");
    if (rawDump->Exists()) rawDump->Delete();
    app->SetMouseCursor(fw::System::Cursors::Wait());

    // A journal or log beside the album is recovered on a private copy, never in the album.
    std::unique_ptr<plugins::AlbumSnapshot> source;
    try {
      source = std::make_unique<plugins::AlbumSnapshot>(*album);
    } catch (const fw::IOException&) {
      // The album is gone or unreadable: sqlite3 would make an empty file in its place.
    }
    std::unique_ptr<plugins::Shell> dump;
    std::string albumNumbers;  // statements that carry over what .dump leaves out
    if (source) {
      const fw::FolderItem dumpSource(source->DatabasePath());
      dump = Start("sqlite3 -safe " + dumpSource.ShellPath() + " \".dump\" > " + rawDump->ShellPath());
      lblRepaired()->SetText("Dumping Contents... ");
      WaitFor(*dump, *app);
      // Read after the dump: a journal beside the album has been rolled back into the copy.
      if (const auto numbers = ReadAlbumNumbers(source->DatabasePath())) albumNumbers = AlbumNumberStatements(*numbers);
    }
    source.reset();

    if (!rawDump->Exists()) {
      lblRepaired()->SetText("Could not export to repaired file [DUMP]");
      fw::MsgBox(lblRepaired()->Text());
      return;
    }
    if (dump) RequireRanToItsEnd(*dump, "Dumping the album");
    lblRepaired()->SetText("Checking dumped data...");
    lblRepaired()->Refresh(true);
    app->DoEvents(-1);
    app->DoEvents(1000);  // a second's live pause

    auto cleanFolder = Attempt("make a temporary folder", [] { return std::make_unique<fw::TemporaryFolder>(); });
    const fw::FolderItemPtr cleanedDump = cleanFolder->Child("dump_clean.sql");  // this repair's own
    if (cleanedDump->Exists()) cleanedDump->Delete();
    const DumpFindings found =
        Attempt("write the cleaned dump", [&] { return CopyCleanedDump(rawDump, cleanedDump, albumNumbers); });
    rawDump->Delete();  // the album's whole text need not stand twice in the temporary folder
    if (found.shellCommandLine != 0) {
      throw RepairFailure("Not rebuilt: the album holds a command for the sqlite3 shell (line " +
                          std::to_string(found.shellCommandLine) + " of its dump)");
    }
    if (found.foreignStatementLine != 0) {
      throw RepairFailure("Not rebuilt: the album holds a statement that is not part of its structure (line " +
                          std::to_string(found.foreignStatementLine) + " of its dump)");
    }

    const fw::FolderItemPtr errorOutput = cleanFolder->Child("rebuild_errors.txt");
    Attempt("keep room for the rebuild's messages", [&] { ReserveErrorOutput(*errorOutput); });
    if (const std::error_code why = newAlbum.Begin(*album)) {
      throw RepairFailure(why == std::errc::file_exists
                              ? "Not rebuilt: a file has appeared at the chosen place since it was cleared; it was left as it is"
                              : "Could not make the new album: " + why.message());
    }
    std::unique_ptr<plugins::Shell> rebuild =
        Start("sqlite3 -safe " + output->ShellPath() + " < " + cleanedDump->ShellPath(), errorOutput);
    lblRepaired()->SetText("Building New Album... ");
    lblRepaired()->Refresh(true);
    app->DoEvents(-1);
    app->DoEvents(1000);  // a second's live pause
    WaitFor(*rebuild, *app);
    newAlbum.Keep();

    if (cleanedDump->Exists()) cleanedDump->Delete();
    RequireRanToItsEnd(*rebuild, "Building the new album");
    const std::string cannotWrite =
        Attempt("read the rebuild's messages", [&] { return FirstRebuildFailure(errorOutput); });
    if (!cannotWrite.empty()) throw RepairFailure("Building the new album failed: " + cannotWrite);

    if (!output->Exists()) {
      lblRepaired()->SetText("Could not export to repaired file");
      fw::MsgBox(lblRepaired()->Text());
      return;
    }
    auto db = std::make_shared<plugins::SQLiteDatabase>();
    db->SetDatabaseFile(output);
    if (!db->Connect()) {
      lblRepaired()->SetText("Could not connect to repaired album");
      fw::MsgBox(lblRepaired()->Text());
      return;
    }

    // The new album's own verdict decides: an error, a finding, or an album that holds
    // nothing of a damaged original is a failed repair.
    std::string failure;
    std::shared_ptr<plugins::RecordSet> rows = db->SQLSelect("PRAGMA integrity_check");
    if (!rows || rows->AtEOF()) {
      db->SQLExecute("PRAGMA integrity_check");
      if (db->Error()) failure = db->ErrorMessage();
    } else if (std::shared_ptr<plugins::DatabaseField> field = rows->Field("integrity_check");
               !field || !fw::TextEquals(field->StringValue(), "OK")) {
      failure = field ? field->StringValue() : db->ErrorMessage();
    } else if (const auto tables = UserTables(*db);
               tables && (tables->empty() || (found.closedWithErrors && !AnyRow(*db, *tables)))) {
      failure = kNothingRecovered;
    }
    if (rows) rows->Close();

    if (!failure.empty()) {
      lblRepaired()->SetText(failure);
      cmdRepair()->SetEnabled(true);
      fw::MsgBox(kRepairFailed);
    } else {
      lblRepaired()->SetText(kRepaired);
      cmdRepair()->SetEnabled(false);
      fw::MsgBox(kRepaired);
    }
    db->Close();
  } catch (const RepairFailure& failure) {
    newAlbum.Keep();  // a failed rebuild keeps what it made, as a failed check does
    lblRepaired()->SetText(failure.what());
    cmdRepair()->SetEnabled(true);
    fw::MsgBox(kRepairFailed);
  }
}
