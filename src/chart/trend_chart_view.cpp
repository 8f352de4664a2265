#include "chart/trend_chart_view.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>

namespace qm::chart {
namespace {

const QColor kSilver(192, 192, 192);

// The value axis keeps this fixed range whatever the points are.
constexpr double kValueAxisLimit = 11000.0;

// Stand-in for the facility's sample fill: the series carry no readings, so one point a little
// above the middle of the scale lets each series show its colours.
const QPointF kSamplePoint(0.0, 5500.0);

// The enlarge and restore icons: a frame with four arrows pointing out of it, or into it.
QPixmap placementGlyph(bool enlarge) {
  QPixmap pixmap(25, 25);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0, 64, 160), 1.5));
  painter.drawRect(QRectF(7.5, 7.5, 10, 10));
  const QPointF centre(12.5, 12.5);
  for (const QPointF direction : {QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)}) {
    const QPointF corner = centre + direction * 10.5;
    const QPointF inner = centre + direction * 6.0;
    const QPointF tip = enlarge ? corner : inner;
    painter.drawLine(enlarge ? inner : corner, tip);
    // The arrowhead's two strokes run back from the tip along the edges.
    const double back = enlarge ? -4.0 : 4.0;
    painter.drawLine(tip, tip + QPointF(direction.x() * back, 0));
    painter.drawLine(tip, tip + QPointF(0, direction.y() * back));
  }
  return pixmap;
}

}  // namespace

TrendChartView::TrendChartView(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Chtshow"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, kSilver);
  setPalette(silver);

  chart_ = new QChart;
  chart_->setTitle(QStringLiteral("  "));
  chart_->legend()->hide();
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->setBackgroundRoundness(0);
  QLinearGradient background(0, 0, 0, 1);
  background.setCoordinateMode(QGradient::ObjectBoundingMode);
  background.setColorAt(0, kSilver);
  background.setColorAt(1, Qt::white);
  chart_->setBackgroundBrush(background);
  chart_->setBackgroundPen(QPen(kSilver));
  chart_->setPlotAreaBackgroundVisible(true);
  chart_->setPlotAreaBackgroundBrush(Qt::white);
  chart_->setPlotAreaBackgroundPen(QPen(kSilver));
  // The toolbar sits in the band above the plot that the (blank) title leaves free.
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  chart_->setMargins(QMargins(2, 22, 6, 2));

  auto* areaPoints = new QLineSeries;
  areaPoints_ = areaPoints;
  auto* area = new QAreaSeries(areaPoints);
  area->setName(QStringLiteral("Series2"));
  area->setBrush(QColor(255, 255, 128));
  area->setPen(QPen(QColor(0, 128, 255)));
  area->setPointsVisible(false);
  auto* line = new QLineSeries;
  line->setName(QStringLiteral("Series1"));
  line->setPen(QPen(QColor(128, 255, 0)));
  line->setPointsVisible(false);
  linePoints_ = line;
  chart_->addSeries(area);
  chart_->addSeries(line);

  QFont axisFont = font();
  axisFont.setPixelSize(9);
  auto* valueAxis = new QValueAxis;
  valueAxis->setRange(-kValueAxisLimit, kValueAxisLimit);
  valueAxis->setMinorTickCount(4);
  valueAxis->setLabelFormat(QStringLiteral("%.0f"));
  valueAxis->setLabelsFont(axisFont);
  valueAxis->setMinorGridLinePen(QPen(QColor(236, 236, 236)));
  bottomAxis_ = new QValueAxis;
  bottomAxis_->setLabelFormat(QStringLiteral("%g"));
  bottomAxis_->setLabelsFont(axisFont);
  chart_->addAxis(valueAxis, Qt::AlignLeft);
  chart_->addAxis(bottomAxis_, Qt::AlignBottom);
  for (QAbstractSeries* series : chart_->series()) {
    series->attachAxis(bottomAxis_);
    series->attachAxis(valueAxis);
  }

  auto* view = new QChartView(chart_, this);
  view->setObjectName(QStringLiteral("ChartView"));
  view->setRenderHint(QPainter::Antialiasing);
  view->setRubberBand(QChartView::RectangleRubberBand);
  view->setFrameStyle(QFrame::NoFrame);
  view->setCursor(Qt::CrossCursor);
  // The toolbar controls stay out of the layout: they float over the chart's top-left corner.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view);

  buildToolbar();
}

void TrendChartView::buildToolbar() {
  // The bevel is drawn under the check box it frames.
  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(2, 2, 40, 20);

  BtFill = new QCheckBox(QStringLiteral("Fill"), this);
  BtFill->setObjectName(QStringLiteral("BtFill"));
  BtFill->setGeometry(1, 5, 36, 17);
  BtFill->setToolTip(QStringLiteral("Graphic Fill"));
  BtFill->setChecked(true);

  auto* maxRecord = new QLineEdit(QStringLiteral("100"), this);
  maxRecord->setObjectName(QStringLiteral("Maxrecord"));
  maxRecord->setGeometry(48, 3, 41, 21);
  QPalette silverBase = maxRecord->palette();
  silverBase.setColor(QPalette::Base, kSilver);
  maxRecord->setPalette(silverBase);

  struct IconButton {
    const char* name;
    QRect geometry;
    const char* hint;
    QStyle::StandardPixmap icon;
  };
  const std::array<IconButton, 6> iconButtons = {{
      {"BtSave", {93, 3, 35, 21}, "Save  Active Graphic", QStyle::SP_DialogSaveButton},
      {"BtNew", {127, 3, 35, 21}, "Delete Graphic", QStyle::SP_DialogDiscardButton},
      {"BtFirst", {163, 3, 25, 21}, "First", QStyle::SP_MediaSkipBackward},
      {"BTPrevious", {187, 3, 25, 21}, "Previous", QStyle::SP_MediaSeekBackward},
      {"BtNext", {235, 3, 25, 21}, "Next", QStyle::SP_MediaSeekForward},
      {"BTlast", {263, 3, 25, 21}, "last", QStyle::SP_MediaSkipForward},
  }};
  for (const IconButton& entry : iconButtons) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(entry.name));
    button->setGeometry(entry.geometry);
    button->setToolTip(QLatin1String(entry.hint));
    button->setIcon(style()->standardIcon(entry.icon));
    button->setIconSize(QSize(14, 14));
  }

  // Not a command: the page number, shown as a button between the navigation buttons.
  auto* pageNumber = new QToolButton(this);
  pageNumber->setObjectName(QStringLiteral("Bt10"));
  pageNumber->setGeometry(211, 3, 25, 21);
  pageNumber->setText(QStringLiteral("1"));
  pageNumber->setToolTip(QStringLiteral("Page No."));
  QPalette blueText = pageNumber->palette();
  blueText.setColor(QPalette::ButtonText, Qt::blue);
  pageNumber->setPalette(blueText);

  struct PlacementIcon {
    const char* name;
    int top;
    const char* hint;
    bool enlarge;
  };
  for (const PlacementIcon& entry : {PlacementIcon{"TbFd", 3, "Graphic Enlarge", true},
                                    PlacementIcon{"TbSx", 4, "Graphic Restore", false}}) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QLatin1String(entry.name));
    icon->setGeometry(288, entry.top, 25, 25);
    icon->setToolTip(QLatin1String(entry.hint));
    icon->setPixmap(placementGlyph(entry.enlarge));
    icon->setVisible(entry.enlarge);
  }

  // Every toolbar control shows an arrow, unlike the cross-hair over the plot.
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->objectName() != QLatin1String("ChartView")) {
      child->setCursor(Qt::ArrowCursor);
    }
  }
}

QXYSeries* TrendChartView::pointsOf(int index) const {
  return index == kAreaSeries ? areaPoints_ : linePoints_;
}

void TrendChartView::fillWithSamples() {
  for (const int index : {kAreaSeries, kLineSeries}) {
    pointsOf(index)->replace(QList<QPointF>{kSamplePoint});
  }
  fitBottomAxis();
}

void TrendChartView::ShowSeries(int index) {
  const QList<QAbstractSeries*> series = chart_->series();
  for (QAbstractSeries* each : series) {
    each->setVisible(false);
  }
  series.at(index)->setVisible(true);
  fitBottomAxis();
}

void TrendChartView::fitBottomAxis() {
  // The X axis scales itself to the points of the active series; a lone point gets room either side.
  QList<QPointF> shown;
  for (const int index : {kAreaSeries, kLineSeries}) {
    if (chart_->series().at(index)->isVisible()) {
      shown += pointsOf(index)->points();
    }
  }
  const auto byX = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
  const auto [first, last] = std::minmax_element(shown.cbegin(), shown.cend(), byX);
  double low = first == shown.cend() ? 0.0 : first->x();
  double high = last == shown.cend() ? 0.0 : last->x();
  if (high - low < 1.0) {
    low -= 1.0;
    high += 1.0;
  }
  bottomAxis_->setRange(low, high);
  bottomAxis_->applyNiceNumbers();
}

bool TrendChartView::isFillChecked() const { return BtFill->isChecked(); }

void TrendChartView::setPageSize(int pointsPerPage) {
  Q_ASSERT(pointsPerPage >= 0);
  maxPointsPerPage_ = pointsPerPage;
}

}  // namespace qm::chart
