#pragma once

// The preview's pages on screen: one column of pages, scrolled through, painted only where they
// show. The scroll bar counts pages, not pixels (a thousand steps each, fewer when that would
// overflow its range), so a report of 270,271 pages scrolls and jumps like one of three, at any zoom.

#include "reports/page_source.h"

#include <QAbstractScrollArea>

#include <cstddef>

namespace qm::reports {

class PageView : public QAbstractScrollArea {
  Q_OBJECT
public:
  enum class Zoom { FitPage, ActualSize, FitWidth };

  explicit PageView(QWidget* parent = nullptr);

  // The pages to show, or none; not owned. Shows the first page.
  void setSource(const PageSource* source);

  Zoom zoom() const { return zoom_; }
  void setZoom(Zoom zoom);
  double pixelsPerMm() const;

  // The page in the middle of the view, from 0.
  std::size_t currentPage() const;
  // Scrolls page `page` (from 0) to the top of the view.
  void goToPage(std::size_t page);

  // The pages the last paint drew, for a look at what painting costs.
  std::size_t pagesPaintedLastTime() const { return pagesPainted_; }

signals:
  void currentPageChanged(std::size_t page);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  static constexpr int kGap = 10;  // around and between pages, in pixels

  QSizeF pagePixels() const;
  double slotPixels() const { return pagePixels().height() + kGap; }
  double topInPages() const;
  void updateScrollBars();
  void noteCurrentPage();

  const PageSource* source_ = nullptr;
  Zoom zoom_ = Zoom::FitWidth;
  int stepsPerPage_ = 1000;
  std::size_t pagesPainted_ = 0;
  std::size_t lastCurrentPage_ = 0;
};

}  // namespace qm::reports
