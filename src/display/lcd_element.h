#pragma once

// The widgets the virtual meter panel is built from: a caption in one of the display's faces, and
// a printed picture. Both are transparent around their ink, so overlapping boxes never hide each
// other.

#include "display/lcd_faces.h"
#include "display/lcd_pictures.h"

#include <QWidget>

namespace qm::display {

class LcdElement : public QWidget {
  Q_OBJECT
  // For a seven-segment digit: the one character it shows, '@' meaning the letter L.
  Q_PROPERTY(QString text READ text WRITE setText)
public:
  LcdElement(const QString& text, const LcdFont& font, QWidget* parent);

  QString text() const { return text_; }
  void setText(const QString& text);

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QString text_;
  LcdFont font_;
};

class LcdPicture : public QWidget {
  Q_OBJECT
public:
  LcdPicture(Picture picture, QWidget* parent);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  Picture picture_;
};

}  // namespace qm::display
