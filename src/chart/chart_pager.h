#pragma once

// The chart's paging and its navigation bar: page size (MaxPointsPerPage), current page (Page), the
// enabled state of the four navigation buttons and the page-number caption between them.
//
// The page count follows the points the chart holds, which the caller passes in; the current page
// is clamped only when it is set or when the page size changes, so it may lie beyond the last page
// after the points were cleared (that page then shows nothing).

#include "chart/point_store.h"

#include <QString>

#include <cstddef>

namespace qm::chart {

struct NavigationButtons {
  bool firstPageButton_ = true;
  bool previousPageButton_ = true;
  bool nextPageButton_ = true;
  bool lastPageButton_ = true;
  friend bool operator==(const NavigationButtons&, const NavigationButtons&) = default;
};

class ChartPager {
public:
  static constexpr std::size_t kStartPageSize = 100;

  std::size_t pageSize() const { return pageSize_; }
  std::size_t page() const { return page_; }
  const NavigationButtons& buttons() const { return buttons_; }
  const QString& caption() const { return caption_; }

  // 1 when the page size or the point count is 0, else the points divided by the page size,
  // rounded up.
  std::size_t pageCount(std::size_t pointCount) const;
  // The positions that the current page shows: all of them with a page size of 0.
  PointRange pageRange(std::size_t pointCount) const;

  // Sets the page size and clamps the current page to the new page count; the caption stays.
  void setPageSize(std::size_t pointsPerPage, std::size_t pointCount);

  // Sets the current page, clamped to 1 ... page count; the caption stays.
  void setPage(std::size_t page, std::size_t pointCount);

  // The navigation commands; each leaves the current page number in the caption.
  void goToFirstPage(std::size_t pointCount);
  void goToPreviousPage(std::size_t pointCount);
  void goToNextPage(std::size_t pointCount);
  void goToLastPage(std::size_t pointCount);

private:
  void showPageNumber();
  void enableTowardsStart(bool enabled);
  void enableTowardsEnd(bool enabled);

  std::size_t pageSize_ = kStartPageSize;
  std::size_t page_ = 1;
  NavigationButtons buttons_;
  QString caption_ = QStringLiteral("1");
};

}  // namespace qm::chart
