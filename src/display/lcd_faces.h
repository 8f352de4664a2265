#pragma once

// The type faces of the meter's liquid-crystal display. The seven-segment, volt and bar faces are
// drawn with QPainter rather than taken from font files, so the panel looks the same on every
// machine; labels that are plain printing on the glass use Arial.
//
// Texts are laid out like a left-aligned label: from the top-left corner of the box, one line, the
// glyphs sitting on the face's baseline.

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>

class QPainter;

namespace qm::display {

enum class Face : std::uint8_t {
  // '0'..'9', '@' (the letter L), '.', ':', '-', ' ', 'M', 'G', 'T' and '*' (the ohm sign).
  Segment,
  // 'V' only.
  Volt,
  // '!' a bar-graph segment, '|' the first segment, '{' the last one with its over-range arrow,
  // '~' the end mark of the scale.
  Bar,
  Arial,
};

struct LcdFont {
  Face face = Face::Arial;
  // Character height in pixels: the pixel size of the font.
  int pixelSize = 0;
  bool bold = false;
};

// The box a label holding `text` takes when it sizes itself to the text.
QSize textSize(const QString& text, const LcdFont& font);

// Draws `text` in black from the top-left corner of `box`.
void drawText(QPainter& painter, const QRect& box, const QString& text, const LcdFont& font);

}  // namespace qm::display
