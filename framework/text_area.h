// TextArea: a box of plain text, several lines, with its own scroll bar.
#pragma once

#include <string>

#include "framework/rect_control.h"

class QPlainTextEdit;

namespace fw {

class TextArea : public RectControl {
 public:
  explicit TextArea(Window& window);
  std::string Text() const;
  void SetText(const std::string& text);
  bool ReadOnly() const;

 private:
  QPlainTextEdit* edit_;  // owned by the window's content widget
};

}  // namespace fw
