#include "framework/label.h"

#include <QLabel>

#include "framework/main_thread.h"

namespace fw {

Label::Label(Window& window) : RectControl(window, new QLabel), label_(static_cast<QLabel*>(Widget())) {
  label_->setTextFormat(Qt::PlainText);
  ApplyAlignment();
  DefineProperty("Text", [this](const Value& v) { SetText(AsText(v, "Text")); });
  DefineProperty("TextAlignment", [this](const Value& v) {
    alignment_ = static_cast<int>(AsInt(v, "TextAlignment"));
    ApplyAlignment();
  });
  DefineProperty("Multiline", [this](const Value& v) {
    label_->setWordWrap(AsBool(v, "Multiline"));
    ApplyAlignment();
  });
  DefineProperty("Selectable", [this](const Value& v) {
    label_->setTextInteractionFlags(AsBool(v, "Selectable") ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
  });
  DefineProperty("TextColor", [this](const Value& v) {
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(AsColor(v, "TextColor").rgb));
    label_->setPalette(palette);
  });
  DefineProperty("DataField");
  DefineProperty("DataSource");
}

std::string Label::Text() const {
  RequireMainThread();
  return label_->text().toStdString();
}

void Label::SetText(const std::string& text) {
  RequireMainThread();
  label_->setText(QString::fromStdString(text));
}

void Label::ApplyAlignment() {
  Qt::Alignment horizontal = alignment_ == 2 ? Qt::AlignHCenter : alignment_ == 3 ? Qt::AlignRight : Qt::AlignLeft;
  // A single line sits in the middle of its rectangle; a paragraph starts at the top.
  label_->setAlignment(horizontal | (label_->wordWrap() ? Qt::AlignTop : Qt::AlignVCenter));
}

}  // namespace fw
