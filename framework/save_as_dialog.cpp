#include "framework/save_as_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <sstream>

#include "framework/file_type.h"
#include "framework/interaction.h"
#include "framework/main_thread.h"

namespace fw {

namespace {

QString FromPath(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

/// The filter's extensions without their dots: ".qva;.db" gives {"qva", "db"}.
QStringList Extensions(const std::string& filter) {
  QStringList result;
  std::stringstream parts(filter);
  for (std::string part; std::getline(parts, part, ';');) {
    while (!part.empty() && (part.front() == '.' || part.front() == '*' || part.front() == ' ')) part.erase(0, 1);
    while (!part.empty() && part.back() == ' ') part.pop_back();
    if (!part.empty()) result << QString::fromStdString(part);
  }
  return result;
}

/// The Qt save dialog, but the name field is read literally, as one file name. Qt's own
/// dialog reads double quotes in it as a list of files ("a" "b") and would choose the
/// quoted part of a name such as `Trip "Paris" 2024.qva`; so this dialog decides on the
/// name itself, with Qt's question before a file already there is replaced.
///
/// A name confirmed without one of the offered extensions gets the first of them before
/// that question, so that it asks about the file that will really be written. (Qt's own
/// default suffix is added only to a name without any dot: "Album v1.2" or "notes.txt"
/// would come back without the extension.) A folder is never chosen: a name that names a
/// folder, with the extension or without, opens it, and a name without a file part or in
/// a folder that does not exist keeps the dialog open with Qt's own message.
class SaveFileDialog final : public QFileDialog {
 public:
  explicit SaveFileDialog(QStringList extensions) : extensions_(std::move(extensions)) {}

  /// The file confirmed; empty until the dialog is accepted.
  const QString& Chosen() const { return chosen_; }

  void accept() override {
    auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (field == nullptr) {  // a dialog without Qt's name field: its own reading is all there is
      QFileDialog::accept();
      if (result() == QDialog::Accepted && !selectedFiles().isEmpty()) chosen_ = selectedFiles().front();
      return;
    }
    const QString typed = field->text();
    if (typed.trimmed().isEmpty()) return;  // no name yet
    const QString path = directory().absoluteFilePath(typed);
    const QString file = WithExtension(path);
    for (const QString& folder : {path, file}) {
      if (QFileInfo(folder).isDir()) {  // a folder's name (or ".."): the dialog opens it
        setDirectory(folder);
        field->clear();
        return;
      }
    }
    if (const QString folder = typed.endsWith(u'/') ? path : QFileInfo(file).path(); !QFileInfo(folder).isDir()) {
      // Qt's own words, in its own context, so that Qt's translations apply.
      const QString missing =
          QFileDialog::tr("%1\nDirectory not found.\nPlease verify the correct directory name was given.");
      QMessageBox::warning(this, windowTitle(), missing.arg(QFileInfo(QDir::cleanPath(folder)).fileName()));
      return;
    }
    if (QFileInfo::exists(file) &&
        QMessageBox::warning(this, windowTitle(),
                             tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(file).fileName()),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
      return;
    }
    chosen_ = file;
    QDialog::accept();
  }

 private:
  QString WithExtension(const QString& path) const {
    const QString name = QFileInfo(path).fileName();
    for (const QString& extension : extensions_) {
      if (name.endsWith(u'.' + extension, Qt::CaseInsensitive)) return path;
    }
    return extensions_.isEmpty() ? path : path + u'.' + extensions_.front();
  }

  QStringList extensions_;  // without their dots
  QString chosen_;          // the file confirmed, or empty
};

}  // namespace

FolderItemPtr SaveAsDialog::ShowModal() {
  RequireMainThread();
  return CurrentInteraction().ShowSaveDialog(*this);
}

FolderItemPtr SaveAsDialog::RunNativeDialog() {
  RequireMainThread();
  const DocumentType* type = DocumentTypeRegistry::Find(Filter);  // a type named stands for its extensions
  const QStringList extensions = Extensions(type != nullptr ? type->extensions : Filter);
  SaveFileDialog dialog(extensions);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!Title.empty()) dialog.setWindowTitle(QString::fromStdString(Title));
  if (!ActionButtonCaption.empty()) dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(ActionButtonCaption));
  if (!PromptText.empty()) dialog.setLabelText(QFileDialog::FileName, QString::fromStdString(PromptText));

  QString folder;
  if (InitialDirectory && InitialDirectory->Directory()) {
    folder = FromPath(InitialDirectory->NativePath());
  } else if (FolderItemPtr documents = SpecialFolder::Documents(); documents && documents->Directory()) {
    folder = FromPath(documents->NativePath());
  } else {
    folder = QDir::homePath();
  }
  dialog.setDirectory(folder);

  if (!extensions.isEmpty()) {
    QStringList patterns;
    for (const QString& e : extensions) patterns << QStringLiteral("*.") + e;
    if (type == nullptr) type = DocumentTypeRegistry::ForFileName(patterns.front().toStdString());
    const QString list = patterns.join(' ');
    dialog.setNameFilter(type != nullptr ? QStringLiteral("%1 (%2)").arg(QString::fromStdString(type->name), list) : list);
    dialog.setDefaultSuffix(extensions.front());
  }
  if (!SuggestedFileName.empty()) dialog.selectFile(QString::fromStdString(SuggestedFileName));

  if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) return nullptr;
  return FolderItem::Make(std::filesystem::path(QFile::encodeName(dialog.Chosen()).toStdString()));
}

FolderItemPtr SpecialFolder::Documents() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) return nullptr;
  return FolderItem::Make(std::filesystem::path(QFile::encodeName(documents).toStdString()));
}

}  // namespace fw
