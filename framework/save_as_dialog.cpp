#include "framework/save_as_dialog.h"

#include <QDir>
#include <QFileDialog>
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

}  // namespace

FolderItemPtr SaveAsDialog::ShowModal() {
  RequireMainThread();
  return CurrentInteraction().ShowSaveDialog(*this);
}

FolderItemPtr SaveAsDialog::RunNativeDialog() {
  RequireMainThread();
  QFileDialog dialog;
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

  const QStringList extensions = Extensions(Filter);
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
