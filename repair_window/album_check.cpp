// The album check: the album given becomes the window's album, its default output is
// named beside it, and SQLite's integrity check gives the verdict shown in txtStatus,
// with the Repair button enabled exactly when there is something to repair.
#include "framework/base/exceptions.h"
#include "framework/base/text.h"
#include "framework/interaction.h"
#include "plugins/file_name.h"
#include "plugins/sqlite_database.h"
#include "repair_window/window1.h"

namespace {

const char* const kIntegrityCheck = "PRAGMA integrity_check";

/// The named column of the record set's current row; a missing column is a nil object.
std::string ColumnText(const plugins::RecordSet& records, const std::string& name) {
  std::shared_ptr<plugins::DatabaseField> field = records.Field(name);
  if (!field) throw fw::NilObjectException("The check's result has no column " + name + ".");
  return field->StringValue();
}

}  // namespace

void Window1::Action_Init(fw::FolderItemPtr albumFile) {
  if (!albumFile) return;
  pSource = albumFile;

  // An item without a parent folder (the root) has no place for a default output.
  fw::FolderItemPtr folder = albumFile->Parent();
  if (!folder) return;
  const std::string outputName = plugins::NameWithoutExtensionMBS(*albumFile) + "_repaired.qva";
  pDest = folder->Child(outputName, true);
  lblFilename()->SetText(albumFile->DisplayName());

  auto db = std::make_shared<plugins::SQLiteDatabase>();
  db->SetDatabaseFile(albumFile);
  if (!db->Connect()) {
    txtStatus()->SetText("Could not connect to album");
    return;
  }

  std::shared_ptr<plugins::RecordSet> records = db->SQLSelect(kIntegrityCheck);
  if (!records || records->AtEOF()) {
    db->SQLExecute(kIntegrityCheck);
    if (db->Error() || fw::Keyboard::AsyncAltKey()) {
      txtStatus()->SetText(db->ErrorMessage());
      cmdRepair()->SetEnabled(true);
    } else {
      txtStatus()->SetText("Album OK - No need to repair");
      cmdRepair()->SetEnabled(false);
    }
  } else if (fw::TextEquals(ColumnText(*records, "integrity_check"), "OK")) {
    txtStatus()->SetText("Album OK - No need to repair");
    cmdRepair()->SetEnabled(false);
  } else {
    const std::string finding = fw::DefineEncoding(ColumnText(*records, "integrity_check"), fw::Encodings::UTF8);
    txtStatus()->SetText("Album Corrupted - " + finding);
    cmdRepair()->SetEnabled(true);
  }

  txtStatus()->Invalidate(true);
  if (records) records->Close();
  db->Close();
}
