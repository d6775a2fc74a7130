#include "framework/canvas.h"

#include <QPainter>
#include <QWidget>

#include "framework/main_thread.h"

namespace fw {

namespace {

/// Paints the backdrop of its Canvas.
class CanvasWidget : public QWidget {
 public:
  void SetBackdrop(PicturePtr picture) {
    backdrop_ = std::move(picture);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!backdrop_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap& pixmap = backdrop_->Pixmap();
    painter.drawPixmap(QRect(QPoint(0, 0), pixmap.deviceIndependentSize().toSize()), pixmap);
  }

 private:
  PicturePtr backdrop_;  // the picture to draw, or none
};

}  // namespace

Canvas::Canvas(Window& window) : RectControl(window, new CanvasWidget) {
  Widget()->setFocusPolicy(Qt::NoFocus);
  for (const char* stored : {"DoubleBuffer", "AllowFocusRing", "AllowFocus", "AllowTabs"}) DefineProperty(stored);
}

void Canvas::SetBackdrop(PicturePtr picture) {
  RequireMainThread();
  backdrop_ = std::move(picture);
  if (auto* widget = static_cast<CanvasWidget*>(Widget())) widget->SetBackdrop(backdrop_);
}

}  // namespace fw
