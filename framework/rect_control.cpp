#include "framework/rect_control.h"

#include <algorithm>

#include <QAbstractScrollArea>
#include <QFont>

#include "framework/main_thread.h"
#include "framework/window.h"

namespace fw {

RectControl::RectControl(Window& window, QWidget* widget)
    : widget_(widget), content_(window.ContentSize()) {
  RequireMainThread();
  widget_->setParent(window.ContentWidget());
  ChangeFont([](QFont& f) { f.setPixelSize(kStandardFontPixels); });
  widget_->show();
  DefineProperty("Name", [this](const Value& v) {
    name_ = AsText(v, "Name");
    if (widget_) widget_->setObjectName(QString::fromStdString(name_));
  });
  DefineProperty("Left", [this](const Value& v) { rect_.moveLeft(static_cast<int>(AsInt(v, "Left"))); ApplyGeometry(); });
  DefineProperty("Top", [this](const Value& v) { rect_.moveTop(static_cast<int>(AsInt(v, "Top"))); ApplyGeometry(); });
  DefineProperty("Width", [this](const Value& v) { rect_.setWidth(static_cast<int>(AsInt(v, "Width"))); ApplyGeometry(); });
  DefineProperty("Height", [this](const Value& v) { rect_.setHeight(static_cast<int>(AsInt(v, "Height"))); ApplyGeometry(); });
  DefineProperty("LockLeft", [this](const Value& v) { lockLeft_ = AsBool(v, "LockLeft"); });
  DefineProperty("LockTop", [this](const Value& v) { lockTop_ = AsBool(v, "LockTop"); });
  DefineProperty("LockRight", [this](const Value& v) { lockRight_ = AsBool(v, "LockRight"); });
  DefineProperty("LockBottom", [this](const Value& v) { lockBottom_ = AsBool(v, "LockBottom"); });
  DefineProperty("Enabled", [this](const Value& v) { SetEnabled(AsBool(v, "Enabled")); });
  DefineWidgetProperty<QWidget>("Visible", [](QWidget& w, const Value& v) { w.setVisible(AsBool(v, "Visible")); });
  DefineWidgetProperty<QWidget>("Tooltip", [](QWidget& w, const Value& v) { w.setToolTip(QString::fromStdString(AsText(v, "Tooltip"))); });
  DefineWidgetProperty<QWidget>("TabStop", [](QWidget& w, const Value& v) {
    if (!AsBool(v, "TabStop")) w.setFocusPolicy(Qt::NoFocus);
  });
  DefineProperty("FontName", [this](const Value& v) {
    const std::string& family = AsText(v, "FontName");
    ChangeFont([&](QFont& f) { f.setFamily(family == "System" ? QFont().family() : QString::fromStdString(family)); });
  });
  DefineProperty("FontSize", [this](const Value& v) {
    const int size = static_cast<int>(AsReal(v, "FontSize"));  // 0: the standard size
    ChangeFont([&](QFont& f) { f.setPixelSize(size > 0 ? size : kStandardFontPixels); });
  });
  DefineProperty("Bold", [this](const Value& v) { const bool on = AsBool(v, "Bold"); ChangeFont([&](QFont& f) { f.setBold(on); }); });
  DefineProperty("Italic", [this](const Value& v) { const bool on = AsBool(v, "Italic"); ChangeFont([&](QFont& f) { f.setItalic(on); }); });
  DefineProperty("Underline", [this](const Value& v) { const bool on = AsBool(v, "Underline"); ChangeFont([&](QFont& f) { f.setUnderline(on); }); });
  // Kept for reading back; they mean nothing more to a Qt widget.
  for (const char* stored : {"TabIndex", "AllowAutoDeactivate", "InitialParent", "TabPanelIndex",
                             "Transparent", "FontUnit", "Index", "Scope"}) {
    DefineProperty(stored);
  }
}

RectControl::~RectControl() { delete widget_.data(); }

bool RectControl::Enabled() const {
  RequireMainThread();
  return widget_ && widget_->isEnabled();
}

void RectControl::SetEnabled(bool enabled) {
  RequireMainThread();
  if (widget_) widget_->setEnabled(enabled);
}

bool RectControl::Visible() const { return widget_ && !widget_->isHidden(); }

void RectControl::Refresh(bool immediately) {
  RequireMainThread();
  if (!widget_) return;
  // A scrolling control draws its content in an inner viewport, which repaints apart.
  auto* scroll = qobject_cast<QAbstractScrollArea*>(widget_.data());
  if (immediately) {
    widget_->repaint();
    if (scroll) scroll->viewport()->repaint();
  } else {
    widget_->update();
    if (scroll) scroll->viewport()->update();
  }
}

void RectControl::Invalidate(bool) {
  RequireMainThread();
  if (!widget_) return;
  widget_->update();
  if (auto* scroll = qobject_cast<QAbstractScrollArea*>(widget_.data())) scroll->viewport()->update();
}

void RectControl::FollowContentSize(QSize content) {
  const int dw = content.width() - content_.width();
  const int dh = content.height() - content_.height();
  content_ = content;
  if (lockRight_) {
    if (lockLeft_) rect_.setWidth(rect_.width() + dw); else rect_.translate(dw, 0);
  }
  if (lockBottom_) {
    if (lockTop_) rect_.setHeight(rect_.height() + dh); else rect_.translate(0, dh);
  }
  ApplyGeometry();
}

void RectControl::ApplyGeometry() {
  if (!widget_) return;
  widget_->setGeometry(rect_.left(), rect_.top(), std::max(0, rect_.width()), std::max(0, rect_.height()));
}

void RectControl::ChangeFont(const std::function<void(QFont&)>& change) {
  if (!widget_) return;
  QFont font = widget_->font();
  change(font);
  widget_->setFont(font);
}

}  // namespace fw
