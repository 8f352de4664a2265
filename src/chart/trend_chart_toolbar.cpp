#include "chart/trend_chart_view.h"

#include "chart/page_size_text.h"

#include <QChartView>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include <array>

// The chart's own controls: the toolbar over its top-left corner, the "Fixed scale" box, and
// enlarging the chart over the window and putting it back.

namespace qm::chart {
namespace {

// The "Fixed scale" box keeps to the chart's right edge, below the toolbar and above the plot.
constexpr int kFixedScaleBoxTop = 24;
constexpr int kFixedScaleBoxRightGap = 6;

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

  // No room is left beside the enlarge icon: the box stands at the right end of the band between
  // the toolbar and the plot, kept to the right edge as the chart is resized.
  fixedScaleBox_ = new QCheckBox(QStringLiteral("Fixed scale"), this);
  fixedScaleBox_->setObjectName(QStringLiteral("FixedScaleBox"));
  fixedScaleBox_->adjustSize();
  fixedScaleBox_->setToolTip(QStringLiteral("The readings' digits on a fixed scale from -11000 to 11000"));
  connect(fixedScaleBox_, &QCheckBox::toggled, this, &TrendChartView::redraw);

  pageSizeBox_ = new QLineEdit(QString::number(ChartPager::kStartPageSize), this);
  pageSizeBox_->setObjectName(QStringLiteral("Maxrecord"));
  pageSizeBox_->setGeometry(48, 3, 41, 21);
  QPalette silverBase = pageSizeBox_->palette();
  silverBase.setColor(QPalette::Base, kChartSilver);
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
  fixedScaleBox_->move(width() - fixedScaleBox_->width() - kFixedScaleBoxRightGap, kFixedScaleBoxTop);
  scheduleRedraw();
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

}  // namespace qm::chart
