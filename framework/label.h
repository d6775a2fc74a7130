// Label: a line (or, with Multiline, a wrapped paragraph) of text in a window.
#pragma once

#include <string>

#include "framework/rect_control.h"

namespace fw {

class Label : public RectControl {
 public:
  explicit Label(Window& window);
  std::string Text() const;
  void SetText(const std::string& text);

 private:
  void ApplyAlignment();
  int alignment_ = 0;  // 0 default (left), 1 left, 2 centre, 3 right
};

}  // namespace fw
