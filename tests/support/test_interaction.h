// A stand-in for the person at the keyboard: answers save dialogs from a queue, records
// message boxes, and holds the Alt key up or down as the test says.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "framework/interaction.h"
#include "framework/save_as_dialog.h"

namespace testsupport {

class TestInteraction : public fw::Interaction {
 public:
  /// One answer to a save dialog: it sees the dialog as shown and returns the choice.
  using DialogAnswer = std::function<fw::FolderItemPtr(const fw::SaveAsDialog&)>;

  fw::FolderItemPtr ShowSaveDialog(fw::SaveAsDialog& dialog) override {
    dialogs.push_back(dialog);
    if (answers.empty()) return nullptr;  // no answer left: the person cancels
    DialogAnswer answer = std::move(answers.front());
    answers.pop_front();
    return answer(dialog);
  }
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }
  bool AltKeyDown() override {
    ++altQueries;
    return altDown;
  }

  std::deque<DialogAnswer> answers;          // consumed front first
  std::vector<fw::SaveAsDialog> dialogs;     // every dialog shown, as shown
  std::vector<std::string> messages;         // every message box, in order
  std::function<void(const std::string&)> onMessage;  // runs while a message box "shows"
  bool altDown = false;
  int altQueries = 0;
};

/// Installs a TestInteraction for the life of the guard.
class InteractionGuard {
 public:
  InteractionGuard() : interaction_(std::make_shared<TestInteraction>()), previous_(fw::SetInteraction(interaction_)) {}
  ~InteractionGuard() { fw::SetInteraction(previous_); }
  InteractionGuard(const InteractionGuard&) = delete;
  InteractionGuard& operator=(const InteractionGuard&) = delete;
  TestInteraction* operator->() const { return interaction_.get(); }
  TestInteraction& operator*() const { return *interaction_; }

 private:
  std::shared_ptr<TestInteraction> interaction_;
  std::shared_ptr<fw::Interaction> previous_;
};

}  // namespace testsupport
