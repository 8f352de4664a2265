#include "chart/trend_chart_view.h"

#include "chart/page_size_text.h"
#include "chart/snapshot_file.h"
#include "chart/table_feed.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace qm::chart {
namespace {

// Stand-in for the facility's sample fill, shown while the chart has no readings: one point a
// little above the middle of the scale lets each series show its colours.
const QPointF kSamplePoint(0.0, 5500.0);

constexpr int kRedrawIntervalMs = 40;

}  // namespace

TrendChartView::TrendChartView(QWidget* parent)
    : QFrame(parent),
      nextRecordNo_([] { return 1; }),
      clock_([] { return QDateTime::currentDateTime(); }),
      snapshotFolder_(defaultSnapshotFolder()) {
  setObjectName(QStringLiteral("Chtshow"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, kChartSilver);
  setPalette(silver);

  prompts_.information = [this](const QString& text) {
    QMessageBox::information(window(), QCoreApplication::applicationName(), text);
  };
  prompts_.error = [this](const QString& text) {
    QMessageBox::critical(window(), QCoreApplication::applicationName(), text);
  };

  buildChart();
  buildToolbar();

  redrawTimer_.setSingleShot(true);
  redrawTimer_.setInterval(kRedrawIntervalMs);
  connect(&redrawTimer_, &QTimer::timeout, this, &TrendChartView::redraw);
  redraw();
}

TrendChartView::~TrendChartView() = default;

void TrendChartView::buildChart() {
  chart_ = new QChart;
  chart_->setTitle(QStringLiteral("  "));
  chart_->legend()->hide();
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->setBackgroundRoundness(0);
  QLinearGradient background(0, 0, 0, 1);
  background.setCoordinateMode(QGradient::ObjectBoundingMode);
  background.setColorAt(0, kChartSilver);
  background.setColorAt(1, Qt::white);
  chart_->setBackgroundBrush(background);
  chart_->setBackgroundPen(QPen(kChartSilver));
  chart_->setPlotAreaBackgroundVisible(true);
  chart_->setPlotAreaBackgroundBrush(Qt::white);
  chart_->setPlotAreaBackgroundPen(QPen(kChartSilver));
  // The toolbar sits in the band above the plot that the (blank) title leaves free.
  chart_->layout()->setContentsMargins(0, 0, 0, 0);
  chart_->setMargins(QMargins(2, 22, 6, 2));

  // An area series does not own the line that bounds it: the area is made its parent.
  auto* area = new QAreaSeries;
  auto* areaPoints = new QLineSeries(area);
  area->setUpperSeries(areaPoints);
  areaPoints_ = areaPoints;
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
  const QPen minorGrid(QColor(236, 236, 236));
  linearAxis_ = new QValueAxis;
  linearAxis_->setMinorTickCount(4);
  linearAxis_->setLabelsFont(axisFont);
  linearAxis_->setTitleFont(axisFont);
  linearAxis_->setMinorGridLinePen(minorGrid);
  logAxis_ = new QLogValueAxis(chart_);
  logAxis_->setBase(10);
  logAxis_->setMinorTickCount(8);
  logAxis_->setLabelsFont(axisFont);
  logAxis_->setTitleFont(axisFont);
  logAxis_->setMinorGridLinePen(minorGrid);
  bottomAxis_ = new QValueAxis;
  bottomAxis_->setLabelFormat(QStringLiteral("%g"));
  bottomAxis_->setLabelsFont(axisFont);
  chart_->addAxis(linearAxis_, Qt::AlignLeft);
  chart_->addAxis(bottomAxis_, Qt::AlignBottom);
  for (QAbstractSeries* series : chart_->series()) {
    series->attachAxis(bottomAxis_);
    series->attachAxis(linearAxis_);
  }

  chartView_ = new QChartView(chart_, this);
  chartView_->setObjectName(QStringLiteral("ChartView"));
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setRubberBand(QChartView::RectangleRubberBand);
  chartView_->setFrameStyle(QFrame::NoFrame);
  chartView_->setCursor(Qt::CrossCursor);
  // The toolbar controls stay out of the layout: they float over the chart's top-left corner.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(chartView_);
}

void TrendChartView::followTable(const log::ReadingTable& table, std::string decimalSeparator) {
  feed_ = std::make_unique<TableFeed>(table, std::move(decimalSeparator), points_);
  connect(feed_.get(), &TableFeed::pointsChanged, this, &TrendChartView::scheduleRedraw);
  redraw();
}

void TrendChartView::fillWithSamples() {
  points_.clear();
  redraw();
}

void TrendChartView::showSeries(int index) {
  const QList<QAbstractSeries*> series = chart_->series();
  for (QAbstractSeries* each : series) {
    each->setVisible(false);
  }
  series.at(index)->setVisible(true);
}

bool TrendChartView::isFillChecked() const { return fillBox_->isChecked(); }

void TrendChartView::setFillChecked(bool checked) { fillBox_->setChecked(checked); }

void TrendChartView::switchFill() {
  emit fillSwitched(fillBox_->isChecked());
  showChosenSeries();
}

void TrendChartView::showChosenSeries() { showSeries(fillBox_->isChecked() ? kAreaSeries : kLineSeries); }

std::size_t TrendChartView::pagedPointCount() const { return points_.empty() ? 1 : points_.size(); }

void TrendChartView::setPageSize(int pointsPerPage) {
  Q_ASSERT(pointsPerPage >= 0);
  applyPageSize(static_cast<std::size_t>(pointsPerPage));
}

void TrendChartView::applyPageSize(std::size_t pointsPerPage) {
  pager_.setPageSize(pointsPerPage, pagedPointCount());
  redraw();
}

void TrendChartView::pageSizeTextChanged() {
  const PageSizeText read = readPageSize(pageSizeBox_->text());
  if (!read.pageSize) {
    prompts_.error(read.error);
    return;
  }
  applyPageSize(*read.pageSize);
}

void TrendChartView::goToFirstPage() {
  pager_.goToFirstPage(pagedPointCount());
  showNavigation();
}

void TrendChartView::goToPreviousPage() {
  pager_.goToPreviousPage(pagedPointCount());
  showNavigation();
}

void TrendChartView::goToNextPage() {
  pager_.goToNextPage(pagedPointCount());
  showNavigation();
}

void TrendChartView::goToLastPage() {
  pager_.goToLastPage(pagedPointCount());
  showNavigation();
}

void TrendChartView::showNavigation() {
  const NavigationButtons& enabled = pager_.buttons();
  firstPageButton_->setEnabled(enabled.firstPageButton_);
  previousPageButton_->setEnabled(enabled.previousPageButton_);
  nextPageButton_->setEnabled(enabled.nextPageButton_);
  lastPageButton_->setEnabled(enabled.lastPageButton_);
  pageNumberButton_->setText(pager_.caption());
  redraw();
}

void TrendChartView::clearChart() {
  fillWithSamples();
  showSeries(fillBox_->isChecked() ? kAreaSeries : kLineSeries);
}

void TrendChartView::scheduleRedraw() {
  if (!redrawTimer_.isActive()) {
    redrawTimer_.start();
  }
}

void TrendChartView::redraw() {
  redrawTimer_.stop();
  const PointRange page = pager_.pageRange(pagedPointCount());
  QList<QPointF> shown;
  XSpan span{kSamplePoint.x() - 1.0, kSamplePoint.x() + 1.0};
  // The sample point, and a page the readings have not reached, stand on the fixed scale.
  PlottedQuantity quantity = PlottedQuantity::FixedScaleDigits;
  if (points_.empty()) {
    if (!page.empty()) {
      shown.append(kSamplePoint);
    }
  } else {
    span = points_.pageSpan(page, pager_.pageSize());
    if (!fixedScaleBox_->isChecked() && !page.empty()) {
      quantity = points_.measuredQuantity(page);
    }
    shown = points_.drawnPoints(page, span, width(), quantity);
  }
  const ValueAxisPlan plan = valueAxisFor(quantity, shown);
  if (plan.unitSize != 1) {
    for (QPointF& point : shown) {
      point.setY(point.y() / plan.unitSize);
    }
  }
  showValueAxis(plan);
  areaPoints_->replace(shown);
  linePoints_->replace(shown);
  bottomAxis_->setRange(span.low, span.high);
  bottomAxis_->applyNiceNumbers();
}

void TrendChartView::showValueAxis(const ValueAxisPlan& plan) {
  QAbstractAxis* wanted = plan.logarithmic ? static_cast<QAbstractAxis*>(logAxis_) : linearAxis_;
  if (!chart_->axes(Qt::Vertical).contains(wanted)) {
    QAbstractAxis* current = plan.logarithmic ? static_cast<QAbstractAxis*>(linearAxis_) : logAxis_;
    // Points of the old axis may not fit the new one (a logarithmic axis holds nothing at or below 0).
    areaPoints_->clear();
    linePoints_->clear();
    chart_->removeAxis(current);
    current->setParent(chart_);
    chart_->addAxis(wanted, Qt::AlignLeft);
    for (QAbstractSeries* series : chart_->series()) {
      series->attachAxis(wanted);
    }
  }
  wanted->setTitleText(plan.title);
  wanted->setTitleVisible(!plan.title.isEmpty());
  if (plan.logarithmic) {
    logAxis_->setLabelFormat(plan.labelFormat);
    // A hair below the lowest decade, so that rounding in the axis does not drop that decade's label.
    logAxis_->setRange(plan.low * (1 - 1e-9), plan.high);
    return;
  }
  linearAxis_->setLabelFormat(plan.labelFormat);
  linearAxis_->setRange(plan.low, plan.high);
  if (plan.roundEnds) {
    linearAxis_->applyNiceNumbers();
  }
}

QImage TrendChartView::picture() {
  if (redrawTimer_.isActive()) {
    redraw();
  }
  // A chart that was never shown (qm-cli) lays itself out only when asked.
  layout()->activate();
  QImage image(size(), QImage::Format_RGB32);
  image.fill(palette().window().color());
  QPainter painter(&image);
  render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  chartView_->QWidget::render(&painter, chartView_->pos());
  return image;
}

void TrendChartView::setNextRecordNoSource(std::function<std::int32_t()> nextRecordNo) {
  nextRecordNo_ = std::move(nextRecordNo);
}

void TrendChartView::setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

void TrendChartView::setSnapshotFolder(const QString& folder) { snapshotFolder_ = folder; }

void TrendChartView::setPrompts(Prompts prompts) { prompts_ = std::move(prompts); }

void TrendChartView::writeSnapshot(const QString& fileName) {
  const SnapshotOutcome outcome = saveSnapshot(picture(), snapshotFolder_, fileName);
  (outcome.ok ? prompts_.information : prompts_.error)(outcome.message);
}

void TrendChartView::savePageSnapshot() { writeSnapshot(pageSnapshotName(clock_(), pageNumberButton_->text())); }

void TrendChartView::showWholeRun() {
  // One page of nextRecordNo points holds every logged reading; it is widened to every point the
  // chart holds, since rows from a text load do not move nextRecordNo and would otherwise spill
  // onto further pages of a picture that claims to be the whole chart.
  const auto nextRecordNo = static_cast<std::size_t>(std::max<std::int32_t>(nextRecordNo_(), 1));
  applyPageSize(std::max(nextRecordNo, points_.size()));
}

void TrendChartView::showPage(std::size_t page) {
  pager_.setPage(page, pagedPointCount());
  redraw();
}

void TrendChartView::saveWholeSnapshot() {
  showWholeRun();
  writeSnapshot(wholeSnapshotName(clock_()));
  // Back to the box's page size; a box that holds no valid number says so and leaves this one.
  pageSizeTextChanged();
}

}  // namespace qm::chart
