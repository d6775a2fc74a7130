#include "framework/push_button.h"

#include <QPushButton>

#include "framework/event_dispatch.h"
#include "framework/main_thread.h"

namespace fw {

PushButton::PushButton(Window& window)
    : RectControl(window, new QPushButton), button_(static_cast<QPushButton*>(Widget())) {
  button_->setAutoDefault(false);
  QObject::connect(button_, &QPushButton::clicked, button_, [this] {
    if (!action_) return;
    // The handler runs from a copy: it may set another action, which must not destroy
    // the one that is running.
    DispatchEvent([this, action = action_] { action(*this); });
  });
  DefineProperty("Caption", [this](const Value& v) { SetCaption(AsText(v, "Caption")); });
  DefineProperty("Default", [this](const Value& v) { button_->setDefault(AsBool(v, "Default")); });
  DefineProperty("Cancel");
  DefineProperty("MacButtonStyle");
}

std::string PushButton::Caption() const {
  RequireMainThread();
  return button_->text().toStdString();
}

void PushButton::SetCaption(const std::string& caption) {
  RequireMainThread();
  button_->setText(QString::fromStdString(caption));
}

void PushButton::SetAction(ActionHandler handler) { action_ = std::move(handler); }

void PushButton::Press() {
  RequireMainThread();
  button_->click();
}

}  // namespace fw
