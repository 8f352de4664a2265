#include "reports/insulation_curve.h"

#include "analysis/curve_axes.h"
#include "core/decades.h"
#include "reports/page_painter.h"

#include <array>
#include <cmath>

namespace qm::reports {
namespace {

// A run of more readings is thinned out: the box is some 165 mm wide.
constexpr std::size_t kMostPointsDrawn = 2000;

const TextStyle kAxisLabel{QStringLiteral("Arial"), 7, false, false, Qt::black};
const TextStyle kMarkLabel{QStringLiteral("Arial"), 7, false, false, QColor(96, 96, 96)};
const TextStyle kNoCurve{QStringLiteral("Arial"), 9, false, false, QColor(96, 96, 96)};
const QColor kGrid(200, 200, 200);
const QColor kMinorGrid(230, 230, 230);
const QColor kMark(96, 96, 96);
const QColor kCurve(0, 90, 170);

constexpr Tenths kLabelWidth = mm(16);
constexpr Tenths kLabelGap = mm(1.5);
constexpr Tenths kLabelHalfHeight = mm(1.3);

PlacedLine line(QPointF from, QPointF to, double widthMm, QColor colour, Qt::PenStyle style = Qt::SolidLine) {
  return {QPolygonF{from, to}, widthMm, colour, style};
}

}  // namespace

QString decadeLabel(double ohms) {
  static constexpr std::array<const char*, 5> kPrefixes = {"", "k", "M", "G", "T"};
  std::size_t prefix = 0;
  double scaled = ohms;
  while (prefix + 1 < kPrefixes.size() && scaled >= 999.5) {
    scaled /= 1000.0;
    ++prefix;
  }
  return QString::number(scaled, 'g', 3) + QLatin1Char(' ') + QLatin1String(kPrefixes[prefix]) + QStringLiteral("Ω");
}

void placeResistanceCurve(PageContent& content, const analysis::TestRun& run, const PlacedRect& box) {
  const double left = box.left;
  const double right = box.left + box.width;
  const double top = box.top;
  const double bottom = box.top + box.height;

  QPolygonF readings;
  double smallest = 0;
  double largest = 0;
  const std::size_t step = run.points.size() / kMostPointsDrawn + 1;
  for (std::size_t i = 0; i < run.points.size(); i += step) {
    // A logarithmic axis holds no 0 Ω.
    if (const analysis::RunPoint& point = run.points[i]; point.ohms > 0) {
      readings.append({static_cast<double>(point.elapsed) / 1000.0, point.ohms});
      smallest = smallest == 0 ? point.ohms : std::min(smallest, point.ohms);
      largest = std::max(largest, point.ohms);
    }
  }
  const double endSeconds = analysis::curveEndSeconds(run.elapsed);
  const Decades decades = readings.isEmpty() ? Decades{} : decadesAround(smallest, largest);
  const double decadeSpan = std::log10(decades.high / decades.low);
  const auto xOf = [&](double seconds) { return left + seconds / endSeconds * (right - left); };
  const auto yOf = [&](double ohms) { return bottom - std::log10(ohms / decades.low) / decadeSpan * (bottom - top); };

  for (double power = decades.low; power <= decades.high * 1.0001; power *= 10) {
    const double y = yOf(power);
    content.lines.push_back(line({left, y}, {right, y}, 0.1, kGrid));
    for (int multiple = 2; multiple <= 9 && power < decades.high * 0.9999; ++multiple) {
      const double minorY = yOf(power * multiple);
      content.lines.push_back(line({left, minorY}, {right, minorY}, 0.05, kMinorGrid));
    }
    // Flush right against the axis.
    const QString label = decadeLabel(power);
    content.texts.push_back({label, box.left - kLabelGap - textWidth(kAxisLabel, label),
                             static_cast<Tenths>(std::lround(y)) - kLabelHalfHeight, 0, &kAxisLabel});
  }
  const double tick = analysis::curveTickSeconds(endSeconds);
  for (double seconds = 0; seconds <= endSeconds + 1e-9; seconds += tick) {
    const double x = xOf(seconds);
    content.lines.push_back(line({x, top}, {x, bottom}, 0.1, kGrid));
    content.texts.push_back({QString::number(seconds, 'g', 6), static_cast<Tenths>(std::lround(x)) - kLabelWidth / 2,
                             box.top + box.height + kLabelGap, kLabelWidth, &kAxisLabel});
  }
  content.texts.push_back({QStringLiteral("Time (s)"), box.left, box.top + box.height + 4 * kLabelGap + kLabelHalfHeight,
                           box.width, &kAxisLabel});
  for (const analysis::Milliseconds mark : analysis::kCurveMarks) {
    const double seconds = static_cast<double>(mark) / 1000.0;
    if (seconds > endSeconds) {
      continue;
    }
    const double x = xOf(seconds);
    content.lines.push_back(line({x, top}, {x, bottom}, 0.2, kMark, Qt::DashLine));
    content.texts.push_back({QString::number(seconds) + QStringLiteral(" s"), static_cast<Tenths>(std::lround(x)) + kLabelGap / 2,
                             box.top + kLabelGap / 2, 0, &kMarkLabel});
  }
  content.lines.push_back({QPolygonF{{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}}, 0.25, Qt::black,
                           Qt::SolidLine});

  if (readings.isEmpty()) {
    content.texts.push_back({QStringLiteral("No reading above 0 Ω to draw"), box.left, box.top + box.height / 2, box.width,
                             &kNoCurve});
    return;
  }
  for (QPointF& point : readings) {
    point = {xOf(point.x()), yOf(point.y())};
  }
  content.lines.push_back({readings, 0.35, kCurve, Qt::SolidLine});
}

}  // namespace qm::reports
