#include "chart/chart_pager.h"

#include <algorithm>

namespace qm::chart {

std::size_t ChartPager::pageCount(std::size_t pointCount) const {
  if (pageSize_ == 0 || pointCount == 0) {
    return 1;
  }
  return (pointCount + pageSize_ - 1) / pageSize_;
}

PointRange ChartPager::pageRange(std::size_t pointCount) const {
  if (pageSize_ == 0) {
    return {0, pointCount};
  }
  // A page past the last one shows nothing; the division keeps huge page numbers from overflowing.
  if (page_ - 1 >= (pointCount + pageSize_ - 1) / pageSize_) {
    return {pointCount, pointCount};
  }
  const std::size_t first = (page_ - 1) * pageSize_;
  return {first, std::min(first + pageSize_, pointCount)};
}

void ChartPager::setPageSize(std::size_t pointsPerPage, std::size_t pointCount) {
  pageSize_ = pointsPerPage;
  page_ = std::min(page_, pageCount(pointCount));
}

void ChartPager::setPage(std::size_t page, std::size_t pointCount) {
  page_ = std::clamp<std::size_t>(page, 1, pageCount(pointCount));
}

void ChartPager::goToFirstPage(std::size_t pointCount) {
  setPage(1, pointCount);
  enableTowardsStart(false);
  enableTowardsEnd(true);
  showPageNumber();
}

void ChartPager::goToPreviousPage(std::size_t pointCount) {
  if (page_ == 1) {
    enableTowardsStart(false);
  } else {
    setPage(page_ - 1, pointCount);
  }
  enableTowardsEnd(true);
  showPageNumber();
}

void ChartPager::goToNextPage(std::size_t pointCount) {
  if (page_ == pageCount(pointCount)) {
    enableTowardsEnd(false);
  } else {
    setPage(page_ + 1, pointCount);
  }
  enableTowardsStart(true);
  showPageNumber();
}

void ChartPager::goToLastPage(std::size_t pointCount) {
  setPage(pageCount(pointCount), pointCount);
  enableTowardsEnd(false);
  enableTowardsStart(true);
  showPageNumber();
}

void ChartPager::showPageNumber() { caption_ = QString::number(page_); }

void ChartPager::enableTowardsStart(bool enabled) {
  buttons_.firstPageButton_ = enabled;
  buttons_.previousPageButton_ = enabled;
}

void ChartPager::enableTowardsEnd(bool enabled) {
  buttons_.nextPageButton_ = enabled;
  buttons_.lastPageButton_ = enabled;
}

}  // namespace qm::chart
