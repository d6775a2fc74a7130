#include "framework/text_area.h"

#include <QPlainTextEdit>

#include "framework/main_thread.h"

namespace fw {

namespace {

void SetPaletteColor(QWidget& widget, QPalette::ColorRole role, Color color) {
  QPalette palette = widget.palette();
  palette.setColor(role, QColor::fromRgb(color.rgb));
  widget.setPalette(palette);
}

}  // namespace

TextArea::TextArea(Window& window) : RectControl(window, new QPlainTextEdit) {
  using Edit = QPlainTextEdit;
  DefineProperty("Text", [this](const Value& v) { SetText(AsText(v, "Text")); });
  DefineWidgetProperty<Edit>("ReadOnly", [](Edit& e, const Value& v) { e.setReadOnly(AsBool(v, "ReadOnly")); });
  DefineWidgetProperty<Edit>("Multiline", [](Edit& e, const Value& v) {
    e.setLineWrapMode(AsBool(v, "Multiline") ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  });
  DefineWidgetProperty<Edit>("HasBorder", [](Edit& e, const Value& v) {
    e.setFrameShape(AsBool(v, "HasBorder") ? QFrame::StyledPanel : QFrame::NoFrame);
  });
  DefineWidgetProperty<Edit>("HasVerticalScrollbar", [](Edit& e, const Value& v) {
    e.setVerticalScrollBarPolicy(AsBool(v, "HasVerticalScrollbar") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  });
  DefineWidgetProperty<Edit>("HasHorizontalScrollbar", [](Edit& e, const Value& v) {
    e.setHorizontalScrollBarPolicy(AsBool(v, "HasHorizontalScrollbar") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  });
  DefineWidgetProperty<Edit>("AllowTabs", [](Edit& e, const Value& v) { e.setTabChangesFocus(!AsBool(v, "AllowTabs")); });
  DefineWidgetProperty<Edit>("TextColor", [](Edit& e, const Value& v) { SetPaletteColor(e, QPalette::Text, AsColor(v, "TextColor")); });
  DefineWidgetProperty<Edit>("BackgroundColor", [](Edit& e, const Value& v) {
    SetPaletteColor(e, QPalette::Base, AsColor(v, "BackgroundColor"));
  });
  for (const char* stored : {"AllowStyledText", "AllowSpellChecking", "AllowFocusRing", "HideSelection",
                             "MaximumCharactersAllowed", "Format", "ValidationMask", "DataField", "DataSource",
                             "LineHeight", "LineSpacing", "UnicodeMode", "TextAlignment"}) {
    DefineProperty(stored);
  }
}

std::string TextArea::Text() const {
  RequireMainThread();
  const QPlainTextEdit* edit = WidgetAs<QPlainTextEdit>();
  return edit ? edit->toPlainText().toStdString() : std::string();
}

void TextArea::SetText(const std::string& text) {
  RequireMainThread();
  if (QPlainTextEdit* edit = WidgetAs<QPlainTextEdit>()) edit->setPlainText(QString::fromStdString(text));
}

bool TextArea::ReadOnly() const {
  const QPlainTextEdit* edit = WidgetAs<QPlainTextEdit>();
  return edit && edit->isReadOnly();
}

}  // namespace fw
