#include "reports/page_painter.h"

#include <QGlyphRun>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <limits>

namespace qm::reports {

QFont fontFor(const TextStyle& style) {
  QFont font(style.family);
  font.setBold(style.bold);
  font.setUnderline(style.underline);
  // Unhinted, a text is as wide on screen at any zoom as on paper: the preview shows the page as
  // it prints, texts in a narrow place included.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

Tenths textWidth(const TextStyle& style, const QString& text) {
  // Measured on a large font, so that hinting plays no part.
  constexpr int kMeasurePixels = 1000;
  QFont font = fontFor(style);
  font.setPixelSize(kMeasurePixels);
  const double em = QFontMetricsF(font).horizontalAdvance(text) / kMeasurePixels;
  return static_cast<Tenths>(std::ceil(em * style.points * 254.0 / 72.0));
}

PagePainter::PagePainter(QPainter& painter, double pixelsPerMm)
    : painter_(painter),
      pixelsPerTenth_(pixelsPerMm / 10),
      pointScale_(pixelsPerMm * 25.4 / painter.device()->logicalDpiY()) {}

PagePainter::~PagePainter() = default;

PagePainter::Face& PagePainter::face(const TextStyle& style) {
  for (const std::unique_ptr<Face>& known : faces_) {
    if (known->style == &style) {
      return *known;
    }
  }
  QFont font = fontFor(style);
  font.setPointSizeF(style.points * pointScale_);
  // The font as the device resolves it, so that the glyphs have the size the text would.
  const QFont onDevice(font, painter_.device());
  faces_.push_back(std::unique_ptr<Face>(
      new Face{&style, onDevice, QFontMetricsF(onDevice, painter_.device()), QRawFont::fromFont(onDevice), {}, {}, {}}));
  return *faces_.back();
}

bool PagePainter::lookUp(Face& face, const QString& text, std::vector<Glyph>& out) {
  out.clear();
  for (const QChar c : text) {
    if (c.isSurrogate()) {
      return false;
    }
    auto found = face.glyphs.find(c.unicode());
    if (found == face.glyphs.end()) {
      Glyph glyph;
      int count = 1;
      if (face.raw.isValid() && face.raw.glyphIndexesForChars(&c, 1, &glyph.index, &count) && count == 1 &&
          glyph.index != 0) {
        QPointF advance;
        face.raw.advancesForGlyphIndexes(&glyph.index, &advance, 1, QRawFont::UseDesignMetrics);
        glyph.advance = advance.x();
      } else {
        glyph.index = 0;
      }
      found = face.glyphs.emplace(c.unicode(), glyph).first;
    }
    if (found->second.index == 0) {
      return false;
    }
    out.push_back(found->second);
  }
  return true;
}

void PagePainter::paint(const PageContent& content, const QImage& picture) {
  painter_.save();
  for (const PlacedRect& box : content.pictures) {
    if (!picture.isNull()) {
      const QRectF target(box.left * pixelsPerTenth_, box.top * pixelsPerTenth_, box.width * pixelsPerTenth_,
                          box.height * pixelsPerTenth_);
      painter_.setRenderHint(QPainter::SmoothPixmapTransform);
      painter_.drawImage(target, picture);
    }
  }
  for (const PlacedLine& line : content.lines) {
    QPen pen(line.colour, line.widthMm * pixelsPerTenth_ * 10, line.style, Qt::FlatCap, Qt::RoundJoin);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    QPolygonF onDevice = line.points;
    for (QPointF& point : onDevice) {
      point *= pixelsPerTenth_;
    }
    painter_.drawPolyline(onDevice);
  }
  for (const PlacedText& text : content.texts) {
    Face& face = this->face(*text.style);
    double left = text.left * pixelsPerTenth_;
    const double baseline = std::round(text.top * pixelsPerTenth_ + face.metrics.ascent());
    const double room = text.room > 0 ? text.room * pixelsPerTenth_ : std::numeric_limits<double>::infinity();
    if (text.style->underline || !lookUp(face, text.text, textGlyphs_)) {
      if (text.boxWidth > 0) {
        left += (text.boxWidth * pixelsPerTenth_ - face.metrics.horizontalAdvance(text.text)) / 2;
      }
      painter_.save();
      if (text.room > 0) {
        painter_.setClipRect(QRectF(left, baseline - face.metrics.ascent(), room, face.metrics.height()));
      }
      painter_.setFont(face.font);
      painter_.setPen(text.style->color);
      painter_.drawText(QPointF(left, baseline), text.text);
      painter_.restore();
      continue;
    }
    // Whole glyphs only, as many as the room takes.
    double used = 0;
    std::size_t fitting = 0;
    while (fitting < textGlyphs_.size() && used + textGlyphs_[fitting].advance <= room) {
      used += textGlyphs_[fitting++].advance;
    }
    textGlyphs_.resize(fitting);
    if (text.boxWidth > 0) {
      left += (text.boxWidth * pixelsPerTenth_ - used) / 2;
    }
    for (const Glyph& glyph : textGlyphs_) {
      face.runIndexes.push_back(glyph.index);
      face.runPositions.emplace_back(std::round(left), baseline);
      left += glyph.advance;
    }
  }
  drawRuns();
  painter_.restore();
}

void PagePainter::drawRuns() {
  for (const std::unique_ptr<Face>& face : faces_) {
    if (face->runIndexes.empty()) {
      continue;
    }
    QGlyphRun run;
    run.setRawFont(face->raw);
    run.setRawData(face->runIndexes.data(), face->runPositions.data(), static_cast<int>(face->runIndexes.size()));
    painter_.setPen(face->style->color);
    painter_.drawGlyphRun(QPointF(0, 0), run);
    face->runIndexes.clear();
    face->runPositions.clear();
  }
}

QImage renderPage(const PageSource& source, std::size_t page, double dotsPerInch) {
  const QSizeF paper = source.pageSize(page);
  const double pixelsPerMm = dotsPerInch / 25.4;
  QImage image(static_cast<int>(std::lround(paper.width() * pixelsPerMm)),
               static_cast<int>(std::lround(paper.height() * pixelsPerMm)), QImage::Format_RGB32);
  const int dotsPerMeter = static_cast<int>(std::lround(pixelsPerMm * 1000));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  source.paintPage(painter, page, pixelsPerMm);
  return image;
}

}  // namespace qm::reports
