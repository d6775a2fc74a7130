#include "framework/text_area.h"

#include <QPlainTextEdit>

#include "framework/main_thread.h"

namespace fw {

namespace {

void SetPaletteColor(QWidget* widget, QPalette::ColorRole role, Color color) {
  QPalette palette = widget->palette();
  palette.setColor(role, QColor::fromRgb(color.rgb));
  widget->setPalette(palette);
}

}  // namespace

TextArea::TextArea(Window& window)
    : RectControl(window, new QPlainTextEdit), edit_(static_cast<QPlainTextEdit*>(Widget())) {
  DefineProperty("Text", [this](const Value& v) { SetText(AsText(v, "Text")); });
  DefineProperty("ReadOnly", [this](const Value& v) { edit_->setReadOnly(AsBool(v, "ReadOnly")); });
  DefineProperty("Multiline", [this](const Value& v) {
    edit_->setLineWrapMode(AsBool(v, "Multiline") ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  });
  DefineProperty("HasBorder", [this](const Value& v) {
    edit_->setFrameShape(AsBool(v, "HasBorder") ? QFrame::StyledPanel : QFrame::NoFrame);
  });
  DefineProperty("HasVerticalScrollbar", [this](const Value& v) {
    edit_->setVerticalScrollBarPolicy(AsBool(v, "HasVerticalScrollbar") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  });
  DefineProperty("HasHorizontalScrollbar", [this](const Value& v) {
    edit_->setHorizontalScrollBarPolicy(AsBool(v, "HasHorizontalScrollbar") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  });
  DefineProperty("AllowTabs", [this](const Value& v) { edit_->setTabChangesFocus(!AsBool(v, "AllowTabs")); });
  DefineProperty("TextColor", [this](const Value& v) { SetPaletteColor(edit_, QPalette::Text, AsColor(v, "TextColor")); });
  DefineProperty("BackgroundColor", [this](const Value& v) { SetPaletteColor(edit_, QPalette::Base, AsColor(v, "BackgroundColor")); });
  for (const char* stored : {"AllowStyledText", "AllowSpellChecking", "AllowFocusRing", "HideSelection",
                             "MaximumCharactersAllowed", "Format", "ValidationMask", "DataField", "DataSource",
                             "LineHeight", "LineSpacing", "UnicodeMode", "TextAlignment"}) {
    DefineProperty(stored);
  }
}

std::string TextArea::Text() const {
  RequireMainThread();
  return edit_->toPlainText().toStdString();
}

void TextArea::SetText(const std::string& text) {
  RequireMainThread();
  edit_->setPlainText(QString::fromStdString(text));
}

bool TextArea::ReadOnly() const { return edit_->isReadOnly(); }

}  // namespace fw
