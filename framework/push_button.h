// PushButton: a button whose Action event calls one handler, set by the window that
// owns it, with the button as its argument.
#pragma once

#include <functional>
#include <string>

#include "framework/rect_control.h"

namespace fw {

class PushButton : public RectControl {
 public:
  explicit PushButton(Window& window);
  std::string Caption() const;
  void SetCaption(const std::string& caption);

  using ActionHandler = std::function<void(PushButton&)>;
  /// Connects the Action event to `handler`, replacing an earlier one. Exceptions that
  /// leave the handler go to the framework's report of unhandled exceptions.
  void SetAction(ActionHandler handler);
  /// Raises the Action event as a click would (does nothing while disabled).
  void Press();

 private:
  ActionHandler action_;
};

}  // namespace fw
