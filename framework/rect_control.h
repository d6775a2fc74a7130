// RectControl: the base of every control that sits in a window at a rectangle of its
// own. It keeps the control's distance to the window edges it is locked to while the
// window resizes.
//
// A control and its Qt widget share one life: the control deletes its widget when it goes
// (a control replaced in its window leaves nothing behind), and the window deletes the
// widgets of the controls that outlive it. The control reaches its widget only through a
// guarded pointer, so a control kept after its window does nothing and reads as empty.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "framework/design_values.h"

namespace fw {

class Window;

/// Window designs place controls in pixels and give font sizes in pixels too, so a design
/// looks the same at any screen resolution. The system font's standard size (a design's
/// font size 0) is 11 pixels, at which the desktop's sans-serif font fits the designs.
inline constexpr int kStandardFontPixels = 11;

class RectControl : public PropertyObject {
 public:
  ~RectControl() override;
  RectControl(const RectControl&) = delete;
  RectControl& operator=(const RectControl&) = delete;

  /// The name under which the control is registered in its window.
  const std::string& Name() const noexcept { return name_; }
  bool Enabled() const;
  void SetEnabled(bool enabled);
  bool Visible() const;

  /// The control's rectangle in the window's content area, as it is now.
  int Left() const { return rect_.left(); }
  int Top() const { return rect_.top(); }
  int Width() const { return rect_.width(); }
  int Height() const { return rect_.height(); }

  /// Redraws the control at once (`immediately` true) or at the next paint.
  void Refresh(bool immediately = true);
  /// Asks for a redraw at the window's next paint; never draws at once.
  void Invalidate(bool eraseBackground = true);

  /// The Qt widget that shows the control; null once the window is gone.
  QWidget* Widget() const { return widget_; }

 protected:
  /// Takes `widget` into the content area of `window` and defines the properties common
  /// to all controls. Subclasses define their own properties in their constructors.
  RectControl(Window& window, QWidget* widget);

  /// The widget as the class that the subclass made it, or nullptr once it is gone.
  template <class W>
  W* WidgetAs() const { return static_cast<W*>(widget_.data()); }
  /// Defines property `name`, whose setter acts on the widget as a `W`; once the widget is
  /// gone, a value set is only kept.
  template <class W>
  void DefineWidgetProperty(std::string name, std::function<void(W&, const Value&)> set) {
    DefineProperty(std::move(name), [this, set = std::move(set)](const Value& v) {
      if (W* widget = WidgetAs<W>()) set(*widget, v);
    });
  }

 private:
  friend class Window;
  /// Moves and sizes the control for a content area that is now `content`, keeping the
  /// distances to the locked edges.
  void FollowContentSize(QSize content);
  void ApplyGeometry();
  void ChangeFont(const std::function<void(QFont&)>& change);

  QPointer<QWidget> widget_;  // deleted with the control, or null once the window deleted it
  std::string name_;
  QRect rect_;         // wanted rectangle; may be wider than the widget can show
  QSize content_;      // content size for which rect_ holds
  bool lockLeft_ = false, lockTop_ = false, lockRight_ = false, lockBottom_ = false;
};

}  // namespace fw
