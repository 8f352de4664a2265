#include "display/lcd_element.h"

#include <QPainter>

namespace qm::display {

LcdElement::LcdElement(const QString& text, const LcdFont& font, QWidget* parent)
    : QWidget(parent), text_(text), font_(font) {}

void LcdElement::setText(const QString& text) {
  // The panel sets every digit on each frame; most of them do not change.
  if (text == text_) {
    return;
  }
  text_ = text;
  update();
}

QSize LcdElement::sizeHint() const { return textSize(text_, font_); }

void LcdElement::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawText(painter, rect(), text_, font_);
}

LcdPicture::LcdPicture(Picture picture, QWidget* parent) : QWidget(parent), picture_(picture) {}

void LcdPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawPicture(painter, rect(), picture_);
}

}  // namespace qm::display
