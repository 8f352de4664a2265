#pragma once

// Draws a placed page onto any QPainter: a widget on screen, a QPrinter, a QPdfWriter or a QImage.
// Places are in tenths of a millimetre on the paper; the painter's origin is the paper's top-left
// corner and `pixelsPerMm` says how many device pixels make a millimetre. Fonts are sized for the
// device so that a 10 pt text is 10 pt on paper at every zoom.
//
// A report page is some 1,500 glyphs of a handful of fonts, and a PDF of 270,271 pages has to be
// written in minutes. So the painter does not shape text: it looks each character's glyph and
// advance up once per font and page painter, places the glyphs itself at whole device pixels (at
// 1,200 dpi a fiftieth of a millimetre, which keeps the PDF's position numbers short), and draws
// all the glyphs of a font on a page as one glyph run. Underlined texts, and texts with a
// character the font lacks (which then needs the platform's fallback fonts), are drawn as text.

#include "reports/report_document.h"

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>

#include <memory>
#include <unordered_map>
#include <vector>

QT_BEGIN_NAMESPACE
class QPainter;
QT_END_NAMESPACE

namespace qm::reports {

// The style's face, weight and underline; the size is left to the caller.
QFont fontFor(const TextStyle& style);

// The printed width of `text` in `style`, rounded up.
Tenths textWidth(const TextStyle& style, const QString& text);

class PagePainter {
public:
  PagePainter(QPainter& painter, double pixelsPerMm);
  ~PagePainter();

  void paint(const PageContent& content, const QImage& picture);

private:
  struct Glyph {
    quint32 index = 0;  // 0: the font has none for the character
    double advance = 0;
  };
  // A style's font on this device, the glyphs looked up so far, and the glyphs of the page.
  struct Face {
    const TextStyle* style;
    QFont font;
    QFontMetricsF metrics;
    QRawFont raw;
    std::unordered_map<char16_t, Glyph> glyphs;
    std::vector<quint32> runIndexes;
    std::vector<QPointF> runPositions;
  };

  Face& face(const TextStyle& style);
  // The text's glyphs, or false when the font lacks one of its characters.
  bool lookUp(Face& face, const QString& text, std::vector<Glyph>& out);
  void drawRuns();

  QPainter& painter_;
  double pixelsPerTenth_;
  double pointScale_;  // device point size per point on paper
  std::vector<std::unique_ptr<Face>> faces_;
  std::vector<Glyph> textGlyphs_;
};

// Page `page` of `source` as an image on white paper at `dotsPerInch`.
QImage renderPage(const PageSource& source, std::size_t page, double dotsPerInch);

}  // namespace qm::reports
