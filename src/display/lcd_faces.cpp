#include "display/lcd_faces.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>

namespace qm::display {
namespace {

// Every measure below is a fraction of the character height (em) unless it says otherwise.

// Bold glyphs draw with heavier strokes; a bar or a dot is as heavy either way.
constexpr double kBoldWeight = 1.3;

// Seven-segment face. The digits are about twice as tall as they are wide and lean slightly to
// the right, as on the meter's glass. The line is a little taller than the character height, and
// the glyphs sit low in it so that the big digits stay inside their sub-panels.
constexpr double kSegmentLineHeight = 1.125;
constexpr double kSegmentBaseline = 0.96;
constexpr double kSegmentHeight = 0.85;
constexpr double kSegmentSlant = 0.05;  // how far a glyph's top leans right of its foot
constexpr double kSegmentBearing = 0.02;
constexpr double kSegmentStroke = 0.085;
// The dark gap between neighbouring segments, as a fraction of the stroke.
constexpr double kSegmentGap = 0.2;
// Decimal point and colon dots. The point hangs a little below the baseline so that, drawn in a
// smaller face than the digits around it, it still lines up with their feet.
constexpr double kDotSize = 0.105;
constexpr double kPointDrop = 0.1;

// Volt face: an upright V with flat-bottomed arms.
constexpr double kVoltLineHeight = 1.2;
constexpr double kVoltAdvance = 0.64;
constexpr double kVoltBaseline = 1.0;
constexpr double kVoltHeight = 0.8;
constexpr double kVoltWidth = 0.56;
constexpr double kVoltStroke = 0.11;

// Bar face. Its glyphs hang from the top of the box. The first and last segments come in a larger
// size than the ones between them, and are measured so that on the panel all 31 cover the same
// rows: a segment starts a couple of pixels under the scale's base line.
constexpr double kBarLineHeight = 1.125;

double weight(const LcdFont& font) { return font.bold ? kBoldWeight : 1.0; }

double advance(Face face, char c) {
  switch (face) {
  case Face::Segment:
    switch (c) {
    case '-': return 0.29;
    case '.': return 0.19;
    case ':': return 0.27;
    case ' ': return 0.3;
    case 'M': return 0.88;
    case 'G': return 0.86;
    case 'T': return 0.67;
    case '*': return 0.71;
    default: return 0.375;  // digits share one width, so a changing reading does not jitter
    }
  case Face::Volt: return kVoltAdvance;
  case Face::Bar:
    switch (c) {
    case '|': return 0.5;
    case '{': return 0.61;
    case '~': return 1.05;
    default: return 0.63;
    }
  case Face::Arial: break;
  }
  return 0.0;
}

double lineHeight(Face face) {
  switch (face) {
  case Face::Segment: return kSegmentLineHeight;
  case Face::Volt: return kVoltLineHeight;
  case Face::Bar: return kBarLineHeight;
  case Face::Arial: break;
  }
  return 0.0;
}

QFont arial(const LcdFont& font) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(font.pixelSize);
  f.setBold(font.bold);
  return f;
}

void addPolygon(QPainterPath& path, std::initializer_list<QPointF> points) {
  path.addPolygon(QPolygonF(points));
  path.closeSubpath();
}

// --- Seven-segment glyphs, drawn upright in a cell of the given size; the slant comes later.

enum Segment : std::uint8_t { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

std::uint8_t segmentsOf(char c) {
  switch (c) {
  case '0': return A | B | C | D | E | F;
  case '1': return B | C;
  case '2': return A | B | D | E | G;
  case '3': return A | B | C | D | G;
  case '4': return B | C | F | G;
  case '5': return A | C | D | F | G;
  case '6': return A | C | D | E | F | G;
  case '7': return A | B | C;
  case '8': return A | B | C | D | E | F | G;
  case '9': return A | B | C | D | F | G;
  case '@': return D | E | F;  // the letter L
  default: return 0;
  }
}

struct Cell {
  double width;
  double height;
  double stroke;

  double gap() const { return stroke * kSegmentGap; }
  double left() const { return stroke / 2; }
  double right() const { return width - stroke / 2; }
  double top() const { return stroke / 2; }
  double middle() const { return height / 2; }
  double bottom() const { return height - stroke / 2; }
  double centre() const { return width / 2; }
};

// A segment with pointed ends between the corner points (u0, v) and (u1, v).
void addHorizontal(QPainterPath& path, double u0, double u1, double v, double t) {
  const double h = t / 2;
  addPolygon(path, {{u0, v}, {u0 + h, v - h}, {u1 - h, v - h}, {u1, v}, {u1 - h, v + h}, {u0 + h, v + h}});
}

void addVertical(QPainterPath& path, double u, double v0, double v1, double t) {
  const double h = t / 2;
  addPolygon(path, {{u, v0}, {u + h, v0 + h}, {u + h, v1 - h}, {u, v1}, {u - h, v1 - h}, {u - h, v0 + h}});
}

void addSegments(QPainterPath& path, std::uint8_t segments, const Cell& cell) {
  const double g = cell.gap();
  const double t = cell.stroke;
  const auto horizontal = [&](double v) { addHorizontal(path, cell.left() + g, cell.right() - g, v, t); };
  const auto upper = [&](double u) { addVertical(path, u, cell.top() + g, cell.middle() - g, t); };
  const auto lower = [&](double u) { addVertical(path, u, cell.middle() + g, cell.bottom() - g, t); };
  if (segments & A) horizontal(cell.top());
  if (segments & B) upper(cell.right());
  if (segments & C) lower(cell.right());
  if (segments & D) horizontal(cell.bottom());
  if (segments & E) lower(cell.left());
  if (segments & F) upper(cell.left());
  if (segments & G) horizontal(cell.middle());
}

void addDot(QPainterPath& path, double u, double bottom, double size) {
  path.addRect(QRectF(u, bottom - size, size, size));
}

// An unbroken line of thickness t through the points, with sharp corners.
void addLine(QPainterPath& path, const QPainterPath& line, double t) {
  QPainterPathStroker stroker;
  stroker.setWidth(t);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setJoinStyle(Qt::MiterJoin);
  path.addPath(stroker.createStroke(line));
}

void addLine(QPainterPath& path, std::initializer_list<QPointF> points, double t) {
  addLine(path, [&] {
    QPainterPath line;
    line.addPolygon(QPolygonF(points));
    return line;
  }(), t);
}

// The ohm sign as the meter's unit annunciators draw it: an open ring standing on two feet.
void addOhm(QPainterPath& path, const Cell& cell) {
  const double foot = cell.bottom();
  const QRectF ring(cell.left() + cell.width * 0.06, cell.top(), cell.width * 0.88 - cell.stroke, cell.height * 0.8);
  constexpr double kOpening = 55.0;  // degrees either side of the ring's lowest point left open
  const auto pointAt = [&ring](double degrees) {
    const double r = degrees * std::numbers::pi / 180.0;
    return QPointF(ring.center().x() + ring.width() / 2 * std::cos(r), ring.center().y() - ring.height() / 2 * std::sin(r));
  };
  const double startAngle = 270.0 - kOpening;
  const QPointF start = pointAt(startAngle);
  const QPointF end = pointAt(270.0 + kOpening);
  QPainterPath line;
  line.moveTo(0, foot);
  line.lineTo(start.x(), foot);
  line.lineTo(start);
  line.arcTo(ring, startAngle, -(360.0 - 2 * kOpening));
  line.lineTo(end.x(), foot);
  line.lineTo(cell.width, foot);
  addLine(path, line, cell.stroke);
}

// The unit letters are printed annunciators rather than segment patterns, so they are drawn in
// one piece, with the stroke of the digits.
void addLetter(QPainterPath& path, char c, const Cell& cell) {
  const double t = cell.stroke;
  const double l = cell.left();
  const double r = cell.right();
  const double top = cell.top();
  const double bottom = cell.bottom();
  switch (c) {
  case 'M':
    addLine(path, {{l, cell.height}, {l, top}, {cell.centre(), cell.height * 0.6}, {r, top}, {r, cell.height}}, t);
    break;
  case 'G':
    addLine(path, {{r, cell.height * 0.25}, {r, top}, {l, top}, {l, bottom}, {r, bottom}, {r, cell.middle()},
                   {cell.centre(), cell.middle()}},
            t);
    break;
  case 'T':
    addLine(path, {{0, top}, {cell.width, top}}, t);
    addLine(path, {{cell.centre(), top}, {cell.centre(), cell.height}}, t);
    break;
  case '*':
    addOhm(path, cell);
    break;
  default: break;
  }
}

// One seven-segment glyph in cell coordinates: (0, 0) is the top-left of the character height.
QPainterPath segmentGlyph(char c, const Cell& cell, double em) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  const double dot = kDotSize * em;
  switch (c) {
  case '-':
    addHorizontal(path, 0, cell.width, cell.middle(), cell.stroke);
    break;
  case '.':
    addDot(path, 0, cell.height + kPointDrop * em, dot);
    break;
  case ':': {
    const double u = (cell.width - dot) / 2;
    addDot(path, u, cell.height * 0.3 + dot / 2, dot);
    addDot(path, u, cell.height * 0.75 + dot / 2, dot);
    break;
  }
  default:
    addSegments(path, segmentsOf(c), cell);
    addLetter(path, c, cell);
    break;
  }
  return path;
}

QPainterPath segmentText(const QString& text, const LcdFont& font) {
  const double em = font.pixelSize;
  const double height = kSegmentHeight * em;
  const double slant = kSegmentSlant * em;
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  double pen = 0;
  for (const QChar ch : text) {
    const char c = ch.toLatin1();
    const double step = advance(Face::Segment, c) * em;
    const Cell cell{step - 2 * kSegmentBearing * em - slant, height, kSegmentStroke * em * weight(font)};
    QTransform lean;
    lean.translate(pen + kSegmentBearing * em + slant, kSegmentBaseline * em - height);
    lean.shear(-slant / height, 0);
    path.addPath(lean.map(segmentGlyph(c, cell, em)));
    pen += step;
  }
  return path;
}

// --- Volt face.

QPainterPath voltText(const QString& text, const LcdFont& font) {
  const double em = font.pixelSize;
  const double w = kVoltWidth * em;
  const double h = kVoltHeight * em;
  const double s = kVoltStroke * em * weight(font);
  const double top = (kVoltBaseline - kVoltHeight) * em;
  const double left = (kVoltAdvance - kVoltWidth) / 2 * em;
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  double pen = 0;
  for (const QChar ch : text) {
    if (ch == QLatin1Char('V')) {
      const double x = pen + left;
      const QPointF footLeft(x + (w - s) / 2, top + h);
      const QPointF footRight(x + (w + s) / 2, top + h);
      addPolygon(path, {{x, top}, {x + s, top}, footRight, footLeft});
      addPolygon(path, {{x + w - s, top}, {x + w, top}, footRight, footLeft});
    }
    pen += kVoltAdvance * em;
  }
  return path;
}

// --- Bar face.

// A bar on whole pixels, so that neighbouring segments look equally crisp.
void addBar(QPainterPath& path, double x, double top, double width, double height, double em) {
  const QPointF topLeft(std::round(x * em), std::round(top * em));
  const QPointF bottomRight(std::round((x + width) * em), std::round((top + height) * em));
  path.addRect(QRectF(topLeft, bottomRight));
}

// The scale's end mark: an infinity sign.
void addInfinity(QPainterPath& path, QPointF centre, double width, double height, double stroke) {
  constexpr int kSteps = 48;
  QPainterPath line;
  for (int i = 0; i <= kSteps; ++i) {
    const double a = 2 * std::numbers::pi * i / kSteps;
    const double s = std::sin(a);
    const double x = std::cos(a) / (1 + s * s);
    const double y = s * std::cos(a) / (1 + s * s);
    // The lemniscate is 2 wide and about 0.71 tall; stretch it to the box asked for.
    const QPointF p(centre.x() + x * width / 2, centre.y() + y * height / 0.707);
    if (i == 0) {
      line.moveTo(p);
    } else {
      line.lineTo(p);
    }
  }
  QPainterPathStroker stroker;
  stroker.setWidth(stroke);
  stroker.setJoinStyle(Qt::RoundJoin);
  path.addPath(stroker.createStroke(line));
}

QPainterPath barText(const QString& text, const LcdFont& font) {
  const double em = font.pixelSize;
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  double pen = 0;
  for (const QChar ch : text) {
    const char c = ch.toLatin1();
    const double x = pen / em;
    switch (c) {
    case '!':
      addBar(path, x + 0.04, 0.26, 0.22, 0.89, em);
      break;
    case '|':
      addBar(path, x + 0.33, 0.30, 0.094, 0.375, em);
      break;
    case '{':
      addBar(path, x + 0.016, 0.30, 0.094, 0.375, em);
      addPolygon(path, {QPointF(x + 0.16, 0.27) * em, QPointF(x + 0.16, 0.705) * em, QPointF(x + 0.56, 0.4875) * em});
      break;
    case '~':
      addInfinity(path, QPointF(x + 0.53, 0.64) * em, 0.8 * em, 0.34 * em, 0.075 * em * weight(font));
      break;
    default: break;
    }
    pen += advance(Face::Bar, c) * em;
  }
  return path;
}

}  // namespace

QSize textSize(const QString& text, const LcdFont& font) {
  if (font.face == Face::Arial) {
    const QFontMetrics metrics(arial(font));
    return {metrics.horizontalAdvance(text), metrics.height()};
  }
  double width = 0;
  for (const QChar ch : text) {
    width += advance(font.face, ch.toLatin1());
  }
  return {static_cast<int>(std::ceil(width * font.pixelSize)),
          static_cast<int>(std::ceil(lineHeight(font.face) * font.pixelSize))};
}

void drawText(QPainter& painter, const QRect& box, const QString& text, const LcdFont& font) {
  if (font.face == Face::Arial) {
    painter.setFont(arial(font));
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    return;
  }
  QPainterPath path;
  switch (font.face) {
  case Face::Segment: path = segmentText(text, font); break;
  case Face::Volt: path = voltText(text, font); break;
  case Face::Bar: path = barText(text, font); break;
  case Face::Arial: break;
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(box.topLeft());
  painter.fillPath(path, Qt::black);
  painter.restore();
}

}  // namespace qm::display
