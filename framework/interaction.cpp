#include "framework/interaction.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include "framework/main_thread.h"
#include "framework/save_as_dialog.h"

namespace fw {

namespace {

std::shared_ptr<Interaction>& Installed() {
  static std::shared_ptr<Interaction> interaction;
  return interaction;
}

}  // namespace

FolderItemPtr Interaction::ShowSaveDialog(SaveAsDialog& dialog) { return dialog.RunNativeDialog(); }

void Interaction::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.exec();
}

bool Interaction::AltKeyDown() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) != 0;
}

Interaction& CurrentInteraction() {
  static Interaction real;
  return Installed() ? *Installed() : real;
}

std::shared_ptr<Interaction> SetInteraction(std::shared_ptr<Interaction> interaction) {
  std::shared_ptr<Interaction> previous = std::move(Installed());
  Installed() = std::move(interaction);
  return previous;
}

void MsgBox(const std::string& text) {
  RequireMainThread();
  CurrentInteraction().ShowMessage(text);
}

}  // namespace fw
