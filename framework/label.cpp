#include "framework/label.h"

#include <QLabel>

#include "framework/main_thread.h"

namespace fw {

Label::Label(Window& window) : RectControl(window, new QLabel) {
  WidgetAs<QLabel>()->setTextFormat(Qt::PlainText);
  ApplyAlignment();
  DefineProperty("Text", [this](const Value& v) { SetText(AsText(v, "Text")); });
  DefineProperty("TextAlignment", [this](const Value& v) {
    alignment_ = static_cast<int>(AsInt(v, "TextAlignment"));
    ApplyAlignment();
  });
  DefineWidgetProperty<QLabel>("Multiline", [this](QLabel& label, const Value& v) {
    label.setWordWrap(AsBool(v, "Multiline"));
    ApplyAlignment();
  });
  DefineWidgetProperty<QLabel>("Selectable", [](QLabel& label, const Value& v) {
    label.setTextInteractionFlags(AsBool(v, "Selectable") ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
  });
  DefineWidgetProperty<QLabel>("TextColor", [](QLabel& label, const Value& v) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(AsColor(v, "TextColor").rgb));
    label.setPalette(palette);
  });
  DefineProperty("DataField");
  DefineProperty("DataSource");
}

std::string Label::Text() const {
  RequireMainThread();
  const QLabel* label = WidgetAs<QLabel>();
  return label ? label->text().toStdString() : std::string();
}

void Label::SetText(const std::string& text) {
  RequireMainThread();
  if (QLabel* label = WidgetAs<QLabel>()) label->setText(QString::fromStdString(text));
}

void Label::ApplyAlignment() {
  QLabel* label = WidgetAs<QLabel>();
  if (label == nullptr) return;
  Qt::Alignment horizontal = alignment_ == 2 ? Qt::AlignHCenter : alignment_ == 3 ? Qt::AlignRight : Qt::AlignLeft;
  // A single line sits in the middle of its rectangle; a paragraph starts at the top.
  label->setAlignment(horizontal | (label->wordWrap() ? Qt::AlignTop : Qt::AlignVCenter));
}

}  // namespace fw
