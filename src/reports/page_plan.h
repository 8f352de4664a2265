#pragma once

// Where a report's pages break, worked out from the band heights and the number of detail bands
// alone: how many pages there are, and which detail bands (and whether the title and the summary)
// a page holds. Nothing is laid out ahead, so page 270,271 of a ten-million-row report costs what
// page 1 does.
//
// Every page prints the page header, the column header and the page footer; the title band opens
// the first page; the detail bands follow one another; the summary follows the last detail band,
// on its page when the space left there holds it, on a page of its own otherwise. With the data
// report's bands a page holds 37 detail bands (297 mm of paper less 2 x 10 mm of margins and
// 3 x 10.6 mm of bands leave 245.2 mm, and 37 x 6.6 mm = 244.2 mm).

#include "reports/report_layout.h"

#include <cstddef>

namespace qm::reports {

class PagePlan {
public:
  struct Page {
    std::size_t firstDetail = 0;
    std::size_t detailCount = 0;
    bool title = false;
    bool summary = false;
  };

  PagePlan(const ReportLayout& layout, std::size_t detailBands);

  std::size_t pageCount() const { return pageCount_; }
  // `index` counts from 0 and must be below pageCount().
  Page page(std::size_t index) const;

  std::size_t detailsOnFirstPage() const { return detailsFirst_; }
  std::size_t detailsPerPage() const { return detailsOther_; }

private:
  std::size_t detailBands_;
  std::size_t detailsFirst_ = 1;
  std::size_t detailsOther_ = 1;
  std::size_t detailPages_ = 1;
  bool summaryOnOwnPage_ = false;
  bool hasSummary_ = false;
  std::size_t pageCount_ = 1;
};

}  // namespace qm::reports
