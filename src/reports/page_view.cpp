#include "reports/page_view.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace qm::reports {

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("PageView"));
  viewport()->setBackgroundRole(QPalette::Dark);
  viewport()->setAutoFillBackground(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  updateScrollBars();
}

void PageView::setSource(const PageSource* source) {
  source_ = source;
  updateScrollBars();
  goToPage(0);
  noteCurrentPage();
  viewport()->update();
}

void PageView::setZoom(Zoom zoom) {
  const std::size_t page = currentPage();
  zoom_ = zoom;
  updateScrollBars();
  goToPage(page);
  viewport()->update();
}

double PageView::pixelsPerMm() const {
  const QSizeF paper = source_ != nullptr && source_->pageCount() > 0 ? source_->pageSize(0) : QSizeF(210, 297);
  const double fitWidth = (viewport()->width() - 2.0 * kGap) / paper.width();
  switch (zoom_) {
    case Zoom::ActualSize: return logicalDpiX() / 25.4;
    case Zoom::FitWidth: return std::max(0.1, fitWidth);
    case Zoom::FitPage: return std::max(0.1, std::min(fitWidth, (viewport()->height() - 2.0 * kGap) / paper.height()));
  }
  return 1;
}

QSizeF PageView::pagePixels() const {
  const QSizeF paper = source_ != nullptr && source_->pageCount() > 0 ? source_->pageSize(0) : QSizeF(210, 297);
  return paper * pixelsPerMm();
}

double PageView::topInPages() const { return static_cast<double>(verticalScrollBar()->value()) / stepsPerPage_; }

std::size_t PageView::currentPage() const {
  if (source_ == nullptr || source_->pageCount() == 0) {
    return 0;
  }
  const double middle = topInPages() + viewport()->height() / 2.0 / slotPixels();
  return std::min(static_cast<std::size_t>(std::max(0.0, middle)), source_->pageCount() - 1);
}

void PageView::goToPage(std::size_t page) {
  const std::size_t last = source_ != nullptr && source_->pageCount() > 0 ? source_->pageCount() - 1 : 0;
  verticalScrollBar()->setValue(static_cast<int>(std::min(page, last)) * stepsPerPage_);
}

void PageView::updateScrollBars() {
  const std::size_t pages = source_ != nullptr ? source_->pageCount() : 0;
  const double slot = slotPixels();
  stepsPerPage_ = static_cast<int>(std::clamp<std::size_t>(pages > 1 ? INT_MAX / (pages - 1) : 1000, 1, 1000));
  QScrollBar* vertical = verticalScrollBar();
  // Any page may come to the top of the view, the last one included.
  vertical->setRange(0, pages > 1 ? static_cast<int>(pages - 1) * stepsPerPage_ : 0);
  vertical->setSingleStep(std::max(1, static_cast<int>(std::lround(40.0 / slot * stepsPerPage_))));
  vertical->setPageStep(std::max(1, static_cast<int>(std::lround(viewport()->height() / slot * stepsPerPage_))));
  QScrollBar* horizontal = horizontalScrollBar();
  const int wide = static_cast<int>(std::ceil(pagePixels().width())) + 2 * kGap;
  horizontal->setRange(0, std::max(0, wide - viewport()->width()));
  horizontal->setPageStep(viewport()->width());
  horizontal->setSingleStep(20);
}

void PageView::noteCurrentPage() {
  const std::size_t page = currentPage();
  if (page != lastCurrentPage_) {
    lastCurrentPage_ = page;
    emit currentPageChanged(page);
  }
}

void PageView::resizeEvent(QResizeEvent* event) {
  const std::size_t page = currentPage();
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
  if (zoom_ != Zoom::ActualSize) {
    goToPage(page);
  }
}

void PageView::scrollContentsBy(int, int) {
  noteCurrentPage();
  viewport()->update();
}

void PageView::paintEvent(QPaintEvent*) {
  pagesPainted_ = 0;
  if (source_ == nullptr || source_->pageCount() == 0) {
    return;
  }
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const QSizeF page = pagePixels();
  const double slot = slotPixels();
  const double scale = pixelsPerMm();
  const double wide = page.width() + 2 * kGap;
  const double left = wide <= viewport()->width() ? (viewport()->width() - page.width()) / 2
                                                  : kGap - horizontalScrollBar()->value();
  const double top = topInPages();
  std::size_t index = static_cast<std::size_t>(top);
  for (double y = kGap - (top - static_cast<double>(index)) * slot;
       index < source_->pageCount() && y < viewport()->height(); ++index, y += slot) {
    const QRectF paper(QPointF(left, y), page);
    painter.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 90));
    painter.fillRect(paper, Qt::white);
    painter.save();
    painter.setClipRect(paper);
    painter.translate(paper.topLeft());
    source_->paintPage(painter, index, scale);
    painter.restore();
    ++pagesPainted_;
  }
}

}  // namespace qm::reports
