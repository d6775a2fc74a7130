#include "framework/save_as_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <sstream>

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

/// The Qt save dialog, but a name confirmed without one of the offered extensions gets
/// the first of them before the dialog goes on. Qt's own default suffix is added only to a
/// name without any dot, so "Album v1.2" or "notes.txt" would come back without the
/// extension; and the name has to be complete before the dialog looks at it, so that it
/// asks whether to replace the file that will really be written.
class SaveFileDialog final : public QFileDialog {
 public:
  explicit SaveFileDialog(QStringList extensions) : extensions_(std::move(extensions)) {}

  void accept() override {
    CompleteTypedName();
    QFileDialog::accept();
  }

 private:
  void CompleteTypedName() {
    if (extensions_.isEmpty()) return;
    // The dialog's name field; without it, the default suffix is all there is.
    auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (field == nullptr) return;
    const QString typed = field->text();
    if (typed.trimmed().isEmpty()) return;
    if (QFileInfo(directory().absoluteFilePath(typed)).isDir()) return;  // the dialog opens it
    const QString name = QFileInfo(typed).fileName();
    for (const QString& extension : extensions_) {
      if (name.endsWith(u'.' + extension, Qt::CaseInsensitive)) return;
    }
    field->setText(typed + u'.' + extensions_.front());
  }

  QStringList extensions_;  // without their dots
};

}  // namespace

FolderItemPtr SaveAsDialog::ShowModal() {
  RequireMainThread();
  return CurrentInteraction().ShowSaveDialog(*this);
}

FolderItemPtr SaveAsDialog::RunNativeDialog() {
  RequireMainThread();
  const QStringList extensions = Extensions(Filter);
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
    dialog.setNameFilter(QStringLiteral("Quorvanta albums (%1)").arg(patterns.join(' ')));
    dialog.setDefaultSuffix(extensions.front());
  }
  if (!SuggestedFileName.empty()) dialog.selectFile(QString::fromStdString(SuggestedFileName));

  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return nullptr;
  return FolderItem::Make(std::filesystem::path(QFile::encodeName(dialog.selectedFiles().front()).toStdString()));
}

FolderItemPtr SpecialFolder::Documents() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) return nullptr;
  return FolderItem::Make(std::filesystem::path(QFile::encodeName(documents).toStdString()));
}

}  // namespace fw
