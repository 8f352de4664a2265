#include "reports/page_plan.h"

#include <algorithm>

namespace qm::reports {

PagePlan::PagePlan(const ReportLayout& layout, std::size_t detailBands) : detailBands_(detailBands) {
  const Tenths everyPage = layout.bandHeight(BandKind::PageHeader) + layout.bandHeight(BandKind::ColumnHeader) +
                           layout.bandHeight(BandKind::PageFooter);
  const Tenths otherSpace = PageSetup::kBodyHeight - everyPage;
  const Tenths firstSpace = otherSpace - layout.bandHeight(BandKind::Title);
  const Tenths detailHeight = std::max<Tenths>(1, layout.bandHeight(BandKind::Detail));
  // A page always takes at least one detail band, however tall, so the report ends.
  detailsFirst_ = static_cast<std::size_t>(std::max<Tenths>(1, firstSpace / detailHeight));
  detailsOther_ = static_cast<std::size_t>(std::max<Tenths>(1, otherSpace / detailHeight));

  detailPages_ = detailBands_ <= detailsFirst_ ? 1 : 1 + (detailBands_ - detailsFirst_ + detailsOther_ - 1) / detailsOther_;
  pageCount_ = detailPages_;

  hasSummary_ = layout.band(BandKind::Summary) != nullptr;
  if (hasSummary_) {
    const Page last = page(detailPages_ - 1);
    const Tenths used = static_cast<Tenths>(last.detailCount) * detailHeight;
    const Tenths space = last.title ? firstSpace : otherSpace;
    summaryOnOwnPage_ = space - used < layout.bandHeight(BandKind::Summary);
    pageCount_ += summaryOnOwnPage_ ? 1 : 0;
  }
}

PagePlan::Page PagePlan::page(std::size_t index) const {
  Page page;
  page.title = index == 0;
  if (index < detailPages_) {
    page.firstDetail = index == 0 ? 0 : detailsFirst_ + (index - 1) * detailsOther_;
    page.detailCount = std::min(index == 0 ? detailsFirst_ : detailsOther_, detailBands_ - page.firstDetail);
  } else {
    page.firstDetail = detailBands_;
  }
  page.summary = hasSummary_ && index == (summaryOnOwnPage_ ? detailPages_ : detailPages_ - 1);
  return page;
}

}  // namespace qm::reports
