#include "framework/push_button.h"

#include <QPushButton>

#include "framework/event_dispatch.h"
#include "framework/main_thread.h"

namespace fw {

PushButton::PushButton(Window& window) : RectControl(window, new QPushButton) {
  QPushButton* button = WidgetAs<QPushButton>();
  button->setAutoDefault(false);
  // The connection lives as long as the widget, which goes with this control.
  QObject::connect(button, &QPushButton::clicked, button, [this] {
    if (!action_) return;
    // The handler runs from a copy: it may set another action, which must not destroy
    // the one that is running.
    DispatchEvent([this, action = action_] { action(*this); });
  });
  DefineProperty("Caption", [this](const Value& v) { SetCaption(AsText(v, "Caption")); });
  DefineWidgetProperty<QPushButton>("Default", [](QPushButton& b, const Value& v) { b.setDefault(AsBool(v, "Default")); });
  DefineProperty("Cancel");
  DefineProperty("MacButtonStyle");
}

std::string PushButton::Caption() const {
  RequireMainThread();
  const QPushButton* button = WidgetAs<QPushButton>();
  return button ? button->text().toStdString() : std::string();
}

void PushButton::SetCaption(const std::string& caption) {
  RequireMainThread();
  if (QPushButton* button = WidgetAs<QPushButton>()) button->setText(QString::fromStdString(caption));
}

void PushButton::SetAction(ActionHandler handler) { action_ = std::move(handler); }

void PushButton::Press() {
  RequireMainThread();
  if (QPushButton* button = WidgetAs<QPushButton>()) button->click();
}

}  // namespace fw
