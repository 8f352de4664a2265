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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
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

// Stand-in for the facility's sample fill, shown while the chart has no readings: one point a
// little above the middle of the scale lets each series show its colours.
const QPointF kSamplePoint(0.0, 5500.0);

constexpr int kRedrawIntervalMs = 40;

// Enlarging first brings a window taller than this down to kShortenedWindowHeight.
constexpr int kTallestWindowHeight = 600;
constexpr int kShortenedWindowHeight = 564;
// The enlarged chart, in the window's client area: below the row of buttons at the top, leaving
// this much of the window's outer width and height uncovered.
constexpr QPoint kEnlargedTopLeft(2, 30);
constexpr int kEnlargedWidthMargin = 12;
constexpr int kEnlargedHeightMargin = 90;

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

TrendChartView::TrendChartView(QWidget* parent)
    : QFrame(parent),
      nextRecordNo_([] { return 1; }),
      clock_([] { return QDateTime::currentDateTime(); }),
      snapshotFolder_(defaultSnapshotFolder()) {
  setObjectName(QStringLiteral("Chtshow"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, kSilver);
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

void TrendChartView::buildToolbar() {
  // The bevel is drawn under the check box it frames.
  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(2, 2, 40, 20);

  fillBox_ = new QCheckBox(QStringLiteral("Fill"), this);
  fillBox_->setObjectName(QStringLiteral("BtFill"));
  fillBox_->setGeometry(1, 5, 36, 17);
  fillBox_->setToolTip(QStringLiteral("Graphic Fill"));
  fillBox_->setChecked(true);
  connect(fillBox_, &QCheckBox::toggled, this, &TrendChartView::switchFill);

  pageSizeBox_ = new QLineEdit(QString::number(ChartPager::kStartPageSize), this);
  pageSizeBox_->setObjectName(QStringLiteral("Maxrecord"));
  pageSizeBox_->setGeometry(48, 3, 41, 21);
  QPalette silverBase = pageSizeBox_->palette();
  silverBase.setColor(QPalette::Base, kSilver);
  pageSizeBox_->setPalette(silverBase);
  pageSizeBox_->installEventFilter(this);
  connect(pageSizeBox_, &QLineEdit::textChanged, this, &TrendChartView::pageSizeTextChanged);

  struct IconButton {
    const char* name;
    QRect geometry;
    const char* hint;
    QStyle::StandardPixmap icon;
    QToolButton** control;
    void (TrendChartView::*command)();
  };
  QToolButton* saveButton = nullptr;
  QToolButton* newButton = nullptr;
  const std::array<IconButton, 6> iconButtons = {{
      {"BtSave", {93, 3, 35, 21}, "Save  Active Graphic", QStyle::SP_DialogSaveButton, &saveButton,
       &TrendChartView::savePageSnapshot},
      {"BtNew", {127, 3, 35, 21}, "Delete Graphic", QStyle::SP_DialogDiscardButton, &newButton,
       &TrendChartView::clearChart},
      {"BtFirst", {163, 3, 25, 21}, "First", QStyle::SP_MediaSkipBackward, &firstPageButton_, &TrendChartView::goToFirstPage},
      {"BTPrevious", {187, 3, 25, 21}, "Previous", QStyle::SP_MediaSeekBackward, &previousPageButton_,
       &TrendChartView::goToPreviousPage},
      {"BtNext", {235, 3, 25, 21}, "Next", QStyle::SP_MediaSeekForward, &nextPageButton_, &TrendChartView::goToNextPage},
      {"BTlast", {263, 3, 25, 21}, "last", QStyle::SP_MediaSkipForward, &lastPageButton_, &TrendChartView::goToLastPage},
  }};
  for (const IconButton& entry : iconButtons) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(entry.name));
    button->setGeometry(entry.geometry);
    button->setToolTip(QLatin1String(entry.hint));
    button->setIcon(style()->standardIcon(entry.icon));
    button->setIconSize(QSize(14, 14));
    connect(button, &QToolButton::clicked, this, entry.command);
    *entry.control = button;
  }

  // Not a command: the page number, shown as a button between the navigation buttons.
  pageNumberButton_ = new QToolButton(this);
  pageNumberButton_->setObjectName(QStringLiteral("Bt10"));
  pageNumberButton_->setGeometry(211, 3, 25, 21);
  pageNumberButton_->setText(pager_.caption());
  pageNumberButton_->setToolTip(QStringLiteral("Page No."));
  QPalette blueText = pageNumberButton_->palette();
  blueText.setColor(QPalette::ButtonText, Qt::blue);
  pageNumberButton_->setPalette(blueText);

  struct PlacementIcon {
    const char* name;
    int top;
    const char* hint;
    bool enlarge;
    QLabel** control;
  };
  for (const PlacementIcon& entry : {PlacementIcon{"TbFd", 3, "Graphic Enlarge", true, &enlargeIcon_},
                                    PlacementIcon{"TbSx", 4, "Graphic Restore", false, &restoreIcon_}}) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QLatin1String(entry.name));
    icon->setGeometry(288, entry.top, 25, 25);
    icon->setToolTip(QLatin1String(entry.hint));
    icon->setPixmap(placementGlyph(entry.enlarge));
    icon->setVisible(entry.enlarge);
    icon->installEventFilter(this);
    *entry.control = icon;
  }

  // Every toolbar control shows an arrow, unlike the cross-hair over the plot.
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child != chartView_) {
      child->setCursor(Qt::ArrowCursor);
    }
  }
}

bool TrendChartView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pageSizeBox_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // Keys that type no character (arrows, Delete, Tab) keep their ordinary meaning.
    const bool typesCharacter = !key->text().isEmpty() && key->key() != Qt::Key_Delete &&
                                key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab;
    return typesCharacter && !acceptsTypedCharacter(key->text().front().unicode());
  }
  if ((watched == enlargeIcon_ || watched == restoreIcon_) && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    restoreOrEnlarge();
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void TrendChartView::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  scheduleRedraw();
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
  if (points_.empty()) {
    if (!page.empty()) {
      shown.append(kSamplePoint);
    }
  } else {
    span = points_.pageSpan(page, pager_.pageSize());
    shown = points_.drawnPoints(page, span, width());
  }
  areaPoints_->replace(shown);
  linePoints_->replace(shown);
  bottomAxis_->setRange(span.low, span.high);
  bottomAxis_->applyNiceNumbers();
}

bool TrendChartView::isEnlarged() const { return !restoreIcon_->isHidden(); }

QWidget* TrendChartView::clientArea() const { return clientArea_ ? clientArea_.data() : parentWidget(); }

void TrendChartView::setClientArea(QWidget* clientArea) { clientArea_ = clientArea; }

void TrendChartView::restoreOrEnlarge() {
  QWidget* mainWindow = window();
  const int outerHeight = mainWindow->frameGeometry().height();
  if (outerHeight > kTallestWindowHeight) {
    mainWindow->resize(mainWindow->width(), mainWindow->height() - (outerHeight - kShortenedWindowHeight));
  }
  // Decided by the icon shown rather than by where the chart's top edge lies in the client area:
  // scrolling the window while the chart is enlarged moves that edge, and must not make the next
  // click enlarge again over the remembered place.
  if (isEnlarged()) {
    restoreIcon_->hide();
    enlargeIcon_->show();
    setGeometry(normalBounds_);
    return;
  }
  enlargeIcon_->hide();
  restoreIcon_->show();
  // Remembered where the chart sits among its neighbours, so it returns there however the window
  // was scrolled meanwhile.
  normalBounds_ = geometry();
  const QSize outer = mainWindow->frameGeometry().size();
  const QPoint topLeft = parentWidget()->mapFrom(clientArea(), kEnlargedTopLeft);
  setGeometry(QRect(topLeft, QSize(outer.width() - kEnlargedWidthMargin, outer.height() - kEnlargedHeightMargin)));
  raise();
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
