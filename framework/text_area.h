// TextArea: a box of plain text, several lines, with its own scroll bar.
#pragma once

#include <string>

#include "framework/rect_control.h"

namespace fw {

class TextArea : public RectControl {
 public:
  explicit TextArea(Window& window);
  std::string Text() const;
  void SetText(const std::string& text);
  bool ReadOnly() const;
};

}  // namespace fw
