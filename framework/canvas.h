// Canvas: a control that draws a backdrop picture at its top-left corner.
#pragma once

#include "framework/picture.h"
#include "framework/rect_control.h"

namespace fw {

class Canvas : public RectControl {
 public:
  explicit Canvas(Window& window);
  const PicturePtr& Backdrop() const noexcept { return backdrop_; }
  /// Shows `picture` as the background (nullptr: none).
  void SetBackdrop(PicturePtr picture);

 private:
  PicturePtr backdrop_;  // shared with every other holder of the picture
};

}  // namespace fw
