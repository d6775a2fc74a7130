// The album repair: the user picks where the new album goes; the album is dumped as SQL
// text with the sqlite3 shell, the dump's transaction lines are rewritten, the text is fed
// to sqlite3 to build the new album, and the new album is checked. Every stage shows in
// lblRepaired, and every ending after the dialog also in a message box.
//
// The album is never written: a leftover journal or log beside it is recovered on a
// private copy, and the album can never be chosen as the output. The two dumps live in
// private temporary folders of this repair, removed on every way out.
#include <memory>
#include <string>

#include "framework/application.h"
#include "framework/base/exceptions.h"
#include "framework/base/temporary_folder.h"
#include "framework/base/text.h"
#include "framework/interaction.h"
#include "plugins/album_snapshot.h"
#include "plugins/shell.h"
#include "plugins/sqlite_database.h"
#include "repair_window/dump_rewrite.h"
#include "repair_window/window1.h"

namespace {

const char* const kRefuseAlbumAsOutput =
    "The repaired album cannot replace the album it is made from. Please choose another name or folder.";
const char* const kNothingRecovered = "No data could be recovered from the album";
const char* const kRepairFailed = "Album failed to repair successfully";
const char* const kRepaired = "Album Database Structure Repaired";

/// Starts `commandLine` without waiting for it.
std::unique_ptr<plugins::Shell> Start(const std::string& commandLine) {
  auto shell = std::make_unique<plugins::Shell>();
  shell->SetMode(1);
  shell->Execute(commandLine);
  return shell;
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

/// True when `chosen` is the album itself, by any path (a link, "..", another name).
bool IsTheAlbum(const fw::FolderItem& chosen, const fw::FolderItem& album) {
  return chosen.NativePath() == album.NativePath() || fw::SameFile(chosen, album);
}

/// The number of tables in an open database, or -1 when it cannot be told.
long TableCount(plugins::SQLiteDatabase& db) {
  std::shared_ptr<plugins::RecordSet> rows = db.SQLSelect("SELECT count(*) FROM sqlite_master WHERE type = 'table'");
  if (!rows || rows->AtEOF()) return -1;
  std::shared_ptr<plugins::DatabaseField> field = rows->Field("count(*)");
  return field ? std::stol(field->StringValue()) : -1;
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
    if (!album || !IsTheAlbum(*output, *album)) break;
    fw::MsgBox(kRefuseAlbumAsOutput);
  }
  pDest = output;
  if (output->Exists()) output->Delete();

  std::shared_ptr<fw::Application> app = fw::RequireApplication();
  fw::TemporaryFolder dumpFolder;  // the raw dump; removed on every way out
  const fw::FolderItemPtr rawDump = dumpFolder.Child("album_dump.sql");
  if (rawDump->Exists()) rawDump->Delete();
  app->SetMouseCursor(fw::System::Cursors::Wait());

  // A journal or log beside the album is recovered on a private copy, never in the album.
  std::unique_ptr<plugins::AlbumSnapshot> source;
  try {
    source = std::make_unique<plugins::AlbumSnapshot>(*album);
  } catch (const fw::IOException&) {
    // The album is gone or unreadable: sqlite3 would make an empty file in its place.
  }
  if (source) {
    const fw::FolderItem dumpSource(source->DatabasePath());
    std::unique_ptr<plugins::Shell> dump =
        Start("sqlite3 " + dumpSource.ShellPath() + " \".dump\" > " + rawDump->ShellPath());
    lblRepaired()->SetText("Dumping Contents... ");
    WaitFor(*dump, *app);
  }
  source.reset();

  if (!rawDump->Exists()) {
    lblRepaired()->SetText("Could not export to repaired file [DUMP]");
    fw::MsgBox(lblRepaired()->Text());
    return;
  }
  lblRepaired()->SetText("Checking dumped data...");
  lblRepaired()->Refresh(true);
  app->DoEvents(-1);
  app->DoEvents(1000);  // a second's live pause

  fw::TemporaryFolder cleanFolder;  // this repair's own "dump_clean.sql"
  const fw::FolderItemPtr cleanedDump = cleanFolder.Child("dump_clean.sql");
  if (cleanedDump->Exists()) cleanedDump->Delete();
  const bool dumpHadErrors = CopyCleanedDump(rawDump, cleanedDump);

  std::unique_ptr<plugins::Shell> rebuild = Start("sqlite3 " + output->ShellPath() + " < " + cleanedDump->ShellPath());
  lblRepaired()->SetText("Building New Album... ");
  lblRepaired()->Refresh(true);
  app->DoEvents(-1);
  app->DoEvents(1000);  // a second's live pause
  WaitFor(*rebuild, *app);

  if (rawDump->Exists()) rawDump->Delete();
  if (cleanedDump->Exists()) cleanedDump->Delete();

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
  } else if (dumpHadErrors && TableCount(*db) == 0) {
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
}
